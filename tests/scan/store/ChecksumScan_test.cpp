// The scan with a checksum store: an unchanged loose dump is not read again,
// a changed one always is, and the results are those of a scan that reads
// everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/DigestKind.h"
#include "scan/Digest.h"
#include "scan/store/ChecksumSession.h"
#include "support/ArchiveBuilder.h"
#include "tests/scan/store/ChecksumTestUtil.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::AddEntry;
using test::CrcOf;
using test::Dump;
using test::TOpenCounter;

class ChecksumScanTest : public test::ScanTest {
 protected:
  ChecksumScanTest() { store_ = test::AheadStore(dir_ / "cache/checksums.sqlite3", notices_); }

  // Scans roms/ with the store and `workers`, and says what the catalogue
  // holds afterwards.
  std::string ScanWithStore(unsigned workers = 1, bool rehash = false, std::string root = "") {
    for (TRomItem& item : state_.Catalogue) {
      item.Status = StatusMissing;
      item.StatusText.clear();
    }
    TScanEngine engine(state_, list_, sort_, cancel_, Recording());
    engine.SetPipeline({workers});
    engine.SetChecksumStore(store_.get(), rehash);
    opened_.Reset();
    const TScanOutcome outcome = engine.Run(root.empty() ? dir_ / "roms" : root);
    std::string result = std::to_string(outcome.Matched) + "\n";
    for (const TRomItem& item : state_.Catalogue)
      result += std::to_string(item.Status) + " " + item.StatusText + "\n";
    return result;
  }

  // A dump at roms/`name` that the catalogue knows.
  std::string Known(const std::string& name, const std::string& data) {
    AddEntry(state_, std::to_string(state_.Catalogue.Count() + 1), name, CrcOf(data));
    return dir_.Write("roms/" + name, data);
  }

  std::vector<std::string> notices_;
  std::unique_ptr<TChecksumStore> store_;
  TOpenCounter opened_;
};

TEST_F(ChecksumScanTest, UnchangedDumpsAreNotReadAgainAndGiveTheSameResults) {
  Known("a.nds", Dump("a"));
  Known("sub/b.nds", Dump("b"));
  Known("sub/bad.nds", test::BadDump("bad"));
  Known("sub/z.zip", test::BuildZip({{"m.nds", Dump("m")}}));
  AddEntry(state_, "9", "m", CrcOf(Dump("m")));
  dir_.Write("roms/other.nds", Dump("nobody knows"));
  for (unsigned workers : {1u, 2u}) {
    store_.reset();  // an open file cannot be removed on Windows
    fs::remove(dir_ / "cache/checksums.sqlite3");
    store_ = test::AheadStore(dir_ / "cache/checksums.sqlite3", notices_);
    const std::string first = ScanWithStore(workers);
    EXPECT_EQ(opened_.Files(), 5u);
    EXPECT_NE(first.find("10 " + Root() + "roms/sub/bad.nds"), std::string::npos) << first;
    EXPECT_EQ(ScanWithStore(workers), first);
    EXPECT_EQ(opened_.Files(), 1u);  // the archive's directory only
    EXPECT_TRUE(opened_.WasOpened(Root() + "roms/sub/z.zip"));
    EXPECT_EQ(ScanWithStore(workers, /*rehash=*/false), first);
  }
  EXPECT_TRUE(notices_.empty());
}

// On Windows the walk named the folders below the root with '/' while the
// absolute root has '\', so the keys mixed both, and a scan of the root
// spelled the other way found none of its rows.
TEST_F(ChecksumScanTest, StoreKeysHaveOneSeparatorSoEitherSpellingOfTheRootRecallsTheRows) {
  Known("a.nds", Dump("a"));
  Known("sub/deeper/b.nds", Dump("b"));
  EXPECT_EQ(ScanWithStore().substr(0, 2), "2\n");
  EXPECT_EQ(opened_.Files(), 2u);
  constexpr auto preferred = static_cast<char>(fs::path::preferred_separator);
  const char other = preferred == '/' ? '\\' : '/';
  const TKnownChecksums rows = store_->LoadUnder("");
  ASSERT_EQ(rows.size(), 2u);
  rows.ForEach([other](const std::string& key, const TKnownChecksum&) {
    EXPECT_EQ(key.find(other), std::string::npos) << key;
  });
  std::string spelled = dir_ / "roms";
  std::replace(spelled.begin(), spelled.end(), '/', preferred);
  EXPECT_EQ(ScanWithStore(1, false, spelled).substr(0, 2), "2\n");
  EXPECT_EQ(opened_.Files(), 0u);  // both recalled
}

TEST_F(ChecksumScanTest, ManySmallDumpsThroughSeveralWorkersAreAllRememberedAndRecalled) {
  // More rows than one batch, so the store's writer thread writes while the
  // workers still recall and the walk still queues rows.
  const size_t count = kChecksumBatchRows + 300;
  for (size_t i = 0; i < count; ++i)
    Known("f" + std::to_string(i % 7) + "/" + std::to_string(i) + ".nds", Dump(std::to_string(i), 64));
  for (unsigned workers : {2u, 3u, 4u}) {
    store_.reset();  // an open file cannot be removed on Windows
    fs::remove(dir_ / "cache/checksums.sqlite3");
    store_ = test::AheadStore(dir_ / "cache/checksums.sqlite3", notices_);
    const std::string first = ScanWithStore(workers);
    EXPECT_EQ(first.substr(0, first.find('\n')), std::to_string(count)) << workers << " workers";
    EXPECT_EQ(opened_.Files(), count) << workers << " workers";
    EXPECT_EQ(store_->RowCount(), count) << workers << " workers";
    EXPECT_EQ(ScanWithStore(workers), first) << workers << " workers";
    EXPECT_EQ(opened_.Files(), 0u) << workers << " workers";
  }
  EXPECT_TRUE(notices_.empty());
}

// A dat with SHA-1s: the first scan reads and keeps the sums, a re-scan
// verifies from the store without reading; rows without sums (a scan with a
// dat of CRCs alone, an older build) are read again once.
TEST_F(ChecksumScanTest, StrongChecksumsAreRecalledAndRowsWithoutThemReadAgain) {
  const std::string dump = Dump("proven");
  Known("a.nds", dump);
  Known("b.nds", Dump("second"));
  ScanWithStore();
  EXPECT_EQ(opened_.Files(), 2u);
  EXPECT_EQ(ScanWithStore().substr(0, 2), "2\n");
  EXPECT_EQ(opened_.Files(), 0u);  // no sums needed yet: all recalled
  THasher hasher(kDigestSha1);
  hasher.Add(reinterpret_cast<const uint8_t*>(dump.data()), dump.size());
  state_.Catalogue[0].Size = dump.size();
  state_.Catalogue[0].Sha1 = hasher.Finish().Sha1;
  EXPECT_EQ(ScanWithStore().substr(0, 2), "2\n");
  EXPECT_EQ(opened_.Files(), 1u);  // the row of a.nds held no SHA-1
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
  state_.Catalogue[0].VerifiedBy = 0;
  EXPECT_EQ(ScanWithStore().substr(0, 2), "2\n");
  EXPECT_EQ(opened_.Files(), 0u);
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);  // from the store
  // A twin written with the same stamp would be recalled as the original;
  // the stamp rules are what guard that, as for the CRC.
  state_.Catalogue[0].Sha1[0] = state_.Catalogue[0].Sha1[0] == '0' ? '1' : '0';
  state_.Catalogue[0].Status = StatusMissing;
  const TScanOutcome outcome = [&] {
    TScanEngine engine(state_, list_, sort_, cancel_, Recording());
    engine.SetChecksumStore(store_.get());
    return engine.Run(dir_ / "roms");
  }();
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(outcome.Mismatches.size(), 1u);
}

TEST_F(ChecksumScanTest, AChangedDumpIsAlwaysReadAgain) {
  const std::string old = Dump("old"), fresh = Dump("new");
  ASSERT_EQ(old.size(), fresh.size());
  AddEntry(state_, "1", "old", CrcOf(old));
  AddEntry(state_, "2", "new", CrcOf(fresh));
  const std::string rewritten = dir_.Write("roms/rewritten.nds", old);
  const std::string replaced = dir_.Write("roms/replaced.nds", old);
  const std::string truncated = dir_.Write("roms/truncated.nds", old);
  ScanWithStore();
  ScanWithStore();
  ASSERT_EQ(state_.Catalogue[0].Status, StatusFound);
  ASSERT_EQ(opened_.Files(), 0u);
  test::LetFileClockTick();

  // Rewritten in place with the same size, its modification time restored.
  const auto rewrittenTime = fs::last_write_time(rewritten);
  dir_.Write("roms/rewritten.nds", fresh);
  fs::last_write_time(rewritten, rewrittenTime);
  // Replaced by a file of the same size and times, renamed over it.
  const std::string next = dir_.Write("next.nds", fresh);
  fs::last_write_time(next, fs::last_write_time(replaced));
  fs::rename(next, replaced);
  // Truncated and extended back to its size.
  const auto truncatedTime = fs::last_write_time(truncated);
  fs::resize_file(truncated, 0);
  fs::resize_file(truncated, old.size());
  fs::last_write_time(truncated, truncatedTime);
  AddEntry(state_, "3", "zeros", CrcOf(std::string(old.size(), '\0')));

  ScanWithStore();
  EXPECT_EQ(opened_.Files(), 3u);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[2].StatusText, truncated);
  ScanWithStore();
  EXPECT_EQ(opened_.Files(), 0u);
}

TEST_F(ChecksumScanTest, AFileChangedJustBeforeItWasStampedIsReadAgainNextTime) {
  // The real clock: the dump was written a moment ago, so a write in the
  // same tick of the file system's clock would leave its stamp as it is.
  store_->SetClock(test::WallClockNs);
  Known("fresh.nds", Dump("fresh"));
  const std::string first = ScanWithStore(2);
  EXPECT_EQ(ScanWithStore(2), first);
  EXPECT_EQ(opened_.Files(), 1u);
  EXPECT_EQ(store_->RowCount(), 0u);
}

TEST_F(ChecksumScanTest, RehashReadsEveryDumpAndRefreshesItsRow) {
  Known("a.nds", Dump("a"));
  const std::string first = ScanWithStore();
  test::SetEveryStoredCrc(dir_ / "cache/checksums.sqlite3", 1);
  EXPECT_NE(ScanWithStore(), first);  // the row is believed
  EXPECT_EQ(ScanWithStore(1, /*rehash=*/true), first);
  EXPECT_EQ(opened_.Files(), 1u);
  EXPECT_EQ(ScanWithStore(), first);
  EXPECT_EQ(opened_.Files(), 0u);
}

TEST_F(ChecksumScanTest, RowsOfDumpsThatWentAwayArePrunedAfterACompleteScan) {
  for (int i = 0; i < 6; ++i) Known("d" + std::to_string(i) + ".nds", Dump(std::to_string(i)));
  ScanWithStore();
  EXPECT_EQ(store_->RowCount(), 6u);
  for (int i = 0; i < 4; ++i) fs::remove(dir_ / ("roms/d" + std::to_string(i) + ".nds"));
  ScanWithStore();  // 6 rows, 2 touched: grown past twice
  EXPECT_EQ(store_->RowCount(), 2u);
}

}  // namespace
}  // namespace vexmoor
