// vexmoor decode and vexmoor info, on the examples and on broken dats.
#include <gtest/gtest.h>

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
  EXPECT_EQ(badCrc.err, "vexmoor: 'XYZ' is not a valid CRC32 value\n");
  const std::string qdatAsDat = dir_ / "sample.dat";
  WriteDatContainer(qdatAsDat, "[INFO]\n", 1);
  const auto games = RunCli("info " + ShellQuote(qdatAsDat));
  EXPECT_EQ(games.exitCode, 2);
  EXPECT_EQ(games.err, "vexmoor: The dat has no [GAMES] line\n");
  const auto foreign = RunCli("info " + ShellQuote(dir_.Write("f.qdat", "QDAT12345678xx")));
  EXPECT_EQ(foreign.exitCode, 2);
  const auto unknown = RunCli("info " + ShellQuote(dir_.Write("set.txt", "")));
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("cannot tell the format"), std::string::npos);
  EXPECT_EQ(RunCli("info").exitCode, 2);
}

}  // namespace
}  // namespace vexmoor
