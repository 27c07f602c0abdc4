// The zip central directory: the end record found backwards from the end of
// the file, then one header per member.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/cmpread.h"

namespace vexmoor {

// One central-directory file header, as far as the reader keeps it.
struct TZipRecord {
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc = 0;
  uint64_t PackedSize = 0;  // widened from the zip64 extra field when saturated
  uint64_t UnpackedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  std::string Name;
};

// The end record lies within the last 22 + 65535 bytes (record plus the
// longest comment).
constexpr uint64_t kZipEndSearchSpan = 65557;

// Appends the members of the zip at `path` to `entries` in directory order.
// A file without an end record in the search span adds nothing; a header cut
// short by the end of the file ends the walk without its entry. Throws
// FileOpenError when the file cannot be opened, IoError when a read fails.
void ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries);

}  // namespace vexmoor
