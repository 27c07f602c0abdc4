// The scan's search for trimmed dumps: loose and inside archives, the
// dumps that are never tried, the option, and what a trimmed find shows.
#include <gtest/gtest.h>

#include <filesystem>

#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "scan/EndPass.h"
#include "support/ArchiveBuilder.h"
#include "support/RandomData.h"
#include "support/SevenZipBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::AddEntry;
using test::CrcOf;
using test::Dump;

constexpr size_t kKiB = 1024;

// A cartridge image of `full` bytes: `used` random bytes, the last of them
// not 0xFF, then 0xFF padding; or a random tail instead of the padding.
std::string Image(size_t used, size_t full, uint32_t seed, bool randomTail = false) {
  std::string image = test::RandomBytes(used, seed);
  image.back() = 0x5A;
  image += randomTail ? test::RandomBytes(full - used, seed + 1) : std::string(full - used, '\xFF');
  return image;
}

std::string Trimmed(const std::string& image, size_t used) { return image.substr(0, used); }

class TrimmedScanTest : public test::ScanTest {
 protected:
  // The Status column text of catalogue entry `entry`.
  std::string StatusColumn(size_t entry) const {
    for (const TListRow& row : list_)
      if (row.Entry == entry) return list_.RowText(row, kSubItemStatus);
    return "(no row)";
  }
};

TEST_F(TrimmedScanTest, TrimmedDumpsAreFoundLooseAndInZipAndRarArchives) {
  const std::string loose = Image(200000, 256 * kKiB, 1), zipped = Image(150001, 256 * kKiB, 2),
                    rarred = Image(70000, 128 * kKiB, 3), whole = Image(90000, 128 * kKiB, 4);
  AddEntry(state_, "1", "Loose", CrcOf(loose));
  AddEntry(state_, "2", "Zipped", CrcOf(zipped));
  AddEntry(state_, "3", "Rarred", CrcOf(rarred));
  AddEntry(state_, "4", "Whole", CrcOf(whole));
  dir_.Write("a.nds", Trimmed(loose, 200000));
  dir_.Write("z.zip", test::BuildZip({{"sub/b.nds", Trimmed(zipped, 150001)}}));
  dir_.Write("r.rar", test::BuildRarVolume({{"c.nds", Trimmed(rarred, 70000)}}));
  dir_.Write("w.nds", whole);
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Matched, 4);
  EXPECT_EQ(state_.FoundCount, 4);
  const std::string locations[] = {Root() + "a.nds", Root() + "z.zip\\sub/b.nds",
                                   Root() + "r.rar\\c.nds", Root() + "w.nds"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(state_.Catalogue[i].Status, StatusFound) << i;
    EXPECT_EQ(state_.Catalogue[i].StatusText, locations[i]) << i;
    EXPECT_EQ(state_.Catalogue[i].Trimmed, i != 3) << i;
  }
  EXPECT_EQ(StatusColumn(0), "Found : \"a.nds\"  ::  \"" + Root() + "\" (trimmed)");
  EXPECT_EQ(StatusColumn(1), "Found : \"sub/b.nds\"  ::  \"" + Root() + "z.zip\\\" (trimmed)");
  EXPECT_EQ(StatusColumn(3), "Found : \"w.nds\"  ::  \"" + Root() + "\"");
}

TEST_F(TrimmedScanTest, TrimmedDumpsAreFoundInA7zArchiveMadeBy7z) {
  if (!test::HaveSevenZip()) GTEST_SKIP() << "7z is not installed";
  const std::string first = Image(200000, 256 * kKiB, 21), second = Image(100000, 1024 * kKiB, 22);
  AddEntry(state_, "1", "First", CrcOf(first));
  AddEntry(state_, "2", "Second", CrcOf(second));
  dir_.Write("src/first.nds", Trimmed(first, 200000));
  dir_.Write("src/sub/second.nds", Trimmed(second, 100000));
  dir_.Write("src/notes.txt", Trimmed(first, 200000));  // outside the mask
  ASSERT_TRUE(test::RunSevenZip(dir_ / "src", "a ../roms/set.7z ."));
  Scan(dir_ / "roms");
  EXPECT_EQ(StatusColumn(0), "Found : \"first.nds\"  ::  \"" + Root() + "roms/set.7z\\\" (trimmed)");
  EXPECT_EQ(state_.Catalogue[1].Status, StatusFound);
  EXPECT_TRUE(state_.Catalogue[1].Trimmed);
}

TEST_F(TrimmedScanTest, CartridgesTwoAndThreeSizesAboveTheUsedSpace) {
  const std::string twoAbove = Image(100000, 512 * kKiB, 5), threeAbove = Image(100000, 1024 * kKiB, 6);
  AddEntry(state_, "1", "Two above", CrcOf(twoAbove));
  AddEntry(state_, "2", "Three above", CrcOf(threeAbove));
  dir_.Write("two.nds", Trimmed(twoAbove, 100000));
  dir_.Write("three.zip", test::BuildZip({{"three.nds", Trimmed(threeAbove, 100000)}}));
  Scan(dir_.Path());
  EXPECT_TRUE(state_.Catalogue[0].Status == StatusFound && state_.Catalogue[0].Trimmed);
  EXPECT_TRUE(state_.Catalogue[1].Status == StatusFound && state_.Catalogue[1].Trimmed);
}

TEST_F(TrimmedScanTest, DumpsThatAreNeverTriedOrAreNotTrimmedFindNothing) {
  // A power of two in size: it would match the next size up if it were tried.
  const std::string pow2Loose = Image(128 * kKiB, 256 * kKiB, 7),
                    pow2Member = Image(128 * kKiB, 256 * kKiB, 8);
  AddEntry(state_, "1", "Power of two loose", CrcOf(pow2Loose));
  AddEntry(state_, "2", "Power of two member", CrcOf(pow2Member));
  dir_.Write("p.nds", Trimmed(pow2Loose, 128 * kKiB));
  dir_.Write("p.zip", test::BuildZip({{"p.nds", Trimmed(pow2Member, 128 * kKiB)}}));
  // A random tail, not padding: the cut-off image is not a trimmed dump.
  const std::string randomTail = Image(200000, 256 * kKiB, 9, true);
  AddEntry(state_, "3", "Random tail", CrcOf(randomTail));
  dir_.Write("t.nds", Trimmed(randomTail, 200000));
  // A dump whose own CRC matches an entry is never tried trimmed.
  const std::string own = Image(200000, 256 * kKiB, 10);
  AddEntry(state_, "4", "Own CRC", CrcOf(Trimmed(own, 200000)));
  AddEntry(state_, "5", "Its full image", CrcOf(own));
  dir_.Write("own.nds", Trimmed(own, 200000));
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Matched, 1);
  for (size_t i : {0, 1, 2, 4}) EXPECT_EQ(state_.Catalogue[i].Status, StatusMissing) << i;
  EXPECT_EQ(state_.Catalogue[3].Status, StatusFound);
  EXPECT_FALSE(state_.Catalogue[3].Trimmed);
}

TEST_F(TrimmedScanTest, OnlyMembersWhoseNamesMatchTheDatMaskAreTried) {
  const std::string text = Image(3000, 128 * kKiB, 11), save = Image(5000, 128 * kKiB, 12),
                    upper = Image(7000, 128 * kKiB, 13);
  AddEntry(state_, "1", "Text", CrcOf(text));
  AddEntry(state_, "2", "Save", CrcOf(save));
  AddEntry(state_, "3", "Upper", CrcOf(upper));
  dir_.Write("m.zip", test::BuildZip({{"readme.txt", Trimmed(text, 3000)},
                                      {"saves/game.sav", Trimmed(save, 5000)},
                                      {"GAME.NDS", Trimmed(upper, 7000)}}));
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[2].Status, StatusFound);  // masks ignore case

  // A Rom Center dat has no mask: no member is tried.
  state_.Catalogue[2].Status = StatusMissing;
  state_.DatMask.clear();
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[2].Status, StatusMissing);
}

TEST_F(TrimmedScanTest, TheBadDumpTestRunsOnATrimmedLooseDump) {
  std::string image = Image(0x9000, 128 * kKiB, 14);
  const std::string bad = test::BadDump("bad");
  image.replace(kSmtBadDumpOffset, kSmtBadDumpBlock, bad.substr(kSmtBadDumpOffset, kSmtBadDumpBlock));
  AddEntry(state_, "1", "Bad", CrcOf(image));
  dir_.Write("bad.nds", Trimmed(image, 0x9000));
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusBad);
  EXPECT_TRUE(state_.Catalogue[0].Trimmed);
  EXPECT_EQ(StatusColumn(0), "Bad : bad.nds \n Error : Bad SMT v1.0 Dump");
}

TEST_F(TrimmedScanTest, TheLastDumpProcessedDecidesWhetherTheFindIsTrimmed) {
  const std::string image = Image(200000, 256 * kKiB, 15);
  AddEntry(state_, "1", "Both", CrcOf(image));
  dir_.Write("first.nds", Trimmed(image, 200000));
  dir_.Write("sub/later.nds", image);  // a folder's files come after the top's
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].StatusText, Root() + "sub/later.nds");
  EXPECT_FALSE(state_.Catalogue[0].Trimmed);

  fs::rename(dir_ / "first.nds", dir_ / "sub/first.nds");
  fs::rename(dir_ / "sub/later.nds", dir_ / "later.nds");
  Scan(dir_.Path());
  EXPECT_TRUE(state_.Catalogue[0].Trimmed);
  EXPECT_EQ(StatusColumn(0), "Found : \"first.nds\"  ::  \"" + Root() + "sub/\" (trimmed)");
}

TEST_F(TrimmedScanTest, OptionOffTheTrimmedDumpsChangeNothing) {
  const std::string loose = Image(200000, 256 * kKiB, 16), zipped = Image(150001, 256 * kKiB, 17),
                    whole = Dump("whole"), bad = test::BadDump("bad");
  AddEntry(state_, "1", "Loose", CrcOf(loose));
  AddEntry(state_, "2", "Zipped", CrcOf(zipped));
  AddEntry(state_, "3", "Whole", CrcOf(whole));
  AddEntry(state_, "4", "Bad", CrcOf(bad));
  AddEntry(state_, "5", "Cached", 0x11111111, StatusCached);
  dir_.Write("w.nds", whole);
  dir_.Write("sub/bad.nds", bad);
  dir_.Write("z.zip", test::BuildZip({{"w.nds", whole}}));
  auto results = [this] {
    std::string seen = std::to_string(state_.FoundCount) + panels_[0] + panels_[1] + panels_[2];
    for (size_t i = 0; i < state_.Catalogue.Count(); ++i) {
      const TRomItem& item = state_.Catalogue[i];
      seen += "\n" + std::to_string(item.Status) + item.StatusText + std::to_string(item.Trimmed) +
              StatusColumn(i);
    }
    return seen;
  };
  const TAuditState fresh = state_;
  const int32_t matchedWithout = Scan(dir_.Path()).Matched;
  const std::string without = results();

  state_ = fresh;
  state_.MatchTrimmed = false;
  dir_.Write("a.nds", Trimmed(loose, 200000));
  dir_.Write("t.zip", test::BuildZip({{"b.nds", Trimmed(zipped, 150001)}}));
  EXPECT_EQ(Scan(dir_.Path()).Matched, matchedWithout);
  EXPECT_EQ(results(), without);
}

TEST_F(TrimmedScanTest, TogglingTheOptionDuringAScanTakesEffectWithTheNext) {
  const std::string image = Image(200000, 256 * kKiB, 19);
  AddEntry(state_, "1", "Trimmed", CrcOf(image));
  dir_.Write("a/first.nds", Trimmed(image, 200000));
  state_.MatchTrimmed = false;
  onPump_ = [this] { state_.MatchTrimmed = true; };  // as the Options menu would
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  onPump_ = [this] { state_.MatchTrimmed = false; };
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
}

TEST_F(TrimmedScanTest, ReportsCacheAndCountsTakeATrimmedFindAsFound) {
  state_.CacheResults = true;
  state_.DatPath = dir_ / "t.qdat";
  state_.DatHeader.Rebuild({"[INFO]", "NAME=T", "SYSTEM=DS"});
  const std::string image = Image(200000, 256 * kKiB, 18);
  AddEntry(state_, "1", "Trimmed Find", CrcOf(image));
  AddEntry(state_, "2", "Not There", 0x22222222);
  dir_.Write("a.nds", Trimmed(image, 200000));
  Scan(dir_.Path());
  EXPECT_EQ(state_.FoundCount, 1);
  EXPECT_EQ(panels_[0], " Found : 1");
  EXPECT_EQ(CacheLookup(state_.CacheTable, CrcOf(image)), kCacheFlagCached);
  EXPECT_EQ(fs::file_size(dir_ / "t.qcache"), 15u);
  const THaveMissLists lists = BuildHaveMissLists(state_);
  EXPECT_NE(lists.HaveText.find("Trimmed Find"), std::string::npos);
  EXPECT_EQ(lists.MissText.find("Trimmed Find"), std::string::npos);
  const std::string fixDat = BuildFixDat(state_, list_);
  EXPECT_EQ(fixDat.find("Trimmed Find"), std::string::npos);
  EXPECT_NE(fixDat.find("Not There"), std::string::npos);
}

// Regression: size was ignored. A file carrying the CRC of a release of
// another size was found, and a trimmed dump whose padded CRC equals that
// of a release of another size was found (trimmed). Where the dat gives a
// size, the dump's size (a trimmed dump's full image size) must equal it;
// the native dat gives none and matches by CRC alone.
TEST_F(TrimmedScanTest, ACrcMatchOfTheWrongSizeIsNotFound) {
  const std::string dump = Dump("one", 4096), image = Image(70000, 128 * kKiB, 7);
  AddEntry(state_, "1", "Right size", CrcOf(dump)).Size = dump.size();
  AddEntry(state_, "2", "Eight MiB", CrcOf(dump)).Size = 8u << 20;
  AddEntry(state_, "3", "No size", CrcOf(dump));
  AddEntry(state_, "4", "Image", CrcOf(image)).Size = image.size();
  AddEntry(state_, "5", "Image of another size", CrcOf(image)).Size = 256 * kKiB;
  dir_.Write("a.nds", dump);
  dir_.Write("z.zip", test::BuildZip({{"t.nds", Trimmed(image, 70000)}}));
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Matched, 3);
  const int32_t expected[] = {StatusFound, StatusMissing, StatusFound, StatusFound, StatusMissing};
  for (size_t entry = 0; entry < 5; ++entry)
    EXPECT_EQ(state_.Catalogue[entry].Status, expected[entry]) << state_.Catalogue[entry].Name;
  EXPECT_TRUE(state_.Catalogue[3].Trimmed);
}

}  // namespace
}  // namespace vexmoor
