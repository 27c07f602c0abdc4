// The system's file system on Windows. Files are opened with CreateFileW
// sharing reads, writes and deletes, so a scan never stands in another
// program's way; paths go to Win32 as UTF-16 with the \\?\ prefix, so they
// may be of any length. A reparse point (a symbolic link, a junction) is
// treated as the POSIX half treats a link: it counts as what it leads to.
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileStamp-win32.h"
#include "platform/FileSystem.h"
#include "platform/FileSystem-system.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

std::string SystemErrorText(int error) {
  // The C library knows the classic numbers only; these are the texts the
  // POSIX half shows for the rest.
  switch (error) {
    case ETXTBSY: return "Text file busy";
    case ETIMEDOUT: return "Connection timed out";
    case ECONNREFUSED: return "Connection refused";
    case ECONNRESET: return "Connection reset by peer";
    case ECONNABORTED: return "Software caused connection abort";
    case ENETUNREACH: return "Network is unreachable";
    case EHOSTUNREACH: return "No route to host";
    case ENOTCONN: return "Transport endpoint is not connected";
    case EWOULDBLOCK: return "Resource temporarily unavailable";
    case EINPROGRESS: return "Operation now in progress";
    case EADDRINUSE: return "Address already in use";
    case EADDRNOTAVAIL: return "Cannot assign requested address";
    case EAFNOSUPPORT: return "Address family not supported by protocol";
    case ENOBUFS: return "No buffer space available";
    case ENOTSUP: return "Operation not supported";
    case ELOOP: return "Too many levels of symbolic links";
    default: return std::strerror(error);
  }
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle that closes itself.
class THandle {
 public:
  explicit THandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return handle_; }
  // Hands the handle over; this object closes nothing any more.
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!Valid()) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Opens what `path` names, links followed, only to examine it.
HANDLE OpenForInfo(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

class TWin32ReadableFile : public TReadableFile {
 public:
  TWin32ReadableFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  size_t Read(void* buffer, size_t size) override {
    const size_t got = ReadAt(position_, buffer, size);
    position_ += got;
    return got;
  }
  // Every read names its offset, so the file position is never shared
  // between threads.
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD ask = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!::ReadFile(handle_.Get(), buffer, ask, &got, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) return 0;
      ThrowFileError(TFileOp::Read, path_, ErrnoFromWin32(error));
    }
    return got;
  }
  void Seek(uint64_t offset) override { position_ = offset; }
  uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_.Get(), &size)) ThrowFileError(TFileOp::Read, path_, LastErrno());
    return static_cast<uint64_t>(size.QuadPart);
  }

 private:
  THandle handle_;
  std::string path_;
  uint64_t position_ = 0;
};

class TWin32WritableFile : public TWritableFile {
 public:
  TWin32WritableFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  void Write(std::string_view data) override {
    while (!data.empty()) {
      const DWORD ask = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
      DWORD put = 0;
      if (!::WriteFile(handle_.Get(), data.data(), ask, &put, nullptr))
        ThrowFileError(TFileOp::Write, path_, LastErrno());
      data.remove_prefix(put);
    }
  }
  void Flush() override {
    if (!::FlushFileBuffers(handle_.Get())) ThrowFileError(TFileOp::Flush, path_, LastErrno());
  }
  void Close() override {
    if (!handle_.Close()) ThrowFileError(TFileOp::Write, path_, LastErrno());
  }

 private:
  THandle handle_;
  std::string path_;
};

// Six letters and digits for a temporary's name.
std::string RandomSuffix() {
  static thread_local std::mt19937 random(std::random_device{}() ^ ::GetCurrentProcessId());
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

// What a handle opened with links followed names: Other for a device or a
// pipe.
TFileType TypeOf(HANDLE handle, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return TFileType::Folder;
  return ::GetFileType(handle) == FILE_TYPE_DISK ? TFileType::Regular : TFileType::Other;
}

// A link whose target fails this way leads nowhere: it is not listed.
bool LeadsNowhere(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

class TWin32FileSystem : public TFileSystem {
 public:
  std::unique_ptr<TReadableFile> OpenRead(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      ThrowFileError(TFileOp::Open, path, EISDIR);
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) ThrowFileError(TFileOp::Open, path, LastErrno());
    auto file = std::make_unique<TWin32ReadableFile>(handle, path);
    if (::GetFileType(handle) != FILE_TYPE_DISK)
      throw FileOpenError("Cannot open file \"" + path + "\". It is not a regular file", EINVAL);
    return file;
  }

  // One open for reading (a folder opens too, with backup semantics, and is
  // told by its attributes); type, size and stamp come from that handle.
  TOpenedPath OpenIfFile(const std::string& path) override {
    TOpenedPath opened;
    THandle handle(::CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid()) return NotOpened(*this, path, LastErrno());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle.Get(), &info)) {
      opened.Stat.Error = LastErrno();
      return opened;
    }
    opened.Stat = StatOf(handle.Get(), info);
    if (opened.Stat.Type != TFileType::Regular) return opened;
    opened.Stamp = StampOfHandle(handle.Get(), info);
    opened.File = std::make_unique<TWin32ReadableFile>(handle.Release(), path);
    return opened;
  }

  std::unique_ptr<TWritableFile> CreateTemporary(const std::string& target, std::string& created) override {
    const DWORD old = ::GetFileAttributesW(WidePath(target).c_str());
    // A read-only target stays read-only through ReplaceFileW; the new file
    // itself must be writable until it is in place.
    const DWORD attributes = old == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL
                                                            : (old & FILE_ATTRIBUTE_HIDDEN) | FILE_ATTRIBUTE_NORMAL;
    for (int attempt = 0;; ++attempt) {
      created = target + std::string(kTemporaryMarker) + RandomSuffix();
      HANDLE handle = ::CreateFileW(WidePath(created).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, attributes, nullptr);
      if (handle != INVALID_HANDLE_VALUE) return std::make_unique<TWin32WritableFile>(handle, created);
      const DWORD error = ::GetLastError();
      if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
        ThrowFileError(TFileOp::Open, created, ErrnoFromWin32(error));
    }
  }

  // The replacement is written through to the disk before the call returns.
  // An existing target is replaced by ReplaceFileW, which keeps its
  // attributes and security; a new one is moved into place.
  void Rename(const std::string& from, const std::string& to) override {
    const std::wstring source = WidePath(from), target = WidePath(to);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (::ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                         nullptr)) {
        FlushFolderEntry(target);
        return;
      }
      const DWORD error = ::GetLastError();
      // The target is held open without delete sharing, or is read-only:
      // a move says so the same way. Any other failure is reported as is.
      if (error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_ACCESS_DENIED &&
          error != ERROR_SHARING_VIOLATION && error != ERROR_NOT_SUPPORTED && error != ERROR_CALL_NOT_IMPLEMENTED)
        ThrowFileError(TFileOp::Rename, to, ErrnoFromWin32(error));
    }
    if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowFileError(TFileOp::Rename, to, LastErrno());
  }

  // Without MOVEFILE_REPLACE_EXISTING a move never replaces: it fails with
  // ERROR_ALREADY_EXISTS (or ERROR_FILE_EXISTS) when `to` is taken.
  void RenameNoReplace(const std::string& from, const std::string& to) override {
    const std::wstring source = WidePath(from), target = WidePath(to);
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ThrowFileError(TFileOp::Rename, to, EEXIST);
    ThrowFileError(TFileOp::Rename, to, ErrnoFromWin32(error));
  }

  void Remove(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    if (::DeleteFileW(wide.c_str())) return;
    DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    // A read-only file goes as on POSIX, where only the folder's rights count.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      if (::DeleteFileW(wide.c_str())) return;
      error = ::GetLastError();
      ::SetFileAttributesW(wide.c_str(), attributes);
    }
    ThrowFileError(TFileOp::Remove, path, ErrnoFromWin32(error));
  }

  std::vector<TListedEntry> List(const std::string& folder) override {
    const std::wstring base = WidePath(folder);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW((base + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<TListedEntry> entries;
    if (search == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(base.c_str());
      const bool isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      if (error == ERROR_FILE_NOT_FOUND && isFolder) return entries;  // a drive's empty root
      int code = ErrnoFromWin32(error);
      if (attributes != INVALID_FILE_ATTRIBUTES && !isFolder) code = ENOTDIR;
      ThrowFileError(TFileOp::List, folder, code);
    }
    for (;;) {
      const std::wstring_view name = found.cFileName;
      if (name != L"." && name != L"..") {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          TFileStat target = StatWide(base + L"\\" + found.cFileName);
          if (target.Type == TFileType::Regular || target.Type == TFileType::Folder)
            entries.push_back({Narrow(name), target.Type == TFileType::Folder, 0});
          else if (target.Type == TFileType::Missing && !LeadsNowhere(target.Error))
            entries.push_back({Narrow(name), false, target.Error});
        } else {
          entries.push_back({Narrow(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, 0});
        }
      }
      if (!::FindNextFileW(search, &found)) break;
    }
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) ThrowFileError(TFileOp::List, folder, ErrnoFromWin32(error));
    return entries;
  }

  TFileStat Stat(const std::string& path) override { return StatWide(WidePath(path)); }

  std::string ResolveLinks(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    const THandle handle(OpenForInfo(wide));
    if (!handle.Valid()) return path;
    std::wstring final(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle.Get(), final.data(),
                                                     static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= final.size()) return path;
    final.resize(length);
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) return "\\\\" + Narrow(final.substr(8));
    if (final.rfind(L"\\\\?\\", 0) == 0) return Narrow(final.substr(4));
    return Narrow(final);
  }

 private:
  static TFileStat StatWide(const std::wstring& path) {
    const THandle handle(OpenForInfo(path));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.Valid() || !::GetFileInformationByHandle(handle.Get(), &info)) {
      TFileStat missing;
      missing.Error = LastErrno();
      return missing;
    }
    return StatOf(handle.Get(), info);
  }

  static TFileStat StatOf(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    TFileStat stat;
    stat.Type = TypeOf(handle, info.dwFileAttributes);
    stat.Size = stat.Type == TFileType::Regular
                    ? (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow
                    : 0;
    stat.Device = info.dwVolumeSerialNumber;
    stat.Node = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return stat;
  }

  // The renamed entry reaches the disk with its folder (MoveFileExW's
  // write-through does this for a move; a replacement asks for it).
  static void FlushFolderEntry(const std::wstring& target) {
    HANDLE handle = ::CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    ::FlushFileBuffers(handle);
    ::CloseHandle(handle);
  }
};

}  // namespace

TFileSystem& DefaultFileSystem() {
  static TWin32FileSystem system;
  return system;
}

}  // namespace vexmoor
