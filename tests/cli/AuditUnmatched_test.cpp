// `vexmoor audit --unmatched FILE`: the folder's other files in a list, in
// the JSON and as count lines, and the output without the option unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "catalogue/TextLines.h"
#include "support/ArchiveBuilder.h"
#include "support/SevenZipBuilder.h"
#include "support/TempDir.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

// `path` as a JSON string holds it: a Windows path's '\\' doubled.
std::string InJson(std::string path) {
  for (size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, 1, '\\');
  return path;
}
using test::CrcOf;
using test::Dump;
using test::RunCli;
using test::ShellQuote;

class AuditUnmatchedTest : public test::TempDirTest {
 protected:
  // A native dat (CRCs only) of `lines` ("0001|CRC|Name").
  std::string Dat(const std::string& lines) {
    return ShellQuote(dir_.Write("n.qdat", "[INFO]\r\nNAME=Other Files\r\nMASK=*.nds\r\n[DAT]\r\n" + lines));
  }
  static std::string Line(const std::string& index, const std::string& data, const std::string& name) {
    return index + "|" + HexLong(CrcOf(data)) + "|" + name + "\r\n";
  }
  std::string Roms() { return ShellQuote(dir_ / "roms"); }
  test::ScopedEnv cacheHome_{"XDG_CACHE_HOME", dir_ / "xdg-cache"};
};

TEST_F(AuditUnmatchedTest, TheOptionAddsCountLinesAndAnArrayAndLeavesTheRestByteForByte) {
  const std::string good = Dump("good"), bad = test::BadDump("bad");
  const std::string dat = Dat(Line("0001", good, "Good") + Line("0002", bad, "Bad"));
  dir_.Write("roms/good.nds", good);
  dir_.Write("roms/bad.nds", bad);
  dir_.Write("roms/junk.nds", Dump("junk"));
  dir_.Write("roms/notes.txt", "no dump");
  dir_.Write("roms/set.zip", test::BuildZip({{"again.nds", good}, {"readme.txt", "no dump"}}));
  dir_.Write("roms/half.7z", "not a 7z");
  const std::string list = dir_ / "other.txt";
  const std::string common = "--no-cache " + dat + " " + Roms();

  const auto plain = RunCli("audit " + common);
  const auto with = RunCli("audit " + common + " --unmatched " + ShellQuote(list));
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(with.exitCode, 0) << with.err;
  EXPECT_EQ(with.err, plain.err);
  EXPECT_EQ(with.out, plain.out +
                          " Unknown : 1\n Duplicate : 1\n Wrong size : 0\n Checksum mismatch : 0\n"
                          " Bad dump : 1\n Unreadable : 1\n");
  // The counted copy of Good is the one its location names, the other is the duplicate.
  const std::string location = plain.out.substr(0, plain.out.find('\n'));
  const bool zipCounts = location.find("set.zip") != std::string::npos;
  const std::string counted = zipCounts ? (dir_ / "roms/set.zip") + "\\again.nds" : dir_ / "roms/good.nds";
  const std::string copy = zipCounts ? dir_ / "roms/good.nds" : (dir_ / "roms/set.zip") + "\\again.nds";
  const std::string text = test::ReadFile(list);
  const std::string size = std::to_string(good.size());
  EXPECT_NE(text.find("Unknown\t" + (dir_ / "roms/junk.nds") + "\t" + size + "\t" +
                      HexLong(CrcOf(Dump("junk"))) + "\t\t\t\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Duplicate\t" + copy + "\t" + size + "\t" + HexLong(CrcOf(good)) +
                      "\t0001\tGood\t" + counted + "\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Bad dump\t" + (dir_ / "roms/bad.nds") + "\t" + size + "\t" +
                      HexLong(CrcOf(bad)) + "\t0002\tBad\t\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Unreadable\t" + (dir_ / "roms/half.7z") + "\t\t\t\t\tCannot read the archive"),
            std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

  const auto plainJson = RunCli("audit --json " + common);
  const auto withJson = RunCli("audit --json " + common + " --unmatched " + ShellQuote(list));
  EXPECT_EQ(plainJson.out.find("\"unmatched\""), std::string::npos);
  ASSERT_GT(plainJson.out.size(), 2u);
  const std::string head = plainJson.out.substr(0, plainJson.out.size() - 2);  // without "}\n"
  ASSERT_EQ(withJson.out.substr(0, head.size()), head);
  const std::string array = withJson.out.substr(head.size());
  EXPECT_EQ(array.substr(0, 15), ",\"unmatched\":[{");
  EXPECT_NE(array.find("{\"kind\":\"Unknown\",\"path\":\"" + InJson(dir_ / "roms/junk.nds") + "\",\"size\":" +
                       size + ",\"crc\":\"" + HexLong(CrcOf(Dump("junk"))) + "\"}"),
            std::string::npos)
      << array;
  EXPECT_NE(array.find("\"kind\":\"Duplicate\""), std::string::npos);
  EXPECT_NE(array.find("\"entry\":{\"index\":\"0001\",\"name\":\"Good\"},\"counted\":\""),
            std::string::npos);
  EXPECT_NE(array.find("{\"kind\":\"Unreadable\",\"path\":\"" + InJson(dir_ / "roms/half.7z") +
                       "\",\"reason\":\"Cannot read the archive"),
            std::string::npos)
      << array;
}

TEST_F(AuditUnmatchedTest, ListsWriteTheUnknownListBesideHaveAndMiss) {
  const std::string dat = Dat(Line("0001", Dump("good"), "Good"));
  dir_.Write("roms/junk.nds", Dump("junk"));
  const auto run = RunCli("audit --no-cache " + dat + " " + Roms() + " --lists " + ShellQuote(dir_ / "lists"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir_ / "lists/Other Files-Have.txt"));
  EXPECT_EQ(test::ReadFile(dir_ / "lists/Other Files-Unknown.txt"),
            "Unknown\t" + (dir_ / "roms/junk.nds") + "\t" + std::to_string(Dump("junk").size()) + "\t" +
                HexLong(CrcOf(Dump("junk"))) + "\t\t\t\r\n");
}

TEST_F(AuditUnmatchedTest, AListIntoAMissingFolderIsRefusedBeforeTheScanAndANameIsOneLine) {
#ifdef _WIN32
  GTEST_SKIP() << "a TAB cannot be in a Windows file name";
#endif
  const std::string dat = Dat(Line("0001", Dump("good"), "Good"));
  dir_.Write("roms/tab\there.nds", Dump("junk"));
  dir_.Write("roms/cr\r lf\n esc\x1b.nds", Dump("junk 2"));
  const auto refused =
      RunCli("audit --no-cache " + dat + " " + Roms() + " --unmatched " + ShellQuote(dir_ / "no/such/list.txt"));
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("its folder is missing"), std::string::npos) << refused.err;
  const auto run = RunCli("audit --no-cache " + dat + " " + Roms() + " --unmatched " + ShellQuote(dir_ / "l.txt"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // A TAB, CR, LF or ESC in a file name is a blank: each of the two lines
  // keeps its seven fields, and no escape reaches a terminal that shows it.
  const std::string text = test::ReadFile(dir_ / "l.txt");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 12) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2) << text;
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_NE(text.find("tab here.nds"), std::string::npos);
  EXPECT_NE(text.find("cr  lf  esc .nds"), std::string::npos) << text;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST_F(AuditUnmatchedTest, ARealRarWithOneFileTwiceAndAnotherSizeInAXmlDat) {
  const std::string rar = test::SharedFixture("rar/test_read_format_rar.rar");
  if (rar.empty()) GTEST_SKIP() << "no shared fixtures";
  fs::create_directories(dir_ / "roms");
  fs::copy_file(rar, dir_ / "roms/t.rar");
  // test.txt: 20 bytes, CRC BEC8A242, stored twice; testlink's CRC with another size.
  const std::string dat = ShellQuote(dir_.Write(
      "x.dat", "<?xml version=\"1.0\"?>\n<datafile><header><name>X</name></header>"
               "<game name=\"Text\"><rom name=\"test.txt\" size=\"20\" crc=\"bec8a242\"/></game>"
               "<game name=\"Link\"><rom name=\"testlink\" size=\"9\" crc=\"b6c9447b\"/></game>"
               "</datafile>\n"));
  const auto run = RunCli("audit --no-cache " + dat + " " + Roms() + " --unmatched " + ShellQuote(dir_ / "l.txt"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::ReadFile(dir_ / "l.txt"),
            "Duplicate\t" + (dir_ / "roms/t.rar") + "\\test.txt\t20\tBEC8A242\t0001\tText\t" +
                (dir_ / "roms/t.rar") + "\\testdir\\test.txt\r\n");
}

}  // namespace
}  // namespace vexmoor
