// The stream's codes, each written as the decoder reads it; the packer and
// any parse that measures itself against it write through these.
#pragma once

#include <cstdint>

#include "codec/ApCost.h"
#include "codec/BitWriter.h"

namespace vexmoor::ap {

// One byte: the single-byte code for zero or for a byte `distance` (1-15)
// positions back, otherwise a literal. `distance` is 0 for neither.
inline void WriteByteCode(BitWriter& out, uint8_t byte, uint32_t distance) {
  if (byte == 0 || distance != 0) {
    out.Bits(0b111, 3);
    out.Bits(distance, 4);
  } else {
    out.Bit(0);
    out.Byte(byte);
  }
}

// A match at the last offset again; only directly after a byte code.
inline void WriteReuse(BitWriter& out, uint32_t length) {
  out.Bits(0b10, 2);
  out.Gamma(2);
  out.Gamma(length);
}

// A match with its offset: the short code where it fits, else the long one.
inline void WriteMatch(BitWriter& out, uint32_t offset, uint32_t length, bool afterMatch) {
  if (IsShortMatch(offset, length)) {
    out.Bits(0b110, 3);
    out.Byte((offset << 1) | (length - 2));
  } else {
    out.Bits(0b10, 2);
    out.Gamma((offset >> 8) + (afterMatch ? 2 : 3));
    out.Byte(offset & 0xFF);
    out.Gamma(CodedLength(offset, length));
  }
}

}  // namespace vexmoor::ap
