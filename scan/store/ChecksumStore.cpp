#include "scan/store/ChecksumStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/File.h"
#include "platform/Path.h"
#include "scan/store/Sqlite.h"

namespace vexmoor {

namespace {

namespace fs = std::filesystem;

constexpr int64_t kSchemaVersion = 1;
// How long a statement waits for another program's lock: long enough for
// its transactions to pass, short enough that a scan never stalls on one.
constexpr int kBusyMilliseconds = 500;
constexpr size_t kDeleteBatch = 1000;

constexpr const char* kChecksumsTable =
    "CREATE TABLE checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID";
constexpr const char* kMetaTable =
    "CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL)";
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);";
constexpr const char* kSelectFrom =
    "SELECT path, device, inode, size, mtime_ns, ctime_ns, crc32, bad_dump FROM checksums"
    " WHERE path >= ?1 ORDER BY path";
constexpr const char* kInsert = "INSERT OR REPLACE INTO checksums VALUES(?1,?2,?3,?4,?5,?6,?7,?8)";

int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
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
}

// The file holds our two tables as we make them and nothing else: no
// trigger or view of another program's may run beside our statements, and
// no other key may let one path have two rows.
bool OnlyOurTables(const TSqliteDb& db) {
  TSqliteStatement schema(db, "SELECT type, name, sql FROM sqlite_master");
  int tables = 0;
  while (schema.Step()) {
    const std::string_view name = schema.Text(1);
    if (schema.Text(0) == "index" && name.starts_with("sqlite_autoindex_meta_")) continue;
    const std::string_view sql = schema.Text(2);
    if (!((name == "checksums" && sql == kChecksumsTable) || (name == "meta" && sql == kMetaTable)))
      return false;
    ++tables;
  }
  return tables == 2;
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
  fs::create_directories(FilesystemPath(path_).parent_path(), ignored);
  try {
    OpenOrThrow();
    return;
  } catch (const SqliteError& error) {
    db_.reset();
    // Only a file that is there and is not a store of ours goes aside; a
    // lock, a full disk or a read-only folder leave it as it is.
    const bool replace = error.Damaged() || (error.Code() & 0xFF) == SQLITE_CANTOPEN;
    if (!replace || !fs::exists(FilesystemPath(path_), ignored)) return GiveUp(error.what());
    SetAside(error.what());
  }
}

void TChecksumStore::OpenOrThrow() {
  db_ = std::make_unique<TSqliteDb>(path_);
  db_->SetBusyTimeout(kBusyMilliseconds);
  db_->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  TSqliteStatement version(*db_, "PRAGMA user_version");
  const int64_t found = version.Step() ? version.Integer(0) : 0;
  if (found == 0) CreateSchema();
  else if (found != kSchemaVersion)
    throw SqliteError("not a checksum store of this version", SQLITE_NOTADB);
  if (!OnlyOurTables(*db_)) throw SqliteError("not a checksum store", SQLITE_NOTADB);
}

void TChecksumStore::CreateSchema() {
  db_->Exec("BEGIN IMMEDIATE");
  try {
    db_->Exec(kSchema);
    db_->Exec("PRAGMA user_version=1; COMMIT");
  } catch (const SqliteError&) {
    RollBack(*db_);
    throw;
  }
}

void TChecksumStore::SetAside(const std::string& reason) {
  db_.reset();
  const std::string broken = path_ + ".broken";
  std::error_code error;
  fs::rename(FilesystemPath(path_), FilesystemPath(broken), error);
  if (error) return GiveUp(reason + "; it cannot be set aside: " + error.message());
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ignored;
    fs::remove(FilesystemPath(broken + suffix), ignored);
    fs::rename(FilesystemPath(path_ + suffix), FilesystemPath(broken + suffix), ignored);
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
