// The aPLib-format stream encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vexmoor::ap {

// Packs `inputLength` bytes into `output`, which needs room for
// StreamBound(inputLength) bytes, and returns the stream length (0 for an
// empty input). `workMemory` is the 655360-byte work area (kWorkMemorySize);
// nothing else is allocated. Returns nullopt when the input, the output or
// the work memory is missing, or the input is 4 GiB or more. The stream
// starts with the first input byte and ends with the end marker; its offsets
// and match lengths are at most 91904.
std::optional<size_t> PackStream(const uint8_t* input, size_t inputLength, uint8_t* output,
                                 uint8_t* workMemory);

}  // namespace vexmoor::ap
