// What a file is on disk without reading it: which file (device and node)
// and which version of its content (size and times). Two equal stamps of one
// path mean the content is the same, provided the change time was not within
// the file system's time step of the first reading (see ChecksumSession).
// The POSIX implementation lives in FileStamp-posix.cpp; a Windows one takes
// the volume serial, the file index and the basic information's ChangeTime.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexmoor {

struct TFileStamp {
  uint64_t Device = 0;
  uint64_t Node = 0;
  uint64_t Size = 0;
  // Nanoseconds since 1970-01-01 UTC. The modification time can be set to
  // anything by a program; the status-change time moves with every write,
  // rename or change of the times and cannot be set back.
  int64_t ModifiedNs = 0;
  int64_t ChangedNs = 0;
  friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};

// The stamp of the regular file at `path`, links followed; nothing when the
// path cannot be examined or is not a regular file. Never throws.
std::optional<TFileStamp> FileStamp(const std::string& path);

// FileStamp for one walk's files on one thread, which come folder by folder.
// On POSIX the folder of the last file is kept open and the next file of the
// same folder is stamped relative to it, so that the system does not walk
// the whole path again for every file; elsewhere it is FileStamp. Each
// stamp still comes from one status of the file itself, taken now. The
// folder stays open until a file of another folder comes or the stamper
// goes: keep it no longer than the walk, so that no folder is held open
// after it (a drive could not be ejected).
class TFolderStamper {
 public:
  TFolderStamper() = default;
  ~TFolderStamper();
  TFolderStamper(const TFolderStamper&) = delete;
  TFolderStamper& operator=(const TFolderStamper&) = delete;

  // As FileStamp(path).
  std::optional<TFileStamp> Stamp(const std::string& path);

 private:
  void Close();
  std::string folder_;  // of the open folder, with its separator
  int handle_ = -1;     // the open folder (POSIX)
};

// The folder for per-user caches: $XDG_CACHE_HOME when it is an absolute
// path, else $HOME/.cache; "" when neither is known.
std::string UserCacheFolder();

}  // namespace vexmoor
