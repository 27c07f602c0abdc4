#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

class CliTest : public test::TempDirTest {};

TEST_F(CliTest, VersionAndHelp) {
  const auto version = RunCli("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "0.642\n");
  const auto help = RunCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("crc FILE..."), std::string::npos);
}

TEST_F(CliTest, UsageErrorsExitTwo) {
  EXPECT_EQ(RunCli("").exitCode, 2);
  const auto unknown = RunCli("frobnicate");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("usage:"), std::string::npos);
  const auto bare = RunCli("crc");
  EXPECT_EQ(bare.exitCode, 2);
  EXPECT_EQ(bare.err, "usage: vexmoor crc FILE...\n");
}

TEST_F(CliTest, CrcPrintsOneLinePerFileAndGoesOnAfterErrors) {
  const std::string a = dir_.Write("a.nds", "123456789");
  const std::string b = dir_.Write("b c.nds", "");
  const std::string missing = dir_ / "missing.nds";
  const auto result = RunCli("crc " + ShellQuote(a) + " " + ShellQuote(missing) + " " + ShellQuote(b));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "CBF43926  " + a + "\n00000000  " + b + "\n");
  EXPECT_EQ(result.err.rfind("vexmoor: ", 0), 0u);
  EXPECT_NE(result.err.find(missing), std::string::npos);
}

}  // namespace
}  // namespace vexmoor
