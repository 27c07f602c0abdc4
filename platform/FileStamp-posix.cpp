#include "platform/FileStamp.h"
#include "platform/FileStamp-posix.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/LongPath-posix.h"

namespace vexmoor {

namespace {

int64_t Nanoseconds(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

TFileStamp StampOfStatus(const struct stat& info) {
  TFileStamp stamp;
  stamp.Device = static_cast<uint64_t>(info.st_dev);
  stamp.Node = static_cast<uint64_t>(info.st_ino);
  stamp.Size = static_cast<uint64_t>(info.st_size);
  stamp.ModifiedNs = Nanoseconds(info.st_mtim);
  stamp.ChangedNs = Nanoseconds(info.st_ctim);
  return stamp;
}

std::optional<TFileStamp> FileStamp(const std::string& path) {
  struct stat info {};
  if (StatPath(path, info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return StampOfStatus(info);
}

std::string UserCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return cache;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache";
  return {};
}

}  // namespace vexmoor
