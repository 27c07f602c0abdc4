#include "scan/DatOpen.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

constexpr std::string_view kNative =
    "[INFO]\r\nMASK=*.nds\r\nFIELDS=INDEX|CRC32|NAME|COUNTRY\r\nSORT=Name\r\n[DAT]\r\n"
    "0001|0A1B2C3D|Zeta|E\r\n0002|11111111|Alpha|U\r\n";

std::string Message(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  }
}

class DatOpenTest : public test::TempDirTest {
 protected:
  TDatOpened Open(const std::string& name, TDatLoader loader) {
    return OpenDat(state_, list_, sort_, dir_ / name, loader);
  }
  TAuditState state_;
  TRomList list_;
  TSortState sort_;
};

TEST(SetupColumns, WidthsOfTheListedFieldsOnly) {
  EXPECT_EQ(SetupColumns("INDEX|CRC32|NAME|COUNTRY"), (TColumnWidths{21, 40, 280, 68}));
  EXPECT_EQ(SetupColumns("INDEX|CRC32|NAME"), (TColumnWidths{0, 40, 280, 68}));
  EXPECT_EQ(SetupColumns("NAME|crc32"), (TColumnWidths{0, 0, 280, 0}));
}

TEST_F(DatOpenTest, LoadsFillsTheListInSortOrderAndCountsTheEntries) {
  dir_.Write("ds.qdat", kNative);
  state_.CacheResults = false;
  const TDatOpened opened = Open("ds.qdat", TDatLoader::QuenDat);
  EXPECT_FALSE(opened.Error);
  EXPECT_TRUE(opened.Loaded);
  EXPECT_TRUE(opened.ListRebuilt);
  EXPECT_EQ(opened.Widths, (TColumnWidths{21, 40, 280, 68}));
  EXPECT_EQ(opened.LoadedText, " Loaded 2 items.");
  EXPECT_EQ(state_.CurrentDat, "ds.qdat");
  EXPECT_EQ(state_.DatLoader, TDatLoader::QuenDat);
  ASSERT_EQ(list_.Count(), 2u);
  EXPECT_EQ(list_.Text(0, kSubItemName), "Alpha");
}

// A .qdat picked through "Rom Center Dat Files" once failed with "The dat
// has no [GAMES] line." and emptied the list: the content decides.
TEST_F(DatOpenTest, ContentDecidesBetweenNativeAndRomCenterText) {
  dir_.Write("ds.dat", kNative);  // native text under a Rom Center name
  const TDatOpened asRomCenter = Open("ds.dat", TDatLoader::RomCenter);
  EXPECT_FALSE(asRomCenter.Error);
  EXPECT_EQ(state_.Catalogue.Count(), 2u);
  EXPECT_EQ(state_.DatLoader, TDatLoader::RomCenter);  // the choice is kept for reloads
  dir_.Write("packed.dat", std::string("QDAT") + std::string(8, '\0'));  // a container by its magic
  const TDatOpened packed = Open("packed.dat", TDatLoader::RomCenter);
  EXPECT_NE(Message(packed.Error).find("does not decipher"), std::string::npos);
  // Text that shows neither section goes by the choice.
  dir_.Write("plain.qdat", "0001|0A1B2C3D|Zeta\r\n");
  EXPECT_TRUE(Open("plain.qdat", TDatLoader::QuenDat).Loaded);
  EXPECT_NE(Message(Open("plain.qdat", TDatLoader::RomCenter).Error).find("[GAMES]"), std::string::npos);
}

// A damaged dat once left "Loaded 0 items.", hid every column but Status,
// and the settings named the damaged file; a bad CRC left a half row.
TEST_F(DatOpenTest, AFailedLoadKeepsThePreviousDatListAndSetting) {
  dir_.Write("ds.qdat", kNative);
  ASSERT_FALSE(Open("ds.qdat", TDatLoader::QuenDat).Error);
  list_.ColumnClick(3, sort_);  // a sort of the user's own survives
  const std::string first = list_.Text(0, kSubItemName);
  const uint64_t generation = state_.Catalogue.Generation();
  dir_.Write("bad.qdat", "[INFO]\r\nFIELDS=INDEX|CRC32|NAME\r\n[DAT]\r\n1|00000001|One\r\n2|ZZZZ|Two\r\n");
  dir_.Write("junk.qdat", "QDAT");  // the magic and no block
  for (const char* name : {"bad.qdat", "junk.qdat", "missing.qdat"}) {
    const TDatOpened opened = Open(name, TDatLoader::RomCenter);
    EXPECT_TRUE(opened.Error) << name;
    EXPECT_FALSE(opened.Loaded);
    EXPECT_FALSE(opened.ListRebuilt);
    EXPECT_TRUE(opened.LoadedText.empty());
    EXPECT_EQ(opened.Widths, (TColumnWidths{21, 40, 280, 68}));
    EXPECT_EQ(state_.CurrentDat, "ds.qdat");
    EXPECT_EQ(state_.DatLoader, TDatLoader::QuenDat);
    EXPECT_EQ(state_.Catalogue.Count(), 2u);
    EXPECT_EQ(state_.Catalogue.Generation(), generation);
    EXPECT_EQ(list_.Text(0, kSubItemName), first);
  }
  EXPECT_EQ(Message(Open("bad.qdat", TDatLoader::QuenDat).Error),
            "\"bad.qdat\", line 5: 'ZZZZ' is not a valid CRC32 value");
  EXPECT_EQ(Message(Open("junk.qdat", TDatLoader::QuenDat).Error),
            "\"" + dir_ / "junk.qdat" + "\" does not decipher to a packed dat (another key, or a damaged file)");
}

// With no loader chosen or set, nothing loads, and the caller hears why.
TEST_F(DatOpenTest, NoLoaderIsAFailureThatSaysSo) {
  dir_.Write("notes.txt", kNative);
  const TDatOpened opened = Open("notes.txt", TDatLoader::None);
  EXPECT_NE(Message(opened.Error).find("is not a dat by its name"), std::string::npos);
  EXPECT_FALSE(opened.ListRebuilt);
  EXPECT_EQ(state_.CurrentDat, "");
}

TEST(DatOpen, FailureTextNamesThePathAndKeepsOneFullStop) {
  EXPECT_EQ(DatFailureText("/d/a.qdat", "Cannot open file \"/d/a.qdat\". No such file.", true),
            "The dat \"/d/a.qdat\" could not be loaded: Cannot open file \"/d/a.qdat\". No such file.\n"
            "The list shown before is kept.");
  EXPECT_EQ(DatFailureText("/d/a.qdat", "line 5: bad", false),
            "The dat \"/d/a.qdat\" could not be loaded: line 5: bad.\nNo dat is loaded; press F2 to pick one.");
}

TEST_F(DatOpenTest, LoadedDatTextNamesFileAndEntries) {
  EXPECT_EQ(LoadedDatText(state_), "");
  dir_.Write("ds.qdat", kNative);
  ASSERT_TRUE(Open("ds.qdat", TDatLoader::QuenDat).Loaded);
  EXPECT_EQ(LoadedDatText(state_), "ds.qdat: 2 entries");
}

// A dat picked from another folder was stored by its bare name and looked
// for in the program's folder at the next start.
TEST(DatOpen, TheSettingKeepsTheFolderOfADatElsewhere) {
  EXPECT_EQ(DatSettingValue("/opt/vexmoor/Quen-NDS.qdat", "/opt/vexmoor/"), "Quen-NDS.qdat");
  EXPECT_EQ(DatSettingValue("/elsewhere/Bravo.qdat", "/opt/vexmoor/"), "/elsewhere/Bravo.qdat");
  EXPECT_EQ(DatSettingValue("/opt/vexmoor/sub/Bravo.qdat", "/opt/vexmoor/"), "/opt/vexmoor/sub/Bravo.qdat");
  EXPECT_EQ(DatSettingValue("", "/opt/vexmoor/"), "");
  EXPECT_EQ(DatSettingPath("Quen-NDS.qdat", "/opt/vexmoor/"), "/opt/vexmoor/Quen-NDS.qdat");
  EXPECT_EQ(DatSettingPath("/elsewhere/Bravo.qdat", "/opt/vexmoor/"), "/elsewhere/Bravo.qdat");
  EXPECT_EQ(DatSettingPath("", "/opt/vexmoor/"), "");
  EXPECT_EQ(DatSettingValue("/opt/vexmoor/Quen-NDS.qdat", "/opt/vexmoor"), "Quen-NDS.qdat");
  EXPECT_EQ(DatSettingPath("Quen-NDS.qdat", "/opt/vexmoor"), "/opt/vexmoor/Quen-NDS.qdat");
}

TEST_F(DatOpenTest, RefusedWhileAScanRunsWithoutTouchingAnything) {
  dir_.Write("ds.qdat", kNative);
  state_.CurrentDat = "before.qdat";
  state_.ScanRunning = true;
  const TDatOpened opened = Open("ds.qdat", TDatLoader::QuenDat);
  EXPECT_TRUE(opened.Error);
  EXPECT_FALSE(opened.ListRebuilt);
  EXPECT_EQ(state_.CurrentDat, "before.qdat");
  EXPECT_EQ(state_.DatLoader, TDatLoader::None);
}

// The session reads the cache before it loads: a cache file that cannot be
// read stops the load with nothing changed, whichever loader runs.
TEST_F(DatOpenTest, AnUnreadableCacheFileLeavesThePreviousDat) {
  dir_.Write("ds.qdat", kNative);
  ASSERT_TRUE(Open("ds.qdat", TDatLoader::QuenDat).Loaded);
  dir_.Write("other.qdat", "[INFO]\nMASK=*.gba\n[DAT]\n1|1|a\n");
  dir_.Write("other.qcache", "QCAC\x01\0\0\0\0\0\x01\0\0\0\x01");
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::Open, 1, EACCES, "other.qcache");
  const TDatOpened opened = Open("other.qdat", TDatLoader::QuenDat);
  ASSERT_TRUE(opened.Error);
  EXPECT_NE(Message(opened.Error).find("other.qcache"), std::string::npos);
  EXPECT_FALSE(opened.ListRebuilt);
  EXPECT_EQ(state_.DatMask, "*.nds");
  EXPECT_EQ(state_.Catalogue.Count(), 2u);
}

// The session's load on a bad CRC: the entries before it, seeded from the
// dat's own cache file, and no partly filled one. OpenDat puts the previous
// dat back over all of it.
TEST_F(DatOpenTest, ABadCrcSeedsTheEntriesBeforeItAndOpenDatKeepsThePreviousDat) {
  TCacheTable found;
  CacheSet(found, 0x0A1B2C3D, kCacheFlagCached);
  CacheSet(found, 0, kCacheFlagCached);
  WriteCacheFile(found, dir_ / "bad.qcache");
  dir_.Write("bad.qdat", "[INFO]\n[DAT]\n1|0A1B2C3D|a\n2|xyz|b\n");
  TAuditState session;
  session.DatLoader = TDatLoader::QuenDat;
  EXPECT_THROW(RunDatLoader(session, dir_ / "bad.qdat"), FormatError);
  ASSERT_EQ(session.Catalogue.Count(), 1u);
  EXPECT_EQ(session.Catalogue[0].Status, StatusCached);
  EXPECT_EQ(session.CacheTable.Count(), 2u);
  const TDatOpened opened = Open("bad.qdat", TDatLoader::QuenDat);
  EXPECT_NE(Message(opened.Error).find("line 4: 'xyz' is not a valid CRC32 value"), std::string::npos);
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
  EXPECT_EQ(state_.CacheTable.Count(), 0u);
  EXPECT_FALSE(opened.ListRebuilt);
}

}  // namespace
}  // namespace vexmoor
