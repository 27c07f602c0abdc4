// What the checksum store remembers of loose dumps, and how it keeps them:
// the records of one folder's files packed into one blob, in ascending
// order of name, and the records of a scanned folder tree in memory as one
// sorted vector per folder. The blob's layout is described in
// docs/formats/checksum-store.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileStamp.h"
#include "scan/Digest.h"

namespace vexmoor {

// What a read of one loose dump found.
struct TStoredChecksum {
  TStoredChecksum() = default;
  TStoredChecksum(uint32_t crc, bool testedForBadDump, bool badDump)
      : Crc(crc), TestedForBadDump(testedForBadDump), BadDump(badDump) {}

  uint32_t Crc = 0;
  bool TestedForBadDump = false;  // the file matched "*.nds" and was tested
  bool BadDump = false;
  // The strong checksums summed in the same read, of the image of
  // ImageSize bytes (the file's own size, or the full image a trimmed dump
  // was cut from); ImageSize 0 and no sums when none were asked for.
  uint64_t ImageSize = 0;
  TDigests Digests;
  friend bool operator==(const TStoredChecksum&, const TStoredChecksum&) = default;
};

struct TKnownChecksum {
  TFileStamp Stamp;
  TStoredChecksum Sum;
};

// One file of a folder: its name within the folder and what is known of it.
struct TFileRecord {
  std::string Name;
  TKnownChecksum Known;
};

// A key's folders end in the system's separator. On Windows a key may also
// be spelt with '/' (a walk below a root given that way), so both end a
// folder there; elsewhere the two are one.
inline bool IsKeySeparator(char c) {
  return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
}
inline size_t LastKeySeparator(std::string_view key) {
  for (size_t at = key.size(); at > 0; --at)
    if (IsKeySeparator(key[at - 1])) return at - 1;
  return std::string_view::npos;
}

// The position of a path's name: after its last separator (either
// spelling), or npos for a path without one or ending in one (no file name).
size_t FileNameStart(std::string_view path);

// The first eight bytes of a name as a number: two names whose numbers
// differ order as the numbers do (bytes compare unsigned, and the zeros
// that pad a shorter name sort it before any longer one it begins), so a
// sort or search compares whole names only where these are equal.
uint64_t NamePrefix(std::string_view name);

// What a read of one loose dump found, as the scan hands it to the store:
// the strong checksums by reference, and only when they were summed.
struct TReadSums {
  uint32_t Crc = 0;
  bool TestedForBadDump = false;
  bool BadDump = false;
  uint64_t ImageSize = 0;             // 0 when no sums were summed
  const TDigests* Digests = nullptr;  // of the image of ImageSize bytes
};
TReadSums ReadSumsOf(const TStoredChecksum& sum);

// The blob of `files`, which are in ascending order of name with no name
// twice (Write sorts what it is given).
std::string EncodeFolderFiles(const std::vector<TFileRecord>& files);
// Appends the record of the file `name` to `blob`, as EncodeFolderFiles
// writes it: the blob of records appended in ascending order of name is
// EncodeFolderFiles' blob of the same files.
void AppendFileRecord(std::string& blob, std::string_view name, const TFileStamp& stamp,
                      const TReadSums& sums);
// The first record of `blob` (whole, with its length) and its name, taken
// off `blob`; false at the end or when its framing breaks.
bool TakeFileRecord(std::string_view& blob, std::string_view& record, std::string_view& name);

// Reads the records of a blob one by one. A record that is not what this
// program writes (flags it does not know, sums of the wrong length, a name
// that is empty, holds a separator or is not after the one before) is
// passed over; a blob whose framing breaks (a length running past its end)
// ends there and is Broken: whatever the bytes, nothing is read outside
// them.
class TFolderReader {
 public:
  explicit TFolderReader(std::string_view blob) : rest_(blob) {}
  // The next good record into `record`; false at the end.
  bool Next(TFileRecord& record);
  // The same, giving the record's payload and name (within the blob) and
  // what it holds into `*known` when given (without, it is only checked).
  bool Next(std::string_view& payload, std::string_view& name, TKnownChecksum* known);
  bool Broken() const { return broken_; }
  // Records passed over so far.
  uint64_t Rejected() const { return rejected_; }

 private:
  std::string_view rest_;
  std::string_view last_;  // the last good record's name, within the blob
  bool first_ = true;
  bool broken_ = false;
  uint64_t rejected_ = 0;
};

// Every good record of a blob, or nothing when its framing breaks. `hint`
// is how many records the blob claims to hold (a capacity to reserve,
// bounded by what its bytes can hold).
bool DecodeFolderFiles(std::string_view blob, std::vector<TFileRecord>& files, uint64_t hint = 0);

// The records of the files under one folder tree, by folder: each folder's
// blob as stored, with the place of each good record in it, so that loading
// a folder allocates twice, not once per file, and a record is read out
// only when looked up. Looking up a path is a binary search among the
// folders and then among the folder's names. Read-only once filled, so any
// number of threads may look up.
class TKnownChecksums {
 public:
  TKnownChecksums() = default;
  TKnownChecksums(TKnownChecksums&& other) noexcept
      : folders_(std::move(other.folders_)), files_(std::exchange(other.files_, 0)) {}
  TKnownChecksums& operator=(TKnownChecksums&& other) noexcept {
    folders_ = std::move(other.folders_);
    files_ = std::exchange(other.files_, 0);
    lastFolder_ = 0;
    return *this;
  }

  // Adds the good records of the blob of `folder` whose names begin with
  // `namePrefix`, or none when the blob's framing breaks. Folders must come
  // in ascending order (as the store's SELECT gives them). `eachRead`
  // (when set) runs before each good record is taken.
  void AddFolder(std::string folder, std::string_view blob, std::string_view namePrefix = {},
                 const std::function<void()>& eachRead = {});

  std::optional<TKnownChecksum> Find(std::string_view path) const { return Find(path, {}); }
  // The record of the path `head` + `tail`, without joining them.
  std::optional<TKnownChecksum> Find(std::string_view head, std::string_view tail) const;
  size_t count(std::string_view path) const { return Find(path) ? 1 : 0; }
  // Throws std::out_of_range for a path without a record.
  TKnownChecksum at(std::string_view path) const;
  size_t size() const { return files_; }
  bool empty() const { return files_ == 0; }
  void clear();
  // Lets go of up to `files` records, the last ones first; returns how many.
  size_t Release(size_t files);
  // Calls `each(path, known)` for every record, in order of folder and name.
  template <typename F>
  void ForEach(F&& each) const {
    for (const TFolder& folder : folders_)
      for (const TRecordAt record : folder.Records)
        each(folder.Path + std::string(folder.Name(record)), folder.Decode(record));
  }

 private:
  // A good record within its folder's blob: its name, the rest of the
  // record after it; Prefix orders the first bytes of the name.
  struct TRecordAt {
    uint64_t Prefix;
    uint32_t Name;
    uint32_t NameSize;
  };
  struct TFolder {
    std::string Path;  // with its separator at the end
    std::string Blob;
    std::vector<TRecordAt> Records;  // the good ones, in ascending order of name
    std::string_view Name(TRecordAt record) const;
    TKnownChecksum Decode(TRecordAt record) const;
  };
  std::vector<TFolder> folders_;
  size_t files_ = 0;
  // The folder of the last lookup: a walk looks up a folder's files one
  // after another. Only a hint, so any thread may set it.
  mutable std::atomic<size_t> lastFolder_{0};
};

}  // namespace vexmoor
