// One scan's use of the checksum store. At the start the rows under the
// scanned folder are loaded into memory, so that the look-ahead workers can
// recall them without touching the database; the rows of the files the scan
// reads are queued and written by a thread of the session, so the walk never
// waits on the database: the rows of the folders the walk has left once
// they number kChecksumBatchRows (but no sooner than kChecksumWriteSpacing
// after the last write, unless kChecksumMaxBatchRows wait), and every queued
// row at least once a second (a folder written twice has its row merged,
// not replaced). Each write is a transaction that syncs the disk and writes
// the table's upper pages again, so a fast walk's rows go in a few large
// writes rather than many small ones.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scan/store/ChecksumStore.h"

namespace vexmoor {

inline constexpr size_t kChecksumBatchRows = 1000;
inline constexpr std::chrono::milliseconds kChecksumBatchInterval{1000};
inline constexpr std::chrono::milliseconds kChecksumWriteSpacing{500};
inline constexpr size_t kChecksumMaxBatchRows = 64 * kChecksumBatchRows;
// A file whose status changed less than this before its stamp was taken may
// still change within the same tick of the file system's clock without its
// stamp changing (FAT keeps times in steps of two seconds). No row is written
// for it; it is read again next time.
inline constexpr int64_t kSettleNs = int64_t{2} * 1000000000;

class TChecksumSession {
 public:
  // `root` is the folder the scan walks, as its work list names it.
  // `store` must outlive the session and is used by nobody else meanwhile.
  // With `rehash` nothing is recalled: every file is read, every row written
  // afresh. `pump` runs between the steps of loading the rows (see
  // TChecksumStore::LoadUnder).
  TChecksumSession(TChecksumStore& store, const std::string& root, bool rehash,
                   const std::function<void()>& pump = {});
  // Ends the session as End(false) does when End was not called.
  ~TChecksumSession();
  TChecksumSession(const TChecksumSession&) = delete;
  TChecksumSession& operator=(const TChecksumSession&) = delete;

  // Any thread. What the store holds for `path` when its stamp is `stamp`.
  std::optional<TStoredChecksum> Recall(const std::string& path, const TFileStamp& stamp) const;
  // Any thread. The row the store holds for `path`, whatever its stamp, or
  // none: without one the file need not be looked at before it is read.
  std::optional<TKnownChecksum> Known(const std::string& path) const;
  bool Knows(const std::string& path) const { return Known(path).has_value(); }
  // Any thread. The clock, read just before a file's stamp is taken.
  int64_t Now() const { return store_.Now(); }
  // Whether a file stamped `stamp` when the clock read `checkedNs` may have a
  // row: any later write to it gives it a new status-change time.
  static bool Settled(const TFileStamp& stamp, int64_t checkedNs) {
    return stamp.ChangedNs <= checkedNs - kSettleNs;
  }

  // The walk's thread only: a row was recalled; a file was read.
  void Recalled() { ++touched_; }
  void Remember(const std::string& path, const TFileStamp& stamp, const TStoredChecksum& sum) {
    Remember(path, stamp, ReadSumsOf(sum));
  }
  void Remember(const std::string& path, const TFileStamp& stamp, const TReadSums& sums);
  // Writes what is queued and, after a walk that ran to its end (`complete`),
  // prunes the store when it has grown. Tells once when rows were lost to
  // another program's lock. Called again, does nothing. With `pump`, the
  // rows loaded at the start are then let go of in steps with `pump`
  // between them, so no Recall may run any more; without, they go with the
  // session.
  void End(bool complete, const std::function<void()>& pump = {});

  // Rows recalled and remembered so far.
  uint64_t Touched() const { return touched_; }

 private:
  std::string Key(const std::string& path) const;
  void LetGoOfKnown(const std::function<void()>& pump);
  void WriterLoop();
  // Writes the oldest `rows` queued rows.
  void WriteQueued(std::unique_lock<std::mutex>& lock, size_t rows);

  TChecksumStore& store_;
  const std::string walkRoot_;  // the root as the scan names it
  std::string keyRoot_;         // the same folder as an absolute path
  TKnownChecksums known_;       // read-only once the session is made
  uint64_t touched_ = 0;
  bool ended_ = false;

  // The walk's thread only: the folder of the last path remembered, as the
  // walk names it and as its key.
  std::string lastWalkFolder_;
  std::string lastKeyFolder_;

  std::mutex mutex_;
  std::condition_variable wake_;
  // The rows, folder by folder, in the order remembered.
  std::vector<TFolderRun> queued_;
  size_t queuedRows_ = 0;
  // The queued rows before the last folder's: the walk has left their
  // folders, most likely.
  size_t doneRows_ = 0;
  // What the writer waits for that only the walk can tell it: the first
  // row queued (it then waits for that row to fall due), or a batch of
  // done rows (not the end of its spacing). The walk wakes it only then.
  enum class TWriterWait { Nothing, Rows, Batch };
  TWriterWait writerWaits_ = TWriterWait::Nothing;
  // The bytes of the last run of the folder before the last one's, which a
  // new run reserves (at most kMaxRunReserve).
  size_t lastRunBytes_ = 0;
  static constexpr size_t kMaxRunReserve = size_t{1} << 20;
  std::chrono::steady_clock::time_point oldestQueued_;
  bool stop_ = false;
  uint64_t lost_ = 0;  // rows a held lock kept out
  // Whether rows are written (the store was usable once loaded); the
  // writer thread runs from the first row remembered.
  bool writing_ = false;
  std::thread writer_;
};

}  // namespace vexmoor
