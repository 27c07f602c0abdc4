// CRC-32 by folding 128-bit registers with PCLMULQDQ. Four registers take
// 64 bytes per round so the multiplier's latency overlaps; at the end they
// fold into one, which the table routine reduces to the 32-bit register
// (16 bytes, a few nanoseconds, and plainly correct).
#include "scan/crc32/crc32_impl.h"

#if VEXMOOR_CRC32_X86

#include <immintrin.h>

#include "scan/crc32/crc32_fold.h"

#define VEXMOOR_TARGET_PCLMUL __attribute__((target("pclmul,sse2")))

namespace vexmoor::crc32 {

namespace {

VEXMOOR_TARGET_PCLMUL inline __m128i Constants(FoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.second), static_cast<long long>(k.first));
}

// `x` moved forward by the distance `k` was made for.
VEXMOOR_TARGET_PCLMUL inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

VEXMOOR_TARGET_PCLMUL inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

VEXMOOR_TARGET_PCLMUL uint32_t Crc32Pclmul(const void* data, size_t size, uint32_t crc) {
  if (size < 64) return Crc32Table(data, size, crc);
  const auto* p = static_cast<const uint8_t*>(data);
  const __m128i by512 = Constants(FoldBy(512));
  const __m128i by128 = Constants(FoldBy(128));
  // The register preset enters as an XOR over the first four bytes.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  for (p += 64, size -= 64; size >= 64; p += 64, size -= 64) {
    x0 = _mm_xor_si128(Fold(x0, by512), Load(p));
    x1 = _mm_xor_si128(Fold(x1, by512), Load(p + 16));
    x2 = _mm_xor_si128(Fold(x2, by512), Load(p + 32));
    x3 = _mm_xor_si128(Fold(x3, by512), Load(p + 48));
  }
  __m128i x = _mm_xor_si128(Fold(x0, by128), x1);
  x = _mm_xor_si128(Fold(x, by128), x2);
  x = _mm_xor_si128(Fold(x, by128), x3);
  for (; size >= 16; p += 16, size -= 16) x = _mm_xor_si128(Fold(x, by128), Load(p));
  alignas(16) uint8_t folded[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
  return ~UpdateRegister(UpdateRegister(0, folded, 16), p, size);
}

}  // namespace vexmoor::crc32

#endif  // VEXMOOR_CRC32_X86
