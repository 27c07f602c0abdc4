// Finds earlier occurrences of the bytes at a position: a head table keyed
// by the two bytes there, each entry starting a chain of earlier positions
// with the same two bytes, whose links live in a ring so that positions
// beyond the longest offset drop out. Beside them, counts of how often each
// pair occurs within the window tell which chain is shortest to walk. All
// live in the packer's work memory.
#pragma once

#include <cstdint>

#include "codec/ApFormat.h"

namespace vexmoor::ap {

namespace chain {
template <bool kNearEnd>
class Walk;
}

struct Match {
  uint32_t length = 0;  // 0: none
  uint32_t offset = 0;
};

// What one search found: each match longer than every nearer one (lengths
// and offsets rising; for any length, the rung that first reaches it has
// the nearest offset the search saw), and the one the finder rates best.
struct Matches {
  static constexpr uint32_t kRungs = 8;
  uint32_t count = 0;
  Match rung[kRungs];
  Match best;
};

// A match's value for the parse, in quarter bits: its length at `worth`
// quarter bits a byte, less its cost. Comparing gains decides between a
// longer match and a cheaper one.
constexpr int32_t MatchGain(uint32_t length, uint32_t bits, uint32_t worth) {
  return int32_t(length * worth) - 4 * int32_t(bits);
}

// The worth of a byte when the finder weighs a longer match further back
// against a shorter one nearer: four bits.
constexpr uint32_t kFinderWorth = 16;

// One search: where, and how much effort it may take.
struct Search {
  uint32_t position = 0;
  uint32_t maxCandidates = kMaxCandidates;
  uint32_t niceLength = kMaxLength;  // a match this long ends the search
  // How many candidates in a row may fail to give a longer match before the
  // search gives up (0: no limit).
  uint32_t patience = 0;
};

class TMatchFinder {
 public:
  // The work area must hold kWorkMemorySize bytes; the head table is
  // cleared. `size` is at most UINT32_MAX - 64, so that a position a few
  // bytes into a match still fits in 32 bits.
  TMatchFinder(const uint8_t* input, uint32_t size, uint8_t* workMemory);

  // Adds every position below `end` to the chains (in order, once each).
  void InsertUpTo(uint32_t end);

  // The matches at the search's position among at most maxCandidates
  // earlier positions. Only positions already inserted and below it are
  // examined.
  Matches FindAll(const Search& search) const;
  // The best of them.
  Match Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const;

  // Up to kMaxBatch searches at once, which is faster than one call each
  // because the chain walks overlap.
  static constexpr uint32_t kMaxBatch = 4;
  void FindMany(const Search* searches, uint32_t count, Matches* found) const;

  // How many bytes at `position` equal those `offset` back, up to `limit`.
  uint32_t LengthAt(uint32_t position, uint32_t offset, uint32_t limit) const;

  // The most bytes a match at `position` may cover.
  uint32_t MaxLengthAt(uint32_t position) const;

 private:
  template <bool kNearEnd>
  friend class chain::Walk;
  template <bool kNearEnd>
  Matches FindOne(const Search& search) const;
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kQuickTestRoom = 8;  // the least room for the walk's quick test
  // Whether a search at `position` is too near the end of the input for
  // the quick test, so that it compares every candidate in full.
  bool NearEnd(uint32_t position) const { return MaxLengthAt(position) < kQuickTestRoom; }
  static constexpr uint32_t kRarityScan = 16;
  uint32_t Rarity(uint32_t position) const;
  static uint32_t CountSlot(uint32_t key);
  uint32_t Key(uint32_t position) const { return input_[position] | uint32_t(input_[position + 1]) << 8; }

  const uint8_t* input_;
  uint32_t size_;
  uint32_t* head_;  // kHeadEntries newest positions
  uint32_t* ring_;  // kRingEntries links, position % kRingEntries
  uint16_t* counts_;  // kPairCounts: pairs within the window, by CountSlot of their key
  uint32_t inserted_ = 0;
};

}  // namespace vexmoor::ap
