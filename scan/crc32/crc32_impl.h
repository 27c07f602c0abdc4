// The CRC-32 routines behind Crc32, one per processor family, for the
// dispatcher and for tests that check every variant on any machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define VEXMOOR_CRC32_X86 1
#else
#define VEXMOOR_CRC32_X86 0
#endif

namespace vexmoor::crc32 {

// Every variant has Crc32's contract: the finished CRC of the data before
// (0 to start) in, the finished CRC including `data` out.
using Crc32Function = uint32_t (*)(const void* data, size_t size, uint32_t crc);

// Slicing-by-8 over lookup tables; runs anywhere.
uint32_t Crc32Table(const void* data, size_t size, uint32_t crc);

// The register form of the table routine: no inversion on either side, so
// callers can feed it a register they built themselves.
uint32_t UpdateRegister(uint32_t reg, const uint8_t* data, size_t size);

// The byte table: entry b is the register after byte b from a zero register.
const uint32_t* ByteTable();

#if VEXMOOR_CRC32_X86
// Carry-less multiplication folding over 128-bit registers (PCLMULQDQ).
// Only call when the processor has PCLMULQDQ and SSE4.1.
uint32_t Crc32Pclmul(const void* data, size_t size, uint32_t crc);
// The same over 512-bit registers (VPCLMULQDQ with AVX-512F and VL). Only
// call when the processor has them and the system saves the ZMM state.
uint32_t Crc32Vpclmul(const void* data, size_t size, uint32_t crc);
#endif

struct Crc32Variant {
  const char* name;  // "table", "pclmul", "vpclmul"
  Crc32Function function;
};

// The variants this processor can run, slowest first; "table" is always
// there.
std::vector<Crc32Variant> SupportedVariants();

// The variant named `cap` when `supported` (slowest first) has it, else the
// last of `supported`: the most capable the processor runs, which is never
// beyond the cap because each variant needs the features of those before it.
// `cap` may be null.
const Crc32Variant& PickVariant(const std::vector<Crc32Variant>& supported, const char* cap);

// The variant Crc32 uses: the last of SupportedVariants(). The environment
// variable VEXMOOR_CRC_IMPL ("table", "pclmul", "vpclmul") caps the choice
// at the named variant, so tests and benchmarks can mask processor features;
// an unknown name is ignored. Chosen on first use, kept for the process.
const Crc32Variant& ActiveVariant();

}  // namespace vexmoor::crc32
