#include "scan/store/ChecksumStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "scan/store/ChecksumSession.h"
#include "scan/store/Sqlite.h"
#include "support/TempDir.h"
#include "tests/scan/store/ChecksumTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

TChecksumRow Row(const std::string& path, uint32_t crc, uint64_t node = 7) {
  TChecksumRow row;
  row.Path = path;
  row.Stamp = {2049, node, 0x8400, 1700000000123456789, 1700000001987654321};
  row.Sum.Crc = crc;
  return row;
}

// One record's bytes as the store packs them (a length and a name length
// below 128 take one byte each), for records this program does not write.
std::string RawRecord(const std::string& name, uint8_t flags, const std::string& tail = "") {
  std::string payload(1, static_cast<char>(name.size()));
  payload += name;
  payload += std::string(40, '\1');            // device, node, size and both times
  payload += std::string("\x34\x12\0\0", 4);  // CRC 0x1234
  payload += static_cast<char>(flags);
  payload += tail;
  return static_cast<char>(payload.size()) + payload;
}

// The tables of version 1 as the first build made them.
constexpr const char* kVersion1Tables =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);"
    "PRAGMA user_version=1;";

class ChecksumStoreTest : public test::TempDirTest {
 protected:
  std::string StorePath() const { return dir_ / "cache/vexmoor/checksums.sqlite3"; }
  std::unique_ptr<TChecksumStore> Open() { return test::AheadStore(StorePath(), notices_); }
  void Sql(const char* sql) {
    TSqliteDb db(StorePath());
    db.Exec(sql);
  }
  // Puts a folder's row as another program might.
  void PutFolderRow(const std::string& folder, const std::string& files, bool asText = false) {
    TSqliteDb db(StorePath());
    TSqliteStatement insert(db, "INSERT OR REPLACE INTO folders VALUES(?1, 1, ?2)");
    if (asText)
      insert.BindText(1, folder);
    else
      insert.BindBlob(1, folder);
    insert.BindBlob(2, files);
    insert.Step();
  }
  int64_t UserVersion() {
    TSqliteDb db(StorePath());
    TSqliteStatement version(db, "PRAGMA user_version");
    return version.Step() ? version.Integer(0) : -1;
  }
  std::vector<std::string> notices_;
};

TEST_F(ChecksumStoreTest, RowsPersistInWalModeAndLoadOnlyUnderTheFolder) {
  TChecksumRow bad = Row("/roms/a/bad.nds", 0xFFFFFFFF, 8);
  bad.Sum = {0xFFFFFFFF, true, true};
  TChecksumRow good = Row("/roms/a/sub/good.nds", 0, 9);
  good.Sum = {0, true, false};
  good.Stamp.Device = ~uint64_t{0};  // the full unsigned range survives
  {
    auto store = Open();
    ASSERT_TRUE(store->Usable());
    EXPECT_EQ(store->Write({Row("/roms/a/x.gba", 1), bad, Row("/roms/ab/z.nds", 3),
                            Row("/roms/0.nds", 4)}),
              TChecksumStore::TWrite::Written);
    EXPECT_EQ(store->Write({good, Row("/roms/a/x.gba", 0x12345678)}),
              TChecksumStore::TWrite::Written);
  }
  auto store = Open();
  const TKnownChecksums known = store->LoadUnder("/roms/a/");
  ASSERT_EQ(known.size(), 3u);
  EXPECT_EQ(known.at("/roms/a/x.gba").Sum, (TStoredChecksum{0x12345678, false, false}));
  EXPECT_EQ(known.at("/roms/a/x.gba").Stamp, Row("", 0).Stamp);
  EXPECT_EQ(known.at("/roms/a/bad.nds").Sum, bad.Sum);
  EXPECT_EQ(known.at("/roms/a/sub/good.nds").Stamp, good.Stamp);
  EXPECT_EQ(known.at("/roms/a/sub/good.nds").Sum, good.Sum);
  EXPECT_EQ(store->RowCount(), 5u);
  EXPECT_TRUE(notices_.empty());
  TSqliteDb db(StorePath());
  TSqliteStatement mode(db, "PRAGMA journal_mode");
  ASSERT_TRUE(mode.Step());
  EXPECT_EQ(mode.Blob(0), "wal");
}

TEST_F(ChecksumStoreTest, StrongChecksumsAreKeptBesideTheCrc) {
  TChecksumRow row = Row("/r/a.nds", 0x1234);
  row.Sum.ImageSize = 0x8400;
  row.Sum.Digests.Sha1 = std::string(40, 'a');
  row.Sum.Digests.Md5 = std::string(32, 'b');
  TChecksumRow padded = Row("/r/t.nds", 0x5678);
  padded.Sum.ImageSize = 0x10000;  // the full image a trimmed dump was cut from
  padded.Sum.Digests.Sha256 = std::string(64, 'c');
  Open()->Write({row, padded, Row("/r/plain.nds", 9)});
  const TKnownChecksums known = Open()->LoadUnder("/r/");
  ASSERT_EQ(known.size(), 3u);
  EXPECT_EQ(known.at("/r/a.nds").Sum, row.Sum);
  EXPECT_EQ(known.at("/r/t.nds").Sum, padded.Sum);
  EXPECT_EQ(known.at("/r/plain.nds").Sum.ImageSize, 0u);
  EXPECT_EQ(known.at("/r/plain.nds").Sum.Digests.Kinds(), 0);
  // Sums this program does not write leave their row out: a SHA-1 too
  // short, a SHA-256 without its image size, an image size of 0.
  PutFolderRow("/r/", RawRecord("a.nds", 4 | 16, std::string(8, '\1') + std::string(10, 'x')) +
                          RawRecord("plain.nds", 0) + RawRecord("t.nds", 32, std::string(32, 'c')) +
                          RawRecord("u.nds", 4 | 8, std::string(24, '\0')));
  EXPECT_EQ(Open()->LoadUnder("/r/").size(), 1u);
}

// A store written by the build before strong checksums: its tables as that
// build made them, one row, version 1.
TEST_F(ChecksumStoreTest, AStoreOfTheOlderLayoutIsUpgradedInPlaceKeepingItsRows) {
  fs::create_directories(fs::path(StorePath()).parent_path());
  Sql((std::string(kVersion1Tables) +
       "INSERT INTO checksums VALUES(CAST('/r/old.nds' AS BLOB),2049,7,33792,5,6,4660,1);")
          .c_str());
  auto store = Open();
  ASSERT_TRUE(store->Usable());
  EXPECT_TRUE(notices_.empty());
  const TKnownChecksums known = store->LoadUnder("/r/");
  ASSERT_EQ(known.size(), 1u);
  EXPECT_EQ(known.at("/r/old.nds").Sum, (TStoredChecksum{4660, true, true}));
  TChecksumRow row = Row("/r/new.nds", 1);
  row.Sum.ImageSize = 0x8400;
  row.Sum.Digests.Sha1 = std::string(40, 'f');
  EXPECT_EQ(store->Write({row}), TChecksumStore::TWrite::Written);
  store.reset();
  // Upgraded once: opened again it is the layout a fresh store has.
  EXPECT_EQ(Open()->LoadUnder("/r/").at("/r/new.nds").Sum, row.Sum);
  EXPECT_TRUE(notices_.empty());
  EXPECT_FALSE(fs::exists(StorePath() + ".broken"));
  EXPECT_EQ(UserVersion(), 3);
}

// A store written by the build that kept one row per file with its strong
// checksums (version 2): version 1's tables as that build made them, then
// its upgrade's columns.
TEST_F(ChecksumStoreTest, AStoreOfOneRowPerFileIsUpgradedInPlaceKeepingItsRowsAndSums) {
  fs::create_directories(fs::path(StorePath()).parent_path());
  Sql((std::string(kVersion1Tables) +
      "ALTER TABLE checksums ADD COLUMN image_size INTEGER;"
      "ALTER TABLE checksums ADD COLUMN md5 TEXT;"
      "ALTER TABLE checksums ADD COLUMN sha1 TEXT;"
      "ALTER TABLE checksums ADD COLUMN sha256 TEXT;"
      "PRAGMA user_version=2;"
      "INSERT INTO meta VALUES('pruned_rows', 4);"
      "INSERT INTO checksums VALUES(CAST('/r/a.nds' AS BLOB),-1,7,33792,5,6,4660,0,65536,"
      " '0123456789abcdef0123456789abcdef', NULL,"
      " 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa');"
      "INSERT INTO checksums VALUES(CAST('/r/a.b/c.gba' AS BLOB),1,2,3,4,5,6,NULL,NULL,NULL,NULL,NULL);"
      "INSERT INTO checksums VALUES(CAST('/r/b.nds' AS BLOB),1,2,3,4,5,6,1,NULL,NULL,NULL,NULL);"
      "INSERT INTO checksums VALUES(CAST('/r/c.nds' AS BLOB),1,2,3,4,5,-1,1,NULL,NULL,NULL,NULL);"
      "INSERT INTO checksums VALUES(CAST('/r/d.nds' AS BLOB),1,2,3,4,5,6,1,7,'xyz',NULL,NULL);"
      "INSERT INTO checksums VALUES(CAST('/r/' AS BLOB),1,2,3,4,5,6,1,NULL,NULL,NULL,NULL);")
          .c_str());
  auto store = Open();
  ASSERT_TRUE(store->Usable());
  EXPECT_TRUE(notices_.empty());
  const TKnownChecksums known = store->LoadUnder("/r/");
  ASSERT_EQ(known.size(), 3u);
  TStoredChecksum strong{4660, true, false};
  strong.ImageSize = 65536;
  strong.Digests.Md5 = "0123456789abcdef0123456789abcdef";
  strong.Digests.Sha256 = std::string(64, 'a');
  EXPECT_EQ(known.at("/r/a.nds").Sum, strong);
  EXPECT_EQ(known.at("/r/a.nds").Stamp, (TFileStamp{~uint64_t{0}, 7, 33792, 5, 6}));
  EXPECT_EQ(known.at("/r/a.b/c.gba").Sum, (TStoredChecksum{6, false, false}));
  EXPECT_EQ(known.at("/r/b.nds").Sum, (TStoredChecksum{6, true, true}));
  EXPECT_EQ(store->RowCount(), 3u);
  store.reset();
  EXPECT_EQ(UserVersion(), 3);
  TSqliteDb db(StorePath());
  TSqliteStatement tables(db, "SELECT group_concat(name) FROM sqlite_master WHERE type = 'table'");
  ASSERT_TRUE(tables.Step());
  EXPECT_EQ(tables.Text(0), "meta,folders");
  TSqliteStatement pruned(db, "SELECT value FROM meta WHERE key = 'pruned_rows'");
  ASSERT_TRUE(pruned.Step());
  EXPECT_EQ(pruned.Integer(0), 4);
  EXPECT_FALSE(fs::exists(StorePath() + ".broken"));
}

TEST_F(ChecksumStoreTest, ALargeCollectionsRowsAreLoadedAndLetGoOfWithPumpsBetweenSteps) {
  auto store = Open();
#ifdef _WIN32
  const std::string root = "C:\\r\\";  // an absolute folder, as the store keys rows
#else
  const std::string root = "/r/";
#endif
  std::vector<TChecksumRow> rows;
  for (uint32_t i = 0; i < 3000; ++i) rows.push_back(Row(root + std::to_string(i) + ".nds", i, i));
  ASSERT_EQ(store->Write(rows), TChecksumStore::TWrite::Written);
  int pumps = 0;
  const auto pump = [&pumps] { ++pumps; };
  EXPECT_EQ(store->LoadUnder(root, pump).size(), 3000u);
  EXPECT_EQ(pumps, 2);  // after rows 1024 and 2048
  pumps = 0;
  TChecksumSession session(*store, root, false, pump);
  EXPECT_EQ(pumps, 2);
  EXPECT_TRUE(session.Recall(root + "7.nds", rows[7].Stamp));
  pumps = 0;
  session.End(true, pump);
  EXPECT_EQ(pumps, 3);  // after each 1024 rows let go of, and the rest
  EXPECT_TRUE(notices_.empty());
}

TEST_F(ChecksumStoreTest, RowsThisProgramDoesNotWriteAreLeftOut) {
  Open()->Write({Row("/r/good.nds", 5), Row("/r/y/x.nds", 6)});
  std::string good;
  {
    TSqliteDb db(StorePath());
    TSqliteStatement select(db, "SELECT files FROM folders WHERE folder = CAST('/r/' AS BLOB)");
    ASSERT_TRUE(select.Step());
    good = select.Blob(0);
  }
  PutFolderRow("/r/", RawRecord("a", 0x40) +       // a flag this program does not know
                          RawRecord("b", 2) +      // a bad dump that was not tested
                          good +                   // good.nds
                          good +                   // the same name again
                          RawRecord("h/i", 0) +    // a separator in the name
                          RawRecord("", 0) +       // no name
                          RawRecord("j", 0, "x") + // a byte too many
                          std::string("\x03\x01k\x00", 4));  // too short
  // A record whose length runs past the blob: the folder's row is left out.
  PutFolderRow("/r/y/", RawRecord("x.nds", 0) + "\x7f");
  PutFolderRow("/r/z/", RawRecord("t.nds", 0), /*asText=*/true);
  PutFolderRow("/r/w", RawRecord("t.nds", 0));  // no separator at its end
  auto store = Open();
  const TKnownChecksums known = store->LoadUnder("/r/");
  ASSERT_EQ(known.size(), 1u);
  EXPECT_EQ(known.count("/r/good.nds"), 1u);
  // Writing into a damaged folder's row replaces it with the good records.
  EXPECT_EQ(store->Write({Row("/r/y/new.nds", 7)}), TChecksumStore::TWrite::Written);
  EXPECT_EQ(store->LoadUnder("/r/y/").size(), 1u);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(ChecksumStoreTest, WritesOfTwoConnectionsToOneFolderKeepEachOthersRows) {
  auto one = Open();
  std::vector<std::string> notices;
  auto two = test::AheadStore(StorePath(), notices);
  for (uint32_t i = 0; i < 20; ++i) {
    const std::string name = "/r/" + std::to_string(i) + ".nds";
    EXPECT_EQ((i % 2 ? one : two)->Write({Row(name, i), Row("/r/s/" + std::to_string(i), i)}),
              TChecksumStore::TWrite::Written);
  }
  // Replaced, not added: the same file once.
  EXPECT_EQ(one->Write({Row("/r/3.nds", 33), Row("/r/3.nds", 34)}), TChecksumStore::TWrite::Written);
  const TKnownChecksums known = two->LoadUnder("/r/");
  EXPECT_EQ(known.size(), 40u);
  EXPECT_EQ(known.at("/r/3.nds").Sum.Crc, 34u);
  EXPECT_EQ(one->RowCount(), 40u);
  // A prefix that ends within a folder's names takes only the names that
  // begin with its rest.
  EXPECT_EQ(two->LoadUnder("/r/1").size(), 11u);  // 1, 10 to 19
}

// Records handed over folder by folder in the order the walk read them: a
// folder's row holds them packed by name, byte for byte what
// EncodeFolderFiles makes of the same files, whatever order they came in,
// with the last record of a name given twice, and merged with a row
// already there.
TEST_F(ChecksumStoreTest, RecordsInReadOrderAreStoredAsTheBlobOfTheSortedRecords) {
  auto store = Open();
  const auto record = [](const std::string& name, uint32_t crc, bool sums = false) {
    TChecksumRow row = Row("/r/" + name, crc);
    if (sums) {
      row.Sum.ImageSize = 0x8400;
      row.Sum.Digests.Sha1 = std::string(40, 'b');
    }
    return TFileRecord{name, {row.Stamp, row.Sum}};
  };
  const auto run = [](const std::string& folder, const std::vector<TFileRecord>& files) {
    TFolderRun folderRun{folder, {}, files.size()};
    for (const TFileRecord& file : files)
      AppendFileRecord(folderRun.Records, file.Name, file.Known.Stamp, ReadSumsOf(file.Known.Sum));
    return folderRun;
  };
  const auto storedBlob = [this](const std::string& folder) {
    TSqliteDb db(StorePath());
    TSqliteStatement select(db, "SELECT file_count, files FROM folders WHERE folder = ?1");
    select.BindBlob(1, folder);
    EXPECT_TRUE(select.Step());
    return std::make_pair(select.Integer(0), std::string(select.Blob(1)));
  };
  // In order, one run: stored as handed over.
  ASSERT_EQ(store->Write(std::vector<TFolderRun>{
                run("/q/", {record("a", 1), record("b", 2, true), record("c", 3)})}),
            TChecksumStore::TWrite::Written);
  EXPECT_EQ(storedBlob("/q/"),
            std::make_pair(int64_t{3}, EncodeFolderFiles({record("a", 1), record("b", 2, true),
                                                          record("c", 3)})));
  // Out of order, a name twice within a run and across two runs of one
  // folder, a folder between them.
  ASSERT_EQ(store->Write(std::vector<TFolderRun>{
                run("/r/", {record("d", 1), record("b", 2), record("d", 3), record("a", 4)}),
                run("/p/", {record("z", 9)}),
                run("/r/", {record("c", 5, true), record("a", 6)})}),
            TChecksumStore::TWrite::Written);
  EXPECT_EQ(storedBlob("/r/"),
            std::make_pair(int64_t{4}, EncodeFolderFiles({record("a", 6), record("b", 2),
                                                          record("c", 5, true), record("d", 3)})));
  EXPECT_EQ(storedBlob("/p/").first, 1);
  // Onto the row already there: merged.
  ASSERT_EQ(store->Write(std::vector<TFolderRun>{run("/r/", {record("e", 7), record("b", 8)})}),
            TChecksumStore::TWrite::Written);
  EXPECT_EQ(storedBlob("/r/"),
            std::make_pair(int64_t{5},
                           EncodeFolderFiles({record("a", 6), record("b", 8), record("c", 5, true),
                                              record("d", 3), record("e", 7)})));
}

TEST_F(ChecksumStoreTest, NamesAlikeInTheirFirstBytesAreSortedAndFoundByTheirWholeName) {
  // The sort and the search compare the first eight bytes of names as a
  // number first: names that agree there, names shorter than eight bytes,
  // a name that begins another and bytes above 0x7F must still order and
  // match by the whole name.
  const std::vector<std::string> names = {
      "release-0002.nds", "release-0001.nds", "release-0001.nds.bak", "release-", "release-00",
      "r", "abcdefgh", "abcdefgh\x01", "abcdefg", "\xC3\xA9t\xC3\xA9.nds", "\x7F", "\x80", "zz"};
  for (const std::string& a : names) {
    for (const std::string& b : names) {
      if (NamePrefix(a) != NamePrefix(b)) {
        EXPECT_EQ(NamePrefix(a) < NamePrefix(b), a < b) << a << " / " << b;
      }
    }
  }
  auto store = Open();
  TFolderRun run{"/r/", {}, 0};
  std::vector<TFileRecord> expected;
  for (size_t i = 0; i < names.size(); ++i) {
    const TChecksumRow row = Row("/r/" + names[i], static_cast<uint32_t>(i));
    AppendFileRecord(run.Records, names[i], row.Stamp, ReadSumsOf(row.Sum));
    ++run.Count;
    expected.push_back({names[i], {row.Stamp, row.Sum}});
  }
  // Given twice: the later one counts.
  const TChecksumRow again = Row("/r/release-0001.nds", 99);
  AppendFileRecord(run.Records, "release-0001.nds", again.Stamp, ReadSumsOf(again.Sum));
  ++run.Count;
  expected[1].Known.Sum.Crc = 99;
  ASSERT_EQ(store->Write(std::vector<TFolderRun>{run}), TChecksumStore::TWrite::Written);
  std::sort(expected.begin(), expected.end(),
            [](const TFileRecord& a, const TFileRecord& b) { return a.Name < b.Name; });
  TSqliteDb db(StorePath());
  TSqliteStatement select(db, "SELECT files FROM folders WHERE folder = ?1");
  select.BindBlob(1, std::string("/r/"));
  ASSERT_TRUE(select.Step());
  EXPECT_EQ(select.Blob(0), EncodeFolderFiles(expected));

  const TKnownChecksums known = store->LoadUnder("/r/");
  ASSERT_EQ(known.size(), expected.size());
  for (const TFileRecord& file : expected) {
    const std::optional<TKnownChecksum> found = known.Find("/r/" + file.Name);
    ASSERT_TRUE(found) << file.Name;
    EXPECT_EQ(found->Sum, file.Known.Sum) << file.Name;
    EXPECT_EQ(found->Stamp, file.Known.Stamp) << file.Name;
  }
  for (const char* missing : {"release-0003.nds", "release-000", "abcdef", "abcdefgh\x02", "", "s"})
    EXPECT_FALSE(known.Find(std::string("/r/") + missing)) << missing;
}

TEST_F(ChecksumStoreTest, AFileThatIsNotAStoreIsSetAsideAndAFreshOneMade) {
  for (const std::string& garbage : {std::string("not a database at all, just text"),
                                    std::string(8192, '\0')}) {
    fs::create_directories(fs::path(StorePath()).parent_path());
    std::ofstream(StorePath(), std::ios::binary) << garbage;
    notices_.clear();
    auto store = Open();
    ASSERT_TRUE(store->Usable());
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_NE(notices_[0].find("set aside as \"" + StorePath() + ".broken\""), std::string::npos)
        << notices_[0];
    EXPECT_EQ(test::ReadFile(StorePath() + ".broken"), garbage);
    EXPECT_EQ(store->Write({Row("/r/x.nds", 1)}), TChecksumStore::TWrite::Written);
    EXPECT_EQ(store->LoadUnder("/r/").size(), 1u);
    store.reset();
    fs::remove(StorePath());
  }
  // Another program's database, or a later layout of ours.
  Sql("CREATE TABLE checksums(name TEXT); PRAGMA user_version=0;");
  notices_.clear();
  EXPECT_TRUE(Open()->Usable());
  EXPECT_EQ(notices_.size(), 1u);
  Sql("PRAGMA user_version=4;");
  notices_.clear();
  EXPECT_TRUE(Open()->Usable());
  EXPECT_EQ(notices_.size(), 1u);
  // Our tables, and a trigger that would run beside our statements.
  Sql("CREATE TRIGGER wipe AFTER INSERT ON folders BEGIN DELETE FROM folders; END;");
  notices_.clear();
  auto store = Open();
  EXPECT_EQ(notices_.size(), 1u);
  store->Write({Row("/r/x.nds", 1)});
  EXPECT_EQ(store->RowCount(), 1u);
}

TEST_F(ChecksumStoreTest, DamagedPagesFoundWhileLoadingSetTheStoreAside) {
  {
    auto store = Open();
    std::vector<TChecksumRow> rows;
    for (int i = 0; i < 3000; ++i)
      rows.push_back(Row("/r/" + std::string(40, 'x') + std::to_string(i), uint32_t(i)));
    store->Write(rows);
  }
  std::string bytes = test::ReadFile(StorePath());
  ASSERT_GT(bytes.size(), 16384u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\x55');  // every page past the first
  std::ofstream(StorePath(), std::ios::binary | std::ios::trunc) << bytes;
  auto store = Open();
  EXPECT_TRUE(store->LoadUnder("/r/").empty());
  ASSERT_EQ(notices_.size(), 1u) << store->RowCount();
  EXPECT_NE(notices_[0].find("set aside"), std::string::npos) << notices_[0];
  EXPECT_TRUE(fs::exists(StorePath() + ".broken"));
  EXPECT_TRUE(store->Usable());
  EXPECT_EQ(store->RowCount(), 0u);
}

TEST_F(ChecksumStoreTest, AFolderThatCannotBeWrittenLeavesTheStoreUnusable) {
  // A regular file where the cache folder should be: nothing can be made
  // beneath it, whoever runs the test (a mode of 0555 does not stop root).
  dir_.Write("cache", "a file");
  auto store = Open();
  EXPECT_FALSE(store->Usable());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find("cannot be used"), std::string::npos) << notices_[0];
  EXPECT_TRUE(store->LoadUnder("/").empty());
  EXPECT_EQ(store->Write({Row("/r/x.nds", 1)}), TChecksumStore::TWrite::Dropped);
  store->PruneIfGrown(0);
  EXPECT_EQ(notices_.size(), 1u);
  EXPECT_EQ(test::ReadFile(dir_ / "cache"), "a file");
}

TEST_F(ChecksumStoreTest, ALockHeldByAnotherConnectionNeverFailsOrStalls) {
  auto store = Open();
  store->Write({Row("/r/x.nds", 1)});
  {
    TSqliteDb other(StorePath());
    other.Exec("BEGIN IMMEDIATE");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(store->Write({Row("/r/y.nds", 2)}), TChecksumStore::TWrite::Busy);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(store->LoadUnder("/r/").size(), 1u);  // readers pass a writer
    other.Exec("ROLLBACK");
  }
  EXPECT_EQ(store->Write({Row("/r/y.nds", 2)}), TChecksumStore::TWrite::Written);
  store.reset();
  TSqliteDb other(StorePath());
  other.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM meta;");
  notices_.clear();
  store = Open();
  EXPECT_FALSE(store->Usable());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find("locked"), std::string::npos) << notices_[0];
  EXPECT_FALSE(fs::exists(StorePath() + ".broken"));
}

// A session hands its rows over folder by folder: a walk that comes back to
// a folder, or remembers a file twice, leaves one row per file, the last;
// rows another program's lock keeps out until the end are told as lost.
TEST_F(ChecksumStoreTest, ASessionsRowsReachTheStoreFolderByFolderOrAreToldAsLost) {
  auto store = Open();
  const std::string root = dir_ / "roms/";
  {
    TChecksumSession session(*store, root, false);
    const std::vector<std::string> paths = {"a/x.nds", "a/w.nds", "b/y.nds",
                                            "a/v.nds", "a/x.nds", "z.nds"};
    for (uint32_t i = 0; i < paths.size(); ++i)
      session.Remember(root + paths[i], Row(paths[i], 1).Stamp, TStoredChecksum(i, false, false));
    session.End(true);
  }
  // A session keys its rows with the system's own separator.
  const auto key = [&](std::string path) {
    std::replace(path.begin(), path.end(), '/', static_cast<char>(fs::path::preferred_separator));
    return path;
  };
  const TKnownChecksums known = store->LoadUnder(key(root));
  EXPECT_EQ(known.size(), 5u);
  EXPECT_EQ(known.at(key(root + "a/x.nds")).Sum.Crc, 4u);
  EXPECT_EQ(known.at(key(root + "a/v.nds")).Sum.Crc, 3u);
  EXPECT_EQ(known.at(key(root + "b/y.nds")).Sum.Crc, 2u);
  EXPECT_EQ(known.at(key(root + "z.nds")).Sum.Crc, 5u);
  EXPECT_TRUE(notices_.empty());
  TSqliteDb other(StorePath());
  other.Exec("BEGIN IMMEDIATE");
  {
    TChecksumSession session(*store, root, true);
    for (const char* path : {"c/x.nds", "d/y.nds", "c/z.nds"})
      session.Remember(root + path, Row(path, 2).Stamp, TStoredChecksum(2, false, false));
    session.End(true);
  }
  other.Exec("ROLLBACK");
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(" 3 checksums were not remembered"), std::string::npos) << notices_[0];
  EXPECT_EQ(store->RowCount(), 5u);
}

// The writer once slept without a deadline whenever it had emptied the
// queue, so rows queued after its first write, fewer than a batch, waited
// for the session's end however long the walk went on.
TEST_F(ChecksumStoreTest, RowsQueuedAfterAWriteReachTheStoreWithinASecondOrTwoWithoutTheSessionsEnd) {
  auto store = Open();
  const std::string root = dir_ / "roms/";
  const auto stored = [this](int64_t rows) {
    // Polled through a connection of its own, for at most ten seconds.
    TSqliteDb db(StorePath());
    for (int tries = 0; tries < 200; ++tries) {
      TSqliteStatement count(db, "SELECT COALESCE(SUM(file_count), 0) FROM folders");
      if (count.Step() && count.Integer(0) >= rows) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  };
  TChecksumSession session(*store, root, false);
  session.Remember(root + "a/x.nds", Row("a/x.nds", 1).Stamp, TStoredChecksum(1, false, false));
  EXPECT_TRUE(stored(1));
  session.Remember(root + "b/y.nds", Row("b/y.nds", 2).Stamp, TStoredChecksum(2, false, false));
  EXPECT_TRUE(stored(2));
  session.End(true);
  EXPECT_EQ(store->RowCount(), 2u);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(ChecksumStoreTest, PrunesVanishedFilesOnlyOnceTheStoreHasGrownPastTwiceItsUse) {
  auto store = Open();
  std::vector<TChecksumRow> rows;
  for (int i = 0; i < 10; ++i) rows.push_back(Row(dir_.Write("f" + std::to_string(i), "x"), 1));
  auto vanished = [&](int from, int count) {
    std::vector<TChecksumRow> gone;
    for (int i = from; i < from + count; ++i) gone.push_back(Row(dir_ / ("gone" + std::to_string(i)), 1));
    store->Write(gone);
  };
  store->Write(rows);
  vanished(0, 30);
  store->PruneIfGrown(20);  // 40 rows, twice 20: not grown past
  EXPECT_EQ(store->RowCount(), 40u);
  store->PruneIfGrown(19);
  EXPECT_EQ(store->RowCount(), 10u);
  vanished(100, 10);  // 20 rows: not past twice what the last pruning left
  store->PruneIfGrown(1);
  EXPECT_EQ(store->RowCount(), 20u);
  vanished(200, 1);
  store->PruneIfGrown(1);
  EXPECT_EQ(store->RowCount(), 10u);
  EXPECT_TRUE(notices_.empty());
}

}  // namespace
}  // namespace vexmoor
