// Joining CRCs: the CRC of A then B from the CRCs of A and of B and B's
// length. Appending n bytes multiplies A's register by x^(8n) modulo the
// polynomial, and the all-ones preset and final inversion cancel out, so
// crc(AB) = crc(A) * x^(8n) + crc(B). Everything here is in the reflected
// bit order of the register: bit 31 holds x^0.
#include "scan/CRC32.h"

#include <array>

namespace vexmoor {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;
constexpr uint32_t kOne = 0x80000000;  // x^0

// Masks instead of branches: the bits of a product are random, so a branch
// per bit would be mispredicted half the time.
constexpr uint32_t MultiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t bit = kOne; bit != 0; bit >>= 1) {
    product ^= b & (0u - static_cast<uint32_t>((a & bit) != 0));
    b = (b >> 1) ^ (kPolynomial & (0u - (b & 1)));  // b * x
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
