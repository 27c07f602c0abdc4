// The stream's codes, each written as the decoder reads it, and what a byte
// coded on its own costs; the packer and any parse that measures itself
// against it go through these.
#pragma once

#include <algorithm>
#include <cstdint>

#include "codec/ApCost.h"
#include "codec/ApFormat.h"
#include "codec/BitWriter.h"

namespace vexmoor::ap {

// How far back (1-15) the nearest copy of the byte at `position` lies, 0
// when none of the previous bytes the single-byte code reaches holds it.
inline uint32_t NearDistance(const uint8_t* in, uint32_t position) {
  const uint32_t reach = std::min(position, kSingleByteReach);
  for (uint32_t distance = 1; distance <= reach; ++distance) {
    if (in[position - distance] == in[position]) return distance;
  }
  return 0;
}

// The bits the byte at `position` costs coded on its own.
inline uint32_t ByteBits(const uint8_t* in, uint32_t position) {
  return (in[position] == 0 || NearDistance(in, position) != 0) ? kSingleByteBits : kLiteralBits;
}

// The byte at `position`: the single-byte code for zero or for a byte among
// the previous 15, otherwise a literal.
inline void WriteByteAt(TBitWriter& out, const uint8_t* in, uint32_t position) {
  const uint32_t distance = in[position] == 0 ? 0 : NearDistance(in, position);
  if (in[position] == 0 || distance != 0) {
    out.Bits(0b111, 3);
    out.Bits(distance, 4);
  } else {
    out.Bit(0);
    out.Byte(in[position]);
  }
}

// A match at the last offset again; only directly after a byte code.
inline void WriteReuse(TBitWriter& out, uint32_t length) {
  out.Bits(0b10, 2);
  out.Gamma(2);
  out.Gamma(length);
}

// A match with its offset: the short code where it fits, else the long one.
inline void WriteMatch(TBitWriter& out, uint32_t offset, uint32_t length, bool afterMatch) {
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
