// Logiqx, clrmamepro and OfflineList dats, plain and zipped, through every
// loader choice; what a failed load leaves; the fix dat read back.
#include "catalogue/GameDatLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "catalogue/DatLoader.h"
#include "catalogue/DatZip.h"
#include "catalogue/GameDat.h"
#include "catalogue/RomList.h"
#include "platform/Errors.h"
#include "reports/FixDat.h"
#include "scan/AuditState.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

std::string DataFile(const std::string& name) {
  return test::ReadFile(std::string(VEXMOOR_SOURCE_DIR) + "/tests/data/dats/" + name);
}

class GameDatLoaderTest : public test::TempDirTest {
 protected:
  bool Load(const std::string& path, TDatLoader loader) {
    state_.DatLoader = loader;
    return RunDatLoader(state_, path);
  }
  void LoadPrevious() {
    const std::string text = "[INFO]\nMASK=*.bin\n[DAT]\n1|1|a\n2|2|b\n";
    LoadNativeText(state_, dir_.Write("previous.qdat", text), text);
  }
  void ExpectPreviousKept() {
    EXPECT_EQ(state_.Catalogue.Count(), 2u);
    EXPECT_EQ(state_.DatMask, "*.bin");
    EXPECT_EQ(state_.DatFields, "INDEX|CRC32|NAME");
    EXPECT_EQ(state_.DatPath, dir_ / "previous.qdat");
    EXPECT_EQ(state_.DatFormat, TDatFormat::Native);
  }
  std::string Info(std::string_view key) const { return state_.DatHeader.ReadString("INFO", key, "?"); }
  // A deflated zip made by the zip tool users have.
  std::string Zip(const std::string& zipName, const std::string& member) {
    const std::string command = "cd " + test::ShellQuote(dir_.Path()) + " && zip -q -9 " +
                                test::ShellQuote(zipName) + " " + test::ShellQuote(member);
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir_ / zipName;
  }
  TAuditState state_;
};

TEST(ChooseDatLoader, XmlAndZipGoByContent) {
  EXPECT_EQ(ChooseDatLoader("Set.xml"), TDatLoader::OtherDat);
  EXPECT_EQ(ChooseDatLoader("Set.ZIP"), TDatLoader::OtherDat);
  EXPECT_STREQ(DatLoaderName(TDatLoader::OtherDat), "LoadOtherDat");
  EXPECT_EQ(DatLoaderForFilter(0), TDatLoader::QuenDat);
  EXPECT_EQ(DatLoaderForFilter(1), TDatLoader::RomCenter);
  EXPECT_EQ(DatLoaderForFilter(2), TDatLoader::OtherDat);
  EXPECT_STREQ(kPickDatFilters[2].Caption, "Other Dat Files (*.dat *.xml *.zip)");
  EXPECT_EQ(DatLoaderForFilter(3), TDatLoader::None);
  EXPECT_EQ(DatLoaderForFilter(-1), TDatLoader::None);
}

TEST_F(GameDatLoaderTest, EveryLoaderChoiceReadsTheFormatTheContentShows) {
  const std::string path = dir_.Write("set.dat", DataFile("logiqx-ds.xml"));
  for (const TDatLoader loader : {TDatLoader::QuenDat, TDatLoader::RomCenter, TDatLoader::OtherDat}) {
    SCOPED_TRACE(DatLoaderName(loader));
    state_ = TAuditState();
    ASSERT_TRUE(Load(path, loader));
    EXPECT_EQ(state_.DatFormat, TDatFormat::Logiqx);
    EXPECT_EQ(state_.Catalogue.Count(), 6u);
    EXPECT_EQ(state_.Catalogue[1].Name, "Bravo & Charlie (Japan)");
    EXPECT_EQ(state_.Catalogue[1].Status, StatusMissing);
    EXPECT_EQ(state_.DatMask, "*.nds");
    EXPECT_EQ(state_.DatFields, "INDEX|CRC32|NAME|COUNTRY");
    EXPECT_EQ(state_.DatPath, path);
    EXPECT_EQ(state_.DatMember, "");
    EXPECT_EQ(Info("NAME"), "Nintendo - Nintendo DS (Decrypted)");
    EXPECT_EQ(Info("SYSTEM"), "Nintendo - Nintendo DS (Test)");
    EXPECT_EQ(Info("VERSION"), "20261201-000000");
    EXPECT_EQ(Info("EXT"), "nds");
    EXPECT_EQ(Info("MASK"), "*.nds");
    EXPECT_EQ(Info("FIELDS"), "INDEX|CRC32|NAME|COUNTRY");
    EXPECT_EQ(Info("SORT"), "?");
  }
}

TEST_F(GameDatLoaderTest, MixedExtensionsGiveEveryMaskAndNoExt) {
  ASSERT_TRUE(Load(dir_.Write("noid.xml", DataFile("logiqx-noid.xml")), TDatLoader::OtherDat));
  EXPECT_EQ(state_.DatMask, "*.bin;*.nds");
  EXPECT_EQ(Info("EXT"), "");
  ASSERT_TRUE(Load(dir_.Write("ol.xml", DataFile("offlinelist-ds.xml")), TDatLoader::OtherDat));
  EXPECT_EQ(state_.DatFormat, TDatFormat::OfflineList);
  EXPECT_EQ(state_.DatMask, "*.nds");
  EXPECT_EQ(Info("NAME"), "Test DS Collection");
  ASSERT_TRUE(Load(dir_.Write("cm.dat", DataFile("clrmamepro-ds.dat")), TDatLoader::RomCenter));
  EXPECT_EQ(state_.DatFormat, TDatFormat::ClrMamePro);
  EXPECT_EQ(state_.Catalogue.Count(), 4u);
}

TEST_F(GameDatLoaderTest, ZippedDatsLoadTheirOneMemberWithTheCacheBesideTheZip) {
#ifdef _WIN32
  GTEST_SKIP() << "the zip set is made with the zip tool, a Linux program a Windows test cannot start";
#else
  dir_.Write("Nintendo DS.xml", DataFile("offlinelist-ds.xml"));
  dir_.Write("readme.txt", "not a dat");
  std::string zip = Zip("ds.zip", "Nintendo DS.xml");
  Zip("ds.zip", "readme.txt");
  TCacheTable found;
  CacheSet(found, 0x94767CD4, 1);
  WriteCacheFile(found, dir_ / "ds.qcache");
  ASSERT_TRUE(Load(zip, TDatLoader::OtherDat));
  EXPECT_EQ(state_.DatFormat, TDatFormat::OfflineList);
  EXPECT_EQ(state_.DatMember, "Nintendo DS.xml");
  EXPECT_EQ(state_.DatPath, zip);
  ASSERT_EQ(state_.Catalogue.Count(), 6u);
  EXPECT_EQ(state_.Catalogue[0].StatusText, "Cached");
  // Stored members load the same way, whichever loader was chosen.
  zip = dir_.Write("stored.dat", test::BuildZip({{"cm.dat", DataFile("clrmamepro-ds.dat")}}));
  ASSERT_TRUE(Load(zip, TDatLoader::RomCenter));
  EXPECT_EQ(state_.DatFormat, TDatFormat::ClrMamePro);
  EXPECT_EQ(state_.Catalogue.Count(), 4u);
#endif
}

TEST_F(GameDatLoaderTest, ZipsThatCannotGiveOneDatChangeNothing) {
  LoadPrevious();
  const auto expectRefused = [&](const std::string& data, const std::string& why) {
    SCOPED_TRACE(why);
    try {
      Load(dir_.Write("bad.zip", data), TDatLoader::OtherDat);
      ADD_FAILURE() << "loaded";
    } catch (const FormatError& error) {
      EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
    }
    ExpectPreviousKept();
  };
  expectRefused(test::BuildZip({{"a.txt", "x"}}), "holds 0 files ending in .dat or .xml");
  expectRefused(test::BuildZip({{"a.dat", "x"}, {"b.XML", "y"}}), "holds 2 files");
  std::string damaged = test::BuildZip({{"a.xml", "<datafile/>"}});
  damaged[35] ^= 1;  // a byte of the member's data
  expectRefused(damaged, "fails its CRC-32 check");
  std::string huge = test::BuildZip({{"a.xml", "<datafile/>"}});
  const size_t central = huge.find("PK\x01\x02");
  huge[central + 24 + 3] = 0x20;  // 512 MiB unpacked
  expectRefused(huge, "dats larger than 256 MiB are refused");
  expectRefused(test::BuildZip({{"a.dat", "neither"}}).substr(0, 40), "no end record");
  expectRefused(test::BuildZip({{"a.xml", "<?xml version='1.0'?><dat><games>"}}), "line 1");
}

TEST_F(GameDatLoaderTest, MalformedXmlLeavesThePreviousDat) {
  LoadPrevious();
  const std::string text = DataFile("logiqx-ds.xml");
  EXPECT_THROW(Load(dir_.Write("cut.xml", text.substr(0, text.size() / 2)), TDatLoader::OtherDat),
               FormatError);
  ExpectPreviousKept();
  EXPECT_THROW(Load(dir_.Write("root.dat", "<?xml version=\"1.0\"?><games/>"), TDatLoader::RomCenter),
               FormatError);
  ExpectPreviousKept();
  EXPECT_THROW(Load(dir_ / "absent.xml", TDatLoader::OtherDat), FileOpenError);
  ExpectPreviousKept();
  EXPECT_THROW(Load(dir_.Write("plain.xml", "just text"), TDatLoader::OtherDat), FormatError);
  ExpectPreviousKept();
}

TEST_F(GameDatLoaderTest, RomCenterAndNativeTextsLoadAsBefore) {
  const std::string native = "[INFO]\nFIELDS=INDEX|CRC32|NAME|COUNTRY\n[DAT]\n7|0A1B2C3D|A|U\n";
  ASSERT_TRUE(Load(dir_.Write("n.qdat", native), TDatLoader::QuenDat));
  EXPECT_EQ(state_.DatFormat, TDatFormat::Native);
  EXPECT_EQ(state_.Catalogue[0].Index, "7");
  EXPECT_FALSE(state_.Catalogue[0].Size);
  // Through "Other Dat Files" a text the content does not place goes by name.
  ASSERT_TRUE(Load(dir_ / "n.qdat", TDatLoader::OtherDat));
  EXPECT_EQ(state_.DatFormat, TDatFormat::Native);
  const std::string plain = test::SharedFixture("dat/Zinc v0.9.dat");
  const std::string zipped = test::SharedFixture("zip/ZiNc v0.9 (rc).zip");
  if (plain.empty() || zipped.empty()) GTEST_SKIP() << "shared fixtures absent";
  TAuditState before;
  LoadRomCenter(before, plain);
  for (const TDatLoader loader : {TDatLoader::RomCenter, TDatLoader::OtherDat}) {
    ASSERT_TRUE(Load(plain, loader));
    EXPECT_EQ(state_.DatFormat, TDatFormat::RomCenter);
    ASSERT_EQ(state_.Catalogue.Count(), before.Catalogue.Count());
    ASSERT_TRUE(Load(zipped, loader));
    EXPECT_EQ(state_.DatMember, "Zinc v0.9.dat");
    ASSERT_EQ(state_.Catalogue.Count(), 264u);
    for (size_t i = 0; i < 264; ++i) {
      EXPECT_EQ(state_.Catalogue[i].Index, before.Catalogue[i].Index);
      EXPECT_EQ(state_.Catalogue[i].Crc, before.Catalogue[i].Crc);
      EXPECT_EQ(state_.Catalogue[i].Name, before.Catalogue[i].Name);
    }
  }
}

TEST_F(GameDatLoaderTest, TheFixDatReadsBackAsTheEntriesNotFound) {
  ASSERT_TRUE(Load(dir_.Write("set.xml", DataFile("logiqx-ds.xml")), TDatLoader::OtherDat));
  state_.Catalogue[0].Status = StatusFound;
  state_.Catalogue[3].Status = StatusFound;
  TRomList list;
  TSortState sort;
  list.Fill(state_.Catalogue, state_.DatHeader, sort);
  const std::string fixDat = BuildFixDat(state_, list);
  EXPECT_NE(fixDat.find("  rom ( name \"Echo Tactics.nds\" size 8388608 crc 55667788 )\r\n"),
            std::string::npos);
  const TAuditState found = state_;
  state_ = TAuditState();
  ASSERT_TRUE(Load(dir_.Write("set-fix.dat", fixDat), TDatLoader::RomCenter));
  EXPECT_EQ(state_.DatFormat, TDatFormat::ClrMamePro);
  EXPECT_EQ(Info("NAME"), "Nintendo - Nintendo DS (Test) Fix Dat");
  ASSERT_EQ(state_.Catalogue.Count(), 4u);
  const size_t notFound[] = {1, 2, 4, 5};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(state_.Catalogue[i].Name, found.Catalogue[notFound[i]].Name);
    EXPECT_EQ(state_.Catalogue[i].Crc, found.Catalogue[notFound[i]].Crc);
    EXPECT_EQ(state_.Catalogue[i].Size, found.Catalogue[notFound[i]].Size);
    EXPECT_EQ(state_.Catalogue[i].RomName, found.Catalogue[notFound[i]].RomName);
  }
}

// Regression: the fix dat of a real DS dat could not be rebuilt from. The
// dat mixes .nds, .bin and .ids, so EXT was empty and every rom read
// "Game (France)."; each rom now keeps the file name the dat gives, with
// its size, SHA-1 and MD5, and the fix dat loads back to the same entries.
TEST_F(GameDatLoaderTest, TheFixDatOfTheRealDsDatNamesEveryRomWithItsExtension) {
  const std::string path = test::SharedFixture("dat/real/Nintendo - Nintendo DS.dat");
  if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
  ASSERT_TRUE(Load(path, TDatLoader::RomCenter));
  ASSERT_GT(state_.Catalogue.Count(), 7000u);
  EXPECT_EQ(Info("EXT"), "");  // the dat mixes extensions
  for (TRomItem& entry : state_.Catalogue) entry.Status = StatusMissing;
  TRomList list;
  TSortState sort;
  list.Fill(state_.Catalogue, state_.DatHeader, sort);
  const std::string fixDat = BuildFixDat(state_, list);
  EXPECT_EQ(fixDat.find(".\"\r\n"), std::string::npos);
  EXPECT_EQ(fixDat.find(".\" crc"), std::string::npos);
  const TAuditState written = state_;
  state_ = TAuditState();
  ASSERT_TRUE(Load(dir_.Write("ds-fix.dat", fixDat), TDatLoader::RomCenter));
  // The same roms, by everything the fix dat carries; a game name that
  // several releases of the dat share comes back with its number added.
  using TRom = std::tuple<std::string, uint32_t, std::optional<uint64_t>, std::string, std::string,
                          std::string>;
  const std::unordered_set<std::string> repeated = RepeatedNames(written.Catalogue);
  std::vector<TRom> expected, loaded;
  for (const TRomItem& entry : written.Catalogue) {
    const size_t dot = entry.RomName.rfind('.');
    ASSERT_NE(dot, std::string::npos) << entry.RomName;
    EXPECT_GE(entry.RomName.size() - dot, 4u) << entry.RomName;  // ".nds", ".bin", ".ids" ...
    const std::string name =
        repeated.count(entry.Name) ? UniqueGameName(entry.Name, entry.Index) : entry.Name.str();
    expected.emplace_back(entry.RomName, entry.Crc, entry.Size, entry.Sha1, entry.Md5, name);
  }
  for (const TRomItem& entry : state_.Catalogue)
    loaded.emplace_back(entry.RomName, entry.Crc, entry.Size, entry.Sha1, entry.Md5, entry.Name);
  std::sort(expected.begin(), expected.end());
  std::sort(loaded.begin(), loaded.end());
  EXPECT_TRUE(expected == loaded);
  EXPECT_EQ(written.Catalogue[0].Sha1.size(), 40u);
}

TEST_F(GameDatLoaderTest, RepeatedOfflineListTitlesGetUniqueGameAndRomNames) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<dat><configuration><datName>D</datName></configuration><games>"
      "<game><title>Same</title><releaseNumber>7</releaseNumber><romSize>4</romSize>"
      "<files><romCRC extension=\".nds\">00000007</romCRC></files></game>"
      "<game><title>Same</title><releaseNumber>9</releaseNumber><romSize>4</romSize>"
      "<files><romCRC extension=\".nds\">00000009</romCRC></files></game>"
      "<game><title>Other</title><releaseNumber>8</releaseNumber>"
      "<files><romCRC extension=\".srl\">00000008</romCRC></files></game></games></dat>\n";
  ASSERT_TRUE(Load(dir_.Write("ol.xml", xml), TDatLoader::OtherDat));
  EXPECT_EQ(state_.Catalogue[0].RomName, "Same (0007).nds");
  EXPECT_EQ(state_.Catalogue[1].RomName, "Same (0009).nds");
  EXPECT_EQ(state_.Catalogue[2].RomName, "Other.srl");
  EXPECT_EQ(state_.DatMask, "*.nds;*.srl");
  TRomList list;
  TSortState sort;
  list.Fill(state_.Catalogue, state_.DatHeader, sort);
  const std::string fixDat = BuildFixDat(state_, list);
  EXPECT_NE(fixDat.find("game (\r\n  name \"Same (0007)\"\r\n  description \"Same (0007)\"\r\n"
                        "  rom ( name \"Same (0007).nds\" size 4 crc 00000007 )\r\n)\r\n"),
            std::string::npos)
      << fixDat;
  EXPECT_NE(fixDat.find("  name \"Same (0009)\"\r\n"), std::string::npos);
  EXPECT_NE(fixDat.find("  rom ( name \"Other.srl\" crc 00000008 )\r\n"), std::string::npos);
}

// Regression: loose dumps outside the mask were never read: a Rom Center
// dat gave an empty mask, so no loose file was ever checksummed.
TEST_F(GameDatLoaderTest, ARomCenterDatsMaskIsTheExtensionsOfItsRomColumn) {
  const std::string text =
      "[GAMES]\r\n\xAC"
      "p\xAC"
      "d\xAC"
      "Game One\xAC"
      "d\xAC"
      "one.nds\xAC"
      "0000000A\xAC"
      "16\xAC\xAC\xAC\r\n"
      "\xAC"
      "p\xAC"
      "d\xAC"
      "Game Two\xAC"
      "d\xAC"
      "two.SRL\xAC"
      "0000000B\xAC"
      "32\xAC\xAC\xAC\r\n";
  ASSERT_TRUE(Load(dir_.Write("rc.dat", text), TDatLoader::RomCenter));
  EXPECT_EQ(state_.DatMask, "*.nds;*.SRL");
  EXPECT_EQ(state_.Catalogue[1].RomName, "two.SRL");
  EXPECT_EQ(state_.Catalogue[1].Size, 32u);
}

}  // namespace
}  // namespace vexmoor
