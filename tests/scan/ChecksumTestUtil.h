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

#include "platform/File.h"
#include "scan/ChecksumStore.h"

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

// Counts, per path, the files opened for reading while it lives.
class TOpenCounter {
 public:
  TOpenCounter() {
    Reset();
    SetFileOpenHook(&Record);
  }
  ~TOpenCounter() { SetFileOpenHook(nullptr); }
  TOpenCounter(const TOpenCounter&) = delete;
  TOpenCounter& operator=(const TOpenCounter&) = delete;

  static void Reset() {
    const std::lock_guard lock(Mutex());
    Opened().clear();
  }
  // Distinct paths opened since the last Reset.
  static size_t Files() {
    const std::lock_guard lock(Mutex());
    return Opened().size();
  }
  static size_t FilesEndingIn(const std::string& suffix) {
    const std::lock_guard lock(Mutex());
    size_t count = 0;
    for (const auto& [path, times] : Opened())
      count += path.size() >= suffix.size() && path.ends_with(suffix);
    return count;
  }
  static bool WasOpened(const std::string& path) {
    const std::lock_guard lock(Mutex());
    return Opened().count(path) != 0;
  }

 private:
  static void Record(const std::string& path) {
    const std::lock_guard lock(Mutex());
    ++Opened()[path];
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::map<std::string, int>& Opened() {
    static std::map<std::string, int> opened;
    return opened;
  }
};

// Lets the file system's clock move on, so a write now gives a file a
// status-change time other than a write a moment ago.
inline void LetFileClockTick() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

}  // namespace vexmoor::test
