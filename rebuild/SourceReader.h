// The bytes of a dump, loose or inside a zip, 7z or rar archive. Archive
// members are unpacked through libarchive (scan/archive/ArchiveCursor) as
// they are read, never to disk.
// Every file is opened through the core's file system (platform/File.h),
// so a test's fault file system sees these reads too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/File.h"
#include "scan/archive/ArchiveCursor.h"

namespace vexmoor {

// Reads one dump: the loose file `path`, or the member named `member` of
// the archive `path`.
class TSourceReader {
 public:
  // Throws FileOpenError, FormatError, or Error when the archive holds no
  // member of that name.
  TSourceReader(const std::string& path, const std::string& member);
  // Up to `size` bytes; 0 at the end. Throws IoError or FormatError.
  size_t Read(void* buffer, size_t size);

 private:
  std::unique_ptr<TInputFile> loose_;
  std::unique_ptr<TArchiveCursor> archive_;
};

}  // namespace vexmoor
