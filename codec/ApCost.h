// What each code of the stream costs in bits, and which matches the format
// can express. The packer's parse decides by these figures.
#pragma once

#include <bit>
#include <cstdint>

#include "codec/ApFormat.h"

namespace vexmoor::ap {

constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kSingleByteBits = 7;
constexpr uint32_t kShortMatchBits = 11;

// Bits of a gamma-coded value (at least 2).
constexpr uint32_t GammaBits(uint32_t value) { return 2 * (std::bit_width(value) - 1); }

// The smallest length a match at `offset` can have.
constexpr uint32_t MinMatchLength(uint32_t offset) {
  if (offset >= kFarOffsetLimit) return 4;
  if (offset >= kNearOffsetLimit) return 3;
  return 2;
}

// Lengths 2 and 3 at offsets below 128 use the short-match code.
constexpr bool IsShortMatch(uint32_t offset, uint32_t length) {
  return offset < kShortOffsetLimit && length <= 3;
}

// The length a match code carries: the real length less the adjustments
// the reader adds back for its offset.
constexpr uint32_t CodedLength(uint32_t offset, uint32_t length) {
  if (offset < kShortOffsetLimit) return length - 2;
  return length - (offset >= kNearOffsetLimit) - (offset >= kFarOffsetLimit);
}

// Bits of a match or short match; `afterMatch` is the reader's match flag
// before it (the offset's high part is coded one smaller after a match).
constexpr uint32_t MatchBits(uint32_t offset, uint32_t length, bool afterMatch) {
  if (IsShortMatch(offset, length)) return kShortMatchBits;
  return 10 + GammaBits((offset >> 8) + (afterMatch ? 2 : 3)) + GammaBits(CodedLength(offset, length));
}

// Bits of a reuse of the last offset.
constexpr uint32_t ReuseBits(uint32_t length) { return 4 + GammaBits(length); }

}  // namespace vexmoor::ap
