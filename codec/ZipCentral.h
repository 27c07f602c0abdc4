// The zip central directory: the end record found backwards from the end of
// the file, then one header per member. The scan lists archives with it
// (tolerant of damage) and the dat loader finds a zipped dat with it
// (strict). docs/formats/zip-directory.md and docs/formats/zipped-dat.md.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vexmoor {

class TInputFile;

// One central-directory file header, as far as the readers keep it.
struct TZipRecord {
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc = 0;
  uint64_t PackedSize = 0;  // widened from the zip64 extra field when saturated (Tolerant)
  uint64_t UnpackedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
  std::string Name;
  std::string Extra;  // the extra fields as stored (Tolerant)
};

// The end record lies within the last 22 + 65535 bytes (record plus the
// longest comment).
constexpr uint64_t kZipEndSearchSpan = 65557;

enum class TZipReading {
  // The scan's rules: the end record is the last candidate in the search
  // span whose directory offset leads to a central header (through the
  // zip64 records when the offset is saturated), else the last one with an
  // empty directory; a file without one gives no member; the walk stops at
  // the first header that is not a central one or that the end of the file
  // cuts short, without it. What was not read whole is told, not thrown:
  // no end record leading to a directory (a zip cut short loses it), or a
  // walk that ends before the count of headers the end record (or the
  // zip64 end record) gives; a 16-bit count of 0xFFFF is not checked.
  Tolerant,
  // The dat loader's rules: the end record is the last one in the search
  // span, and the directory its size and offset give must lie within the
  // file; the walk covers that directory, stopping at the first header that
  // is not a central one, and a header it cuts short is damage. Damage
  // throws FormatError ("The zip "<path>" cannot be read: ...").
  Strict,
};

// Calls `each` with every central header of the zip `file`, in directory
// order, and returns "" or, read Tolerant, why the directory was not read
// whole ("Damaged zip archive: ..."). Throws IoError when a read fails.
std::string ReadZipCentralDirectory(TInputFile& file, TZipReading reading,
                                    const std::function<void(TZipRecord&)>& each);

// Throws FormatError "The zip "<path>" cannot be read: <why>".
[[noreturn]] void ThrowZipDamaged(const std::string& path, const std::string& why);

}  // namespace vexmoor
