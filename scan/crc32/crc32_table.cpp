// Slicing-by-8: eight table lookups fold eight input bytes into the register
// at once, the portable routine and the tail handler of the folding ones.
#include <algorithm>
#include <array>

#include "scan/crc32/Crc32Core.h"
#include "scan/crc32/crc32_impl.h"

namespace vexmoor::crc32 {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// kSlices[k][b] is the register after byte b followed by k zero bytes.
using SliceTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr SliceTables BuildSlices() {
  SliceTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
    tables[0][i] = v;
  }
  for (size_t k = 1; k < 8; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr SliceTables kSlices = BuildSlices();

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

const uint32_t* ByteTable() { return kSlices[0].data(); }

uint32_t UpdateRegister(uint32_t reg, const uint8_t* p, size_t size) {
  for (; size >= 8; size -= 8, p += 8) {
    const uint32_t low = Load32(p) ^ reg;
    const uint32_t high = Load32(p + 4);
    reg = kSlices[7][low & 0xFF] ^ kSlices[6][(low >> 8) & 0xFF] ^
          kSlices[5][(low >> 16) & 0xFF] ^ kSlices[4][low >> 24] ^
          kSlices[3][high & 0xFF] ^ kSlices[2][(high >> 8) & 0xFF] ^
          kSlices[1][(high >> 16) & 0xFF] ^ kSlices[0][high >> 24];
  }
  for (; size > 0; --size, ++p) reg = kSlices[0][(reg ^ *p) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t Crc32Table(const void* data, size_t size, uint32_t crc) {
  return ~UpdateRegister(~crc, static_cast<const uint8_t*>(data), size);
}

}  // namespace vexmoor::crc32

namespace vexmoor {

TCrcTable CrcTable{};

void MakeCrcTable() {
  const uint32_t* table = crc32::ByteTable();
  std::copy(table, table + CrcTable.size(), CrcTable.begin());
}

uint32_t UpdateCrc(uint8_t byte, uint32_t crc) {
  return CrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace vexmoor
