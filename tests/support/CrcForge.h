// CRC-32 collisions for tests: four bytes that, appended to any data, give
// the result a chosen CRC-32. Dumps that share a CRC and a size but not
// their bytes are what a strong checksum must tell apart.
#pragma once

#include <cstdint>
#include <string>

#include "scan/crc32/Crc32Core.h"

namespace vexmoor::test {

// `data` followed by the four bytes that make its CRC-32 `target`. The
// reflected CRC's register is run backwards from the final value through 32
// shifts; what it must have held before them, against what `data` leaves
// in it, gives the bytes.
inline std::string ForgeCrc(std::string data, uint32_t target) {
  constexpr uint32_t kPolynomial = 0xEDB88320;
  uint32_t reg = ~target;
  for (int bit = 0; bit < 32; ++bit)
    reg = (reg & 0x80000000u) ? ((reg ^ kPolynomial) << 1) | 1u : reg << 1;
  const uint32_t word = reg ^ ~Crc32(data.data(), data.size());
  for (int byte = 0; byte < 4; ++byte) data += char((word >> (8 * byte)) & 0xFF);
  return data;
}

// Another dump of `original`'s size and CRC-32: its bytes but the first
// changed, the last four forged.
inline std::string CrcTwin(const std::string& original) {
  std::string twin = original.substr(0, original.size() - 4);
  twin[0] = char(twin[0] ^ 0x55);
  return ForgeCrc(twin, Crc32(original.data(), original.size()));
}

}  // namespace vexmoor::test
