#include "platform/FileStamp.h"

#include <cstdlib>

#include "platform/FileStamp-win32.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

namespace {

// 100-ns ticks since 1601 to nanoseconds since 1970.
int64_t Nanoseconds(int64_t ticks) { return (ticks - 116444736000000000LL) * 100; }

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) ||
         (!path.empty() && path[0] == '/');
}

std::string Environment(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value != nullptr ? Narrow(value) : std::string();
}

}  // namespace

std::optional<TFileStamp> StampOfHandle(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
  FILE_BASIC_INFO basic{};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || ::GetFileType(handle) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
    return std::nullopt;
  TFileStamp stamp;
  stamp.Device = info.dwVolumeSerialNumber;
  stamp.Node = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.Size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.ModifiedNs = Nanoseconds(basic.LastWriteTime.QuadPart);
  stamp.ChangedNs = Nanoseconds(basic.ChangeTime.QuadPart);
  return stamp;
}

std::optional<TFileStamp> FileStamp(const std::string& path) {
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  std::optional<TFileStamp> stamp;
  if (::GetFileInformationByHandle(handle, &info)) stamp = StampOfHandle(handle, info);
  ::CloseHandle(handle);
  return stamp;
}

TFolderStamper::~TFolderStamper() { Close(); }

void TFolderStamper::Close() { folder_.clear(); }

// The system's status of a file by a handle of the file itself: nothing to
// keep of its folder.
std::optional<TFileStamp> TFolderStamper::Stamp(const std::string& path) { return FileStamp(path); }

// $XDG_CACHE_HOME when it is an absolute path (as on the other systems),
// else the user's local application data folder.
std::string UserCacheFolder() {
  const std::string cache = Environment(L"XDG_CACHE_HOME");
  if (IsAbsolute(cache)) return cache;
  const std::string local = Environment(L"LOCALAPPDATA");
  return IsAbsolute(local) ? local : std::string();
}

}  // namespace vexmoor
