// vexmoor decode and vexmoor info, on the examples and on broken dats.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/DatContainer.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

std::string Source(std::string_view relative) {
  return std::string(VEXMOOR_SOURCE_DIR) + "/" + std::string(relative);
}

class DatCommands : public test::TempDirTest {};

TEST_F(DatCommands, DecodePrintsTheTextLoadingWouldParse) {
  const auto container = RunCli("decode " + ShellQuote(Source("examples/sample-ds.qdat")));
  EXPECT_EQ(container.exitCode, 0);
  EXPECT_EQ(container.out, test::ReadFile(Source("examples/sample-ds.txt")));
  const std::string plain = dir_.Write("plain.qdat", std::string("no magic\0here\n", 14));
  const auto verbatim = RunCli("decode " + ShellQuote(plain));
  EXPECT_EQ(verbatim.exitCode, 0);
  EXPECT_EQ(verbatim.out, std::string("no magic\0here\n", 14));
}

TEST_F(DatCommands, DecodeFailuresExitOne) {
  const std::string foreign = dir_.Write("foreign.qdat", "QDAT12345678not a block");
  const auto result = RunCli("decode " + ShellQuote(foreign));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "vexmoor: \"" + foreign +
                "\" does not decipher to a packed dat (another key, or a damaged file)\n");
  EXPECT_EQ(RunCli("decode " + ShellQuote(dir_ / "absent.qdat")).exitCode, 1);
  EXPECT_EQ(RunCli("decode").exitCode, 2);
  EXPECT_EQ(RunCli("decode a b").exitCode, 2);
}

TEST_F(DatCommands, InfoPrintsHeaderLoaderAndCount) {
  const auto native = RunCli("info " + ShellQuote(Source("examples/sample-ds.qdat")));
  EXPECT_EQ(native.exitCode, 0);
  EXPECT_EQ(native.out, test::ReadFile(Source("tests/data/info-sample-ds.txt")));
  const auto romCenter = RunCli("info " + ShellQuote(Source("examples/sample-rc.dat")));
  EXPECT_EQ(romCenter.exitCode, 0);
  EXPECT_EQ(romCenter.out, test::ReadFile(Source("tests/data/info-sample-rc.txt")));
  const std::string plain = dir_.Write("plain.qdat", "[INFO]\nNAME=P\n[DAT]\n1|2|x\n");
  const auto text = RunCli("info " + ShellQuote(plain));
  EXPECT_NE(text.out.find("NAME: P\n"), std::string::npos);
  EXPECT_NE(text.out.find("LOADER: LoadQuenDat (plain text)\nFORMAT: native\n1 entries\n"), std::string::npos);
}

TEST_F(DatCommands, InfoLoadFailuresExitTwoWithTheLoadMessage) {
  const auto badCrc = RunCli("info " + ShellQuote(dir_.Write("bad.qdat", "[DAT]\n1|XYZ|a\n")));
  EXPECT_EQ(badCrc.exitCode, 2);
  EXPECT_EQ(badCrc.out, "");
  EXPECT_EQ(badCrc.err, "vexmoor: \"bad.qdat\", line 2: 'XYZ' is not a valid CRC32 value\n");
  // Rom Center by its name, but no [GAMES] line and nothing else to go by.
  const auto games = RunCli("info " + ShellQuote(dir_.Write("sample.dat", "[CREDITS]\nauthor=x\n")));
  EXPECT_EQ(games.exitCode, 2);
  EXPECT_EQ(games.err, "vexmoor: The dat has no [GAMES] line\n");
  const auto foreign = RunCli("info " + ShellQuote(dir_.Write("f.qdat", "QDAT12345678xx")));
  EXPECT_EQ(foreign.exitCode, 2);
  const auto unknown = RunCli("info " + ShellQuote(dir_.Write("set.txt", "")));
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("cannot tell the format"), std::string::npos);
  EXPECT_EQ(RunCli("info").exitCode, 2);
}

TEST_F(DatCommands, InfoAndAuditReadTheGameBasedFormatsPlainAndZipped) {
#ifdef _WIN32
  GTEST_SKIP() << "the zip set is made with the zip tool, a Linux program a Windows test cannot start";
#else
  const auto logiqx = RunCli("info " + ShellQuote(Source("tests/data/dats/logiqx-ds.xml")));
  EXPECT_EQ(logiqx.exitCode, 0);
  EXPECT_NE(logiqx.out.find("EXT: nds\nVERSION: 20261201-000000\n"), std::string::npos);
  EXPECT_NE(logiqx.out.find("LOADER: LoadOtherDat\nFORMAT: Logiqx XML\n6 entries\n"),
            std::string::npos);
  dir_.Write("Set.dat", test::ReadFile(Source("tests/data/dats/clrmamepro-ds.dat")));
  const std::string zip = dir_ / "set.zip";
  ASSERT_EQ(std::system(("cd " + ShellQuote(dir_.Path()) + " && zip -q set.zip Set.dat").c_str()), 0);
  const auto zipped = RunCli("info " + ShellQuote(zip));
  EXPECT_EQ(zipped.exitCode, 0);
  EXPECT_NE(zipped.out.find("FORMAT: clrmamepro (zip member \"Set.dat\")\n4 entries\n"),
            std::string::npos);
  // One dump whose CRC the dat lists as Delta's, found loose by the dat's mask.
  const std::string dump(8, 'd');
  dir_.Write("roms/delta.nds", dump);
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08lX",
                crc32(0, reinterpret_cast<const Bytef*>(dump.data()), static_cast<uInt>(dump.size())));
  const std::string dat = dir_.Write(
      "d.xml", "<datafile><game name=\"Delta (Netherlands)\"><rom name=\"d.nds\" size=\"8\" crc=\"" +
                   std::string(crc) + "\"/></game></datafile>");
  const auto audit = RunCli("audit --no-cache " + ShellQuote(dat) + " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(audit.exitCode, 0);
  EXPECT_NE(audit.out.find("0001\t" + std::string(crc) + "\tfound\tDelta (Netherlands)"),
            std::string::npos)
      << audit.out;
  const auto malformed = RunCli("audit " + ShellQuote(dir_.Write("bad.xml", "<?xml version='1.0'?>\n<dat>")) +
                                " " + ShellQuote(dir_ / "roms"));
  EXPECT_EQ(malformed.exitCode, 2);
  EXPECT_EQ(malformed.err, "vexmoor: The XML dat is malformed at line 2: no element found\n");
#endif
}

}  // namespace
}  // namespace vexmoor
