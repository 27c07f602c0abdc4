// What the core asks of the file system, behind one small interface: open,
// read, write, flush, rename, remove, list and stat. The core's file calls
// (TInputFile, ReadWholeFile, WriteFileAtomically, ListFolder, PathExists ...)
// all go through CurrentFileSystem(), which is the system's own unless a
// test installs another: a TFileSystemWrapper that passes every call on and
// changes the few it wants to fail or slow down (platform/FaultFileSystem.h).
//
// Errors: every method reports a failure by throwing IoError (FileOpenError
// for an open) whose SystemError() is the system's error number and whose
// text names the path; ThrowFileError builds them so that a test double's
// failures read exactly as the system's do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileStamp.h"

namespace vexmoor {

// The calls a fault can be injected into.
enum class TFileOp { Open, Read, Write, Flush, Rename, Remove, List, Stat };

// Throws the error `op` raises on `path` for the system error `error`:
// FileOpenError "Cannot open file "path". reason" for Open, IoError with
// "Cannot read file", "Cannot write file", "Cannot rename file",
// "Cannot delete file", "Cannot list folder" or "Cannot examine" otherwise.
[[noreturn]] void ThrowFileError(TFileOp op, const std::string& path, int error);
// The text of that error: "Cannot examine "path". Permission denied".
std::string FileErrorText(TFileOp op, const std::string& path, int error);

// A file opened for reading. Not shared between threads at once, except
// that several threads may call ReadAt at the same time (the stripes of one
// large file are summed on several threads).
class TReadableFile {
 public:
  virtual ~TReadableFile() = default;
  // Up to `size` bytes at the current position; 0 only at the end.
  virtual size_t Read(void* buffer, size_t size) = 0;
  // Up to `size` bytes at `offset` without moving the position; fewer only
  // at the end or after a short read of the system, 0 at the end.
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
  virtual void Seek(uint64_t offset) = 0;
  virtual uint64_t Size() = 0;
  // The file will be read once, front to back (a hint; may do nothing).
  virtual void AdviseSequential() {}
};

// A new file being written. Close() must be called for the bytes to count;
// destroying an unclosed file closes it and ignores any error.
class TWritableFile {
 public:
  virtual ~TWritableFile() = default;
  // All of `data`, or a throw.
  virtual void Write(std::string_view data) = 0;
  // Starts writing what was written to the disk without waiting for it (a
  // hint; may do nothing), so that a Flush later waits less.
  virtual void StartFlush() {}
  // To stable storage (fsync).
  virtual void Flush() = 0;
  virtual void Close() = 0;
};

enum class TFileType { Missing, Regular, Folder, Other };

// What Stat tells of a path, links followed. A dangling link is Missing; a
// FIFO, socket or device is Other. A path that could not be examined is
// Missing with Error set to the system's reason: ENOENT or ENOTDIR when
// nothing is there, anything else (EACCES, EIO, ELOOP ...) when something
// may be there that could not be looked at.
struct TFileStat {
  TFileType Type = TFileType::Missing;
  uint64_t Size = 0;
  uint64_t Device = 0;
  uint64_t Node = 0;
  int Error = 0;
};

// A path examined and, when it is a regular file, opened: what
// TFileSystem::OpenIfFile returns. File is set only for a regular file that
// could be opened; OpenFailure is what OpenRead threw when a regular file
// could not be; Stamp is the regular file's stamp, taken before any byte is
// read.
struct TOpenedPath {
  TFileStat Stat;
  std::unique_ptr<TReadableFile> File;
  std::exception_ptr OpenFailure;
  std::optional<TFileStamp> Stamp;
};

// One entry of a folder listing: regular files and folders (links to them
// count as what they lead to), and entries whose kind could not be told
// (Error is then the system's reason, IsFolder false): a link that leads
// where one may not look, a status that could not be read. A FIFO, socket,
// device, dangling link or link loop is not listed.
struct TListedEntry {
  std::string Name;
  bool IsFolder = false;
  int Error = 0;
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // Opens a regular file for reading, while others may read and write it;
  // the path may be of any length.
  // Never blocks on a FIFO or device: anything that is not a regular file
  // is refused with FileOpenError.
  virtual std::unique_ptr<TReadableFile> OpenRead(const std::string& path) = 0;
  // Creates a new file with a name of its own in the folder of `target`,
  // with the permissions `target` has (or a new file's), and stores its
  // path in `created`.
  virtual std::unique_ptr<TWritableFile> CreateTemporary(const std::string& target,
                                                         std::string& created) = 0;
  // Renames `from` to `to`, replacing `to`.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Renames `from` to `to` only while nothing is at `to` (a file, a folder,
  // a link even if it leads nowhere), in one step of the system's, so a
  // file that appears at `to` meanwhile is never replaced: then throws
  // IoError with EEXIST and nothing changes. Where the file system cannot
  // rename so, `to` is made a second name of the file (which fails the same
  // way when taken) and `from` removed.
  virtual void RenameNoReplace(const std::string& from, const std::string& to) = 0;
  // Removes a file; one that is not there is no error.
  virtual void Remove(const std::string& path) = 0;
  // The entries of `folder` as TListedEntry tells ("." and ".." left out),
  // in the order the system returns them; `folder` may be of any length.
  // Throws IoError when the folder cannot be opened or read to its end.
  virtual std::vector<TListedEntry> List(const std::string& folder) = 0;
  // Never throws: what cannot be examined is Missing, with the reason.
  // Paths of any length work.
  virtual TFileStat Stat(const std::string& path) = 0;
  // Stat and, for a regular file, OpenRead and its stamp in one step; never
  // throws for the path's sake (only a failed allocation). This version
  // makes exactly those calls, so a wrapper's faults apply to each; the
  // system's own opens first and takes the type, size and stamp from the
  // open file (one open, one status per file, and a FIFO still never
  // blocks).
  virtual TOpenedPath OpenIfFile(const std::string& path);
  // The file a link leads to, so that replacing it keeps the link; the
  // path itself when it is no link or leads nowhere.
  virtual std::string ResolveLinks(const std::string& path) = 0;
};

// The system's own file system.
TFileSystem& DefaultFileSystem();
// The file system the core's file calls use now.
TFileSystem& CurrentFileSystem();

// Makes `replacement` the current file system for the lifetime of the
// object, then restores the one before. For tests: install it before any
// thread that uses files starts, and keep `replacement` alive meanwhile.
class TFileSystemOverride {
 public:
  explicit TFileSystemOverride(TFileSystem& replacement);
  ~TFileSystemOverride();
  TFileSystemOverride(const TFileSystemOverride&) = delete;
  TFileSystemOverride& operator=(const TFileSystemOverride&) = delete;

 private:
  TFileSystem* previous_;
};

// Passes every call on to `target`; derive from it and override what a test
// changes.
class TFileSystemWrapper : public TFileSystem {
 public:
  explicit TFileSystemWrapper(TFileSystem& target) : target_(target) {}
  TFileSystem& Target() const { return target_; }

  std::unique_ptr<TReadableFile> OpenRead(const std::string& path) override {
    return target_.OpenRead(path);
  }
  std::unique_ptr<TWritableFile> CreateTemporary(const std::string& target,
                                                 std::string& created) override {
    return target_.CreateTemporary(target, created);
  }
  void Rename(const std::string& from, const std::string& to) override { target_.Rename(from, to); }
  void RenameNoReplace(const std::string& from, const std::string& to) override {
    target_.RenameNoReplace(from, to);
  }
  void Remove(const std::string& path) override { target_.Remove(path); }
  std::vector<TListedEntry> List(const std::string& folder) override { return target_.List(folder); }
  TFileStat Stat(const std::string& path) override { return target_.Stat(path); }
  std::string ResolveLinks(const std::string& path) override { return target_.ResolveLinks(path); }

 private:
  TFileSystem& target_;
};

}  // namespace vexmoor
