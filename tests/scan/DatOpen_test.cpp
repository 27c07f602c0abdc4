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
  EXPECT_EQ(list_[0].SubItems[kSubItemName], "Alpha");
}

TEST_F(DatOpenTest, TheCallerChoosesTheLoaderNotTheExtension) {
  dir_.Write("ds.dat", kNative);  // native text under a Rom Center name
  const TDatOpened asRomCenter = Open("ds.dat", TDatLoader::RomCenter);
  EXPECT_NE(Message(asRomCenter.Error).find("[GAMES]"), std::string::npos);
  const TDatOpened kept = Open("ds.dat", TDatLoader::None);  // keeps the last choice
  EXPECT_EQ(state_.DatLoader, TDatLoader::RomCenter);
  EXPECT_TRUE(kept.Error);
  EXPECT_FALSE(Open("ds.dat", TDatLoader::QuenDat).Error);
  EXPECT_EQ(state_.Catalogue.Count(), 2u);
}

TEST_F(DatOpenTest, AFailureAfterTheEntriesWereReplacedRebuildsTheList) {
  dir_.Write("ds.qdat", kNative);
  ASSERT_FALSE(Open("ds.qdat", TDatLoader::QuenDat).Error);
  dir_.Write("bad.qdat", "[INFO]\r\nFIELDS=INDEX|CRC32|NAME\r\n[DAT]\r\n1|00000001|One\r\n2|XYZ|Two\r\n");
  const TDatOpened opened = Open("bad.qdat", TDatLoader::QuenDat);
  EXPECT_TRUE(opened.Error);
  EXPECT_FALSE(opened.Loaded);
  EXPECT_TRUE(opened.ListRebuilt);
  EXPECT_EQ(opened.Widths, (TColumnWidths{0, 40, 280, 68}));
  // Every row refers to an entry the catalogue still holds.
  EXPECT_EQ(list_.Count(), state_.Catalogue.Count());
  for (const TListRow& row : list_) EXPECT_LT(row.Entry, state_.Catalogue.Count());
  EXPECT_EQ(opened.LoadedText, " Loaded " + std::to_string(state_.Catalogue.Count()) + " items.");
}

TEST_F(DatOpenTest, AnUnreadableFileLeavesCatalogueAndListAlone) {
  dir_.Write("ds.qdat", kNative);
  ASSERT_FALSE(Open("ds.qdat", TDatLoader::QuenDat).Error);
  list_.ColumnClick(3, sort_);  // a sort of the user's own survives
  const std::string first = list_[0].SubItems[kSubItemName];
  const TDatOpened opened = Open("missing.qdat", TDatLoader::QuenDat);
  EXPECT_NE(Message(opened.Error).find("missing.qdat"), std::string::npos);
  EXPECT_FALSE(opened.ListRebuilt);
  EXPECT_TRUE(opened.LoadedText.empty());
  EXPECT_EQ(list_[0].SubItems[kSubItemName], first);
  EXPECT_EQ(state_.Catalogue.Count(), 2u);
}

TEST_F(DatOpenTest, AContainerThatDoesNotDecipherRebuildsTheUnchangedList) {
  dir_.Write("ds.qdat", kNative);
  ASSERT_FALSE(Open("ds.qdat", TDatLoader::QuenDat).Error);
  dir_.Write("junk.qdat", "QDAT");  // the magic and no block
  const TDatOpened opened = Open("junk.qdat", TDatLoader::QuenDat);
  EXPECT_FALSE(opened.Error);
  EXPECT_FALSE(opened.Loaded);
  EXPECT_TRUE(opened.ListRebuilt);
  EXPECT_EQ(opened.LoadedText, " Loaded 2 items.");
  EXPECT_EQ(state_.CurrentDat, "junk.qdat");
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

// A bad CRC leaves the entries before it seeded from the dat's own cache
// file, and the bad line's partly filled entry missing even when the cache
// knows the CRC it was left with.
TEST_F(DatOpenTest, ABadCrcSeedsTheEntriesBeforeItButNotThePartialOne) {
  TCacheTable found;
  CacheSet(found, 0x0A1B2C3D, kCacheFlagCached);
  CacheSet(found, 0, kCacheFlagCached);
  WriteCacheFile(found, dir_ / "bad.qcache");
  dir_.Write("bad.qdat", "[INFO]\n[DAT]\n1|0A1B2C3D|a\n2|xyz|b\n");
  const TDatOpened opened = Open("bad.qdat", TDatLoader::QuenDat);
  ASSERT_TRUE(opened.Error);
  EXPECT_NE(Message(opened.Error).find("'xyz' is not a valid CRC32 value"), std::string::npos);
  ASSERT_EQ(state_.Catalogue.Count(), 2u);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusCached);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusMissing);
  EXPECT_EQ(state_.CacheTable.Count(), 2u);
  EXPECT_TRUE(opened.ListRebuilt);
}

}  // namespace
}  // namespace vexmoor
