// The system's file system on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileStamp-posix.h"
#include "platform/FileSystem-posix.h"
#include "platform/FileSystem.h"
#include "platform/FileSystem-system.h"
#include "platform/LongPath-posix.h"

namespace vexmoor {

std::string SystemErrorText(int error) { return std::strerror(error); }

namespace {

class TPosixReadableFile : public TReadableFile {
 public:
  TPosixReadableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TPosixReadableFile() override { ::close(fd_); }
  TPosixReadableFile(const TPosixReadableFile&) = delete;
  TPosixReadableFile& operator=(const TPosixReadableFile&) = delete;

  size_t Read(void* buffer, size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) ThrowFileError(TFileOp::Read, path_, errno);
    }
  }
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) override {
    for (;;) {
      const ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) ThrowFileError(TFileOp::Read, path_, errno);
    }
  }
  void Seek(uint64_t offset) override {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
      ThrowFileError(TFileOp::Read, path_, errno);
  }
  uint64_t Size() override {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowFileError(TFileOp::Read, path_, errno);
    return static_cast<uint64_t>(info.st_size);
  }
  void AdviseSequential() override {
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  }

 private:
  int fd_;
  std::string path_;
};

class TPosixWritableFile : public TWritableFile {
 public:
  TPosixWritableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TPosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  TPosixWritableFile(const TPosixWritableFile&) = delete;
  TPosixWritableFile& operator=(const TPosixWritableFile&) = delete;

  void Write(std::string_view data) override {
    while (!data.empty()) {
      const ssize_t put = ::write(fd_, data.data(), data.size());
      if (put < 0) {
        if (errno == EINTR) continue;
        ThrowFileError(TFileOp::Write, path_, errno);
      }
      data.remove_prefix(static_cast<size_t>(put));
      written_ += static_cast<uint64_t>(put);
    }
    StartWriteback(kWritebackBytes);
  }
  void StartFlush() override { StartWriteback(1); }
  void Flush() override {
    if (::fsync(fd_) != 0) ThrowFileError(TFileOp::Flush, path_, errno);
  }
  void Close() override {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowFileError(TFileOp::Write, path_, errno);
  }

 private:
  // Every file written here is flushed before it counts: the disk starts on
  // each few mebibytes as soon as they are written, so the flush at the end
  // waits for the last of them, not for the whole file (a large copy then
  // costs about the disk's time or the copy's, not both). Only a hint: a
  // failure is the flush's to report. Starts once `least` bytes wait.
  static constexpr uint64_t kWritebackBytes = uint64_t{4} << 20;
  void StartWriteback([[maybe_unused]] uint64_t least) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (fd_ < 0 || written_ - started_ < least) return;
    ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                      SYNC_FILE_RANGE_WRITE);
    started_ = written_;
#endif
  }

  int fd_;
  std::string path_;
  uint64_t written_ = 0;  // bytes written so far
  uint64_t started_ = 0;  // of them, handed to the disk by StartWriteback
};

// The process's umask. It can only be learned by setting it, and while it
// is 0 any other thread's new file is made 0666; so it is learned once,
// while the program's static objects are made and no other thread runs.
// Nothing in the program changes it later.
mode_t LearnUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}
const mode_t kUmask = LearnUmask();

// The mode a file replacing `path` takes: the old file's, or a new file's.
mode_t ReplacementMode(const std::string& path) {
  struct stat info {};
  if (StatPath(path, info) == 0) return info.st_mode & 07777;
  return 0666 & ~kUmask;
}

TFileType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return TFileType::Regular;
  if (S_ISDIR(mode)) return TFileType::Folder;
  return TFileType::Other;
}

// A link whose status fails this way is dangling, or a loop.
TFileStat StatOf(const struct stat& info) {
  return {TypeOf(info.st_mode), static_cast<uint64_t>(info.st_size),
          static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// Opens `path` without blocking on a FIFO or device: -1 with errno set.
int OpenNonBlocking(const std::string& path) {
  int fd;
  do {
    fd = OpenPath(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool LeadsNowhere(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

// Opens `folder` for reading its entries; throws IoError.
DIR* OpenListing(const std::string& folder) {
  int fd;
  do {
    fd = OpenPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowFileError(TFileOp::List, folder, errno);
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    const int error = errno;
    ::close(fd);
    ThrowFileError(TFileOp::List, folder, error);
  }
  return listing;
}

class TPosixFileSystem : public TFileSystem {
 public:
  std::unique_ptr<TReadableFile> OpenRead(const std::string& path) override {
    // Non-blocking, so that opening a FIFO without a writer returns at once
    // and its type can be refused below. A regular file reads the same
    // with the flag set, so it is left on.
    const int fd = OpenNonBlocking(path);
    if (fd < 0) ThrowFileError(TFileOp::Open, path, errno);
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0) error = errno;
    else if (S_ISDIR(info.st_mode)) error = EISDIR;
    else if (!S_ISREG(info.st_mode)) error = EINVAL;
    if (error != 0) {
      ::close(fd);
      if (error == EINVAL) {
        throw FileOpenError("Cannot open file \"" + path + "\". It is not a regular file", error);
      }
      ThrowFileError(TFileOp::Open, path, error);
    }
    return std::make_unique<TPosixReadableFile>(fd, path);
  }

  TOpenedPath OpenIfFile(const std::string& path) override {
    TOpenedPath opened;
    const int fd = OpenNonBlocking(path);
    if (fd < 0) return NotOpened(*this, path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      opened.Stat.Error = errno;
      ::close(fd);
      return opened;
    }
    opened.Stat = StatOf(info);
    if (!S_ISREG(info.st_mode)) {
      ::close(fd);
      return opened;
    }
    opened.Stamp = StampOfStatus(info);
    opened.File = std::make_unique<TPosixReadableFile>(fd, path);
    return opened;
  }

  std::unique_ptr<TWritableFile> CreateTemporary(const std::string& target,
                                                 std::string& created) override {
    created = target + std::string(kTemporaryMarker) + "XXXXXX";
    const int fd = ::mkstemp(created.data());
    if (fd < 0) ThrowFileError(TFileOp::Open, created, errno);
    ::fchmod(fd, ReplacementMode(target));
    return std::make_unique<TPosixWritableFile>(fd, created);
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowFileError(TFileOp::Rename, to, errno);
  }

  void RenameNoReplace(const std::string& from, const std::string& to) override {
    RenameNoReplaceWith(SystemNoReplaceRename, from, to);
  }

  void Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowFileError(TFileOp::Remove, path, errno);
  }

  std::vector<TListedEntry> List(const std::string& folder) override {
    DIR* listing = OpenListing(folder);
    std::vector<TListedEntry> entries;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(listing);
      if (entry == nullptr) break;
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      TFileType type = entry->d_type == DT_REG   ? TFileType::Regular
                       : entry->d_type == DT_DIR ? TFileType::Folder
                                                 : TFileType::Other;
      // Relative to the listing, so that the folder's path may be of any
      // length.
      struct stat info {};
      int error = 0;
      if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
        error = ::fstatat(::dirfd(listing), entry->d_name, &info, 0) == 0 ? 0 : errno;
        type = error == 0 ? TypeOf(info.st_mode) : TFileType::Missing;
      }
      if (type == TFileType::Regular || type == TFileType::Folder)
        entries.push_back({entry->d_name, type == TFileType::Folder, 0});
      else if (error != 0 && !LeadsNowhere(error))
        entries.push_back({entry->d_name, false, error});
    }
    const int error = errno;
    ::closedir(listing);
    if (error != 0) ThrowFileError(TFileOp::List, folder, error);
    return entries;
  }

  TFileStat Stat(const std::string& path) override {
    struct stat info {};
    if (StatPath(path, info) != 0) {
      TFileStat missing;
      missing.Error = errno;
      return missing;
    }
    return StatOf(info);
  }

  std::string ResolveLinks(const std::string& path) override {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string target = real;
    std::free(real);
    return target;
  }
};

}  // namespace

int SystemNoReplaceRename(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
  errno = ENOSYS;
  return -1;
#endif
}

void RenameNoReplaceWith(TNoReplaceRenameCall rename, const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) == 0) return;
  // EINVAL: the file system has no such rename (some network and FUSE
  // ones); ENOSYS: the kernel has none. Anything else is the answer.
  if (errno != EINVAL && errno != ENOSYS) ThrowFileError(TFileOp::Rename, to, errno);
  // A second name never replaces: link() fails with EEXIST when `to` is
  // taken. Once it stands, the temporary name goes; a failure to remove
  // it leaves the file under both names, the target complete.
  if (::link(from.c_str(), to.c_str()) != 0) ThrowFileError(TFileOp::Rename, to, errno);
  ::unlink(from.c_str());
}

TFileSystem& DefaultFileSystem() {
  static TPosixFileSystem system;
  return system;
}

}  // namespace vexmoor
