#include "platform/DiskPlace.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"

namespace vexmoor {

uint64_t FreeBytes(const std::string& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) ThrowFileError(TFileOp::Stat, folder, errno);
  return uint64_t(info.f_bavail) * uint64_t(info.f_frsize);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowFileError(TFileOp::Flush, folder, errno);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; their renames are as durable as
  // they get.
  if (result != 0 && error != EINVAL && error != EROFS) ThrowFileError(TFileOp::Flush, folder, error);
}

void CreateHardLink(const std::string& target, const std::string& link) {
  if (::link(target.c_str(), link.c_str()) != 0) ThrowFileError(TFileOp::Write, link, errno);
}

void CreateSymbolicLink(const std::string& target, const std::string& link) {
  if (::symlink(target.c_str(), link.c_str()) != 0) ThrowFileError(TFileOp::Write, link, errno);
}

bool OnSameDisk(const std::string& first, const std::string& second) {
  const TFileStat a = CurrentFileSystem().Stat(first);
  const TFileStat b = CurrentFileSystem().Stat(second);
  return a.Type != TFileType::Missing && b.Type != TFileType::Missing && a.Device == b.Device;
}

}  // namespace vexmoor
