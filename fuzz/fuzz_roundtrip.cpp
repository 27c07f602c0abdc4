// Packs arbitrary bytes into a block and checks that it stays within its
// bound and unpacks to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/ApFormat.h"
#include "codec/aPLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  static auto work = std::make_unique<uint8_t[]>(ap::kWorkMemorySize);
  const size_t bound = size_t(ap::BlockBound(size));
  auto block = std::make_unique_for_overwrite<uint8_t[]>(bound);
  const auto blockLength = PackBlock(data, block.get(), size, work.get());
  if (size == 0) {
    if (blockLength) __builtin_trap();
    return 0;
  }
  if (!blockLength || *blockLength > bound) __builtin_trap();
  if (GetUnpackedSize(block.get(), *blockLength) != size) __builtin_trap();
  auto out = std::make_unique_for_overwrite<uint8_t[]>(size);
  const auto unpacked = UnpackBlock(block.get(), *blockLength, out.get(), size);
  if (!unpacked || *unpacked != size || std::memcmp(out.get(), data, size) != 0) __builtin_trap();
  return 0;
}
