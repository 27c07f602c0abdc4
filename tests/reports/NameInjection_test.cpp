// Regression: names injected into other files. A dat name holding CR LF and
// quotes (legal XML: &#13;&#10;) put a release that is not in the dat into
// the fix dat and dropped a real one, gave the miss list extra lines and
// joined raw names on the clipboard.
#include <gtest/gtest.h>

#include <map>

#include "catalogue/ClrMameProDat.h"
#include "catalogue/TextLines.h"
#include "catalogue/XmlDat.h"
#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "reports/SelectionCopy.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::AddEntry;

// A name that closes its game block and opens a forged one in clrmamepro
// text, and a name that forges a line of the audit's text output.
const std::string kForgingName =
    "Real\"\r\n  rom ( name \"x\" crc 00000000 )\r\n)\r\n\r\ngame (\r\n  name \"Forged";
const std::string kLineName = "Line\n0999\tCAFEBABE\tfound\tForged\x1B[2J";

class NameInjectionTest : public ::testing::Test, protected test::TListedCatalogue {
 protected:
  void AddHostileEntries() {
    AddEntry(state_, "1", kForgingName, 0x11111111, StatusMissing);
    AddEntry(state_, "2", kLineName, 0x22222222, StatusMissing);
    AddEntry(state_, "3", "Zed \"Quoted\" \"x", 0x33333333, StatusMissing);
    AddEntry(state_, "4", "Plain", 0x44444444, StatusMissing);
    Fill({"[INFO]", "NAME=Test", "SYSTEM=DS\"\r\n)", "EXT=nds"});
  }
};

TEST_F(NameInjectionTest, TheFixDatLoadsBackToExactlyTheEntriesWritten) {
  AddHostileEntries();
  const TGameDat back = ParseClrMameProDat(BuildFixDat(state_, list_));
  ASSERT_EQ(back.Entries.Count(), 4u);  // nothing forged, nothing dropped
  EXPECT_EQ(back.System, "DS\"  ) Fix Dat");
  std::map<uint32_t, std::string> names;
  for (const TRomItem& entry : back.Entries) names[entry.Crc] = entry.Name;
  EXPECT_EQ(names[0x11111111],
            "Real'    rom ( name 'x' crc 00000000 )  )    game (    name 'Forged");
  EXPECT_EQ(names[0x22222222], "Line 0999 CAFEBABE found Forged [2J");
  EXPECT_EQ(names[0x33333333], "Zed 'Quoted' 'x");
  EXPECT_EQ(names[0x44444444], "Plain");
}

TEST_F(NameInjectionTest, AQuoteThatCannotEndTheTextStays) {
  AddEntry(state_, "1", "Zed \"Quoted\" Edition", 1, StatusMissing);
  Fill({"[INFO]", "EXT=nds"});
  const std::string text = BuildFixDat(state_, list_);
  EXPECT_NE(text.find("  name \"Zed \"Quoted\" Edition\"\r\n"), std::string::npos);
  EXPECT_EQ(ParseClrMameProDat(text).Entries[0].Name, "Zed \"Quoted\" Edition");
}

TEST_F(NameInjectionTest, TheListsAndTheClipboardHoldOneNameALine) {
  AddHostileEntries();
  const THaveMissLists lists = BuildHaveMissLists(state_);
  // The header line, a blank line and one line per missing release.
  EXPECT_EQ(SplitLines(lists.MissText).size(), 2u + 4u);
  EXPECT_EQ(lists.MissText.find('\x1B'), std::string::npos);
  const std::string copy = BuildSelectionCopy(list_, {true, true, true, true});
  EXPECT_EQ(SplitLines(copy).size(), 4u);
  EXPECT_NE(copy.find("Line 0999 CAFEBABE found Forged [2J\r\n"), std::string::npos);
}

TEST(NameInjectionXmlTest, ACrLfCharacterReferenceInALogiqxNameStaysInItsEntry) {
  const TGameDat dat = ParseXmlDat(
      "<?xml version=\"1.0\"?>\n<datafile><header><name>N</name></header>"
      "<game name=\"Good&#13;&#10;Forged\"><rom name=\"g.nds\" size=\"4\" crc=\"0A0B0C0D\"/></game>"
      "</datafile>\n");
  ASSERT_EQ(dat.Entries.Count(), 1u);
  EXPECT_EQ(OneLineText(dat.Entries[0].Name), "Good  Forged");
}

}  // namespace
}  // namespace vexmoor
