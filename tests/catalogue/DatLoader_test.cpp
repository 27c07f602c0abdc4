#include "catalogue/DatLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Errors.h"
#include "scan/AuditState.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

constexpr std::string_view kNative =
    "[INFO]\r\n"
    "NAME=Sample DS\r\n"
    "SYSTEM=Nintendo DS\r\n"
    "MASK=*.nds\r\n"
    "FIELDS=INDEX|CRC32|NAME|COUNTRY\r\n"
    "SORT=Index\r\n"
    "[DAT]\r\n"
    "0001|0A1B2C3D|First Release|E\r\n"
    "0002|11111111|Second Release|U\r\n"
    "0003|22222222|Third Release|J\r\n";

std::string RomCenterText(int games) {
  std::string text = "[CREDITS]\r\nauthor=someone\r\n[DAT]\r\nversion=1\r\n[GAMES]\r\n";
  for (int i = 1; i <= games; ++i) {
    text +=
        "\xAC"
        "p\xAC"
        "Game " +
        std::to_string(i) +
        "\xAC"
        "g\xAC"
        "d\xAC"
        "r.bin\xAC" +
        std::to_string(10 + i) +
        "\xAC"
        "1\xAC\xAC\xAC\r\n";
  }
  return text;
}

class DatLoaderTest : public test::TempDirTest {
 protected:
  // A state that already holds another dat, to see what a failed load keeps.
  void LoadPrevious() {
    const std::string text = "[INFO]\nMASK=*.bin\n[DAT]\n1|1|a\n2|2|b\n";
    LoadNativeText(state_, dir_.Write("previous.qdat", text), text);
  }
  void ExpectPreviousKept() {
    EXPECT_EQ(state_.Catalogue.Count(), 2u);
    EXPECT_EQ(state_.DatMask, "*.bin");
    EXPECT_EQ(state_.DatFields, "INDEX|CRC32|NAME");
    EXPECT_EQ(state_.DatPath, dir_ / "previous.qdat");
  }
  // The native loader through the session, which reads the cache.
  bool LoadQuenDatInSession(const std::string& path) {
    state_.DatLoader = TDatLoader::QuenDat;
    return RunDatLoader(state_, path);
  }
  TAuditState state_;
};

TEST(ChooseDatLoader, ByFileName) {
  EXPECT_EQ(ChooseDatLoader("Set.dat"), TDatLoader::RomCenter);
  EXPECT_EQ(ChooseDatLoader("Set.QDAT"), TDatLoader::QuenDat);
  EXPECT_EQ(ChooseDatLoader("set.dat.bak"), TDatLoader::None);
  EXPECT_EQ(ChooseDatLoader("set.txt"), TDatLoader::None);
}

TEST_F(DatLoaderTest, PlainNativeTextLoadsWithItsHeaderValues) {
  const std::string path = dir_.Write("set.qdat", kNative);
  ASSERT_TRUE(LoadQuenDat(state_, path));
  EXPECT_EQ(state_.Catalogue.Count(), 3u);
  EXPECT_EQ(state_.Catalogue[2].Name, "Third Release");
  EXPECT_EQ(state_.Catalogue[2].Country, "J");
  EXPECT_EQ(state_.DatMask, "*.nds");
  EXPECT_EQ(state_.DatFields, "INDEX|CRC32|NAME|COUNTRY");
  EXPECT_EQ(state_.DatHeader.ReadString("INFO", "SORT", ""), "Index");
  EXPECT_EQ(state_.DatPath, path);
}

TEST_F(DatLoaderTest, RelativePathIsKeptAbsolute) {
  dir_.Write("set.qdat", kNative);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_.Path());
  const bool loaded = LoadQuenDat(state_, "set.qdat");
  std::filesystem::current_path(previous);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(std::filesystem::path(state_.DatPath), std::filesystem::path(dir_ / "set.qdat"));
}

TEST_F(DatLoaderTest, ByteOrderMarkDoesNotHideTheInfoSection) {
  ASSERT_TRUE(LoadQuenDat(state_, dir_.Write("set.qdat", "\xEF\xBB\xBF" + std::string(kNative))));
  EXPECT_EQ(state_.DatMask, "*.nds");
  EXPECT_EQ(state_.Catalogue.Count(), 3u);
}

TEST_F(DatLoaderTest, CacheFileBesideTheDatGivesCachedEntries) {
  const std::string path = dir_.Write("set.qdat", kNative);
  TCacheTable found;
  CacheSet(found, 0x11111111, 1);
  WriteCacheFile(found, dir_ / "set.qcache");
  CacheSet(state_.CacheTable, 0x0A1B2C3D, 1);  // replaced by the file
  ASSERT_TRUE(LoadQuenDatInSession(path));
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusCached);
  EXPECT_EQ(state_.Catalogue[1].StatusText, "Cached");
}

TEST_F(DatLoaderTest, WithCachingOffTheTableCarriesOver) {
  dir_.Write("set.qcache", "QCAC\xE8\x03\0\0\0\0");
  state_.CacheResults = false;
  CacheSet(state_.CacheTable, 0x22222222, 1);
  ASSERT_TRUE(LoadQuenDatInSession(dir_.Write("set.qdat", kNative)));
  EXPECT_EQ(state_.Catalogue[2].Status, StatusCached);
  EXPECT_EQ(state_.CacheTable.Count(), 1u);
}

TEST_F(DatLoaderTest, EmptyDataSectionLoadsNoEntries) {
  LoadPrevious();
  ASSERT_TRUE(LoadQuenDat(state_, dir_.Write("empty.qdat", "[INFO]\nNAME=Empty\n[DAT]\n")));
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
  EXPECT_EQ(state_.DatMask, "");
}

TEST_F(DatLoaderTest, UnreadableFileChangesNothing) {
  LoadPrevious();
  EXPECT_THROW(LoadQuenDat(state_, dir_ / "absent.qdat"), FileOpenError);
  ExpectPreviousKept();
  EXPECT_THROW(LoadRomCenter(state_, dir_ / "absent.dat"), FileOpenError);
  ExpectPreviousKept();
}

TEST_F(DatLoaderTest, BadCrcKeepsNewHeaderAndEntriesBeforeIt) {
  LoadPrevious();
  const std::string path =
      dir_.Write("bad.qdat", "[INFO]\nMASK=*.nds\n[DAT]\n1|1|a\n2|2x|b\n3|3|c\n");
  try {
    LoadQuenDat(state_, path);
    FAIL();
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), "'2x' is not a valid CRC32 value");
  }
  EXPECT_EQ(state_.DatMask, "*.nds");
  EXPECT_EQ(state_.DatPath, path);
  ASSERT_EQ(state_.Catalogue.Count(), 2u);
  EXPECT_EQ(state_.Catalogue[1].Index, "2");
  EXPECT_EQ(state_.Catalogue[1].Status, StatusMissing);
}

TEST_F(DatLoaderTest, MarkerOnlyInsideALongerLineEmptiesTheCatalogue) {
  LoadPrevious();
  CacheSet(state_.CacheTable, 1, 1);
  dir_.Write("odd.qcache", "QCAC\xE8\x03\0\0\0\0");
  EXPECT_THROW(LoadQuenDatInSession(dir_.Write("odd.qdat", "[INFO]\nMASK=*.gba\nX=[DAT]\n1|1|a\n")),
               FormatError);
  EXPECT_EQ(state_.DatMask, "*.gba");
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
  EXPECT_EQ(state_.CacheTable.Count(), 1u);  // the cache file is read after the marker
}

TEST_F(DatLoaderTest, RomCenterDatLoads) {
  state_.DatMask = "*.nds";
  const std::string path = dir_.Write("set.dat", RomCenterText(3));
  LoadRomCenter(state_, path);
  ASSERT_EQ(state_.Catalogue.Count(), 3u);
  EXPECT_EQ(state_.Catalogue[1].Name, "Game 2");
  EXPECT_EQ(state_.Catalogue[1].Crc, 0x12u);
  EXPECT_EQ(state_.Catalogue[1].Index, "0002");
  EXPECT_EQ(state_.DatMask, "");
  EXPECT_EQ(state_.DatFields, "INDEX|CRC32|NAME");
  EXPECT_EQ(state_.DatHeader.ReadString("DAT", "version", ""), "1");
  EXPECT_EQ(state_.DatHeader.ReadString("INFO", "NAME", "none"), "none");
}

TEST_F(DatLoaderTest, RomCenterWithoutGamesLineEmptiesTheCatalogue) {
  LoadPrevious();
  EXPECT_THROW(LoadRomCenter(state_, dir_.Write("set.dat", std::string(kNative))), FormatError);
  EXPECT_EQ(state_.DatMask, "");
  EXPECT_EQ(state_.DatHeader.ReadString("INFO", "MASK", ""), "*.nds");
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
}

TEST_F(DatLoaderTest, RunDatLoaderCallsTheChosenLoader) {
  const std::string path = dir_.Write("set.dat", RomCenterText(2));
  EXPECT_FALSE(RunDatLoader(state_, path));
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
  state_.DatLoader = ChooseDatLoader(path);
  EXPECT_TRUE(RunDatLoader(state_, path));
  EXPECT_EQ(state_.Catalogue.Count(), 2u);
  EXPECT_STREQ(DatLoaderName(state_.DatLoader), "LoadRomCenter");
}

TEST_F(DatLoaderTest, RealRomCenterDats) {
  const std::string zinc = test::SharedFixture("dat/Zinc v0.9.dat");
  const std::string cps3 = test::SharedFixture("dat/Capcom Play System 3 Emulator v1.0a.dat");
  if (zinc.empty() || cps3.empty()) GTEST_SKIP() << "shared fixtures absent";
  state_.CacheResults = false;
  LoadRomCenter(state_, zinc);
  EXPECT_EQ(state_.Catalogue.Count(), 264u);
  EXPECT_EQ(state_.Catalogue[0].Name, "Capcom ZN-1 Firmware");
  EXPECT_EQ(state_.Catalogue[0].Crc, 0x50033AF6u);
  EXPECT_EQ(state_.Catalogue[0].Index, "0001");
  LoadRomCenter(state_, cps3);
  EXPECT_EQ(state_.Catalogue.Count(), 78u);
  EXPECT_EQ(state_.Catalogue[0].Crc, 0x4DAB19F5u);
}

}  // namespace
}  // namespace vexmoor
