#include <gtest/gtest.h>

#include "platform/File.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

class PackCliTest : public test::TempDirTest {
 protected:
  test::CommandResult Run(const std::string& command, const std::string& in, const std::string& out) {
    return RunCli(command + " " + ShellQuote(in) + " " + ShellQuote(out));
  }
};

TEST_F(PackCliTest, PackThenUnpackGivesTheFileBack) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += std::to_string(i) + "|0A1B2C3D|Some Release (Europe)\r\n";
  const std::string in = dir_.Write("in.dat", text);
  const auto packed = Run("pack", in, dir_ / "out.ap32");
  EXPECT_EQ(packed.exitCode, 0) << packed.err;
  const std::string block = test::ReadFile(dir_ / "out.ap32");
  EXPECT_EQ(block.substr(0, 4), "AP32");
  EXPECT_LT(block.size(), text.size() / 3);
  const auto unpacked = Run("unpack", dir_ / "out.ap32", dir_ / "back.dat");
  EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
  EXPECT_EQ(test::ReadFile(dir_ / "back.dat"), text);
}

TEST_F(PackCliTest, FailuresPrintTheCodecMessageAndLeaveNoOutput) {
  const std::string empty = dir_.Write("empty", "");
  const auto packEmpty = Run("pack", empty, dir_ / "out1");
  EXPECT_EQ(packEmpty.exitCode, 1);
  EXPECT_EQ(packEmpty.err, "vexmoor: Compression error\n");
  EXPECT_FALSE(PathExists(dir_ / "out1"));

  const auto notPacked = Run("unpack", dir_.Write("plain.txt", "plain text, not a block at all"), dir_ / "out2");
  EXPECT_EQ(notPacked.exitCode, 1);
  EXPECT_EQ(notPacked.err, "vexmoor: File is not packed with aPLib\n");
  EXPECT_FALSE(PathExists(dir_ / "out2"));

  ASSERT_EQ(Run("pack", dir_.Write("x", std::string(1000, 'x') + "y"), dir_ / "x.ap32").exitCode, 0);
  std::string block = test::ReadFile(dir_ / "x.ap32");
  block[block.size() - 2] ^= 0x40;
  const auto damaged = Run("unpack", dir_.Write("bad.ap32", block), dir_ / "out3");
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_EQ(damaged.err, "vexmoor: Decompression error\n");
  EXPECT_FALSE(PathExists(dir_ / "out3"));

  const auto missing = Run("pack", dir_ / "missing", dir_ / "out4");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_FALSE(PathExists(dir_ / "out4"));
}

TEST_F(PackCliTest, WrongArgumentCountIsAUsageError) {
  const auto result = RunCli("pack onlyone");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, "usage: vexmoor pack IN OUT\n");
  EXPECT_EQ(RunCli("unpack a b c").exitCode, 2);
}

}  // namespace
}  // namespace vexmoor
