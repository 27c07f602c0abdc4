#include "scan/store/ChecksumStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/File.h"
#include "scan/store/Sqlite.h"

namespace vexmoor {

namespace {

namespace fs = std::filesystem;

// Version 1 had no strong checksums; it is upgraded in place by adding
// their columns (its rows keep working, with no sums).
constexpr int64_t kSchemaVersion = 2;
// How long a statement waits for another program's lock: long enough for
// its transactions to pass, short enough that a scan never stalls on one.
constexpr int kBusyMilliseconds = 500;
constexpr size_t kDeleteBatch = 1000;

constexpr const char* kChecksumsTableV1 =
    "CREATE TABLE checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID";
// Exactly the text SQLite makes of version 1's after the upgrade's ALTER
// TABLE statements, so a fresh store and an upgraded one look alike.
constexpr const char* kChecksumsTable =
    "CREATE TABLE checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER, image_size INTEGER, md5 TEXT, sha1 TEXT,"
    " sha256 TEXT) WITHOUT ROWID";
constexpr const char* kUpgradeToV2 =
    "ALTER TABLE checksums ADD COLUMN image_size INTEGER;"
    "ALTER TABLE checksums ADD COLUMN md5 TEXT;"
    "ALTER TABLE checksums ADD COLUMN sha1 TEXT;"
    "ALTER TABLE checksums ADD COLUMN sha256 TEXT;"
    "PRAGMA user_version=2;";
constexpr const char* kMetaTable =
    "CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL)";
constexpr const char* kSchemaV1 =
    "CREATE TABLE IF NOT EXISTS checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);"
    "PRAGMA user_version=1;";
constexpr const char* kSelectFrom =
    "SELECT path, device, inode, size, mtime_ns, ctime_ns, crc32, bad_dump, image_size, md5,"
    " sha1, sha256 FROM checksums WHERE path >= ?1 ORDER BY path";
constexpr const char* kInsert =
    "INSERT OR REPLACE INTO checksums VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)";
constexpr uint8_t kStoredKinds[] = {kDigestMd5, kDigestSha1, kDigestSha256};

int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The strong checksums of a row (columns 8 to 11): none, or an image size
// with sums of the right length in hex digits. False for anything else.
bool DecodeDigests(const TSqliteStatement& row, TStoredChecksum& sum) {
  if (row.IsNull(8)) return row.IsNull(9) && row.IsNull(10) && row.IsNull(11);
  if (!row.IsInteger(8) || row.Integer(8) <= 0) return false;
  sum.ImageSize = static_cast<uint64_t>(row.Integer(8));
  for (int i = 0; i < 3; ++i) {
    if (row.IsNull(9 + i)) continue;
    const uint8_t kind = kStoredKinds[i];
    const std::string_view text = row.Text(9 + i);
    if (text.size() != DigestHexDigits(kind) ||
        text.find_first_not_of("0123456789abcdef") != std::string_view::npos)
      return false;
    sum.Digests.Of(kind) = text;
  }
  return true;
}

// The values of one row as this program writes them, or nothing.
std::optional<TKnownChecksum> DecodeRow(const TSqliteStatement& row) {
  for (int column = 1; column <= 6; ++column)
    if (!row.IsInteger(column)) return std::nullopt;
  const int64_t size = row.Integer(3), crc = row.Integer(6);
  if (size < 0 || crc < 0 || crc > int64_t{0xFFFFFFFF}) return std::nullopt;
  TKnownChecksum known;
  if (!row.IsNull(7)) {
    if (!row.IsInteger(7) || (row.Integer(7) != 0 && row.Integer(7) != 1)) return std::nullopt;
    known.Sum.TestedForBadDump = true;
    known.Sum.BadDump = row.Integer(7) == 1;
  }
  known.Stamp.Device = static_cast<uint64_t>(row.Integer(1));
  known.Stamp.Node = static_cast<uint64_t>(row.Integer(2));
  known.Stamp.Size = static_cast<uint64_t>(size);
  known.Stamp.ModifiedNs = row.Integer(4);
  known.Stamp.ChangedNs = row.Integer(5);
  known.Sum.Crc = static_cast<uint32_t>(crc);
  if (!DecodeDigests(row, known.Sum)) return std::nullopt;
  return known;
}

void BindRow(TSqliteStatement& insert, const TChecksumRow& row) {
  insert.BindBlob(1, row.Path);
  insert.Bind(2, static_cast<int64_t>(row.Stamp.Device));
  insert.Bind(3, static_cast<int64_t>(row.Stamp.Node));
  insert.Bind(4, static_cast<int64_t>(row.Stamp.Size));
  insert.Bind(5, row.Stamp.ModifiedNs);
  insert.Bind(6, row.Stamp.ChangedNs);
  insert.Bind(7, row.Sum.Crc);
  if (row.Sum.TestedForBadDump)
    insert.Bind(8, row.Sum.BadDump ? 1 : 0);
  else
    insert.BindNull(8);
  if (row.Sum.ImageSize == 0 || row.Sum.Digests.Kinds() == 0) {
    for (int column = 9; column <= 12; ++column) insert.BindNull(column);
    return;
  }
  insert.Bind(9, static_cast<int64_t>(row.Sum.ImageSize));
  for (int i = 0; i < 3; ++i) {
    const std::string& digest = row.Sum.Digests.Of(kStoredKinds[i]);
    if (digest.empty())
      insert.BindNull(10 + i);
    else
      insert.BindText(10 + i, digest);
  }
}

// The file holds our two tables as we make them and nothing else: no
// trigger or view of another program's may run beside our statements, and
// no other key may let one path have two rows.
bool OnlyOurTables(const TSqliteDb& db, const char* checksumsTable) {
  TSqliteStatement schema(db, "SELECT type, name, sql FROM sqlite_master");
  int tables = 0;
  while (schema.Step()) {
    const std::string_view name = schema.Text(1);
    if (schema.Text(0) == "index" && name.starts_with("sqlite_autoindex_meta_")) continue;
    const std::string_view sql = schema.Text(2);
    if (!((name == "checksums" && sql == checksumsTable) || (name == "meta" && sql == kMetaTable)))
      return false;
    ++tables;
  }
  return tables == 2;
}

int64_t UserVersion(const TSqliteDb& db) {
  TSqliteStatement version(db, "PRAGMA user_version");
  return version.Step() ? version.Integer(0) : 0;
}

void RollBack(TSqliteDb& db) {
  try {
    db.Exec("ROLLBACK");
  } catch (const SqliteError&) {
    // no transaction was open
  }
}

}  // namespace

std::string DefaultChecksumStorePath() {
  const std::string folder = UserCacheFolder();
  return folder.empty() ? std::string() : folder + "/vexmoor/checksums.sqlite3";
}

TChecksumStore::TChecksumStore(std::string path, TStoreNotice notice)
    : path_(std::move(path)), notice_(std::move(notice)), now_(WallClockNs) {
  Open();
  Deliver();
}

TChecksumStore::~TChecksumStore() = default;

void TChecksumStore::Tell(const std::string& line) {
  const std::lock_guard lock(noticeMutex_);
  notices_.push_back(line);
}

void TChecksumStore::Deliver() {
  std::vector<std::string> lines;
  {
    const std::lock_guard lock(noticeMutex_);
    lines.swap(notices_);
  }
  if (notice_)
    for (const std::string& line : lines) notice_(line);
}

void TChecksumStore::Open() {
  std::error_code ignored;
  fs::create_directories(fs::path(path_).parent_path(), ignored);
  try {
    OpenOrThrow();
    return;
  } catch (const SqliteError& error) {
    db_.reset();
    // Only a file that is there and is not a store of ours goes aside; a
    // lock, a full disk or a read-only folder leave it as it is.
    const bool replace = error.Damaged() || (error.Code() & 0xFF) == SQLITE_CANTOPEN;
    if (!replace || !fs::exists(path_, ignored)) return GiveUp(error.what());
    SetAside(error.what());
  }
}

void TChecksumStore::OpenOrThrow() {
  db_ = std::make_unique<TSqliteDb>(path_);
  db_->SetBusyTimeout(kBusyMilliseconds);
  db_->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  const int64_t found = UserVersion(*db_);
  if (found < kSchemaVersion) CreateSchema();
  else if (found != kSchemaVersion)
    throw SqliteError("not a checksum store of this version", SQLITE_NOTADB);
  if (!OnlyOurTables(*db_, kChecksumsTable)) throw SqliteError("not a checksum store", SQLITE_NOTADB);
}

// A new store gets version 1's tables and then the upgrade an older
// build's store gets, so both have the same schema text. One transaction;
// another program may have done either step since the version was read.
void TChecksumStore::CreateSchema() {
  db_->Exec("BEGIN IMMEDIATE");
  try {
    const int64_t found = UserVersion(*db_);
    if (found == 0) db_->Exec(kSchemaV1);
    // Nothing of another program's is altered.
    if (found < kSchemaVersion && !OnlyOurTables(*db_, kChecksumsTableV1))
      throw SqliteError("not a checksum store", SQLITE_NOTADB);
    if (found < kSchemaVersion) db_->Exec(kUpgradeToV2);
    db_->Exec("COMMIT");
  } catch (const SqliteError&) {
    RollBack(*db_);
    throw;
  }
}

void TChecksumStore::SetAside(const std::string& reason) {
  db_.reset();
  const std::string broken = path_ + ".broken";
  std::error_code error;
  fs::rename(path_, broken, error);
  if (error) return GiveUp(reason + "; it cannot be set aside: " + error.message());
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ignored;
    fs::remove(broken + suffix, ignored);
    fs::rename(path_ + suffix, broken + suffix, ignored);
  }
  try {
    OpenOrThrow();
  } catch (const SqliteError& again) {
    db_.reset();
    return GiveUp(again.what());
  }
  Tell("Checksum store \"" + path_ + "\" was damaged (" + reason + "); set aside as \"" + broken +
       "\" and started afresh.");
}

void TChecksumStore::GiveUp(const std::string& reason) {
  db_.reset();
  Tell("Checksum store \"" + path_ + "\" cannot be used (" + reason +
       "); every file is read in full.");
}

void TChecksumStore::Fail(const SqliteError& error) {
  if (error.Damaged())
    SetAside(error.what());
  else
    GiveUp(error.what());
}

TKnownChecksums TChecksumStore::LoadUnder(const std::string& prefix,
                                          const std::function<void()>& pump) {
  TKnownChecksums known;
  if (!db_) return known;
  try {
    TSqliteStatement select(*db_, kSelectFrom);
    select.BindBlob(1, prefix);
    for (size_t read = 0; select.Step(); ++read) {
      if (pump && read > 0 && read % kChecksumRowsBetweenPumps == 0) pump();
      if (!select.IsBlob(0)) continue;
      const std::string_view path = select.Blob(0);
      if (path.substr(0, prefix.size()) != prefix) break;
      if (std::optional<TKnownChecksum> row = DecodeRow(select))
        known.insert_or_assign(std::string(path), *row);
    }
  } catch (const SqliteError& error) {
    known.clear();
    Fail(error);
  }
  Deliver();
  return known;
}

TChecksumStore::TWrite TChecksumStore::Write(const std::vector<TChecksumRow>& rows) {
  if (!db_) return TWrite::Dropped;
  try {
    db_->Exec("BEGIN IMMEDIATE");
  } catch (const SqliteError& error) {
    if (error.Busy()) return TWrite::Busy;
    Fail(error);
    return TWrite::Dropped;
  }
  try {
    TSqliteStatement insert(*db_, kInsert);
    for (const TChecksumRow& row : rows) {
      BindRow(insert, row);
      insert.Step();
      insert.Reset();
    }
    db_->Exec("COMMIT");
    return TWrite::Written;
  } catch (const SqliteError& error) {
    RollBack(*db_);
    if (error.Busy()) return TWrite::Busy;
    Fail(error);
    return TWrite::Dropped;
  }
}

uint64_t TChecksumStore::RowCount() {
  if (!db_) return 0;
  try {
    TSqliteStatement count(*db_, "SELECT count(*) FROM checksums");
    return count.Step() ? static_cast<uint64_t>(count.Integer(0)) : 0;
  } catch (const SqliteError& error) {
    Fail(error);
    return 0;
  }
}

int64_t TChecksumStore::Meta(const char* key, int64_t fallback) {
  TSqliteStatement select(*db_, "SELECT value FROM meta WHERE key = ?1");
  select.BindText(1, key);
  return select.Step() && select.IsInteger(0) ? select.Integer(0) : fallback;
}

void TChecksumStore::SetMeta(const char* key, int64_t value) {
  TSqliteStatement insert(*db_, "INSERT OR REPLACE INTO meta VALUES(?1, ?2)");
  insert.BindText(1, key);
  insert.Bind(2, value);
  insert.Step();
}

std::vector<std::string> TChecksumStore::VanishedPaths() {
  std::vector<std::string> vanished;
  TSqliteStatement select(*db_, "SELECT path FROM checksums");
  while (select.Step()) {
    std::string path(select.Blob(0));
    if (!PathExists(path)) vanished.push_back(std::move(path));
  }
  return vanished;
}

void TChecksumStore::DeleteRows(const std::vector<std::string>& paths) {
  for (size_t first = 0; first < paths.size(); first += kDeleteBatch) {
    db_->Exec("BEGIN IMMEDIATE");
    try {
      TSqliteStatement remove(*db_, "DELETE FROM checksums WHERE path = ?1");
      const size_t end = std::min(paths.size(), first + kDeleteBatch);
      for (size_t i = first; i < end; ++i) {
        remove.BindBlob(1, paths[i]);
        remove.Step();
        remove.Reset();
      }
      db_->Exec("COMMIT");
    } catch (const SqliteError&) {
      RollBack(*db_);
      throw;
    }
  }
}

void TChecksumStore::PruneIfGrown(uint64_t touched) {
  if (!db_) return;
  try {
    const uint64_t rows = RowCount();
    if (!db_) return;
    const auto pruned = static_cast<uint64_t>(std::max<int64_t>(0, Meta("pruned_rows", 0)));
    if (rows <= 2 * std::max(touched, pruned)) return;
    const std::vector<std::string> vanished = VanishedPaths();
    DeleteRows(vanished);
    SetMeta("pruned_rows", static_cast<int64_t>(rows - vanished.size()));
  } catch (const SqliteError& error) {
    if (!error.Busy()) Fail(error);
  }
  Deliver();
}

}  // namespace vexmoor
