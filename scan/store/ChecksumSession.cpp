#include "scan/store/ChecksumSession.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/Path.h"

namespace vexmoor {

namespace {

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

bool SameFolder(const std::string& a, const std::string& b) {
  const size_t nameStart = FileNameStart(a);
  return nameStart == FileNameStart(b) && a.compare(0, nameStart, b, 0, nameStart) == 0;
}

}  // namespace

TChecksumSession::TChecksumSession(TChecksumStore& store, const std::string& root, bool rehash,
                                   const std::function<void()>& pump)
    : store_(store), walkRoot_(root), keyRoot_(AbsoluteFolder(root)) {
  if (!store_.Usable()) return;
  if (!rehash) known_ = store_.LoadUnder(keyRoot_, pump);
  if (store_.Usable()) writer_ = std::thread([this] { WriterLoop(); });
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

const TKnownChecksum* TChecksumSession::Known(const std::string& path) const {
  if (known_.empty()) return nullptr;
  constexpr auto preferred = static_cast<char>(std::filesystem::path::preferred_separator);
  // The key without building it, when it is the absolute root and the rest.
  if (preferred == '/' && path.compare(0, walkRoot_.size(), walkRoot_) == 0)
    return known_.Find(keyRoot_, std::string_view(path).substr(walkRoot_.size()));
  return known_.Find(Key(path));
}

std::optional<TStoredChecksum> TChecksumSession::Recall(const std::string& path,
                                                        const TFileStamp& stamp) const {
  const TKnownChecksum* row = Known(path);
  if (row == nullptr || !(row->Stamp == stamp)) return std::nullopt;
  return row->Sum;
}

void TChecksumSession::Remember(const std::string& path, const TFileStamp& stamp,
                                const TStoredChecksum& sum) {
  ++touched_;
  if (!writer_.joinable()) return;
  const std::lock_guard lock(mutex_);
  if (queued_.size() >= kMaxQueuedRows) {
    ++lost_;
    return;
  }
  if (queued_.empty()) oldestQueued_ = std::chrono::steady_clock::now();
  std::string key = Key(path);
  // A row of another folder than the last one's: the walk is done with
  // that folder, most likely, and its rows can be written in one step.
  if (!queued_.empty() && !SameFolder(queued_.back().Path, key)) {
    doneRows_ = queued_.size();
    if (doneRows_ >= kChecksumBatchRows) wake_.notify_one();
  }
  queued_.push_back({std::move(key), stamp, sum});
}

void TChecksumSession::WriterLoop() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (queued_.empty()) {
      wake_.wait(lock, [this] { return stop_ || !queued_.empty(); });
      continue;
    }
    const auto due = oldestQueued_ + kChecksumBatchInterval;
    if (wake_.wait_until(lock, due, [this] { return stop_ || doneRows_ >= kChecksumBatchRows; }))
      WriteQueued(lock, stop_ ? queued_.size() : doneRows_);
    else if (std::chrono::steady_clock::now() >= due)
      WriteQueued(lock, queued_.size());
  }
  if (!queued_.empty()) WriteQueued(lock, queued_.size());
  // Still held by another program at the end: the rest is given up.
  lost_ += queued_.size();
  queued_.clear();
}

void TChecksumSession::WriteQueued(std::unique_lock<std::mutex>& lock, size_t rows) {
  std::vector<TChecksumRow> batch;
  if (rows >= queued_.size()) {
    batch.swap(queued_);
  } else {
    batch.assign(std::make_move_iterator(queued_.begin()),
                 std::make_move_iterator(queued_.begin() + static_cast<ptrdiff_t>(rows)));
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<ptrdiff_t>(rows));
  }
  doneRows_ = 0;
  lock.unlock();
  const TChecksumStore::TWrite written = store_.Write(batch);
  lock.lock();
  if (written != TChecksumStore::TWrite::Busy) return;
  // Try again with the next batch, oldest first.
  const size_t room = kMaxQueuedRows - std::min(kMaxQueuedRows, queued_.size());
  if (batch.size() > room) {
    lost_ += batch.size() - room;
    batch.resize(room);
  }
  doneRows_ += batch.size();
  queued_.insert(queued_.begin(), std::make_move_iterator(batch.begin()),
                 std::make_move_iterator(batch.end()));
  oldestQueued_ = std::chrono::steady_clock::now();
}

void TChecksumSession::End(bool complete, const std::function<void()>& pump) {
  if (ended_) return;
  ended_ = true;
  if (pump) LetGoOfKnown(pump);
  if (!writer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  writer_.join();
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
