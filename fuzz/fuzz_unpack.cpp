// Arbitrary bytes as a block for UnpackBlock, and as a raw stream for the
// stream decoder with an output room taken from the first two bytes. The
// output buffers are exactly the room, so any write past it is caught.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/StreamUnpack.h"
#include "codec/aPLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  if (const auto unpackedSize = GetUnpackedSize(data, size)) {
    const size_t room = *unpackedSize < (1u << 20) ? *unpackedSize : (1u << 20);
    auto out = std::make_unique_for_overwrite<uint8_t[]>(room);
    const auto result = UnpackBlock(data, size, out.get(), room);
    if (result && *result > room) __builtin_trap();
  }
  if (size >= 2) {
    const size_t room = size_t(data[0]) << 8 | data[1];
    auto out = std::make_unique_for_overwrite<uint8_t[]>(room);
    const auto result = ap::UnpackStream(data + 2, size - 2, out.get(), room);
    if (result && *result > room) __builtin_trap();
  }
  return 0;
}
