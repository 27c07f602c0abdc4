#include "platform/FileStamp.h"
#include "platform/FileStamp-posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

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

TFolderStamper::~TFolderStamper() { Close(); }

void TFolderStamper::Close() {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
  folder_.clear();
}

std::optional<TFileStamp> TFolderStamper::Stamp(const std::string& path) {
  const size_t separator = path.rfind('/');
  // A path without a folder, or naming one: as FileStamp.
  if (separator == std::string::npos || separator + 1 == path.size()) return FileStamp(path);
  const std::string_view folder(path.data(), separator + 1);
  if (handle_ < 0 || folder != folder_) {
    Close();
#ifdef O_PATH
    constexpr int kFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // search permission is enough
#else
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    int fd;
    do {
      fd = OpenPath(std::string(folder), kFlags);
    } while (fd < 0 && errno == EINTR);
    // A folder that cannot be opened (gone, not a folder, no permission)
    // says so through the plain status of the path.
    if (fd < 0) return FileStamp(path);
    handle_ = fd;
    folder_.assign(folder);
  }
  struct stat info {};
  if (::fstatat(handle_, path.c_str() + separator + 1, &info, 0) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
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
