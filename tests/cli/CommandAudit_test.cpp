#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::ShellQuote;

std::string Source(const std::string& relative) {
  return std::string(VEXMOOR_SOURCE_DIR) + "/" + relative;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

class AuditTest : public test::TempDirTest {
 protected:
  // The sample rom folder and a copy of the sample dat in the temp folder.
  void MakeSample() {
    const std::string command = "python3 " + ShellQuote(Source("scripts/make-sample-roms.py")) +
                                " " + ShellQuote(dir_ / "roms");
    if (std::system(command.c_str()) != 0)
      GTEST_SKIP() << "python3 cannot run the sample generator";
    fs::copy_file(Source("examples/sample-ds.qdat"), dir_ / "sample-ds.qdat");
  }
  std::string Golden(const std::string& name) {
    return test::ReadFile(Source("tests/cli/data/" + name));
  }
};

TEST_F(AuditTest, SampleTextJsonReportsAndCache) {
  MakeSample();
  if (IsSkipped()) return;
  const std::string args = ShellQuote(dir_ / "sample-ds.qdat") + " " + ShellQuote(dir_ / "roms");
  const auto text = RunCli("audit " + args + " --lists " + ShellQuote(dir_.Path()) + " --fixdat " +
                           ShellQuote(dir_ / "fix.dat"));
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(ReplaceAll(text.out, dir_.Path(), "ROOT"), Golden("audit-sample.txt"));
  EXPECT_EQ(test::ReadFile(dir_ / "Vexmoor Sample DS-Have.txt"), Golden("audit-sample-have.txt"));
  EXPECT_EQ(test::ReadFile(dir_ / "Vexmoor Sample DS-Miss.txt"), Golden("audit-sample-miss.txt"));
  EXPECT_EQ(test::ReadFile(dir_ / "fix.dat"), Golden("audit-sample-fix.dat"));
  EXPECT_EQ(fs::file_size(dir_ / "sample-ds.qcache"),
            10u + 5u * 11u);  // 12 found, two of them share a CRC

  // A second run loads the cache: what the first run found is now "cached"
  // unless found again; with --no-cache nothing is read.
  fs::remove_all(dir_ / "roms/USA");
  const auto json = RunCli("audit --json " + args);
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(ReplaceAll(json.out, dir_.Path(), "ROOT"), Golden("audit-sample-rerun.json"));
  const auto noCache = RunCli("audit --no-cache " + args);
  EXPECT_NE(noCache.out.find("0002\t071F2F20\tmissing\tCopper Comet Rally\t\n"), std::string::npos);
}

TEST_F(AuditTest, UsageAndLoadErrorsExitTwoScanErrorsExitOne) {
  EXPECT_EQ(RunCli("audit").exitCode, 2);
  EXPECT_EQ(RunCli("audit a.qdat").exitCode, 2);
  EXPECT_EQ(RunCli("audit a.qdat b --bogus").exitCode, 2);
  EXPECT_EQ(RunCli("audit a.qdat b --lists").exitCode, 2);
  const std::string folder = ShellQuote(dir_.Path());
  const auto notDat = RunCli("audit " + ShellQuote(dir_.Write("x.txt", "")) + " " + folder);
  EXPECT_EQ(notDat.exitCode, 2);
  EXPECT_NE(notDat.err.find("is not a dat"), std::string::npos);
  EXPECT_EQ(RunCli("audit " + ShellQuote(dir_ / "missing.qdat") + " " + folder).exitCode, 2);
  const std::string noGames = ShellQuote(dir_.Write("rc.dat", "[CREDITS]\r\n"));
  EXPECT_EQ(RunCli("audit " + noGames + " " + folder).exitCode, 2);
  const std::string dat =
      ShellQuote(dir_.Write("n.qdat", "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n0001|00000001|A\r\n"));
  EXPECT_EQ(RunCli("audit " + dat + " " + ShellQuote(dir_ / "nowhere")).exitCode, 2);
  dir_.Write("roms/empty.zip", test::BuildZip({}));
  const auto failed = RunCli("audit " + dat + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err, "vexmoor: Unknown compression format.\n");
  EXPECT_EQ(failed.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "n.qcache"));  // no end pass, no cache
}

TEST_F(AuditTest, JsonIsUtf8WhateverTheDatBytes) {
  const std::string data = test::Dump("caf\xe9");
  const std::string crc = HexLong(test::CrcOf(data));
  dir_.Write("rc.dat",
             "[GAMES]\r\n\xAC"
             "p\xAC"
             "Caf\xE9 Racer\xAC"
             "p\xAC"
             "d\xAC"
             "r.nds\xAC" +
                 crc +
                 "\xAC"
                 "1\xAC\xAC\xAC\r\n");
  dir_.Write("roms/\xE9t\xE9.zip", test::BuildZip({{"caf\xC3\xA9.nds", data}}));
  const auto json = RunCli("audit --no-cache --json " + ShellQuote(dir_ / "rc.dat") + " " +
                           ShellQuote(dir_ / "roms"));
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_NE(json.out.find("\"name\":\"Caf\xC3\xA9 Racer\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("/roms/\xC3\xA9t\xC3\xA9.zip\\\\caf\xC3\x83\xC2\xA9.nds\"}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(
      json.out.find(
          "\"total\":1,\"found\":1,\"missing\":0,\"matched\":1,\"skipped\":0,\"cancelled\":false"),
      std::string::npos);
}

}  // namespace
}  // namespace vexmoor
