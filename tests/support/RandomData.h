// Reproducible filler bytes and zlib's CRC-32 of them, the independent
// answer the checksum tests compare with.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>

namespace vexmoor::test {

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

inline uint32_t ZlibCrc(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace vexmoor::test
