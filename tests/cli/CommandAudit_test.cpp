#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "catalogue/TextLines.h"
#include "cli/AuditOutput.h"
#include "scan/Digest.h"
#include "support/ArchiveBuilder.h"
#include "support/CrcForge.h"
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
  // The audits keep their checksum store to this test.
  test::ScopedEnv cacheHome_{"XDG_CACHE_HOME", dir_ / "xdg-cache"};
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

// A native dat gives CRCs alone: verification changes none of its output,
// with or without --verify.
TEST_F(AuditTest, NativeDatOutputIsByteIdenticalWithVerify) {
  MakeSample();
  if (IsSkipped()) return;
  const std::string args = ShellQuote(dir_ / "sample-ds.qdat") + " " + ShellQuote(dir_ / "roms");
  const auto text = RunCli("audit --no-cache --verify " + args);
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(ReplaceAll(text.out, dir_.Path(), "ROOT"), Golden("audit-sample.txt"));
  const auto json = RunCli("audit --no-cache --json " + args);
  EXPECT_EQ(json.out.find("verified"), std::string::npos);
  EXPECT_EQ(json.out.find("mismatched"), std::string::npos);
}

TEST_F(AuditTest, Sha1DatMarksHowEachDumpWasProvenAndNamesTheTwin) {
  const std::string real = test::Dump("real", 30000), zipped = test::Dump("zipped", 30001);
  const std::string twin = test::CrcTwin(real);
  dir_.Write("roms/twin.nds", twin);
  dir_.Write("roms/z.zip", test::BuildZip({{"z.nds", zipped}}));
  std::string dat = "clrmamepro (\n\tname \"S\"\n)\n";
  for (const auto& [name, data] : {std::pair{"real.nds", &real}, std::pair{"z.nds", &zipped}}) {
    THasher hasher(kDigestSha1);
    hasher.Add(reinterpret_cast<const uint8_t*>(data->data()), data->size());
    dat += std::string("game (\n\tname \"") + name + "\"\n\trom ( name \"" + name + "\" size " +
           std::to_string(data->size()) + " crc " + HexLong(test::CrcOf(*data)) + " sha1 " +
           hasher.Finish().Sha1 + " )\n)\n";
  }
  const std::string args = ShellQuote(dir_.Write("s.dat", dat)) + " " + ShellQuote(dir_ / "roms");
  const std::string member = (dir_ / "roms/z.zip") + "\\z.nds";
  auto text = RunCli("audit --no-cache " + args);
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("\tmissing\treal.nds\t\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\tfound\tz.nds\t" + member + " [CRC only]\n"), std::string::npos) << text.out;
  EXPECT_EQ(text.err, "vexmoor: Checksum mismatch: \"" + (dir_ / "roms/twin.nds") +
                          "\" has the CRC-32 and size of 0001 real.nds but another SHA-1\n");
  text = RunCli("audit --no-cache --verify " + args);
  EXPECT_NE(text.out.find("\tfound\tz.nds\t" + member + " [SHA-1 verified]\n"), std::string::npos) << text.out;
  dir_.Write("roms/real.nds", real);
  // The rebuild's scan is the same: the twin is never taken for the release.
  const auto plan = RunCli("rebuild --dry-run --verify " + args + " " + ShellQuote(dir_ / "out"));
  EXPECT_EQ(plan.exitCode, 0) << plan.err;
  EXPECT_NE(plan.out.find(dir_ / "roms/real.nds"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find(member), std::string::npos) << plan.out;
  EXPECT_EQ(plan.out.find("twin.nds"), std::string::npos) << plan.out;
  const auto json = RunCli("audit --no-cache --json " + args);
  EXPECT_NE(json.out.find("\"location\":" + cli::JsonString(dir_ / "roms/real.nds") + ",\"verified\":\"sha1\"}"),
            std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"location\":" + cli::JsonString(member) + ",\"verified\":\"crc\"}"),
            std::string::npos);
  EXPECT_NE(json.out.find("\"mismatched\":[{\"path\":" + cli::JsonString(dir_ / "roms/twin.nds") +
                          ",\"member\":\"\",\"size\":30000,\"crc\":\"" + HexLong(test::CrcOf(real)) +
                          "\",\"index\":\"0001\",\"name\":\"real.nds\",\"checksum\":\"sha1\"}]"),
            std::string::npos) << json.out;
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
}

// Regression: one damaged archive ended the whole audit with "vexmoor:
// Unknown compression format.", exit 1, no results, no JSON and no cache.
TEST_F(AuditTest, OneDamagedArchiveAmongGoodDumpsPrintsEveryResultAndNamesIt) {
  const std::string good = test::Dump("good");
  const std::string dat = ShellQuote(dir_.Write(
      "n.qdat", "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n0001|" + HexLong(test::CrcOf(good)) + "|A\r\n"));
  dir_.Write("roms/a.zip", "half a download");
  dir_.Write("roms/b.nds", good);
  const auto text = RunCli("audit " + dat + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.out.find("0001\t" + HexLong(test::CrcOf(good)) + "\tfound"), std::string::npos);
  EXPECT_EQ(text.err, "vexmoor: Cannot read the archive \"" + (dir_ / "roms/a.zip") +
                          "\". Unknown compression format.\n");
  EXPECT_TRUE(fs::exists(dir_ / "n.qcache"));
  const auto json = RunCli("audit --json " + dat + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\"skipped\":1,"), std::string::npos) << json.out;
  std::string zip = dir_ / "roms/a.zip";  // as a JSON string holds it: a '\\' doubled
  for (size_t at = 0; (at = zip.find('\\', at)) != std::string::npos; at += 2) zip.insert(at, 1, '\\');
  EXPECT_NE(json.out.find("],\"unexamined\":[\"Cannot read the archive \\\"" + zip +
                          "\\\". Unknown compression format.\"]}\n"),
            std::string::npos)
      << json.out;
}

// Regression: a dat name holding a line end forged a line of the text
// output ("0999 CAFEBABE found ..."), and ESC sequences in member names
// reached the terminal.
TEST_F(AuditTest, ANameWithALineEndOrEscapeForgesNoLine) {
  const std::string data = test::Dump("escaped");
  const std::string crc = HexLong(test::CrcOf(data));
  dir_.Write("roms/e.zip", test::BuildZip({{"x\x1B[2J.nds", data}}));
  const std::string dat = ShellQuote(
      dir_.Write("l.xml",
                 "<?xml version=\"1.0\"?>\n<datafile><header><name>N</name></header>"
                 "<game name=\"Real&#13;&#10;0999&#9;CAFEBABE&#9;found&#9;Forged\">"
                 "<rom name=\"r.nds\" size=\"" +
                     std::to_string(data.size()) + "\" crc=\"" + crc + "\"/></game></datafile>\n"));
  const auto run = RunCli("audit --no-cache " + dat + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "0001\t" + crc +
                         "\tfound\tReal\\x0D\\x0A0999\\x09CAFEBABE\\x09found\\x09Forged\t" +
                         (dir_ / "roms/e.zip") + "\\x\\x1B[2J.nds\n Found : 1\n Missing : 0\n");
}

TEST_F(AuditTest, JsonIsUtf8WhateverTheDatBytes) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names are UTF-16: a name whose bytes are not UTF-8 cannot be made";
#else
  const std::string data = test::Dump("caf\xe9");
  const std::string crc = HexLong(test::CrcOf(data));
  dir_.Write("rc.dat",
             "[GAMES]\r\n\xAC"
             "p\xAC"
             "Caf\xE9 Racer\xAC"
             "p\xAC"
             "d\xAC"
             "r.nds\xAC" +
                 crc + "\xAC" + std::to_string(data.size()) + "\xAC\xAC\xAC\r\n");
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
#endif
}

TEST_F(AuditTest, WorkersGiveTheSameJsonAndCacheFile) {
  std::string dat = "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n";
  int index = 0;
  auto known = [&](const std::string& data) {
    ++index;
    dat += std::to_string(1000 + index) + "|" + HexLong(test::CrcOf(data)) + "|Release " +
           std::to_string(index) + "\r\n";
    return data;
  };
  for (int i = 0; i < 12; ++i) {
    const std::string where = "roms/" + std::string(i % 2 ? "USA/" : "Europe/") +
                              std::string(i % 3 ? "A/" : "B/C/") + "r" + std::to_string(i) + ".nds";
    dir_.Write(where, known(test::Dump("loose " + std::to_string(i), 0x8400 + 4096 * i)));
  }
  const std::string twice = known(test::Dump("twice"));
  dir_.Write("roms/twice.nds", twice);
  dir_.Write("roms/USA/A/twice.nds", twice);
  dir_.Write("roms/USA/bad.nds", known(test::BadDump("bad")));
  dir_.Write("roms/Zips/z.zip", test::BuildZip({{"a.nds", known(test::Dump("za"))},
                                                {"b/b.nds", known(test::Dump("zb"))}}));
  for (int v = 1; v <= 2; ++v) {
    dir_.Write("roms/Rars/s.part" + std::to_string(v) + ".rar",
               test::BuildRarVolume({{"v" + std::to_string(v) + ".nds",
                                      known(test::Dump("rar" + std::to_string(v)))}},
                                    0x0011));
  }
  dir_.Write("roms/Rars/locked.rar", test::BuildRarVolume({{"l.nds", test::Dump("l")}}));
  fs::create_directories(dir_ / "roms/Rars/locked.r00");  // skipped
  known(test::Dump("not there"));
  const std::string args = ShellQuote(dir_.Write("w.qdat", dat)) + " " + ShellQuote(dir_ / "roms");

  auto run = [&](const std::string& workers) {
    fs::remove(dir_ / "w.qcache");
    const auto result = RunCli("audit --json --workers " + workers + " " + args);
    const std::string cache = fs::exists(dir_ / "w.qcache") ? test::ReadFile(dir_ / "w.qcache") : "";
    return std::to_string(result.exitCode) + "\n" + result.out + "\n" + result.err + "\n" + cache;
  };
  const std::string plain = run("1");
  EXPECT_NE(plain.find("\"skipped\":1"), std::string::npos) << plain;
  EXPECT_NE(plain.find("bad"), std::string::npos);
  for (const char* workers : {"0", "2", "3", "8"}) EXPECT_EQ(run(workers), plain) << workers;

  dir_.Write("roms/USA/A/damaged.zip", "not a zip");  // named, and the scan goes on
  const std::string named = run("1");
  EXPECT_NE(named.find("\"skipped\":2"), std::string::npos) << named;
  EXPECT_NE(named.find("vexmoor: Cannot read the archive \""), std::string::npos) << named;
  for (const char* workers : {"2", "5"}) EXPECT_EQ(run(workers), named) << workers;

  EXPECT_EQ(RunCli("audit --workers " + args).exitCode, 2);
  EXPECT_EQ(RunCli("audit --workers -1 " + args).exitCode, 2);
  EXPECT_EQ(RunCli("audit --workers 2x " + args).exitCode, 2);
}

TEST_F(AuditTest, TrimmedFindsAreMarkedInTextAndJsonAndNoTrimmedLeavesThemMissing) {
  std::string image = test::Dump("trimmed image", 200000);
  image.resize(256 * 1024, '\xFF');
  const std::string whole = test::Dump("whole");
  dir_.Write("roms/t.zip", test::BuildZip({{"t.nds", image.substr(0, 200000)}}));
  dir_.Write("roms/w.nds", whole);
  const std::string dat = "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n1|" + HexLong(test::CrcOf(image)) +
                          "|Trimmed\r\n2|" + HexLong(test::CrcOf(whole)) + "|Whole\r\n";
  const std::string args = ShellQuote(dir_.Write("t.qdat", dat)) + " " + ShellQuote(dir_ / "roms");
  const std::string zipped = (dir_ / "roms/t.zip") + "\\t.nds";

  const auto text = RunCli("audit --no-cache " + args);
  EXPECT_NE(text.out.find("\tfound\tTrimmed\t" + zipped + " (trimmed)\n"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\tfound\tWhole\t" + (dir_ / "roms/w.nds") + "\n"), std::string::npos);
  const auto json = RunCli("audit --no-cache --json " + args);
  EXPECT_NE(json.out.find("\"location\":" + cli::JsonString(zipped) + ",\"trimmed\":true}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"found\":2,"), std::string::npos);
  EXPECT_EQ(json.out.find("\"trimmed\":true", json.out.find("Whole")), std::string::npos);

  // Off: the trimmed dump is missing, and no entry carries the key.
  const auto off = RunCli("audit --no-cache --no-trimmed --json " + args);
  EXPECT_EQ(off.exitCode, 0) << off.err;
  EXPECT_NE(off.out.find("\"found\":1,"), std::string::npos) << off.out;
  EXPECT_EQ(off.out.find("trimmed"), std::string::npos);
}

TEST_F(AuditTest, ListsIntoAFolderThatIsNotThereAreWrittenThere) {
  const std::string dat =
      ShellQuote(dir_.Write("n.qdat", "[INFO]\r\nNAME=N\r\nMASK=*.nds\r\n[DAT]\r\n0001|00000001|A\r\n"));
  fs::create_directories(dir_ / "roms");
  const auto run = RunCli("audit --no-cache " + dat + " " + ShellQuote(dir_ / "roms") + " --lists " +
                          ShellQuote(dir_ / "new/lists") + " --fixdat " + ShellQuote(dir_ / "fix.dat"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir_ / "new/lists/N-Have.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "new/lists/N-Miss.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "fix.dat"));
}

TEST_F(AuditTest, AFixDatIntoAFolderThatIsNotThereIsRefusedBeforeTheScan) {
  const std::string dat =
      ShellQuote(dir_.Write("n.qdat", "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n0001|00000001|A\r\n"));
  fs::create_directories(dir_ / "roms");
  for (const std::string& target : {dir_ / "nowhere/fix.dat", dir_ / "roms"}) {
    const auto run = RunCli("audit " + dat + " " + ShellQuote(dir_ / "roms") + " --fixdat " +
                            ShellQuote(target));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");  // no scan ran
    EXPECT_NE(run.err.find(target), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "n.qcache"));
}

TEST_F(AuditTest, ACacheThatCannotBeWrittenStillPrintsTheResults) {
  const std::string data = test::Dump("here");
  // The dat's name fits in a file name; its cache's name does not.
  const std::string dat = dir_.Write(std::string(249, 'n') + ".qdat",
      "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n0001|" + HexLong(test::CrcOf(data)) + "|A\r\n");
  dir_.Write("roms/here.nds", data);
  const auto run = RunCli("audit " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms") + " --lists " +
                          ShellQuote(dir_ / "lists"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("0001\t" + HexLong(test::CrcOf(data)) + "\tfound"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("the cache was not written"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(dir_ / "lists/-Have.txt"));
}

TEST_F(AuditTest, AGarbageDatSaysWhyWithoutRawControlBytes) {
  fs::create_directories(dir_ / "roms");
  const std::string dat =
      dir_.Write("g.qdat", std::string("[DAT]\r\n1|\x1B[2J\x07\x01zz|A\r\n", 20));
  const auto run = RunCli("audit " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(run.exitCode, 2);
  ASSERT_FALSE(run.err.empty());
  EXPECT_NE(run.err.find("\\x1B[2J"), std::string::npos) << run.err;
  for (size_t i = 0; i + 1 < run.err.size(); ++i)
    EXPECT_GE(static_cast<unsigned char>(run.err[i]), 0x20) << "raw byte at " << i;
}

}  // namespace
}  // namespace vexmoor
