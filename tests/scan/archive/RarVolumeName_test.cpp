#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "scan/archive/RarVolumeName.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

constexpr auto kFirst = TVolumeDirection::First;
constexpr auto kNext = TVolumeDirection::Next;

std::string Candidate(const std::string& path, TVolumeDirection direction) {
  return RarVolumeCandidate(path, direction).value_or("(none)");
}

TEST(RarVolumeName, PartStyleKeepsTheDigitWidth) {
  EXPECT_EQ(Candidate("d/x.part3.rar", kFirst), "d/x.part1.rar");
  EXPECT_EQ(Candidate("d/x.part1.rar", kNext), "d/x.part2.rar");
  EXPECT_EQ(Candidate("x.part01.rar", kNext), "x.part02.rar");
  EXPECT_EQ(Candidate("x.part09.rar", kNext), "x.part10.rar");
  EXPECT_EQ(Candidate("x.part99.rar", kNext), "x.part100.rar");
  EXPECT_EQ(Candidate("x.part0004.rar", kFirst), "x.part0001.rar");
  EXPECT_EQ(Candidate("X.PART1.RAR", kNext), "X.PART2.RAR");
  EXPECT_EQ(Candidate("a.part1.b.part7.rar", kNext), "a.part1.b.part8.rar");
  EXPECT_EQ(Candidate("x.partial.rar", kNext), "(none)");
  EXPECT_EQ(Candidate("x.part99999999999.rar", kNext), "(none)");
}

TEST(RarVolumeName, OldStyleRunsRarThenR00) {
  EXPECT_EQ(Candidate("x.rar", kFirst), "x.rar");
  EXPECT_EQ(Candidate("x.rar", kNext), "x.r00");
  EXPECT_EQ(Candidate("x.r00", kFirst), "x.rar");
  EXPECT_EQ(Candidate("x.r00", kNext), "x.r01");
  EXPECT_EQ(Candidate("x.r99", kNext), "x.r100");
  EXPECT_EQ(Candidate("X.R05", kFirst), "X.RAR");
  EXPECT_EQ(Candidate("X.Rar", kNext), "X.R00");
  // The folder name does not make a part-style name.
  EXPECT_EQ(Candidate("games.part1.rar/x.rar", kNext), "games.part1.rar/x.r00");
  try {
    RarVolumeCandidate("x.rab", kNext);
    ADD_FAILURE() << "x.rab accepted";
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), "Bad rar filename.");
  }
}

TEST(RarVolumeName, NumberStyleAndNamesWithoutStyle) {
  EXPECT_EQ(Candidate("x.001", kFirst), "x.000");
  EXPECT_EQ(Candidate("x.001", kNext), "x.002");
  EXPECT_EQ(Candidate("x.999", kNext), "x.1000");
  EXPECT_EQ(Candidate("x.tar.005", kNext), "x.tar.006");
  EXPECT_EQ(Candidate("x.zip", kNext), "(none)");
  EXPECT_EQ(Candidate("d.001/xy", kNext), "(none)");
}

TEST(RarVolumeName, ReplacesThePathOnlyWhenTheVolumeExists) {
  test::TempDir dir;
  std::string path = dir.Write("x.part1.rar", "");
  EXPECT_FALSE(RarVolumeName(path, kNext));
  EXPECT_EQ(path, dir / "x.part1.rar");
  dir.Write("x.part2.rar", "");
  EXPECT_TRUE(RarVolumeName(path, kNext));
  EXPECT_EQ(path, dir / "x.part2.rar");
  EXPECT_TRUE(RarVolumeName(path, kFirst));
  EXPECT_EQ(path, dir / "x.part1.rar");
}

}  // namespace
}  // namespace vexmoor
