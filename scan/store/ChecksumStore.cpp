#include "scan/store/ChecksumStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include <map>

#include "platform/File.h"
#include "platform/Path.h"
#include "scan/store/Sqlite.h"

namespace vexmoor {

namespace {

namespace fs = std::filesystem;


// Version 1 had no strong checksums; version 2 added them as columns of
// one row per file. Version 3 keeps one row per folder holding its files'
// records packed (KnownChecksums.h): a scan loads and writes a folder in one
// step. Older stores are upgraded in place, their rows kept.
constexpr int64_t kSchemaVersion = 3;
// How long a statement waits for another program's lock: long enough for
// its transactions to pass, short enough that a scan never stalls on one.
constexpr int kBusyMilliseconds = 500;
constexpr size_t kDeleteBatch = 1000;

constexpr const char* kChecksumsTableV1 =
    "CREATE TABLE checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER) WITHOUT ROWID";
// Exactly the text SQLite made of version 1's after version 2's ALTER
// TABLE statements.
constexpr const char* kChecksumsTableV2 =
    "CREATE TABLE checksums("
    " path BLOB PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " crc32 INTEGER NOT NULL, bad_dump INTEGER, image_size INTEGER, md5 TEXT, sha1 TEXT,"
    " sha256 TEXT) WITHOUT ROWID";
constexpr const char* kFoldersTable =
    "CREATE TABLE folders("
    "folder BLOB PRIMARY KEY NOT NULL, file_count INTEGER NOT NULL, files BLOB NOT NULL)"
    " WITHOUT ROWID";
constexpr const char* kMetaTable =
    "CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL)";
constexpr const char* kSelectOldRows[] = {
    "SELECT path, device, inode, size, mtime_ns, ctime_ns, crc32, bad_dump, NULL, NULL,"
    " NULL, NULL FROM checksums ORDER BY path",
    "SELECT path, device, inode, size, mtime_ns, ctime_ns, crc32, bad_dump, image_size, md5,"
    " sha1, sha256 FROM checksums ORDER BY path"};
constexpr const char* kSelectFrom =
    "SELECT folder, files, file_count FROM folders WHERE folder >= ?1 ORDER BY folder";
constexpr const char* kSelectFolder = "SELECT files FROM folders WHERE folder = ?1";
constexpr const char* kInsert = "INSERT OR REPLACE INTO folders VALUES(?1, ?2, ?3)";
constexpr const char* kDelete = "DELETE FROM folders WHERE folder = ?1";
constexpr uint8_t kStoredKinds[] = {kDigestMd5, kDigestSha1, kDigestSha256};

int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The strong checksums of a row of version 1 or 2 (columns 8 to 11): none,
// or an image size with sums of the right length in hex digits. False for
// anything else.
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

// The values of one row of version 1 or 2 as this program wrote them, or
// nothing.
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

// The file holds our two tables as we make them and nothing else: no
// trigger or view of another program's may run beside our statements, and
// no other key may let one path have two rows.
bool OnlyOurTables(const TSqliteDb& db, std::string_view table, const char* tableSql) {
  TSqliteStatement schema(db, "SELECT type, name, sql FROM sqlite_master");
  int tables = 0;
  while (schema.Step()) {
    const std::string_view name = schema.Text(1);
    if (schema.Text(0) == "index" && name.starts_with("sqlite_autoindex_meta_")) continue;
    const std::string_view sql = schema.Text(2);
    if (!((name == table && sql == tableSql) || (name == "meta" && sql == kMetaTable)))
      return false;
    ++tables;
  }
  return tables == 2;
}

bool NothingInIt(const TSqliteDb& db) {
  TSqliteStatement schema(db, "SELECT count(*) FROM sqlite_master");
  return schema.Step() && schema.Integer(0) == 0;
}

bool IsFolderKey(const TSqliteStatement& row, int column) {
  if (!row.IsBlob(column)) return false;
  const std::string_view folder = row.Blob(column);
  return !folder.empty() && IsKeySeparator(folder.back());
}

// The good records of `folder`'s row; none when it has none or its blob
// breaks (the row is then replaced by what is written).
std::vector<TFileRecord> ReadFolder(TSqliteStatement& select, const std::string& folder) {
  std::vector<TFileRecord> files;
  select.BindBlob(1, folder);
  if (select.Step() && select.IsBlob(0)) DecodeFolderFiles(select.Blob(0), files);
  select.Reset();
  return files;
}

// Writes `folder`'s row holding `files`, or deletes it when there are none.
void WriteFolder(TSqliteDb& db, const std::string& folder, const std::vector<TFileRecord>& files) {
  if (files.empty()) {
    TSqliteStatement remove(db, kDelete);
    remove.BindBlob(1, folder);
    remove.Step();
    return;
  }
  TSqliteStatement insert(db, kInsert);
  insert.BindBlob(1, folder);
  insert.Bind(2, static_cast<int64_t>(files.size()));
  insert.BindBlob(3, EncodeFolderFiles(files));
  insert.Step();
}

// `kept` with `updates` in place of its records of the same names; both in
// ascending order of name.
std::vector<TFileRecord> Merge(std::vector<TFileRecord> kept, std::vector<TFileRecord> updates) {
  if (kept.empty()) return updates;
  std::vector<TFileRecord> merged;
  merged.reserve(kept.size() + updates.size());
  auto old = kept.begin();
  for (TFileRecord& update : updates) {
    while (old != kept.end() && old->Name < update.Name) merged.push_back(std::move(*old++));
    if (old != kept.end() && old->Name == update.Name) ++old;
    merged.push_back(std::move(update));
  }
  merged.insert(merged.end(), std::make_move_iterator(old), std::make_move_iterator(kept.end()));
  return merged;
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
  const int64_t found = UserVersion(*db_);
  if (found < kSchemaVersion) CreateSchema();
  else if (found != kSchemaVersion)
    throw SqliteError("not a checksum store of this version", SQLITE_NOTADB);
  if (!OnlyOurTables(*db_, "folders", kFoldersTable))
    throw SqliteError("not a checksum store", SQLITE_NOTADB);
}

// Makes the tables in an empty file, or upgrades a store of an older
// version. One transaction; another program may have done either since the
// version was read.
void TChecksumStore::CreateSchema() {
  db_->Exec("BEGIN IMMEDIATE");
  try {
    const int64_t found = UserVersion(*db_);
    if (found < kSchemaVersion) {
      if (found == 0 && NothingInIt(*db_)) {
        db_->Exec(kFoldersTable);
        db_->Exec(kMetaTable);
      } else {
        Upgrade(found);
      }
      db_->Exec("PRAGMA user_version=3");
    }
    db_->Exec("COMMIT");
  } catch (const SqliteError&) {
    RollBack(*db_);
    throw;
  }
}

// The rows of a store of version 1 or 2 (or 0 with version 1's tables, as
// the first build could leave it) become folder rows; rows that are not
// what that build wrote are left behind with the old table.
void TChecksumStore::Upgrade(int64_t from) {
  const bool strong = from == 2;
  // Nothing of another program's is altered.
  if (!OnlyOurTables(*db_, "checksums", strong ? kChecksumsTableV2 : kChecksumsTableV1))
    throw SqliteError("not a checksum store", SQLITE_NOTADB);
  std::map<std::string, std::vector<TFileRecord>> folders;
  {
    TSqliteStatement select(*db_, kSelectOldRows[strong ? 1 : 0]);
    while (select.Step()) {
      if (!select.IsBlob(0)) continue;
      const std::string_view path = select.Blob(0);
      const size_t nameStart = FileNameStart(path);
      if (nameStart == std::string_view::npos) continue;
      std::optional<TKnownChecksum> known = DecodeRow(select);
      if (!known) continue;
      folders[std::string(path.substr(0, nameStart))].push_back(
          {std::string(path.substr(nameStart)), *known});
    }
  }
  db_->Exec(kFoldersTable);
  for (auto& [folder, files] : folders) {
    std::sort(files.begin(), files.end(),
              [](const TFileRecord& a, const TFileRecord& b) { return a.Name < b.Name; });
    WriteFolder(*db_, folder, files);
  }
  db_->Exec("DROP TABLE checksums");
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
  // The rows of the folders below `prefix`, and of the folder it ends in
  // when it does not end in a separator (its files whose names begin with
  // the rest).
  const size_t cut = LastKeySeparator(prefix);
  const std::string within = prefix.substr(0, cut == std::string::npos ? 0 : cut + 1);
  const std::string_view namePrefix = std::string_view(prefix).substr(within.size());
  try {
    TSqliteStatement select(*db_, kSelectFrom);
    select.BindBlob(1, within);
    size_t read = 0;
    std::function<void()> eachRead;
    if (pump) {
      eachRead = [&read, &pump] {
        if (read > 0 && read % kChecksumRowsBetweenPumps == 0) pump();
        ++read;
      };
    }
    while (select.Step()) {
      if (!select.IsBlob(0)) continue;
      const std::string_view folder = select.Blob(0);
      if (!folder.starts_with(within)) break;
      if (!IsFolderKey(select, 0) || !select.IsBlob(1)) continue;
      const bool whole = folder.starts_with(prefix);
      if (!whole && folder != within) continue;
      known.AddFolder(std::string(folder), select.Blob(1), whole ? std::string_view() : namePrefix,
                      eachRead);
    }
  } catch (const SqliteError& error) {
    known.clear();
    Fail(error);
  }
  Deliver();
  return known;
}

TChecksumStore::TWrite TChecksumStore::Write(const std::vector<TChecksumRow>& rows) {
  std::vector<TFolderRun> runs;
  for (const TChecksumRow& row : rows) {
    const std::string_view path = row.Path;
    const size_t nameStart = FileNameStart(path);
    if (nameStart == std::string_view::npos) continue;
    const std::string_view folder = path.substr(0, nameStart);
    if (runs.empty() || runs.back().Folder != folder) runs.push_back({std::string(folder), {}, 0});
    AppendFileRecord(runs.back().Records, path.substr(nameStart), row.Stamp, ReadSumsOf(row.Sum));
    ++runs.back().Count;
  }
  return Write(runs);
}

TChecksumStore::TWrite TChecksumStore::Write(const std::vector<TFolderRun>& runs) {
  if (!db_) return TWrite::Dropped;
  // The runs by folder, those of one folder in the order given. They come
  // in walk order, mostly sorted.
  std::vector<size_t> order(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) order[i] = i;
  const auto byFolder = [&runs](size_t a, size_t b) { return runs[a].Folder < runs[b].Folder; };
  if (!std::is_sorted(order.begin(), order.end(), byFolder))
    std::stable_sort(order.begin(), order.end(), byFolder);
  try {
    db_->Exec("BEGIN IMMEDIATE");
  } catch (const SqliteError& error) {
    if (error.Busy()) return TWrite::Busy;
    Fail(error);
    return TWrite::Dropped;
  }
  try {
    TSqliteStatement select(*db_, kSelectFolder);
    TSqliteStatement insert(*db_, kInsert);
    struct TRecord {
      std::string_view Name, Bytes;
    };
    std::vector<TRecord> records, sorted;
    struct TKey {
      uint64_t Prefix;
      size_t At;
    };
    std::vector<TKey> keys;
    std::string joined;
    for (size_t first = 0, end = 0; first < order.size(); first = end) {
      const std::string& folder = runs[order[first]].Folder;
      records.clear();
      for (end = first; end < order.size() && runs[order[end]].Folder == folder; ++end) {
        std::string_view rest = runs[order[end]].Records;
        TRecord record;
        while (TakeFileRecord(rest, record.Bytes, record.Name)) records.push_back(record);
      }
      if (records.empty()) continue;
      // By name, of the same name the last given; a folder's files mostly
      // come in order already (a listing in the order of the file system's
      // hash does not). The sort moves keys, not records, and reads whole
      // names only where their first bytes agree.
      bool ordered = true;
      for (size_t i = 1; i < records.size() && ordered; ++i)
        ordered = records[i - 1].Name < records[i].Name;
      if (!ordered) {
        keys.resize(records.size());
        for (size_t i = 0; i < records.size(); ++i) keys[i] = {NamePrefix(records[i].Name), i};
        std::sort(keys.begin(), keys.end(), [&records](const TKey& a, const TKey& b) {
          if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
          if (const int order = records[a.At].Name.compare(records[b.At].Name); order != 0)
            return order < 0;
          return a.At < b.At;
        });
        sorted.clear();
        for (size_t i = 0; i < keys.size(); ++i) {
          if (i + 1 < keys.size() && records[keys[i + 1].At].Name == records[keys[i].At].Name)
            continue;
          sorted.push_back(records[keys[i].At]);
        }
        records.swap(sorted);
      }
      std::string_view blob;
      if (ordered && end - first == 1) {
        blob = runs[order[first]].Records;
      } else {
        joined.clear();
        size_t bytes = 0;
        for (const TRecord& record : records) bytes += record.Bytes.size();
        joined.reserve(bytes);
        for (const TRecord& record : records) joined.append(record.Bytes);
        blob = joined;
      }
      select.BindBlob(1, folder);
      const bool stored = select.Step() && select.IsBlob(0);
      if (!stored) {
        select.Reset();
        insert.BindBlob(1, folder);
        insert.Bind(2, static_cast<int64_t>(records.size()));
        insert.BindBlob(3, blob);
        insert.Step();
        insert.Reset();
        continue;
      }
      // The folder has a row: its records merged with these.
      std::vector<TFileRecord> kept, updates;
      DecodeFolderFiles(select.Blob(0), kept);
      select.Reset();
      DecodeFolderFiles(blob, updates, records.size());
      WriteFolder(*db_, folder, Merge(std::move(kept), std::move(updates)));
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
    TSqliteStatement counts(*db_, "SELECT file_count FROM folders");
    uint64_t files = 0;
    while (counts.Step())
      if (counts.IsInteger(0) && counts.Integer(0) > 0) files += static_cast<uint64_t>(counts.Integer(0));
    return files;
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
  TSqliteStatement select(*db_, "SELECT folder, files FROM folders ORDER BY folder");
  TFileRecord record;
  while (select.Step()) {
    if (!IsFolderKey(select, 0) || !select.IsBlob(1)) continue;
    const std::string folder(select.Blob(0));
    TFolderReader reader(select.Blob(1));
    while (reader.Next(record))
      if (std::string path = folder + record.Name; !PathExists(path))
        vanished.push_back(std::move(path));
  }
  return vanished;
}

void TChecksumStore::DeleteRows(const std::vector<std::string>& paths) {
  for (size_t first = 0; first < paths.size(); first += kDeleteBatch) {
    db_->Exec("BEGIN IMMEDIATE");
    try {
      TSqliteStatement select(*db_, kSelectFolder);
      const size_t end = std::min(paths.size(), first + kDeleteBatch);
      // The paths come folder by folder; each folder's row is rewritten once.
      for (size_t i = first; i < end;) {
        const size_t nameStart = FileNameStart(paths[i]);
        const std::string folder = paths[i].substr(0, nameStart);
        std::vector<std::string> gone;
        for (; i < end && paths[i].size() > nameStart && paths[i].compare(0, nameStart, folder) == 0 &&
               FileNameStart(paths[i]) == nameStart;
             ++i)
          gone.push_back(paths[i].substr(nameStart));
        std::vector<TFileRecord> files = ReadFolder(select, folder);
        std::erase_if(files, [&gone](const TFileRecord& file) {
          return std::binary_search(gone.begin(), gone.end(), file.Name);
        });
        WriteFolder(*db_, folder, files);
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
