#include "scan/CRC32.h"

#include <memory>

#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Eight tables for slicing-by-8: kSlices[k][b] is the CRC of byte b followed
// by k zero bytes, so eight input bytes fold in with eight lookups.
using SliceTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr SliceTables BuildSlices() {
  SliceTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
    tables[0][i] = v;
  }
  for (int k = 1; k < 8; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr SliceTables kSlices = BuildSlices();

uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

TCrcTable CrcTable{};

void MakeCrcTable() { CrcTable = kSlices[0]; }

uint32_t UpdateCrc(uint8_t byte, uint32_t crc) {
  return CrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

std::string HexWord(uint16_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

std::string HexLong(uint32_t value) {
  return HexWord(static_cast<uint16_t>(value >> 16)) + HexWord(static_cast<uint16_t>(value));
}

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (; size >= 8; size -= 8, p += 8) {
    const uint32_t low = Load32(p) ^ crc;
    const uint32_t high = Load32(p + 4);
    crc = kSlices[7][low & 0xFF] ^ kSlices[6][(low >> 8) & 0xFF] ^
          kSlices[5][(low >> 16) & 0xFF] ^ kSlices[4][low >> 24] ^
          kSlices[3][high & 0xFF] ^ kSlices[2][(high >> 8) & 0xFF] ^
          kSlices[1][(high >> 16) & 0xFF] ^ kSlices[0][high >> 24];
  }
  for (; size > 0; --size, ++p) crc = kSlices[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t FileCrc32Value(const std::string& path) {
  // Large reads: one system call costs microseconds, so small blocks would
  // spend more time in the kernel than in the checksum.
  constexpr size_t kBlockSize = 1 << 20;
  InputFile file(path);
  file.AdviseSequential();
  const auto block = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
  uint32_t crc = 0;
  while (const size_t got = file.Read(block.get(), kBlockSize)) crc = Crc32(block.get(), got, crc);
  return crc;
}

std::string FileCrc32(const std::string& path) { return HexLong(FileCrc32Value(path)); }

}  // namespace vexmoor
