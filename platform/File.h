// Files as the core sees them: plain C++ over the file system of
// platform/FileSystem.h (the system's own unless a test installs another).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace vexmoor {

class IoError;
class TReadableFile;
class TWritableFile;

// A file opened read-only that other programs may still read and write.
// Reads go straight to the system: callers read in large blocks.
class TInputFile {
 public:
  // Throws FileOpenError naming the path and the system's reason; anything
  // that is not a regular file (a folder, a FIFO, a device) is refused
  // without blocking.
  explicit TInputFile(const std::string& path);
  // A file already opened as `path` (TFileSystem::OpenIfFile).
  TInputFile(std::string path, std::unique_ptr<TReadableFile> file);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;
  TInputFile(TInputFile&& other) noexcept;
  TInputFile& operator=(TInputFile&& other) noexcept;

  // Reads up to `size` bytes at the current position; returns how many were
  // read, 0 only at end of file. Throws IoError when the read fails.
  size_t Read(void* buffer, size_t size);
  // Reads until `size` bytes or end of file; returns how many were read.
  size_t ReadFull(void* buffer, size_t size);
  // Reads up to `size` bytes at `offset` without moving the position. The
  // one call several threads may make at the same time.
  size_t ReadAt(uint64_t offset, void* buffer, size_t size);
  void Seek(uint64_t offset);
  uint64_t Size() const;
  // Tells the system the file will be read once, front to back.
  void AdviseSequential();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<TReadableFile> file_;
};

// Writes the file's pages out and drops them from the page cache, so the
// next read comes from the disk. For benchmarks; failures are ignored.
void DropCachedPages(const std::string& path);

// True when something (file or folder) exists at the path.
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);

// Reads a whole file. Throws FileOpenError or IoError.
std::string ReadWholeFile(const std::string& path);

// Replaces the file at `path` with `data` so that a crash or a full disk never
// leaves a partial file behind: a TPendingFile committed at once. Throws
// IoError naming `path`; the old file is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view data);

// Every temporary file the program writes is named after the file it will
// replace, then kTemporaryMarker and six letters or digits
// ("Quen-NDS.qdat.vexmoor-a1B2c3"), so that one a killed run left behind is
// told apart from anybody else's files.
inline constexpr std::string_view kTemporaryMarker = ".vexmoor-";
// A temporary of ours that nothing wrote to for this long is stale: every
// writer writes on (a download fails after 60 s without 1 KiB) or finishes.
inline constexpr std::chrono::minutes kStaleTemporaryAge{10};

// True for a file name of the kind the program's temporaries have.
bool IsOwnTemporaryName(std::string_view name);
// Removes from `folder` every stale temporary of ours: a regular file (never
// a link, a folder or anything else) whose name IsOwnTemporaryName accepts
// and that was not modified for `age`. Returns how many went. Never throws:
// what cannot be listed, examined or removed stays.
size_t RemoveStaleTemporaries(const std::string& folder,
                              std::chrono::seconds age = kStaleTemporaryAge);

// A replacement of the file at `path` prepared beside it: a new temporary
// file in the same folder (the first one of a run in a folder first removes
// the stale temporaries a killed run left there), filled with Append (or by the constructor that
// takes the data), then renamed over the target by Commit. Destroying it
// uncommitted removes the temporary and leaves the target as it was.
// Several files that belong together (the have and the miss list) are
// prepared first and committed only when all of them were written, through
// CommitTogether. A link
// at `path` is kept: the file it points to is replaced. The old file's
// permissions carry over. Failures throw IoError naming `path`, never the
// temporary; after one the temporary is gone and every later Append or
// Commit throws the same error again.
class TPendingFile {
 public:
  // What Commit replaces when `path` is a link: the file it leads to
  // (Follow), or the link itself, so that nothing is written outside the
  // link's folder (Replace; a download from the network takes this).
  enum class TLinks { Follow, Replace };

  // Creates the empty temporary, to be filled by Append.
  explicit TPendingFile(const std::string& path, TLinks links = TLinks::Follow);
  // Writes `data` to the temporary and flushes it to stable storage.
  TPendingFile(const std::string& path, std::string_view data);
  ~TPendingFile();
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  // Writes `data` after what the temporary holds; the caller's memory is
  // not kept, so a file of any size passes through a small buffer.
  void Append(std::string_view data);
  // Starts writing what the temporary holds to the disk without waiting
  // (a hint), so that a Flush later waits less: for several files written
  // one after another, then flushed and committed together.
  void StartFlush();
  // Writes the temporary out to stable storage and closes it; Commit then
  // only renames. No Append may follow.
  void Flush();
  // Flushes the temporary if Append left it open, then renames it over the
  // target. Committing twice does nothing.
  void Commit();
  // As Commit, but only while nothing is at the target: a file that
  // appeared there meanwhile is never replaced (TFileSystem::
  // RenameNoReplace). Then throws IoError with EEXIST and the temporary is
  // gone. A link at the target counts as taken, whatever TLinks says.
  void CommitNew();

 private:
  void Finish();
  void Put(bool replace);
  [[noreturn]] void Fail(const IoError& error);
  friend void CommitTogether(std::initializer_list<TPendingFile*> files);

  std::string requested_;
  std::string target_;
  std::string temporary_;                // empty once committed or removed
  std::unique_ptr<TWritableFile> file_;  // open until flushed
  std::string failure_;                  // the error that removed the temporary
  int failureCode_ = 0;
};

// Commits `files` in order as one replacement: when one of them cannot be put
// in place, the ones committed before it get their old bytes back (or are
// removed when they are new), so a failure leaves every target as it was.
// The old targets are read into memory first: it is meant for small files
// that belong together (the have and the miss list, a container and its
// source). Throws the failure's IoError, its text extended when a file could
// not be taken back.
void CommitTogether(std::initializer_list<TPendingFile*> files);

// Removes a file; missing files are not an error. Throws IoError otherwise.
void RemoveFile(const std::string& path);

// Copies the file at `source` over `target` as WriteFileAtomically writes:
// through a temporary file beside the target, flushed and renamed over it,
// keeping the target's permission bits. Throws FileOpenError when `source`
// cannot be read, IoError when the target cannot be written.
void CopyFileAtomically(const std::string& source, const std::string& target);

// Lets everyone who may read the file at `path` also run it (a downloaded
// program arrives without the executable bits). Throws IoError.
void MakeExecutable(const std::string& path);

// True when both paths name the same existing file (links followed).
bool IsSameFile(const std::string& first, const std::string& second);

// Appends `text` to the file at `path` in one write, creating the file when
// it is missing. Throws IoError.
void AppendToFile(const std::string& path, std::string_view text);

// What lies at a path a download is about to replace, the path's last
// part not followed when it is a link.
enum class TWriteTargetKind { Missing, Regular, Link, Other };
struct TWriteTargetState {
  TWriteTargetKind Kind = TWriteTargetKind::Missing;
  bool Executable = false;  // a regular file with an executable bit set
};

// Examines `path` without following a link at its last part: a link is
// Link wherever it leads; a regular file is opened with no-follow and
// examined through the open file (so a link put there meanwhile is not
// taken for a file); a folder, FIFO, socket or device is Other, and so is
// a path that cannot be examined for another reason than its absence.
TWriteTargetState ExamineWriteTarget(const std::string& path);

// The system's text for an error number (errno on POSIX).
std::string SystemErrorText(int error);

}  // namespace vexmoor
