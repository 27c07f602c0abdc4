// A dump whose CRC-32 and size are those of an entry but whose stronger
// checksum (the strongest the dat gives for that entry) is not: it is not
// that release, and the scan does not mark the entry for it. A scan lists
// each such pairing in its outcome, in the order it met them; a report
// names them "Checksum mismatch".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/RomItem.h"

namespace vexmoor {

struct TChecksumMismatch {
  std::string Path;    // the loose dump, or the archive that holds it
  std::string Member;  // the archive member's stored name; "" for a loose dump
  uint64_t Size = 0;   // the dump's size (a trimmed dump's as it lies, unpadded)
  uint32_t Crc = 0;    // the dump's CRC-32 (a trimmed dump's as it lies)
  size_t Entry = 0;    // catalogue position of the entry it was taken for
  uint8_t Checksum = 0;  // the TDigestKind that differed (catalogue/DigestKind.h)
};

// One line naming the dump and the entry: "Checksum mismatch: PATH has the
// CRC-32 and size of INDEX NAME but another SHA-1" (a member as
// ARCHIVE\MEMBER).
std::string ChecksumMismatchText(const TChecksumMismatch& mismatch, const TRomItem& entry);

}  // namespace vexmoor
