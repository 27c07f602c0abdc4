// The file calls that only POSIX systems answer this way: permission bits,
// file identity, appending, dropping cached pages, and probing whether a
// program file is busy.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileWait.h"
#include "platform/LongPath-posix.h"

namespace vexmoor {

namespace {

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
  throw IoError(what + " \"" + path + "\". " + SystemErrorText(error), error);
}

void WriteAll(int fd, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      ThrowIo("Cannot write file", path, errno);
    }
    data.remove_prefix(static_cast<size_t>(put));
  }
}

}  // namespace

void MakeExecutable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) ThrowIo("Cannot read file", path, errno);
  const mode_t mode = info.st_mode & 07777;
  if (::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) != 0) ThrowIo("Cannot change file", path, errno);
}

void DropCachedPages(const std::string& path) {
  const int fd = OpenPath(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  ::fdatasync(fd);
#ifdef POSIX_FADV_DONTNEED
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
#endif
  ::close(fd);
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat one {}, two {};
  return StatPath(first, one) == 0 && StatPath(second, two) == 0 &&
         one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

void AppendToFile(const std::string& path, std::string_view text) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowIo("Cannot write file", path, errno);
  try {
    WriteAll(fd, text, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) ThrowIo("Cannot write file", path, errno);
}

TWriteProbe ProbeWritable(const std::string& path, int& error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    ::close(fd);
    error = 0;
    return TWriteProbe::Free;
  }
  error = errno;
  if (error == ETXTBSY) return TWriteProbe::Busy;
  return error == ENOENT || error == ENOTDIR ? TWriteProbe::Missing : TWriteProbe::Refused;
}

}  // namespace vexmoor

namespace vexmoor {

TWriteTargetState ExamineWriteTarget(const std::string& path) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0)
    return {errno == ENOENT ? TWriteTargetKind::Missing : TWriteTargetKind::Other, false};
  if (S_ISLNK(named.st_mode)) return {TWriteTargetKind::Link, false};
  if (!S_ISREG(named.st_mode)) return {TWriteTargetKind::Other, false};
  const int fd = OpenPath(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {errno == ELOOP ? TWriteTargetKind::Link : TWriteTargetKind::Other, false};
  struct stat opened {};
  const bool examined = ::fstat(fd, &opened) == 0;
  ::close(fd);
  if (!examined || !S_ISREG(opened.st_mode) || opened.st_ino != named.st_ino ||
      opened.st_dev != named.st_dev) {
    return {TWriteTargetKind::Other, false};
  }
  return {TWriteTargetKind::Regular, (opened.st_mode & 0111) != 0};
}

}  // namespace vexmoor
