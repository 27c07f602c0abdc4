// CRC-32 by folding 512-bit registers with VPCLMULQDQ: each of the four
// 128-bit lanes of a register folds like the 128-bit routine's registers,
// and four registers take 256 bytes per round. The rest narrows to one
// 128-bit register, which the table routine reduces.
#include "scan/crc32/crc32_impl.h"

#if VEXMOOR_CRC32_X86

#include <immintrin.h>

#include "scan/crc32/crc32_fold.h"

// GCC 12's AVX-512 intrinsics (casts, lane shuffles) start their result from
// a deliberately undefined register, and its flow analysis then reports a
// use of an uninitialised value inside the header.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VEXMOOR_TARGET_VPCLMUL __attribute__((target("vpclmulqdq,pclmul,avx512f,avx512vl")))

namespace vexmoor::crc32 {

namespace {

VEXMOOR_TARGET_VPCLMUL inline __m512i WideConstants(FoldConstants k) {
  const auto first = static_cast<long long>(k.first);
  const auto second = static_cast<long long>(k.second);
  return _mm512_set_epi64(second, first, second, first, second, first, second, first);
}

// Each lane of `x` moved forward, then `data` added: one three-way XOR.
VEXMOOR_TARGET_VPCLMUL inline __m512i FoldIn(__m512i x, __m512i k, __m512i data) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                   _mm512_clmulepi64_epi128(x, k, 0x11), data, 0x96);
}

VEXMOOR_TARGET_VPCLMUL inline __m128i FoldIn(__m128i x, __m128i k, __m128i data) {
  return _mm_ternarylogic_epi64(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11),
                                data, 0x96);
}

template <int kLane>
VEXMOOR_TARGET_VPCLMUL inline __m128i Lane(__m512i x) {
  return _mm512_extracti32x4_epi32(x, kLane);
}

VEXMOOR_TARGET_VPCLMUL inline __m512i Load(const uint8_t* p) { return _mm512_loadu_si512(p); }

}  // namespace

VEXMOOR_TARGET_VPCLMUL uint32_t Crc32Vpclmul(const void* data, size_t size, uint32_t crc) {
  if (size < 256) return Crc32Pclmul(data, size, crc);
  const auto* p = static_cast<const uint8_t*>(data);
  const __m512i by2048 = WideConstants(FoldBy(2048));
  const __m512i by512 = WideConstants(FoldBy(512));
  const __m128i by128 = _mm512_castsi512_si128(WideConstants(FoldBy(128)));
  // The register preset enters as an XOR over the first four bytes.
  const __m128i preset = _mm_cvtsi32_si128(static_cast<int>(~crc));
  __m512i x0 = _mm512_xor_si512(Load(p), _mm512_zextsi128_si512(preset));
  __m512i x1 = Load(p + 64);
  __m512i x2 = Load(p + 128);
  __m512i x3 = Load(p + 192);
  for (p += 256, size -= 256; size >= 256; p += 256, size -= 256) {
    x0 = FoldIn(x0, by2048, Load(p));
    x1 = FoldIn(x1, by2048, Load(p + 64));
    x2 = FoldIn(x2, by2048, Load(p + 128));
    x3 = FoldIn(x3, by2048, Load(p + 192));
  }
  __m512i x = FoldIn(FoldIn(FoldIn(x0, by512, x1), by512, x2), by512, x3);
  for (; size >= 64; p += 64, size -= 64) x = FoldIn(x, by512, Load(p));
  __m128i narrow = _mm512_castsi512_si128(x);
  narrow = FoldIn(narrow, by128, Lane<1>(x));
  narrow = FoldIn(narrow, by128, Lane<2>(x));
  narrow = FoldIn(narrow, by128, Lane<3>(x));
  for (; size >= 16; p += 16, size -= 16) {
    narrow = FoldIn(narrow, by128, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  alignas(16) uint8_t folded[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(folded), narrow);
  return ~UpdateRegister(UpdateRegister(0, folded, 16), p, size);
}

}  // namespace vexmoor::crc32

#endif  // VEXMOOR_CRC32_X86
