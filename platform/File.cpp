#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace vexmoor {

TInputFile::TInputFile(const std::string& path)
    : path_(path), file_(CurrentFileSystem().OpenRead(path)) {}

TInputFile::TInputFile(std::string path, std::unique_ptr<TReadableFile> file)
    : path_(std::move(path)), file_(std::move(file)) {}

TInputFile::~TInputFile() = default;
TInputFile::TInputFile(TInputFile&& other) noexcept = default;
TInputFile& TInputFile::operator=(TInputFile&& other) noexcept = default;

size_t TInputFile::Read(void* buffer, size_t size) { return file_->Read(buffer, size); }

size_t TInputFile::ReadFull(void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const size_t got = Read(out + done, size - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

size_t TInputFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const size_t got = file_->ReadAt(offset + done, out + done, size - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

void TInputFile::Seek(uint64_t offset) { file_->Seek(offset); }

uint64_t TInputFile::Size() const { return file_->Size(); }

void TInputFile::AdviseSequential() { file_->AdviseSequential(); }

bool PathExists(const std::string& path) {
  return CurrentFileSystem().Stat(path).Type != TFileType::Missing;
}

bool IsFolder(const std::string& path) {
  return CurrentFileSystem().Stat(path).Type == TFileType::Folder;
}

std::string ReadWholeFile(const std::string& path) {
  TInputFile file(path);
  std::string data;
  data.resize(static_cast<size_t>(file.Size()));
  data.resize(file.ReadFull(data.data(), data.size()));
  // A file that grew while we read it: take the rest too.
  char block[65536];
  while (const size_t got = file.Read(block, sizeof block)) data.append(block, got);
  return data;
}

bool IsOwnTemporaryName(std::string_view name) {
  const size_t marker = name.rfind(kTemporaryMarker);
  if (marker == std::string_view::npos || marker == 0) return false;
  const std::string_view random = name.substr(marker + kTemporaryMarker.size());
  const auto alphanumeric = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  return random.size() == 6 && std::all_of(random.begin(), random.end(), alphanumeric);
}

namespace {

// True when `path` itself (a link not followed) is a regular file that was
// not modified for `age`.
bool IsStaleRegularFile(const std::string& path, std::chrono::seconds age) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path native = FilesystemPath(path);
  if (fs::symlink_status(native, error).type() != fs::file_type::regular || error) return false;
  const fs::file_time_type modified = fs::last_write_time(native, error);
  return !error && fs::file_time_type::clock::now() - modified >= age;
}

// Sweeps each folder once per run, before the run's first temporary there.
void SweepOnce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    std::lock_guard lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  RemoveStaleTemporaries(folder);
}

}  // namespace

// The system's own file system, not a test's stand-in: the sweep is no step
// of a write that a test would fail or count.
size_t RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds age) {
  TFileSystem& files = DefaultFileSystem();
  std::vector<TListedEntry> entries;
  try {
    entries = files.List(folder.empty() ? "." : folder);
  } catch (const IoError&) {
    return 0;
  }
  std::string prefix = folder;
  if (!prefix.empty() && kPathSeparators.find(prefix.back()) == std::string_view::npos) {
    prefix += '/';
  }
  size_t removed = 0;
  for (const TListedEntry& entry : entries) {
    if (entry.IsFolder || !IsOwnTemporaryName(entry.Name)) continue;
    const std::string path = prefix + entry.Name;
    if (!IsStaleRegularFile(path, age)) continue;
    try {
      files.Remove(path);
      ++removed;
    } catch (const IoError&) {
      // Another run's to remove, or nobody's: it stays.
    }
  }
  return removed;
}

namespace {

// A failure of any step of a replacement, told as the failure to write the
// file the caller named (never the temporary's name).
[[noreturn]] void ThrowWriteError(const std::string& requested, const IoError& error) {
  ThrowFileError(TFileOp::Write, requested, error.SystemError() ? error.SystemError() : EIO);
}

}  // namespace

TPendingFile::TPendingFile(const std::string& path, TLinks links)
    : requested_(path),
      target_(links == TLinks::Follow ? CurrentFileSystem().ResolveLinks(path) : path) {
  SweepOnce(PathFolder(target_));
  try {
    file_ = CurrentFileSystem().CreateTemporary(target_, temporary_);
  } catch (const IoError& error) {
    temporary_.clear();
    ThrowWriteError(requested_, error);
  }
}

TPendingFile::TPendingFile(const std::string& path, std::string_view data) : TPendingFile(path) {
  Append(data);
  Finish();
}

TPendingFile::~TPendingFile() {
  file_.reset();
  if (temporary_.empty()) return;
  try {
    CurrentFileSystem().Remove(temporary_);
  } catch (const IoError&) {
    // A temporary that cannot be removed stays behind; the target is intact.
  }
}

void TPendingFile::Fail(const IoError& error) {
  if (failure_.empty()) {
    failureCode_ = error.SystemError() ? error.SystemError() : EIO;
    try {
      ThrowWriteError(requested_, error);
    } catch (const IoError& told) {
      failure_ = told.what();
    }
    file_.reset();
    if (!temporary_.empty()) {
      try {
        CurrentFileSystem().Remove(temporary_);
        temporary_.clear();
      } catch (const IoError&) {
        // The destructor tries again.
      }
    }
  }
  throw IoError(failure_, failureCode_);
}

void TPendingFile::Append(std::string_view data) {
  if (!failure_.empty() || !file_) Fail(IoError("", EBADF));
  try {
    file_->Write(data);
  } catch (const IoError& error) {
    Fail(error);
  }
}

void TPendingFile::StartFlush() {
  if (file_ && failure_.empty()) file_->StartFlush();
}

void TPendingFile::Flush() {
  if (!failure_.empty()) Fail(IoError("", EIO));
  Finish();
}

// Writes the temporary out to stable storage and closes it.
void TPendingFile::Finish() {
  if (!file_) return;
  try {
    file_->Flush();
    file_->Close();
    file_.reset();
  } catch (const IoError& error) {
    Fail(error);
  }
}

void TPendingFile::Commit() { Put(true); }

void TPendingFile::CommitNew() { Put(false); }

void TPendingFile::Put(bool replace) {
  if (!failure_.empty()) Fail(IoError("", EIO));
  if (temporary_.empty()) return;
  Finish();
  try {
    if (replace)
      CurrentFileSystem().Rename(temporary_, target_);
    else
      CurrentFileSystem().RenameNoReplace(temporary_, requested_);
  } catch (const IoError& error) {
    Fail(error);
  }
  temporary_.clear();
}

namespace {

// A target as it was before a commit: its bytes, or absent (nullopt).
std::optional<std::string> OldContents(const std::string& path) {
  if (CurrentFileSystem().Stat(path).Type != TFileType::Regular) return std::nullopt;
  return ReadWholeFile(path);
}

// Puts `old` back at `path`; says what could not be, or "".
std::string TakeBack(const std::string& path, const std::string& requested,
                     const std::optional<std::string>& old) {
  try {
    if (old)
      WriteFileAtomically(path, *old);
    else
      RemoveFile(path);
    return "";
  } catch (const IoError& error) {
    return "; \"" + requested + "\" keeps its new contents: " + error.what();
  }
}

}  // namespace

void CommitTogether(std::initializer_list<TPendingFile*> files) {
  std::vector<std::optional<std::string>> old;
  try {
    for (const TPendingFile* file : files) old.push_back(OldContents(file->target_));
  } catch (const IoError& error) {
    ThrowWriteError(files.begin()[old.size()]->requested_, error);
  }
  size_t committed = 0;
  try {
    for (TPendingFile* file : files) {
      file->Commit();
      ++committed;
    }
  } catch (const IoError& error) {
    std::string message = error.what();
    for (size_t i = 0; i < committed; ++i) {
      const TPendingFile& file = *files.begin()[i];
      message += TakeBack(file.target_, file.requested_, old[i]);
    }
    throw IoError(message, error.SystemError());
  }
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
  TPendingFile pending(path, data);
  pending.Commit();
}

void RemoveFile(const std::string& path) { CurrentFileSystem().Remove(path); }

void CopyFileAtomically(const std::string& source, const std::string& target) {
  WriteFileAtomically(target, ReadWholeFile(source));
}

}  // namespace vexmoor
