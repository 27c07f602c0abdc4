#include "scan/store/ChecksumSession.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/Path.h"

namespace vexmoor {

namespace {

namespace fs = std::filesystem;

// Rows kept waiting while another program holds the lock, at most; beyond
// them a file's row is given up (it is read again next time).
constexpr size_t kMaxQueuedRows = 256 * kChecksumBatchRows;

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(FilesystemPath(folder), error);
  if (error) return folder;
  std::string text = Utf8Text(absolute.lexically_normal());
  if (text.empty() || text.back() != std::filesystem::path::preferred_separator)
    text += static_cast<char>(std::filesystem::path::preferred_separator);
  return text;
}

}  // namespace

TChecksumSession::TChecksumSession(TChecksumStore& store, const std::string& root, bool rehash,
                                   const std::function<void()>& pump)
    : store_(store), walkRoot_(root), keyRoot_(AbsoluteFolder(root)) {
  if (!store_.Usable()) return;
  if (!rehash) known_ = store_.LoadUnder(keyRoot_, pump);
  writing_ = store_.Usable();
}

TChecksumSession::~TChecksumSession() { End(false); }

// The walk appends '/' to the folders below its root while the absolute
// root has the system's own separator: on Windows a key would mix '\' and
// '/', and the same file reached once as "C:\roms\a/x.nds" and once as
// "C:\roms\a\x.nds" would have two rows. Every key has one separator.
std::string TChecksumSession::Key(const std::string& path) const {
  if (path.compare(0, walkRoot_.size(), walkRoot_) != 0) return path;
  std::string key;
  key.reserve(keyRoot_.size() + path.size() - walkRoot_.size());
  key.append(keyRoot_).append(path, walkRoot_.size());
  constexpr auto preferred = static_cast<char>(std::filesystem::path::preferred_separator);
  if constexpr (preferred != '/') std::replace(key.begin(), key.end(), '/', preferred);
  return key;
}

std::optional<TKnownChecksum> TChecksumSession::Known(const std::string& path) const {
  if (known_.empty()) return std::nullopt;
  constexpr auto preferred = static_cast<char>(std::filesystem::path::preferred_separator);
  // The key without building it, when it is the absolute root and the rest.
  if (preferred == '/' && path.compare(0, walkRoot_.size(), walkRoot_) == 0)
    return known_.Find(keyRoot_, std::string_view(path).substr(walkRoot_.size()));
  return known_.Find(Key(path));
}

std::optional<TStoredChecksum> TChecksumSession::Recall(const std::string& path,
                                                        const TFileStamp& stamp) const {
  std::optional<TKnownChecksum> row = Known(path);
  if (!row || !(row->Stamp == stamp)) return std::nullopt;
  return std::move(row->Sum);
}

void TChecksumSession::Remember(const std::string& path, const TFileStamp& stamp,
                                const TReadSums& sums) {
  ++touched_;
  if (!writing_) return;
  // The writer starts with the first row to write: a scan that recalls
  // every file runs on one thread, and the C library's system calls and
  // allocations take their quicker single-threaded way throughout.
  if (!writer_.joinable()) writer_ = std::thread([this] { WriterLoop(); });
  // The key's folder and name, its folder made once per folder of the walk
  // (a name holds no separator; the key differs from the path only in the
  // root, when the path's folder holds the whole root).
  constexpr auto preferred = static_cast<char>(fs::path::preferred_separator);
  size_t walkName = path.size();
  if constexpr (preferred == '/') {
    walkName = path.rfind('/') + 1;  // npos + 1 is 0
  } else {
    while (walkName > 0 && path[walkName - 1] != '/' && path[walkName - 1] != preferred) --walkName;
  }
  const std::string_view walkFolder = std::string_view(path).substr(0, walkName);
  std::string_view name = std::string_view(path).substr(walkName);
  if (name.empty()) return;  // names no file
  std::string key;
  if (walkFolder.size() < walkRoot_.size() || lastKeyFolder_.empty() ||
      walkFolder != lastWalkFolder_) {
    key = Key(path);
    const size_t nameStart = FileNameStart(key);
    if (nameStart == std::string::npos) return;  // names no file
    name = std::string_view(key).substr(nameStart);
    lastKeyFolder_.assign(key, 0, nameStart);
    if (walkFolder.size() >= walkRoot_.size()) {
      lastWalkFolder_.assign(walkFolder);
    } else {
      lastWalkFolder_.clear();
      lastKeyFolder_.clear();
    }
  }
  const std::string_view folder =
      lastKeyFolder_.empty() ? std::string_view(key).substr(0, key.size() - name.size())
                             : std::string_view(lastKeyFolder_);
  const std::lock_guard lock(mutex_);
  if (queuedRows_ >= kMaxQueuedRows) {
    ++lost_;
    return;
  }
  if (queued_.empty()) {
    oldestQueued_ = std::chrono::steady_clock::now();
    // Without this the writer would sleep until a batch is done, however
    // long these rows wait.
    if (writerWaits_ == TWriterWait::Rows) {
      writerWaits_ = TWriterWait::Nothing;
      wake_.notify_one();
    }
  }
  // A row of another folder than the last one's: the walk is done with
  // that folder, most likely, and its rows can be written in one step.
  if (queued_.empty() || queued_.back().Folder != folder) {
    if (!queued_.empty()) {
      doneRows_ = queuedRows_;
      if ((doneRows_ >= kChecksumBatchRows && writerWaits_ == TWriterWait::Batch) ||
          doneRows_ >= kChecksumMaxBatchRows) {
        writerWaits_ = TWriterWait::Nothing;
        wake_.notify_one();
      }
      lastRunBytes_ = queued_.back().Records.size();
    }
    queued_.push_back({std::string(folder), {}, 0});
    // Sized as the folder before: its records are appended without the
    // run growing again and again.
    queued_.back().Records.reserve(std::min(lastRunBytes_, kMaxRunReserve));
  }
  AppendFileRecord(queued_.back().Records, name, stamp, sums);
  ++queued_.back().Count;
  ++queuedRows_;
}

void TChecksumSession::WriterLoop() {
  std::unique_lock lock(mutex_);
  std::chrono::steady_clock::time_point nextWrite;  // the first write may be at once
  while (!stop_) {
    if (queued_.empty()) {
      writerWaits_ = TWriterWait::Rows;
      wake_.wait(lock, [this] { return stop_ || !queued_.empty(); });
      writerWaits_ = TWriterWait::Nothing;
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto due = oldestQueued_ + kChecksumBatchInterval;
    const bool batch = doneRows_ >= kChecksumBatchRows;
    if (now >= due || (batch && (now >= nextWrite || doneRows_ >= kChecksumMaxBatchRows))) {
      WriteQueued(lock, now >= due ? queuedRows_ : doneRows_);
      nextWrite = std::chrono::steady_clock::now() + kChecksumWriteSpacing;
      continue;
    }
    // Until the walk leaves a folder with a batch's rows done (it wakes this
    // thread then), the spacing ends with a batch done, or the oldest row is
    // due.
    writerWaits_ = batch ? TWriterWait::Nothing : TWriterWait::Batch;
    wake_.wait_until(lock, batch ? std::min(due, nextWrite) : due);
    writerWaits_ = TWriterWait::Nothing;
  }
  if (!queued_.empty()) WriteQueued(lock, queuedRows_);
  // Still held by another program at the end: the rest is given up.
  lost_ += queuedRows_;
  queued_.clear();
  queuedRows_ = 0;
}

void TChecksumSession::WriteQueued(std::unique_lock<std::mutex>& lock, size_t rows) {
  // The oldest folders' runs holding `rows` rows (doneRows_ ends at a run).
  std::vector<TFolderRun> batch;
  size_t runs = 0, taken = 0;
  while (runs < queued_.size() && taken < rows) taken += queued_[runs++].Count;
  if (runs == queued_.size()) {
    batch.swap(queued_);
  } else {
    batch.assign(std::make_move_iterator(queued_.begin()),
                 std::make_move_iterator(queued_.begin() + static_cast<ptrdiff_t>(runs)));
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<ptrdiff_t>(runs));
  }
  queuedRows_ -= taken;
  doneRows_ = 0;
  lock.unlock();
  const TChecksumStore::TWrite written = store_.Write(batch);
  lock.lock();
  if (written != TChecksumStore::TWrite::Busy) return;
  // Try again with the next batch, oldest first; what has no room is lost,
  // the newest rows first.
  const size_t room = kMaxQueuedRows - std::min(kMaxQueuedRows, queuedRows_);
  while (taken > room && !batch.empty()) {
    TFolderRun& last = batch.back();
    if (taken - last.Count >= room) {
      taken -= last.Count;
      lost_ += last.Count;
      batch.pop_back();
      continue;
    }
    const size_t keep = last.Count - (taken - room);
    std::string_view rest = last.Records, record, name;
    for (size_t i = 0; i < keep && TakeFileRecord(rest, record, name);) ++i;
    last.Records.resize(last.Records.size() - rest.size());
    lost_ += last.Count - keep;
    last.Count = keep;
    taken = room;
  }
  doneRows_ += taken;
  queuedRows_ += taken;
  queued_.insert(queued_.begin(), std::make_move_iterator(batch.begin()),
                 std::make_move_iterator(batch.end()));
  oldestQueued_ = std::chrono::steady_clock::now();
}

void TChecksumSession::End(bool complete, const std::function<void()>& pump) {
  if (ended_) return;
  ended_ = true;
  if (pump) LetGoOfKnown(pump);
  if (!writing_) return;
  if (writer_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
  }
  if (lost_ > 0) {
    store_.Tell("Checksum store \"" + store_.Path() + "\" is locked by another program; " +
                std::to_string(lost_) + " checksums were not remembered.");
  }
  store_.Deliver();
  if (complete) store_.PruneIfGrown(touched_);
}

void TChecksumSession::LetGoOfKnown(const std::function<void()>& pump) {
  // Freeing the rows of a large collection at once holds a window up.
  while (!known_.empty()) {
    known_.Release(kChecksumRowsBetweenPumps);
    pump();
  }
}

}  // namespace vexmoor
