// `vexmoor audit` on a tree deeper than the system's path limit, and what
// it says of the paths the scan could not look into.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/TextLines.h"
#include "cli/Commands.h"
#include "platform/FaultFileSystem.h"
#include "support/ArchiveBuilder.h"
#include "support/DeepTree.h"
#include "support/TempDir.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

class AuditDeepTest : public test::TempDirTest {
 protected:
  // A native dat of `entries` ("Name", dump) pairs.
  std::string Dat(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text = "[INFO]\r\nNAME=Deep\r\nMASK=*.nds\r\n[DAT]\r\n";
    int id = 0;
    for (const auto& [name, data] : entries)
      text += std::to_string(++id) + "|" + HexLong(test::CrcOf(data)) + "|" + name + "\r\n";
    return dir_.Write("deep.qdat", text);
  }
  test::ScopedEnv cacheHome_{"XDG_CACHE_HOME", dir_ / "xdg-cache"};
};

TEST_F(AuditDeepTest, ADumpAndAZippedDumpPastThePathLimitAreBothFound) {
  std::filesystem::create_directory(dir_ / "roms");
  const int levels = std::min(130, test::kDeepLevels);
  const test::DeepTree deep(dir_ / "roms", levels);
  const std::string loose = test::Dump("loose"), zipped = test::Dump("zipped");
  const std::string dat = Dat({{"Loose", loose}, {"Zipped", zipped}});
  const std::string dump = deep.Write(levels, "loose.nds", loose);
  deep.Write(levels, "set.zip", test::BuildZip({{"zipped.nds", zipped}}));
  ASSERT_GT(dump.size(), static_cast<size_t>(PATH_MAX));
  const auto run = RunCli("audit " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("\tfound\tLoose\t" + dump + "\n"), std::string::npos);
  EXPECT_NE(run.out.find(" Found : 2"), std::string::npos) << run.out.substr(run.out.size() - 40);
  // The second time from the checksum store and the cache.
  const auto again = RunCli("audit " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(again.out, run.out);
}

// Root runs the tests, so a fault stands in for a folder without
// permission, and a link through a name longer than 255 bytes for a link to
// where one may not look.
TEST_F(AuditDeepTest, EachPathThatCouldNotBeExaminedIsNamedOnStderrAndTheExitStaysZero) {
#ifdef _WIN32
  GTEST_SKIP() << "a name with a line feed and a symbolic link through a name longer than 255 bytes: POSIX only";
#else
  const std::string found = test::Dump("found");
  const std::string dat = Dat({{"Found", found}});
  dir_.Write("roms/found.nds", found);
  dir_.Write("roms/lo\ncked/x.nds", "x");
  std::filesystem::create_directory(dir_ / "roms/z");
  std::filesystem::create_symlink(std::string(300, 'n'), dir_ / "roms/z/odd.nds");
  const auto real = RunCli("audit --no-cache " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(real.exitCode, 0);
  EXPECT_EQ(real.err, "vexmoor: Cannot examine \"" + (dir_ / "roms/z/odd.nds") + "\". File name too long\n");

  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::List, 1, EACCES, "cked", true);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = cli::RunAudit({"--no-cache", "--no-checksum-cache", dat, dir_ / "roms"});
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find(" Found : 1"), std::string::npos) << out;
  EXPECT_EQ(err, "vexmoor: Cannot list folder \"" + (dir_ / "roms/lo\\x0Acked/") + "\". Permission denied\n" +
                     real.err);
#endif
}

}  // namespace
}  // namespace vexmoor
