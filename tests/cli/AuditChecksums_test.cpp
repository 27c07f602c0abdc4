// `vexmoor audit` with the checksum store: its switches, and a store that is
// damaged or held by another program, which never changes what the audit
// reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <thread>

#include "catalogue/TextLines.h"
#include "scan/store/Sqlite.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"
#include "tests/scan/ScanTestUtil.h"
#include "tests/scan/store/ChecksumTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::ShellQuote;

class AuditChecksumsTest : public test::TempDirTest {
 protected:
  // A dat and roms/ with three loose dumps and a zip. The store writes no
  // row for a file changed within the last two seconds, so the dumps are
  // made that much older before the first audit.
  void MakeCollection() {
    std::string dat = "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n";
    for (int i = 0; i < 3; ++i) {
      const std::string data = test::Dump("r" + std::to_string(i));
      dir_.Write("roms/sub/r" + std::to_string(i) + ".nds", data);
      dat += std::to_string(100 + i) + "|" + HexLong(test::CrcOf(data)) + "|R" +
             std::to_string(i) + "\r\n";
    }
    dir_.Write("roms/z.zip", test::BuildZip({{"m.nds", test::Dump("m")}}));
    dat += "200|" + HexLong(test::CrcOf(test::Dump("m"))) + "|M\r\n";
    dir_.Write("c.dat", dat);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  }
  test::CommandResult Audit(const std::string& switches = "") {
    return RunCli("audit --no-cache " + switches + " " + ShellQuote(dir_ / "c.qdat") + " " +
                  ShellQuote(dir_ / "roms"));
  }
  std::string Store() const { return dir_ / "xdg/vexmoor/checksums.sqlite3"; }
  void Sql(const char* sql) const {
    TSqliteDb db(Store());
    db.Exec(sql);
  }

  test::ScopedEnv cacheHome_{"XDG_CACHE_HOME", dir_ / "xdg"};
};

TEST_F(AuditChecksumsTest, SwitchesChooseWhatIsReadAndWhatIsRemembered) {
  MakeCollection();
  fs::rename(dir_ / "c.dat", dir_ / "c.qdat");  // native text in a .qdat
  const auto none = Audit("--no-checksum-cache");
  ASSERT_EQ(none.exitCode, 0) << none.err;
  EXPECT_FALSE(fs::exists(dir_ / "xdg"));
  EXPECT_EQ(none.out.find("missing"), std::string::npos) << none.out;

  const auto first = Audit();
  EXPECT_EQ(first.out, none.out);
  EXPECT_EQ(first.err, "");
  ASSERT_TRUE(fs::exists(Store()));
  test::SetEveryStoredCrc(Store(), 1);  // what a stale row would say
  EXPECT_NE(Audit().out, none.out);
  EXPECT_EQ(Audit("--no-checksum-cache").out, none.out);
  EXPECT_EQ(Audit("--rehash").out, none.out);
  EXPECT_EQ(Audit().out, none.out);  // the rows were refreshed
  EXPECT_EQ(Audit("--rehash --no-checksum-cache").exitCode, 2);
}

TEST_F(AuditChecksumsTest, ADamagedStoreIsSetAsideWithOneLine) {
  MakeCollection();
  fs::rename(dir_ / "c.dat", dir_ / "c.qdat");
  const auto expected = Audit("--no-checksum-cache");
  fs::create_directories(fs::path(Store()).parent_path());
  std::ofstream(Store()) << "garbage";
  const auto audit = Audit();
  EXPECT_EQ(audit.exitCode, 0);
  EXPECT_EQ(audit.out, expected.out);
  EXPECT_EQ(std::count(audit.err.begin(), audit.err.end(), '\n'), 1) << audit.err;
  EXPECT_NE(audit.err.find("set aside"), std::string::npos) << audit.err;
  EXPECT_EQ(test::ReadFile(Store() + ".broken"), "garbage");
}

// Runs the holder program; it lets go when the object dies.
class THeldStore {
 public:
  THeldStore(const std::string& store, const std::string& mode, std::string release)
      : release_(std::move(release)) {
    const std::string command =
        ShellQuote(VEXMOOR_HOLD_STORE) + " " + ShellQuote(store) + " " + mode + " " +
        ShellQuote(release_);
    pipe_ = ::popen(command.c_str(), "r");
    char line[256] = {};
    if (pipe_ != nullptr && std::fgets(line, sizeof line, pipe_) != nullptr) said_ = line;
  }
  ~THeldStore() {
    std::ofstream(release_) << "go";
    if (pipe_ != nullptr) ::pclose(pipe_);
    fs::remove(release_);
  }
  const std::string& Said() const { return said_; }

 private:
  std::string release_;
  FILE* pipe_ = nullptr;
  std::string said_;
};

TEST_F(AuditChecksumsTest, AStoreHeldByAnotherProgramChangesNothingButALine) {
#ifdef _WIN32
  GTEST_SKIP() << "the holder program is started through popen and /bin/sh quoting, which the Windows test helpers do not have yet";
#else
  MakeCollection();
  fs::rename(dir_ / "c.dat", dir_ / "c.qdat");
  const auto expected = Audit("--no-checksum-cache");
  ASSERT_EQ(Audit().err, "");  // the store exists now
  Sql("DELETE FROM folders");
  {
    // Reading goes on beside a writer; the rows wait, then are given up.
    THeldStore held(Store(), "write", dir_ / "release");
    ASSERT_EQ(held.Said(), "held\n");
    const auto audit = Audit();
    EXPECT_EQ(audit.exitCode, 0);
    EXPECT_EQ(audit.out, expected.out);
    EXPECT_NE(audit.err.find("locked by another program; 3 checksums were not remembered"),
              std::string::npos)
        << audit.err;
  }
  {
    // Nothing at all can be had while the other program keeps every lock.
    THeldStore held(Store(), "exclusive", dir_ / "release");
    ASSERT_EQ(held.Said(), "held\n");
    const auto audit = Audit();
    EXPECT_EQ(audit.exitCode, 0);
    EXPECT_EQ(audit.out, expected.out);
    EXPECT_EQ(std::count(audit.err.begin(), audit.err.end(), '\n'), 1) << audit.err;
    EXPECT_NE(audit.err.find("cannot be used"), std::string::npos) << audit.err;
  }
  EXPECT_FALSE(fs::exists(Store() + ".broken"));
  EXPECT_EQ(Audit().err, "");
#endif
}

// The audit killed at moments spread over its run, most of them while the
// store's writer is filling it: the store it leaves opens as it is (nothing
// set aside) and the next audit reports exactly what one without it does.
TEST_F(AuditChecksumsTest, AnAuditKilledWhileItFillsTheStoreLeavesAStoreThatReadsTheSame) {
#ifdef _WIN32
  GTEST_SKIP() << "the audit is started and killed through /bin/sh";
#else
  std::string dat = "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string data = test::Dump("k" + std::to_string(i), 64);
    dir_.Write("roms/f" + std::to_string(i / 500) + "/k" + std::to_string(i) + ".nds", data);
    if (i % 7 == 0) dat += std::to_string(i) + "|" + HexLong(test::CrcOf(data)) + "|K\r\n";
  }
  dir_.Write("c.qdat", dat);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  const auto expected = Audit("--no-checksum-cache");
  ASSERT_EQ(expected.exitCode, 0) << expected.err;
  for (const char* delay : {"0.02", "0.06", "0.1", "0.15", "0.25", "0.4"}) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(Store() + suffix);
    const std::string script = ShellQuote(VEXMOOR_CLI) + " audit --no-cache " +
                               ShellQuote(dir_ / "c.qdat") + " " + ShellQuote(dir_ / "roms") +
                               " >/dev/null 2>&1 & p=$!; sleep " + delay +
                               "; kill -9 $p 2>/dev/null; wait $p";
    std::system(("sh -c " + ShellQuote(script)).c_str());
    const auto after = Audit();
    EXPECT_EQ(after.exitCode, 0) << delay;
    EXPECT_EQ(after.err, "") << delay;
    EXPECT_EQ(after.out, expected.out) << delay;
    EXPECT_FALSE(fs::exists(Store() + ".broken")) << delay;
  }
#endif
}

}  // namespace
}  // namespace vexmoor
