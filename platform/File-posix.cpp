#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/Errors.h"
#include "platform/FileWait.h"

namespace vexmoor {

namespace {

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
  throw IoError(what + " \"" + path + "\". " + SystemErrorText(error));
}

std::atomic<TFileOpenHook> fileOpenHook{nullptr};

}  // namespace

void SetFileOpenHook(TFileOpenHook hook) { fileOpenHook = hook; }

std::string SystemErrorText(int error) { return std::strerror(error); }

InputFile::InputFile(const std::string& path) : path_(path) {
  if (const TFileOpenHook hook = fileOpenHook.load(std::memory_order_relaxed)) hook(path);
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    const int error = errno;
    throw FileOpenError("Cannot open file \"" + path + "\". " + SystemErrorText(error));
  }
  struct stat info {};
  if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw FileOpenError("Cannot open file \"" + path + "\". " + SystemErrorText(EISDIR));
  }
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

size_t InputFile::Read(void* buffer, size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) ThrowIo("Cannot read file", path_, errno);
  }
}

size_t InputFile::ReadFull(void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const size_t got = Read(out + done, size - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowIo("Cannot read file", path_, errno);
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

void InputFile::Seek(uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) ThrowIo("Cannot seek in file", path_, errno);
}

uint64_t InputFile::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) ThrowIo("Cannot read file", path_, errno);
  return static_cast<uint64_t>(info.st_size);
}

void InputFile::AdviseSequential() {
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

void DropCachedPages(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  ::fdatasync(fd);
#ifdef POSIX_FADV_DONTNEED
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
#endif
  ::close(fd);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ReadWholeFile(const std::string& path) {
  InputFile file(path);
  std::string data;
  data.resize(static_cast<size_t>(file.Size()));
  data.resize(file.ReadFull(data.data(), data.size()));
  // A file that grew while we read it: take the rest too.
  char block[65536];
  while (const size_t got = file.Read(block, sizeof block)) data.append(block, got);
  return data;
}

namespace {

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

namespace {

// The file a write to `path` should replace: the target of a link, so the
// link survives, or the path itself.
std::string ReplacementTarget(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target = real;
  std::free(real);
  return target;
}

// The mode the replacement takes: the old file's, or a new file's.
mode_t ReplacementMode(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::string& requested, std::string_view data) {
  const std::string path = ReplacementTarget(requested);
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) ThrowIo("Cannot create file", temp, errno);
  int error = 0;
  try {
    WriteAll(fd, data, temp);
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  ::fchmod(fd, ReplacementMode(path));
  if (::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    ThrowIo("Cannot write file", requested, error);
  }
}

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowIo("Cannot delete file", path, errno);
}

void CopyFileAtomically(const std::string& source, const std::string& target) {
  WriteFileAtomically(target, ReadWholeFile(source));
}

void MakeExecutable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) ThrowIo("Cannot read file", path, errno);
  const mode_t mode = info.st_mode & 07777;
  if (::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) != 0) ThrowIo("Cannot change file", path, errno);
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat one {}, two {};
  return ::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &two) == 0 &&
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
