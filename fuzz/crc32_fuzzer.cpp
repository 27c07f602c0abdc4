// Differential target: every CRC-32 routine the processor runs must agree
// with the table routine on any input, whole and split in two.
#include <cstddef>
#include <cstdint>

#include "scan/crc32/crc32_impl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor::crc32;
  static const auto variants = SupportedVariants();
  const uint32_t expected = Crc32Table(data, size, 0);
  const size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  for (const Crc32Variant& variant : variants) {
    if (variant.function(data, size, 0) != expected) __builtin_trap();
    const uint32_t first = variant.function(data, cut, 0);
    if (variant.function(data + cut, size - cut, first) != expected) __builtin_trap();
  }
  return 0;
}
