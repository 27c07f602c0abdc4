// Joining CRCs: the CRC of A then B from the CRCs of A and of B and B's
// length. Appending n bytes multiplies A's register by x^(8n) modulo the
// polynomial, and the all-ones preset and final inversion cancel out, so
// crc(AB) = crc(A) * x^(8n) + crc(B). Everything here is in the reflected
// bit order of the register: bit 31 holds x^0.
#include "scan/crc32/Crc32Core.h"

#include <array>

namespace vexmoor {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;
constexpr uint32_t kOne = 0x80000000;  // x^0

// v * x^8: the low byte's eight steps of v * x (shift right, reduce) at
// once, which is the byte-at-a-time CRC table.
constexpr std::array<uint32_t, 256> kTimesX8 = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int step = 0; step < 8; ++step) v = (v >> 1) ^ (kPolynomial & (0u - (v & 1)));
    table[i] = v;
  }
  return table;
}();

constexpr uint32_t TimesX8(uint32_t v) { return (v >> 8) ^ kTimesX8[v & 0xFF]; }

// a * b, a byte of a at a time from its highest powers down (Horner), so
// that the chain of dependent steps is four table steps rather than 32 bit
// steps. Masks instead of branches: the bits of a are random.
constexpr uint32_t MultiplyModP(uint32_t a, uint32_t b) {
  uint32_t bTimesX[8] = {};  // b * x^j
  for (uint32_t& multiple : bTimesX) {
    multiple = b;
    b = (b >> 1) ^ (kPolynomial & (0u - (b & 1)));
  }
  uint32_t product = 0;
  // The byte at shift 0 holds x^31 (bit 0) down to x^24 (bit 7).
  for (int shift = 0; shift <= 24; shift += 8) {
    product = TimesX8(product);
    const uint32_t byte = (a >> shift) & 0xFF;
    for (int j = 0; j < 8; ++j) product ^= bTimesX[j] & (0u - ((byte >> (7 - j)) & 1));
  }
  return product;
}

// x^(2^k) modulo the polynomial, k = 0..63.
constexpr std::array<uint32_t, 64> kPowersOfTwo = [] {
  std::array<uint32_t, 64> powers{};
  uint32_t power = kOne >> 1;  // x^1
  for (uint32_t& entry : powers) {
    entry = power;
    power = MultiplyModP(power, power);
  }
  return powers;
}();

// x^(8n) modulo the polynomial: the shift that n bytes of data apply.
constexpr uint32_t ShiftForBytes(uint64_t bytes) {
  uint32_t shift = kOne;
  for (size_t k = 3; bytes != 0 && k < kPowersOfTwo.size(); bytes >>= 1, ++k) {
    if (bytes & 1) shift = MultiplyModP(kPowersOfTwo[k], shift);
  }
  return shift;
}

static_assert(ShiftForBytes(0) == kOne);
static_assert(ShiftForBytes(1) == kOne >> 8);  // x^8

}  // namespace

uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength) {
  return Crc32CombineWith(first, second, ShiftForBytes(secondLength));
}

uint32_t Crc32Shift(uint64_t length) { return ShiftForBytes(length); }

uint32_t Crc32CombineWith(uint32_t first, uint32_t second, uint32_t shift) {
  return MultiplyModP(shift, first) ^ second;
}

}  // namespace vexmoor
