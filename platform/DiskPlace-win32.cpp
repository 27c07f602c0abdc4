#include "platform/DiskPlace.h"

#include "platform/FileSystem.h"
#include "platform/LongPath-win32.h"

// windows.h names these as macros for their -W forms; ours are the core's.
#undef CreateHardLink
#undef CreateSymbolicLink

namespace vexmoor {

uint64_t FreeBytes(const std::string& folder) {
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(WidePath(folder.empty() ? "." : folder).c_str(), &available, nullptr,
                             nullptr))
    ThrowFileError(TFileOp::Stat, folder, LastErrno());
  return available.QuadPart;
}

// Windows makes a rename durable with the file (MoveFileEx write-through);
// a folder has no entries of its own to flush.
void SyncFolder(const std::string&) {}

void CreateHardLink(const std::string& target, const std::string& link) {
  if (!::CreateHardLinkW(WidePath(link).c_str(), WidePath(target).c_str(), nullptr))
    ThrowFileError(TFileOp::Write, link, LastErrno());
}

void CreateSymbolicLink(const std::string& target, const std::string& link) {
  // Unprivileged users may make links where the system's developer mode
  // allows them; elsewhere the system's refusal is reported.
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  if (!::CreateSymbolicLinkW(WidePath(link).c_str(), WidePath(target).c_str(), kUnprivileged))
    ThrowFileError(TFileOp::Write, link, LastErrno());
}

bool OnSameDisk(const std::string& first, const std::string& second) {
  const TFileStat a = CurrentFileSystem().Stat(first);
  const TFileStat b = CurrentFileSystem().Stat(second);
  return a.Type != TFileType::Missing && b.Type != TFileType::Missing && a.Device == b.Device;
}

}  // namespace vexmoor
