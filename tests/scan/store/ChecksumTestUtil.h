// The checksum store in tests: a store in a temporary folder whose clock runs
// ahead, so the files a test has just written count as settled, and a count
// of the files opened for reading.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "scan/store/ChecksumStore.h"

namespace vexmoor::test {

inline int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A store at `path` that tells its lines into `notices` and whose clock is
// a minute ahead.
inline std::unique_ptr<TChecksumStore> AheadStore(const std::string& path,
                                                  std::vector<std::string>& notices) {
  auto store = std::make_unique<TChecksumStore>(
      path, [&notices](const std::string& line) { notices.push_back(line); });
  store->SetClock([] { return WallClockNs() + int64_t{60} * 1000000000; });
  return store;
}

// Gives every row of the store at `path` the CRC `crc`: what a stale row
// would say.
inline void SetEveryStoredCrc(const std::string& path, uint32_t crc) {
  TChecksumStore store(path, {});
  std::vector<TChecksumRow> rows;
  store.LoadUnder("").ForEach([&rows, crc](std::string file, const TKnownChecksum& known) {
    rows.push_back({std::move(file), known.Stamp, known.Sum});
    rows.back().Sum.Crc = crc;
  });
  store.Write(rows);
}

// Counts, per path, the files opened for reading through the file system
// while it lives (failed opens too), passing every call on to the file
// system that was current when it was made.
class TOpenCounter : public TFileSystemWrapper {
 public:
  TOpenCounter() : TFileSystemWrapper(CurrentFileSystem()), installed_(*this) {}

  std::unique_ptr<TReadableFile> OpenRead(const std::string& path) override {
    {
      const std::lock_guard lock(mutex_);
      ++opened_[path];
    }
    return TFileSystemWrapper::OpenRead(path);
  }

  void Reset() {
    const std::lock_guard lock(mutex_);
    opened_.clear();
  }
  // Distinct paths opened since the last Reset.
  size_t Files() const {
    const std::lock_guard lock(mutex_);
    return opened_.size();
  }
  size_t FilesEndingIn(const std::string& suffix) const {
    const std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const auto& [path, times] : opened_) count += path.ends_with(suffix);
    return count;
  }
  bool WasOpened(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    return opened_.count(path) != 0;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, int> opened_;
  TFileSystemOverride installed_;
};

// Lets the file system's clock move on, so a write now gives a file a
// status-change time other than a write a moment ago.
inline void LetFileClockTick() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

}  // namespace vexmoor::test
