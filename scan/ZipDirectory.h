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
  std::string Extra;  // the extra fields as stored
};

// The end record lies within the last 22 + 65535 bytes (record plus the
// longest comment).
constexpr uint64_t kZipEndSearchSpan = 65557;

// Appends the members of the zip at `path` to `entries` in directory order
// and returns "" when the whole directory was read, or why not (the
// archive is damaged or encrypted; the members read stay):
//  - no end record in the search span leads to a directory (a zip cut
//    short loses its end): nothing is added;
//  - the walk ends (a header cut short by the end of the file, a header
//    without its signature) before the count the end record announces;
//  - members encrypted with AES whose CRC is not stored (AE-2): they are
//    left out, the others kept.
// Throws FileOpenError when the file cannot be opened, IoError when a read
// fails.
std::string ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries);

}  // namespace vexmoor
