// The scan's paths beyond the system's path limit, and what it says of the
// paths it could not look into.
#include "scan/Unexamined.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FaultFileSystem.h"
#include "scan/EndPass.h"
#include "support/ArchiveBuilder.h"
#include "support/DeepTree.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::AddEntry;
using test::CrcOf;
using test::Dump;

class DeepScanTest : public test::ScanTest {};

// 120 levels of 40 bytes: the dumps at the bottom lie past 4096 bytes.
TEST_F(DeepScanTest, DumpsAndArchivesPastThePathLimitAreFound) {
  const int levels = std::min(120, test::kDeepLevels);
  const test::DeepTree tree(dir_.Path(), levels);
  const std::string bottom = Dump("bottom"), member = Dump("member"), halfway = Dump("half way");
  AddEntry(state_, "1", "Bottom", CrcOf(bottom));
  AddEntry(state_, "2", "Member", CrcOf(member));
  AddEntry(state_, "3", "Half way", CrcOf(halfway));
  const std::string dump = tree.Write(levels, "bottom.nds", bottom);
  const std::string zip = tree.Write(levels, "set.zip", test::BuildZip({{"member.nds", member}}));
  tree.Write(levels / 2, "half way.nds", halfway);
  ASSERT_GT(dump.size(), static_cast<size_t>(PATH_MAX));
  for (const unsigned workers : {1u, 3u}) {
    SCOPED_TRACE(workers);
    const TScanOutcome outcome = Scan(dir_.Path(), workers);
    EXPECT_EQ(outcome.Matched, 3);
    EXPECT_EQ(outcome.Skipped, 0);
    EXPECT_TRUE(outcome.Unexamined.empty());
    EXPECT_EQ(state_.Catalogue[0].StatusText, dump);
    EXPECT_EQ(state_.Catalogue[1].StatusText, zip + "\\member.nds");
    EXPECT_EQ(state_.FoundCount, 3);
  }
}

// Root runs the tests, so the faults stand in for permissions.
TEST_F(DeepScanTest, WhatCannotBeExaminedIsNamedAndTheScanGoesOn) {
#ifdef _WIN32
  GTEST_SKIP() << "a symbolic link through a name longer than 255 bytes: POSIX only (mingw-w64 makes no symbolic links)";
#else
  const std::string found = Dump("found");
  AddEntry(state_, "1", "Found", CrcOf(found));
  dir_.Write("a locked/x.nds", Dump("x"));
  dir_.Write("b gone/y.nds", Dump("y"));
  dir_.Write("c/hidden.nds", Dump("hidden"));
  dir_.Write("c/shut.zip", test::BuildZip({{"m.nds", "m"}}));
  dir_.Write("d/found.nds", found);
  // Its kind cannot be told, whatever its name: root may look everywhere,
  // but not through a name longer than 255 bytes.
  std::filesystem::create_symlink(std::string(300, 'n'), dir_ / "d/notes.txt");
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::List, 1, EACCES, "a locked", true);
  faults.FailCall(TFileOp::List, 1, ENOENT, "b gone", true);  // vanished: nothing to tell
  faults.FailCall(TFileOp::Stat, 1, EIO, "hidden.nds", true);
  faults.FailCall(TFileOp::Open, 1, EACCES, "shut.zip", true);
  for (const unsigned workers : {1u, 3u}) {
    SCOPED_TRACE(workers);
    TScanEngine engine(state_, list_, sort_, cancel_, Recording());
    engine.SetPipeline({workers});
    const TScanOutcome outcome = engine.Run(dir_.Path());
    EXPECT_EQ(outcome.Matched, 1);
    EXPECT_EQ(outcome.Skipped, 1);
    EXPECT_EQ(panels_[2], kScanCompleteText);
    std::vector<std::string> sorted = outcome.Unexamined;
    ASSERT_EQ(sorted.size(), 4u);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted[0], "Cannot examine \"" + Root() + "c/hidden.nds\". Input/output error");
    EXPECT_EQ(sorted[1], "Cannot examine \"" + Root() + "d/notes.txt\". File name too long");
    EXPECT_EQ(sorted[2], "Cannot list folder \"" + Root() + "a locked/\". Permission denied");
    EXPECT_EQ(sorted[3], "Cannot open file \"" + Root() + "c/shut.zip\". Permission denied");
  }
#endif
}

TEST(UnexaminedSummaryTest, CountsNamesTheFirstFiveAndShortensLongLines) {
  EXPECT_EQ(UnexaminedSummary({}), "");
  EXPECT_EQ(UnexaminedSummary({"Cannot list folder \"/a/\". Permission denied"}),
            "The scan could not examine 1 path:\nCannot list folder \"/a/\". Permission denied");
  std::vector<std::string> many;
  for (int i = 1; i <= 7; ++i) many.push_back("line " + std::to_string(i));
  EXPECT_EQ(UnexaminedSummary(many),
            "The scan could not examine 7 paths:\nline 1\nline 2\nline 3\nline 4\nline 5\nand 2 more");
  // Deep paths keep their start and end, and no character is cut in two.
  const std::string deep = "Cannot examine \"/" + std::string(5000, 'd') + "\xc3\xa9/x.nds\". Input/output error";
  const std::string summary = UnexaminedSummary({deep});
  const std::string shortened = summary.substr(summary.find('\n') + 1);
  EXPECT_LE(shortened.size(), kUnexaminedLineBytes);
  EXPECT_EQ(shortened.substr(0, 17), deep.substr(0, 17));
  EXPECT_NE(shortened.find("..."), std::string::npos);
  EXPECT_EQ(shortened.substr(shortened.size() - 30), deep.substr(deep.size() - 30));
  const std::string accents = "\xc3\xa9";
  std::string wide = "x";  // each character starts at an odd offset
  for (int i = 0; i < 400; ++i) wide += accents;
  const std::string cutSummary = UnexaminedSummary({wide});
  const std::string cut = cutSummary.substr(cutSummary.find('\n') + 1);
  const size_t dots = cut.find("...");
  EXPECT_EQ(dots % 2, 1u);
  EXPECT_EQ((cut.size() - dots - 3) % 2, 0u);
}

}  // namespace
}  // namespace vexmoor
