// The game-based dat parsers (Logiqx, OfflineList, clrmamepro) on the
// hand-written files in tests/data/dats, and the rules they share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/ClrMameProDat.h"
#include "catalogue/DatFormat.h"
#include "catalogue/GameDat.h"
#include "catalogue/OfflineListDat.h"
#include "catalogue/XmlDat.h"
#include "platform/Errors.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

std::string DataFile(const std::string& name) {
  return test::ReadFile(std::string(VEXMOOR_SOURCE_DIR) + "/tests/data/dats/" + name);
}

struct TExpected {
  std::string Index;
  uint32_t Crc;
  std::string Name;
  std::string Country;
  std::optional<uint64_t> Size;
};

void ExpectEntries(const TCatalogue& entries, const std::vector<TExpected>& expected) {
  ASSERT_EQ(entries.Count(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].Name);
    EXPECT_EQ(entries[i].Index, expected[i].Index);
    EXPECT_EQ(entries[i].Crc, expected[i].Crc);
    EXPECT_EQ(entries[i].Name, expected[i].Name);
    EXPECT_EQ(entries[i].Country, expected[i].Country);
    EXPECT_EQ(entries[i].Size, expected[i].Size);
  }
}

// The message must say why and where: "... at line N: ...".
void ExpectMalformedAtLine(const std::function<void()>& parse, int line) {
  try {
    parse();
    ADD_FAILURE() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find("at line " + std::to_string(line) + ":"),
              std::string::npos)
        << error.what();
  }
}

TEST(GameDatRules, ReleaseIndexHasFourDigitsAtLeast) {
  EXPECT_EQ(ReleaseIndexText("", 7), "0007");
  EXPECT_EQ(ReleaseIndexText("", 12345), "12345");
  EXPECT_EQ(ReleaseIndexText("12", 1), "0012");
  EXPECT_EQ(ReleaseIndexText("0001", 9), "0001");
  EXPECT_EQ(ReleaseIndexText("x1", 9), "x1");
}

TEST(GameDatRules, FlagComesFromTheFirstRegionNamed) {
  EXPECT_EQ(CountryFromName("Game (USA, Europe)"), "U");
  EXPECT_EQ(CountryFromName("Game (En,Fr) (Europe) (USA)"), "E");
  EXPECT_EQ(CountryFromName("Game (Sweden, Korea)"), "K");
  EXPECT_EQ(CountryFromName("Game (World)"), "");
  EXPECT_EQ(CountryFromName("Game (usa)"), "");
  EXPECT_EQ(CountryFromName("Game (Spain Edition) (Australia"), "");
  EXPECT_EQ(CountryFromRegion("EUR"), "E");
  EXPECT_EQ(CountryFromRegion("hol"), "N");
  EXPECT_EQ(CountryFromRegion("Netherlands"), "N");
  EXPECT_EQ(CountryFromRegion("BRA"), "");
}

TEST(GameDatRules, OfflineListLocations) {
  const char* flags[26] = {"E", "U", "G", "C", "S", "F", "I", "J", "N", "", "", "", "",
                           "",  "",  "",  "E", "E", "U", "A", "",  "",  "K", "E", "E", "U"};
  for (int location = 0; location < 26; ++location) {
    EXPECT_EQ(CountryFromLocation(std::to_string(location)), flags[location]) << location;
  }
  EXPECT_EQ(CountryFromLocation("26"), "");
  EXPECT_EQ(CountryFromLocation(" 7 "), "J");
  EXPECT_EQ(CountryFromLocation("-1"), "");
}

TEST(GameDatRules, ContentDecidesTheFormat) {
  EXPECT_EQ(RecognizeDatContent("<?xml version=\"1.0\"?>"), TDatContent::Xml);
  EXPECT_EQ(RecognizeDatContent("\xEF\xBB\xBF \r\n\t<datafile>"), TDatContent::Xml);
  EXPECT_EQ(RecognizeDatContent("clrmamepro ("), TDatContent::ClrMamePro);
  EXPECT_EQ(RecognizeDatContent("\r\nclrmamepro\r\n("), TDatContent::ClrMamePro);
  EXPECT_EQ(RecognizeDatContent("PK\x03\x04rest"), TDatContent::Zip);
  EXPECT_EQ(RecognizeDatContent(std::string("PK\x05\x06\0\0", 6)), TDatContent::Zip);
  // What the native and Rom Center rules read stays theirs.
  EXPECT_EQ(RecognizeDatContent("[CREDITS]\r\nclrmamepro ("), TDatContent::Unknown);
  EXPECT_EQ(RecognizeDatContent("clrmamepro name"), TDatContent::Unknown);
  EXPECT_EQ(RecognizeDatContent("[INFO]\nNAME=<?xml"), TDatContent::Unknown);
  EXPECT_EQ(RecognizeDatContent(" PK\x03\x04"), TDatContent::Unknown);
  EXPECT_EQ(RecognizeDatContent(""), TDatContent::Unknown);
}

TEST(LogiqxDat, IdsFlagsTwoRomsNodumpsAndEntities) {
  const TGameDat dat = ParseXmlDat(DataFile("logiqx-ds.xml"));
  EXPECT_EQ(dat.Format, TDatFormat::Logiqx);
  EXPECT_EQ(dat.Name, "Nintendo - Nintendo DS (Decrypted)");
  EXPECT_EQ(dat.System, "Nintendo - Nintendo DS (Test)");
  EXPECT_EQ(dat.Version, "20261201-000000");
  ExpectEntries(dat.Entries,
                {{"0001", 0x0A1B2C3D, "Alpha Quest (USA, Europe)", "U", 67108864},
                 {"0002", 0x11223344, "Bravo & Charlie (Japan)", "J", 33554432},
                 {"0003", 0xDEADBEEF, "Delta Racing (En,Fr,De) (Germany)", "G", 16777216},
                 {"0003", 0x00000001, "Delta Racing (En,Fr,De) (Germany)", "G", 1024},
                 {"0004", 0x55667788, "Echo Tactics", "E", 8388608},
                 {"12345", 0x99AABBCC, "Golf \xC3\xA9lite (France)", "F", 8388608}});
  EXPECT_EQ(dat.Extensions, std::vector<std::string>{".nds"});  // ".NDS" is the same
  EXPECT_FALSE(dat.RomWithoutExtension);
}

TEST(LogiqxDat, WithoutIdsThePositionCountsAndDoctypeEntitiesWork) {
  const TGameDat dat = ParseXmlDat(DataFile("logiqx-noid.xml"));
  ExpectEntries(dat.Entries, {{"0001", 1, "First Kestrel Soft Game (Korea)", "K", 100},
                              {"0002", 2, "Second (Spain)", "S", 200},
                              {"0002", 3, "Second (Spain)", "S", 5},
                              {"0003", 4, "Third (Australia)", "A", 300}});
  EXPECT_EQ(dat.Extensions, (std::vector<std::string>{".bin", ".nds"}));
  EXPECT_TRUE(dat.RomWithoutExtension);
}

TEST(LogiqxDat, MalformedTextSaysWhereAndGivesNothing) {
  const std::string text = DataFile("logiqx-ds.xml");
  // Cut inside the third game's first rom line.
  ExpectMalformedAtLine([&] { ParseXmlDat(text.substr(0, text.find("DEADBEEF"))); }, 20);
  ExpectMalformedAtLine([] { ParseXmlDat("<?xml version=\"1.0\"?>\n<html>\n</html>"); }, 2);
  ExpectMalformedAtLine([] { ParseXmlDat("<datafile>\n<game name=\"a\">\n</datafile>"); }, 3);
  ExpectMalformedAtLine(
      [] { ParseXmlDat("<datafile>\n<game name=\"a\">\n<rom crc=\"xyz\"/></game></datafile>"); }, 3);
  ExpectMalformedAtLine([] { ParseXmlDat("<datafile>&undefined;</datafile>"); }, 1);
  ExpectMalformedAtLine([] { ParseXmlDat(""); }, 1);
}

TEST(LogiqxDat, WindowsCodePageAndNoFetchOfOutsideEntities) {
  const TGameDat dat = ParseXmlDat(
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
      "<!DOCTYPE datafile SYSTEM \"http://127.0.0.1:9/none.dtd\" [<!ENTITY ext SYSTEM "
      "\"file:///etc/passwd\">]>\n"
      "<datafile><game name=\"Caf\xE9 \x80 (Italy)\"><rom name=\"a.nds\" crc=\"5\"/></game>"
      "</datafile>");
  ExpectEntries(dat.Entries, {{"0001", 5, "Caf\xC3\xA9 \xE2\x82\xAC (Italy)", "I", {}}});
}

TEST(OfflineListDat, ReleaseNumbersLocationsAndExtension) {
  const TGameDat dat = ParseXmlDat(DataFile("offlinelist-ds.xml"));
  EXPECT_EQ(dat.Format, TDatFormat::OfflineList);
  EXPECT_EQ(dat.Name, "Test DS Collection");
  EXPECT_EQ(dat.System, "NDS");
  EXPECT_EQ(dat.Version, "1700");
  ExpectEntries(dat.Entries, {{"0001", 0x94767CD4, "Electro Plankton", "J", 16777216},
                              {"0012", 0xC37AB273, "Speed & Underground", "U", 33554432},
                              {"1234", 0x42, "Kart Stars", "K", {}},
                              {"1235", 0x43, "Tea Time", "", {}},
                              {"1236", 0x44, "Outback", "A", {}},
                              {"0007", 0x45, "No Number", "E", {}}});
  EXPECT_EQ(dat.Extensions, std::vector<std::string>{".nds"});
}

TEST(ClrMameProDat, GamesRomsAndQuotesInsideNames) {
  const TGameDat dat = ParseClrMameProDat(DataFile("clrmamepro-ds.dat"));
  EXPECT_EQ(dat.Format, TDatFormat::ClrMamePro);
  EXPECT_EQ(dat.Name, "Nintendo - Nintendo DS");
  EXPECT_EQ(dat.System, "Nintendo - Nintendo DS (Test)");
  EXPECT_EQ(dat.Version, "20261201");
  ExpectEntries(dat.Entries, {{"0001", 0x0A1B2C3D, "Alpha Quest (USA, Europe)", "U", 67108864},
                              {"0002", 0x11223344, "Bravo \"Best\" Edition (Italy)", "I", 100},
                              {"0003", 0x23456789, "Charlie", "", 6},
                              {"0004", 0x3456789A, "Delta (Netherlands)", "N", 8}});
  EXPECT_EQ(dat.Extensions, std::vector<std::string>{".nds"});
}

TEST(ClrMameProDat, MalformedTextSaysWhere) {
  ExpectMalformedAtLine([] { ParseClrMameProDat("clrmamepro (\n name x\n\ngame (\n"); }, 5);
  ExpectMalformedAtLine([] { ParseClrMameProDat("clrmamepro ( )\ngame (\n name \"open\n)"); }, 3);
  ExpectMalformedAtLine([] { ParseClrMameProDat("clrmamepro ( )\n)"); }, 2);
  ExpectMalformedAtLine([] { ParseClrMameProDat("game\n name"); }, 2);
  ExpectMalformedAtLine(
      [] { ParseClrMameProDat("game (\n rom ( name a crc 12345678Z )\n)"); }, 2);
  EXPECT_EQ(ParseClrMameProDat("").Entries.Count(), 0u);
}

TEST(ClrMameProDat, RealDatGivesEveryRom) {
  const std::string path = test::SharedFixture("dat/clrmamepro/Zinc v0.9.dat");
  if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
  const TGameDat dat = ParseClrMameProDat(test::ReadFile(path));
  EXPECT_EQ(dat.Name, "Zinc");
  EXPECT_EQ(dat.System, "Zinc v0.9");
  ASSERT_EQ(dat.Entries.Count(), 264u);
  EXPECT_EQ(dat.Entries[0].Name, "firmware");
  EXPECT_EQ(dat.Entries[0].Crc, 0x50033AF6u);
  EXPECT_EQ(dat.Entries[0].Size, 524288u);
  EXPECT_EQ(dat.Entries[1].Index, "0002");
  EXPECT_EQ(dat.Entries[263].Index, "0027");
}

}  // namespace
}  // namespace vexmoor
