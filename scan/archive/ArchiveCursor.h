// An archive's members unpacked through libarchive as they are read, never
// to disk: what the scan's verification of archive members and the
// rebuild's copies of them share. Every file is opened through the core's
// file system (platform/File.h), so a test's fault file system sees these
// reads too; memory stays one block however large a member claims to be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/File.h"

struct archive;
struct archive_entry;

namespace vexmoor {

// An archive opened for reading through libarchive, its headers read one
// by one. Owns the archive handle and the file under it.
class TArchiveCursor {
 public:
  // Throws FileOpenError when the file cannot be opened, FormatError when
  // it is no zip, 7z or rar archive libarchive can read.
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

 private:
  [[noreturn]] void Fail(const std::string& what);
  static long ReadBlock(archive*, void* self, const void** block);
  static int64_t SeekTo(archive*, void* self, int64_t offset, int whence);

  TInputFile file_;
  archive* archive_ = nullptr;
  archive_entry* lastEntry_ = nullptr;  // owned by archive_
  std::vector<char> block_;
  uint64_t position_ = 0;  // where the next read of file_ begins
  // The first failure of the file under the archive, rethrown as itself.
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
