// Reading the fields of a 7z header from its bytes. Every read is checked
// against the bytes left; running out, or a count that cannot fit in them,
// raises SevenZipHeaderError. Used by the header parser only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "scan/archive/SevenZipHeader.h"

namespace vexmoor::sevenzip {

[[noreturn]] void Damaged(const char* what);

class TCursor {
 public:
  explicit TCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Remaining() const { return bytes_.size() - at_; }
  uint8_t Byte();
  uint32_t U32();
  // The variable-length number: the leading one bits of the first byte
  // count the bytes that follow, which hold the low part little-endian.
  uint64_t Number();
  // A number that counts items each stored in at least one byte of what
  // follows, so it can be no larger than the bytes left.
  uint64_t Count();
  std::span<const uint8_t> Bytes(uint64_t count);
  // A cursor over the next `size` bytes, which this one steps over.
  TCursor Sub(uint64_t size);
  void Expect(uint8_t id, const char* what);
  // Steps over a property's data: its size, then that many bytes.
  void SkipData() { Bytes(Number()); }

  // `count` bits, most significant bit of each byte first.
  std::vector<bool> Bits(uint64_t count);
  // An all-defined byte, then the bits when it is 0.
  std::vector<bool> DefinedBits(uint64_t count);
  // Defined bits, then a CRC-32 for each item defined.
  std::vector<std::optional<uint32_t>> Digests(uint64_t count);

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

// The streams part of a header (pack info, folders, sub-streams), from its
// first property ID to its end marker.
TSevenZipStreams ReadStreamsInfo(TCursor& in);

}  // namespace vexmoor::sevenzip
