// A dat distributed inside a zip: the archive's one ".dat" or ".xml" member,
// unpacked (stored, or deflated through zlib). docs/formats/zipped-dat.md.
#pragma once

#include <cstdint>
#include <string>

namespace vexmoor {

// The largest member unpacked: a dat of more is refused before unpacking.
inline constexpr uint64_t kMaxZippedDatSize = uint64_t{256} << 20;

struct TZippedDat {
  std::string MemberName;  // as the central directory stores it
  std::string Text;        // the unpacked bytes
};

// Reads the zip at `path` and unpacks the one member whose name ends in
// ".dat" or ".xml" (any letter case; folders and other members ignored).
// Throws FormatError when there is no such member or more than one, when it
// is encrypted, packed by a method other than store or deflate, larger than
// kMaxZippedDatSize unpacked, or damaged (headers cut short, data that does
// not inflate to its recorded size, or a CRC-32 that does not match), and
// FileOpenError or IoError when the file cannot be read.
TZippedDat ReadZippedDat(const std::string& path);

}  // namespace vexmoor
