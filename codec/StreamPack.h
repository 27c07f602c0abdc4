// The aPLib-format stream encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vexmoor::ap {

// The match finder counts positions, a little beyond the input's end, in
// 32 bits.
constexpr size_t kMaxInputLength = UINT32_MAX - 64;

// Packs `inputLength` bytes into `output`, which needs room for
// StreamBound(inputLength) bytes, and returns the stream length (0 for an
// empty input). `workMemory` is the 655360-byte work area (kWorkMemorySize);
// nothing else is allocated. Returns nullopt when the input, the output or
// the work memory is missing, or the input is longer than kMaxInputLength. The stream
// starts with the first input byte and ends with the end marker; its offsets
// and match lengths are at most 91904.
std::optional<size_t> PackStream(const uint8_t* input, size_t inputLength, uint8_t* output,
                                 uint8_t* workMemory);

}  // namespace vexmoor::ap
