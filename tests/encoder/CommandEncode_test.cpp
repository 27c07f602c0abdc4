// vexmoor encode: options, order, output and exit codes.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/DatContainer.h"
#include "encoder/UpdateKeys.h"
#include "platform/File.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

constexpr std::string_view kDat =
    "[INFO]\r\nNAME=Cli Set\r\nVERSION=3\r\n[DAT]\r\n0001|0A1B2C3D|One\r\n";

class EncodeCommand : public test::TempDirTest {};

TEST_F(EncodeCommand, EncodesInTheOrderGivenAndWritesTheKeysFile) {
  const std::string z = dir_.Write("z.dat", kDat);
  const std::string a = dir_.Write("a.dat", kDat);
  const auto result = RunCli("encode " + ShellQuote(z) + " " + ShellQuote(a));
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "Encoded " + z + " -> " + (dir_ / "z.qdat") + "\nEncoded " + a + " -> " +
                            (dir_ / "a.qdat") + "\nUpdate keys written to " +
                            (dir_ / "update_keys.txt") + "\n");
  const std::vector<TUpdateKey> keys = ParseUpdateKeys(test::ReadFile(dir_ / "update_keys.txt"));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].File, "z.qdat");
  EXPECT_EQ(keys[1].File, "a.qdat");
  // The stamp written into the source is the one in the container.
  EXPECT_NEAR(ReadDatTimeStamp(dir_ / "a.qdat"), std::stod(keys[1].TimeStamp), 1e-9);
  EXPECT_NE(test::ReadFile(a).find("TIMESTAMP=" + keys[1].TimeStamp + "\r\n"), std::string::npos);
}

TEST_F(EncodeCommand, OptionsKeepSourcesAndSkipTheKeysFile) {
  const std::string a = dir_.Write("a.dat", kDat);
  const auto result = RunCli("encode --keep-timestamps " + ShellQuote(a) + " --no-keys-file");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(test::ReadFile(a), kDat);
  EXPECT_EQ(ReadQuenDatText(dir_ / "a.qdat"), std::string(kDat));
  EXPECT_FALSE(PathExists(dir_ / "update_keys.txt"));
}

TEST_F(EncodeCommand, FailureNamesTheDatAndExitsOne) {
  const std::string a = dir_.Write("a.dat", kDat);
  const std::string empty = dir_.Write("empty.dat", "");
  const auto result = RunCli("encode --keep-timestamps " + ShellQuote(a) + " " + ShellQuote(empty));
  EXPECT_EQ(result.exitCode, 1);
  // An empty file is no dat text: refused before anything is packed.
  EXPECT_EQ(result.err, "vexmoor: cannot encode \"" + empty + "\": \"" + empty +
                            "\" is not encoded: not a dat: no [INFO] or [DAT] section\n");
  EXPECT_TRUE(PathExists(dir_ / "a.qdat"));
  EXPECT_FALSE(PathExists(dir_ / "empty.qdat"));
  EXPECT_FALSE(PathExists(dir_ / "update_keys.txt"));
}

TEST_F(EncodeCommand, UsageErrorsExitTwo) {
  EXPECT_EQ(RunCli("encode").exitCode, 2);
  EXPECT_EQ(RunCli("encode --keep-timestamps").exitCode, 2);
  const auto unknown = RunCli("encode --bogus " + ShellQuote(dir_.Write("a.dat", kDat)));
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_FALSE(PathExists(dir_ / "a.qdat"));
}

}  // namespace
}  // namespace vexmoor
