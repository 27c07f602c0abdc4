// One running auditor per program folder: every moorscan holds the lock of
// its folder while it runs, so a second start from the same folder can tell
// that the first is still up. The lock is a lock file in the user's runtime
// or temporary folder (never the program's folder, which may be read-only),
// named after the folder; a lock left by a process that ended (a crash) is
// taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace vexmoor {

class TInstanceLock {
 public:
  // Tries to take the lock of `programFolder` at once, without waiting.
  explicit TInstanceLock(const QString& programFolder);
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // True when this process holds the lock: no other auditor of the folder
  // runs (or none could be told apart, when the lock file cannot be made).
  bool Held() const { return held_; }
  // The lock file's path for `programFolder`.
  static QString LockPath(const QString& programFolder);

 private:
  std::unique_ptr<QLockFile> lock_;
  bool held_ = false;
};

}  // namespace vexmoor
