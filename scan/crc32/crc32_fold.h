// Constants of CRC-32 folding by carry-less multiplication.
//
// A 128-bit register holds 16 message bytes as a reflected polynomial: the
// low bit of the first byte is the highest power. Moving it `bits` further
// along the message multiplies it by x^bits; modulo the CRC polynomial that
// is two 64x64-bit carry-less products, one per half, with
// x^(bits+32) mod P for the first half and x^(bits-32) mod P for the second.
// The constants are stored reflected and one bit up (bit j holds the
// coefficient of x^(32-j)), so each product lands in place as a 128-bit
// reflected value.
#pragma once

#include <cstdint>

namespace vexmoor::crc32 {

constexpr uint64_t XPowerModP(unsigned power) {
  uint64_t normal = 1;  // x^0, in the usual bit order (bit i is x^i)
  for (unsigned i = 0; i < power; ++i) {
    normal <<= 1;
    if (normal & (uint64_t{1} << 32)) normal ^= 0x104C11DB7u;
  }
  uint64_t reflected = 0;
  for (unsigned i = 0; i < 32; ++i) {
    if (normal >> i & 1) reflected |= uint64_t{1} << (32 - i);
  }
  return reflected;
}

struct FoldConstants {
  uint64_t first;   // multiplies the lower 64 bits (the earlier bytes)
  uint64_t second;  // multiplies the upper 64 bits
};

constexpr FoldConstants FoldBy(unsigned bits) {
  return {XPowerModP(bits + 32), XPowerModP(bits - 32)};
}

// Known values of the 128- and 512-bit folds.
static_assert(FoldBy(128).first == 0x1751997D0u && FoldBy(128).second == 0x0CCAA009Eu);
static_assert(FoldBy(512).first == 0x154442BD4u && FoldBy(512).second == 0x1C6E41596u);

}  // namespace vexmoor::crc32
