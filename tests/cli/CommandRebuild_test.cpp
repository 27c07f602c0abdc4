// `vexmoor rebuild` on the sample rom folder: the dry run, copy, move and
// zip, a second run, and the usage errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::ShellQuote;

class RebuildCliTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    const std::string source = VEXMOOR_SOURCE_DIR;
    const std::string command = "python3 " + ShellQuote(source + "/scripts/make-sample-roms.py") + " " +
                                ShellQuote(dir_ / "roms") + " >/dev/null";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "python3 cannot run the sample generator";
    fs::copy_file(source + "/examples/sample-ds.qdat", dir_ / "sample-ds.qdat");
  }
  test::CommandResult Rebuild(const std::string& output, const std::string& options) {
    return RunCli("rebuild " + ShellQuote(dir_ / "sample-ds.qdat") + " " + ShellQuote(dir_ / "roms") + " " +
                  ShellQuote(dir_ / output) + " " + options);
  }
  static size_t Files(const std::string& folder) {
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) count += entry.is_regular_file();
    return count;
  }
  test::ScopedEnv cacheHome_{"XDG_CACHE_HOME", dir_ / "xdg-cache"};
};

TEST_F(RebuildCliTest, DryRunPrintsThePlanAndWritesNothing) {
  const auto result = Rebuild("out", "--dry-run");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("copy\t" + (dir_ / "roms/Lanternfish Harbour.nds") + "\t->\t" +
                            (dir_ / "out/Lanternfish Harbour.nds") + "\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Two Dumps.zip\\Puzzles/Ninefold Lantern.nds\t->\t"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "out"));
  const auto json = Rebuild("out", "--dry-run --json");
  EXPECT_EQ(json.out.rfind("{\"output\":", 0), 0u);
  EXPECT_NE(json.out.find("\"dryRun\":true"), std::string::npos);
}

TEST_F(RebuildCliTest, CopyThenAgainFindsEverythingPresent) {
  const auto first = Rebuild("out", "");
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find(" Written : 12\n Already present : 0\n Skipped : 0\n Failed : 0\n"),
            std::string::npos)
      << first.out;
  EXPECT_EQ(Files(dir_ / "out"), 12u);
  const auto second = Rebuild("out", "");
  EXPECT_NE(second.out.find(" Written : 0\n Already present : 12\n"), std::string::npos) << second.out;
}

TEST_F(RebuildCliTest, ZipRebuildsGiveIdenticalBytes) {
  EXPECT_EQ(Rebuild("a", "--zip").exitCode, 0);
  EXPECT_EQ(Rebuild("b", "--zip").exitCode, 0);
  for (const auto& entry : fs::directory_iterator(dir_ / "a")) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(test::ReadFile(entry.path().string()), test::ReadFile(dir_ / ("b/" + name))) << name;
  }
  EXPECT_EQ(Files(dir_ / "a"), 12u);
}

TEST_F(RebuildCliTest, MoveEmptiesTheSourcesItMayAndSaysWhatItKept) {
  const auto result = Rebuild("out", "--move");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("removed\t" + (dir_ / "roms/Lanternfish Harbour.nds")), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "roms/Lanternfish Harbour.nds"));
  EXPECT_TRUE(fs::exists(dir_ / "roms/notes.txt"));
  EXPECT_EQ(Files(dir_ / "out"), 12u);
}

TEST_F(RebuildCliTest, ContradictingSwitchesAreUsageErrors) {
  EXPECT_EQ(Rebuild("out", "--move --link").exitCode, 2);
  EXPECT_EQ(Rebuild("out", "--symlink --zip").exitCode, 2);
  EXPECT_EQ(Rebuild("out", "--subfolder country").exitCode, 2);
  EXPECT_EQ(RunCli("rebuild " + ShellQuote(dir_ / "sample-ds.qdat") + " " + ShellQuote(dir_ / "roms")).exitCode, 2);
  EXPECT_FALSE(fs::exists(dir_ / "out"));
}

}  // namespace
}  // namespace vexmoor
