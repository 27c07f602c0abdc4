// An archive's members unpacked through libarchive as they are read, never
// to disk: what the scan's verification of archive members and the
// rebuild's copies of them share. Every file is opened through the core's
// file system (platform/File.h), so a test's fault file system sees these
// reads too; memory stays one block however large a member claims to be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"

struct archive;
struct archive_entry;

namespace vexmoor {

// An archive opened for reading through libarchive, its headers read one
// by one. Owns the archive handle and the files under it: a rar archive
// that is a volume of a set (or the first of its byte pieces), and a 7z
// archive split into ".001", ".002" ..., is read with all of the set's
// volumes in order, so a member that spans volumes is read whole.
class TArchiveCursor {
 public:
  // Throws FileOpenError when the file (or a volume) cannot be opened,
  // FormatError when it is no zip, 7z or rar archive libarchive can read.
  explicit TArchiveCursor(const std::string& path);
  ~TArchiveCursor();
  TArchiveCursor(const TArchiveCursor&) = delete;
  TArchiveCursor& operator=(const TArchiveCursor&) = delete;

  // Moves to the next regular file; false at the end. Sets `name` to its
  // stored name and `size` to its unpacked size (0 when the header leaves
  // it out). Throws FormatError on damage.
  bool NextFile(std::string& name, uint64_t& size);
  // Up to `size` bytes of the current member; 0 at its end. Throws
  // FormatError when the data is damaged, encrypted or in a method
  // libarchive cannot unpack, IoError when the file cannot be read.
  size_t Read(void* buffer, size_t size);
  // True when the current member's stored name (as UTF-8 or as the
  // locale gives it) is `name`.
  bool CurrentIs(const std::string& name) const;
  // The files read as this archive: the set's volumes in order, or the
  // archive alone.
  std::vector<std::string> Volumes() const;

 private:
  // One file under the archive, opened while libarchive reads from it.
  struct TVolume {
    TArchiveCursor* Owner = nullptr;
    std::string Path;
    std::unique_ptr<TInputFile> File;
    uint64_t Position = 0;  // where the next read of File begins
  };
  [[noreturn]] void Fail(const std::string& what);
  // libarchive's la_ssize_t: long on Linux, long long on 64-bit Windows.
  static std::ptrdiff_t ReadBlock(archive*, void* volume, const void** block);
  static int64_t SeekTo(archive*, void* volume, int64_t offset, int whence);
  static int OpenVolume(archive*, void* volume);
  static int CloseVolume(archive*, void* volume);

  std::string path_;  // the archive assigned
  std::vector<std::unique_ptr<TVolume>> volumes_;
  archive* archive_ = nullptr;
  archive_entry* lastEntry_ = nullptr;  // owned by archive_
  std::vector<char> block_;
  // The first failure of a file under the archive, rethrown as itself.
  std::exception_ptr fileError_;
};

// A stored member name with its folder separators as libarchive gives
// them: rar stores '\', which libarchive turns into '/'.
std::string SlashedMemberName(std::string name);

// The regular members of the archive at `path`, by stored name and size.
struct TArchiveMember {
  std::string Name;
  uint64_t Size = 0;
};
std::vector<TArchiveMember> ListArchive(const std::string& path);

}  // namespace vexmoor
