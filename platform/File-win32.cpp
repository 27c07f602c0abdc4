// The file calls that Windows answers its own way: there are no executable
// bits, a file's identity is its volume serial and file index, and a
// running program's file refuses to be opened for writing with a sharing
// violation.
#include <string>
#include <string_view>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileWait.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
  throw IoError(what + " \"" + path + "\". " + SystemErrorText(error), error);
}

bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return known;
}

}  // namespace

// Windows runs any file it may read: only the file's presence is checked.
void MakeExecutable(const std::string& path) {
  if (::GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
    ThrowIo("Cannot read file", path, LastErrno());
}

void DropCachedPages(const std::string& path) {
  // Opening a file unbuffered and closing it writes its pages out and lets
  // the cache drop them when it needs room; Windows has no stronger call.
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  ::FlushFileBuffers(handle);
  ::CloseHandle(handle);
}

bool IsSameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION one{}, two{};
  return Identity(first, one) && Identity(second, two) && one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

void AppendToFile(const std::string& path, std::string_view text) {
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ThrowIo("Cannot write file", path, LastErrno());
  while (!text.empty()) {
    DWORD put = 0;
    if (!::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &put, nullptr)) {
      const int error = LastErrno();
      ::CloseHandle(handle);
      ThrowIo("Cannot write file", path, error);
    }
    text.remove_prefix(put);
  }
  if (!::CloseHandle(handle)) ThrowIo("Cannot write file", path, LastErrno());
}

// A reparse point (a symbolic link, a junction) counts as a link; a file
// "may be run" when Windows would run it by its name.
TWriteTargetState ExamineWriteTarget(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const int error = LastErrno();
    return {error == ENOENT ? TWriteTargetKind::Missing : TWriteTargetKind::Other, false};
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return {TWriteTargetKind::Link, false};
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {TWriteTargetKind::Other, false};
  HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {TWriteTargetKind::Other, false};
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = ::GetFileInformationByHandle(handle, &info) && ::GetFileType(handle) == FILE_TYPE_DISK &&
                       !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  ::CloseHandle(handle);
  if (!regular) return {TWriteTargetKind::Other, false};
  std::string lower = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return {TWriteTargetKind::Regular, lower == ".exe" || lower == ".com"};
}

TWriteProbe ProbeWritable(const std::string& path, int& error) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = EISDIR;
    return TWriteProbe::Refused;
  }
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    error = 0;
    return TWriteProbe::Free;
  }
  const DWORD code = ::GetLastError();
  error = ErrnoFromWin32(code);
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_USER_MAPPED_FILE)
    return TWriteProbe::Busy;
  return error == ENOENT || error == ENOTDIR ? TWriteProbe::Missing : TWriteProbe::Refused;
}

}  // namespace vexmoor
