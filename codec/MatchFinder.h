// Finds earlier occurrences of the bytes at a position: a head table keyed
// by the two bytes there, each entry starting a chain of earlier positions
// with the same two bytes, whose links live in a ring so that positions
// beyond the longest offset drop out. Both live in the packer's work memory.
#pragma once

#include <cstdint>

#include "codec/ApFormat.h"

namespace vexmoor::ap {

struct Match {
  uint32_t length = 0;  // 0: none
  uint32_t offset = 0;
};

// A match's value for the parse: the bits it saves against bytes costing
// kByteWorth bits each. Longer matches further back must earn their longer
// offset codes.
constexpr uint32_t kByteWorth = 8;
constexpr int32_t MatchGain(uint32_t length, uint32_t bits) {
  return int32_t(length * kByteWorth) - int32_t(bits);
}

class MatchFinder {
 public:
  // The work area must hold kWorkMemorySize bytes; the head table is cleared.
  MatchFinder(const uint8_t* input, uint32_t size, uint8_t* workMemory);

  // Adds every position below `end` to the chains (in order, once each).
  void InsertUpTo(uint32_t end);

  // The best match at `position` among at most `maxCandidates` earlier
  // positions; stops early at one of `niceLength` bytes or more. Only
  // positions already inserted and below `position` are examined.
  Match Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const;

  // How many bytes at `position` equal those `offset` back, up to `limit`.
  uint32_t LengthAt(uint32_t position, uint32_t offset, uint32_t limit) const;

  // The most bytes a match at `position` may cover.
  uint32_t MaxLengthAt(uint32_t position) const;

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  uint32_t Key(uint32_t position) const { return input_[position] | uint32_t(input_[position + 1]) << 8; }

  const uint8_t* input_;
  uint32_t size_;
  uint32_t* head_;  // kHeadEntries newest positions
  uint32_t* ring_;  // kRingEntries links, position % kRingEntries
  uint32_t inserted_ = 0;
};

}  // namespace vexmoor::ap
