// Picks the fastest CRC-32 routine the processor runs, once, and keeps it in
// a function pointer that Crc32 calls through.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "scan/crc32/Crc32Core.h"
#include "scan/crc32/crc32_impl.h"

#if VEXMOOR_CRC32_X86
#include <cpuid.h>
#endif

namespace vexmoor {

namespace crc32 {

namespace {

#if VEXMOOR_CRC32_X86

struct CpuFeatures {
  bool pclmul = false;
  bool vpclmul = false;  // with AVX-512F and VL, and ZMM state saved by the system
};

uint64_t EnabledStateMask() {
  uint32_t low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return uint64_t{high} << 32 | low;
}

CpuFeatures DetectFeatures() {
  CpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return features;
  features.pclmul = (ecx >> 1) & 1;
  const bool osxsave = (ecx >> 27) & 1;
  // XMM, YMM, opmask and both halves of the ZMM registers.
  constexpr uint64_t kZmmState = 0xE6;
  if (!osxsave || (EnabledStateMask() & kZmmState) != kZmmState) return features;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return features;
  const bool avx512f = (ebx >> 16) & 1;
  const bool avx512vl = (ebx >> 31) & 1;
  const bool vpclmulqdq = (ecx >> 10) & 1;
  features.vpclmul = features.pclmul && avx512f && avx512vl && vpclmulqdq;
  return features;
}

#endif  // VEXMOOR_CRC32_X86

uint32_t DispatchCrc32(const void* data, size_t size, uint32_t crc);

// Starts at the dispatcher, which replaces itself with the chosen routine.
// Every thread stores the same value, so relaxed ordering suffices.
std::atomic<Crc32Function> activeFunction{DispatchCrc32};

uint32_t DispatchCrc32(const void* data, size_t size, uint32_t crc) {
  const Crc32Function chosen = ActiveVariant().function;
  activeFunction.store(chosen, std::memory_order_relaxed);
  return chosen(data, size, crc);
}

}  // namespace

std::vector<Crc32Variant> SupportedVariants() {
  std::vector<Crc32Variant> variants{{"table", Crc32Table}};
#if VEXMOOR_CRC32_X86
  const CpuFeatures features = DetectFeatures();
  if (features.pclmul) variants.push_back({"pclmul", Crc32Pclmul});
  if (features.vpclmul) variants.push_back({"vpclmul", Crc32Vpclmul});
#endif
  return variants;
}

const Crc32Variant& PickVariant(const std::vector<Crc32Variant>& supported, const char* cap) {
  if (cap != nullptr) {
    for (const Crc32Variant& variant : supported) {
      if (std::strcmp(variant.name, cap) == 0) return variant;
    }
  }
  return supported.back();
}

const Crc32Variant& ActiveVariant() {
  static const std::vector<Crc32Variant> supported = SupportedVariants();
  static const Crc32Variant& chosen = PickVariant(supported, std::getenv("VEXMOOR_CRC_IMPL"));
  return chosen;
}

}  // namespace crc32

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  return crc32::activeFunction.load(std::memory_order_relaxed)(data, size, crc);
}

}  // namespace vexmoor
