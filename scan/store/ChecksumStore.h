// The checksum store: an SQLite database in the user's cache folder that
// remembers, for each loose dump a scan has read, which version of the file
// it read (FileStamp) and what it found (CRC-32, the bad-dump verdict and
// the strong checksums the dat asked for).
// A scan that meets the same path with the same stamp takes the row instead
// of reading the file. The layout is described in
// docs/formats/checksum-store.md.
//
// The store never makes a scan fail: a file that is not a store or is
// damaged is set aside as "<name>.broken" and a fresh one made; a store that
// cannot be had at all (a read-only folder, a lock held by another program)
// is left alone and the scan reads every file. Each such event is told once
// through the notice callback, as one line for stderr or the status bar; the
// callback runs on the thread that made the store, never on the writer
// thread of a scan (ChecksumSession), whose lines wait until Deliver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileStamp.h"
#include "scan/store/KnownChecksums.h"

namespace vexmoor {

class TSqliteDb;
class SqliteError;

struct TChecksumRow {
  std::string Path;  // absolute, as the scan names the file
  TFileStamp Stamp;  // taken before the file was read
  TStoredChecksum Sum;
};

// Records of files of one folder, in the order they were read: the blob
// AppendFileRecord makes, in any order of name (a name given twice: the
// last record counts).
struct TFolderRun {
  std::string Folder;   // absolute, with its separator at the end
  std::string Records;  // AppendFileRecord's records
  size_t Count = 0;     // how many
};

using TStoreNotice = std::function<void(const std::string& line)>;

// How many rows the loops over the rows of a whole collection take between
// two calls of their pump.
inline constexpr size_t kChecksumRowsBetweenPumps = 1024;

// Where the store lives: UserCacheFolder() + "/vexmoor/checksums.sqlite3",
// or "" when the user has no cache folder.
std::string DefaultChecksumStorePath();

class TChecksumStore {
 public:
  enum class TWrite { Written, Busy, Dropped };

  // Opens the store at `path`, creating it and its folder when missing.
  // `notice` may be empty. Throws nothing but std::bad_alloc.
  TChecksumStore(std::string path, TStoreNotice notice);
  ~TChecksumStore();
  TChecksumStore(const TChecksumStore&) = delete;
  TChecksumStore& operator=(const TChecksumStore&) = delete;

  const std::string& Path() const { return path_; }
  // False when no store could be had: lookups find nothing, writes drop.
  bool Usable() const { return db_ != nullptr; }

  // The rows whose path begins with `prefix`. A row whose values are not
  // what this program writes is left out (its file is read again and the
  // row replaced). A damaged store is set aside and nothing is returned.
  // With `pump`, it runs after every kChecksumRowsBetweenPumps rows read
  // (the rows of a large collection take a while); it must not use the
  // store.
  TKnownChecksums LoadUnder(const std::string& prefix, const std::function<void()>& pump = {});

  // Writes `rows` in one transaction, replacing rows of the same paths: each
  // folder's row is read, merged with the rows of its files and written
  // once, under the write lock, so rows another program wrote meanwhile
  // stay.
  // Busy: another program holds the write lock; nothing was written and the
  // caller may try again. Dropped: the store failed otherwise (told once).
  TWrite Write(const std::vector<TChecksumRow>& rows);
  // The same for records handed over folder by folder; of runs of the same
  // folder, the later's records count.
  TWrite Write(const std::vector<TFolderRun>& runs);

  // Deletes the rows of files that no longer exist when the store holds
  // more than twice as many rows as `touched` (the rows one scan used) and
  // more than twice as many as the last pruning left, so that a store much
  // larger than one scan is not walked on every scan.
  void PruneIfGrown(uint64_t touched);

  // Number of files with a row; 0 when unusable.
  uint64_t RowCount();

  // The wall clock in nanoseconds since 1970 UTC; tests set their own.
  int64_t Now() const { return now_(); }
  void SetClock(std::function<int64_t()> now) { now_ = std::move(now); }

  // Keeps `line` for the notice callback; any thread.
  void Tell(const std::string& line);
  // Hands the kept lines to the notice callback, in order. The constructor,
  // LoadUnder and PruneIfGrown do it themselves; Write leaves it to the
  // caller.
  void Deliver();

 private:
  void Open();
  void OpenOrThrow();
  void CreateSchema();
  void Upgrade(int64_t from);
  void SetAside(const std::string& reason);
  void GiveUp(const std::string& reason);
  void Fail(const SqliteError& error);
  std::vector<std::string> VanishedPaths();
  void DeleteRows(const std::vector<std::string>& paths);
  int64_t Meta(const char* key, int64_t fallback);
  void SetMeta(const char* key, int64_t value);

  std::string path_;
  TStoreNotice notice_;
  std::unique_ptr<TSqliteDb> db_;
  std::function<int64_t()> now_;
  std::mutex noticeMutex_;
  std::vector<std::string> notices_;
};

}  // namespace vexmoor
