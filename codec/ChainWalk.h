// One search along the match finder's chains, and the stepping of several
// searches in turn so that their chain loads overlap. Internal to the
// finder: its single and batched searches are built on it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/ApCost.h"
#include "codec/ApFormat.h"
#include "codec/MatchFinder.h"

namespace vexmoor::ap::chain {

inline uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// Bytes that agree at `a` and `b`, up to `limit`.
inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t length = 0;
  while (length + 8 <= limit) {
    const uint64_t diff = Load64(a + length) ^ Load64(b + length);
    if (diff != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return length + uint32_t(std::countr_zero(diff) >> 3);
      } else {
        return length + uint32_t(std::countl_zero(diff) >> 3);
      }
    }
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

// Where a walk stands on its chain and what each step needs: the part of a
// search that changes at every candidate, kept apart so that the walks
// stepped together can each live in registers. Positions on the chain are
// compared with the anchor (the position whose pair the chain is of), so a
// candidate's offset is anchor - candidate.
struct Cursor {
  uint32_t candidate;  // the next position to look at; kNone at the chain's end
  uint32_t low;        // below this a candidate lies beyond the longest offset
  uint32_t span;       // from low + span on, candidates have been looked at already
  uint32_t ringBase;   // the anchor less its ring slot: a candidate's link is at candidate - ringBase, wrapped
  uint32_t steps;      // how many more candidates the search may look at
  uint32_t testShift;  // candidate + testShift: where the quick test reads
  uint64_t want;       // what it must find there, under the mask
  uint64_t mask;
};

enum StepOutcome : uint32_t { kNextCandidate = 0, kCandidateToTest = 1, kSearchOver = 2 };

// One candidate: over when the chain ends or the budget is spent; to test
// in full when the quick test passes (the candidate stays, its successor
// goes to `next`); otherwise on to the successor.
template <bool kNearEnd>
[[gnu::always_inline]] inline StepOutcome StepCursor(Cursor& c, const uint32_t* ring,
                                                     const uint8_t* input, uint32_t& next) {
  const uint32_t candidate = c.candidate;
  uint32_t slot = candidate - c.ringBase;
  if (candidate < c.ringBase) slot += uint32_t(kRingEntries);
  // One test for a candidate beyond the window, the chain's end (kNone,
  // the largest value) and one looked at already.
  if (candidate - c.low >= c.span) [[unlikely]] {
    if (candidate < c.low || candidate == UINT32_MAX) return kSearchOver;
    c.candidate = ring[slot];
    return kNextCandidate;
  }
  next = ring[slot];
  if (c.steps-- == 0) return kSearchOver;
  if (kNearEnd || ((Load64(input + (c.candidate + c.testShift)) ^ c.want) & c.mask) == 0) return kCandidateToTest;
  c.candidate = next;
  return kNextCandidate;
}

// One search along the chains: its state between two candidates, so that
// several searches can be stepped in turn and their chain loads overlap.
// The chain walked is that of the pair `anchor_ - position_` bytes into
// the match. Within the last bytes of the input (`kNearEnd`) the eight-byte
// test that rejects most candidates would read past the input, so there
// every candidate goes to the full comparison.
template <bool kNearEnd>
class Walk {
 public:
  Walk(const TMatchFinder& finder, const Search& search)
      : f_(finder),
        position_(search.position),
        maxLength_(finder.MaxLengthAt(position_)),
        niceLength_(std::min(search.niceLength, maxLength_)),
        maxOffset_(std::min(position_, kMaxOffset)),
        patience_(search.patience),
        here_(finder.input_ + position_) {
    cursor_.steps = search.maxCandidates;
    cursor_.candidate = TMatchFinder::kNone;
    if (maxLength_ < 2) {
      cursor_.low = TMatchFinder::kNone;  // nothing to look at
      return;
    }
    rarity_ = f_.Rarity(position_);
    cursor_.candidate = f_.head_[f_.Key(position_)];
    fresh_ = position_;  // positions at or after this one are no candidates
    SetAnchor(position_);
    SetLengthToBeat(1);  // every candidate shares the two key bytes
  }

  const Matches& Result() const { return found_; }
  Cursor& State() { return cursor_; }
  const uint32_t* Ring() const { return f_.ring_; }
  const uint8_t* Input() const { return f_.input_; }

  // Compares the cursor's candidate in full, whose successor is `next`, and
  // moves the cursor on; false when the search is over.
  bool Examine(uint32_t next) {
    const uint32_t offset = anchor_ - cursor_.candidate;
    const uint32_t anchor = anchor_;
    if (Consider(here_ - offset, offset)) return false;
    if (anchor_ == anchor) {
      cursor_.candidate = next;
      return true;
    }
    // On the rarer pair's chain, go on beyond the positions already looked
    // at. When the candidate just matched holds the pair too, its link is
    // the next one; otherwise walk from the chain's start.
    const uint32_t ahead = anchor_ - position_;
    fresh_ = anchor_ - covered_;
    cursor_.span = fresh_ - cursor_.low;
    if (ahead + 2 <= bestLength_) {
      cursor_.candidate = f_.ring_[(position_ - offset + ahead) % kRingEntries];
    } else {
      cursor_.candidate = f_.head_[f_.Key(anchor_)];
    }
    return true;
  }

 private:
  void SetAnchor(uint32_t anchor) {
    anchor_ = anchor;
    cursor_.low = anchor - maxOffset_;
    cursor_.span = fresh_ - cursor_.low;
    cursor_.ringBase = anchor - anchor % uint32_t(kRingEntries);
    cursor_.testShift = position_ + checkAt_ - anchor;
  }

  // A longer match must agree on the eight bytes that end at the length to
  // beat (on all bytes up to it while it is shorter than eight): a cheap
  // test that nearly every candidate not worth comparing in full fails. It
  // reads bytes up to index max(length, 7), within the input when the
  // length is below maxLength_ and maxLength_ is at least kQuickTestRoom.
  void SetLengthToBeat(uint32_t length) {
    bestLength_ = length;
    checkAt_ = length >= 7 ? length - 7 : 0;
    const uint32_t bytes = std::min(length + 1, 8u);
    uint64_t ones = bytes >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
    if constexpr (std::endian::native == std::endian::big) ones = bytes >= 8 ? ones : ones << (64 - 8 * bytes);
    cursor_.mask = ones;
    cursor_.testShift = position_ + checkAt_ - anchor_;
    if (!kNearEnd) cursor_.want = Load64(here_ + checkAt_);
  }

  // Takes the candidate if it is better; true when the search can stop.
  // A candidate longer than every one before it sets the length to beat
  // even when its offset costs too much: any later candidate that is not
  // longer still is both shorter and further back.
  bool Consider(const uint8_t* there, uint32_t offset) {
    const uint32_t length = CommonLength(here_, there, maxLength_);
    if (length <= bestLength_) return false;
    if (length >= MinMatchLength(offset)) {
      // A full ladder keeps its shorter rungs: the top one gives way.
      found_.rung[std::min(found_.count, Matches::kRungs - 1)] = {length, offset};
      found_.count = std::min(found_.count + 1, Matches::kRungs);
      const int32_t gain = MatchGain(length, MatchBits(offset, length, false), kFinderWorth);
      if (gain > bestGain_) {
        found_.best = {length, offset};
        bestGain_ = gain;
        if (length >= niceLength_) return true;
      }
    }
    if (length >= maxLength_) return true;  // nothing can be longer
    SetLengthToBeat(length);
    if (patience_ != 0) {
      // The budget left is what the cursor may still spend plus the part
      // held back by the last patience limit.
      const uint32_t budget = giveUpAt_ + cursor_.steps;
      giveUpAt_ = budget > patience_ ? budget - patience_ : 0;
      cursor_.steps = budget - giveUpAt_;
    }
    FollowRarestPair(offset);
    return false;
  }

  // Every longer match shares each byte pair of the one found: go on along
  // the chain of the rarest of them, beyond this offset.
  void FollowRarestPair(uint32_t offset) {
    covered_ = offset;
    // A pair's key needs both its bytes within the input.
    const uint32_t limit = std::min({bestLength_ - 1, maxLength_ - 2, offset, TMatchFinder::kRarityScan});
    uint32_t rarest = anchor_;
    // The pairs scanned before are no rarer now.
    for (uint32_t ahead = scanned_ + 1; ahead <= limit; ++ahead) {
      const uint32_t rarity = f_.Rarity(position_ + ahead);
      if (rarity > rarity_) {
        rarity_ = rarity;
        rarest = position_ + ahead;
      }
    }
    scanned_ = std::max(scanned_, limit);
    if (rarest != anchor_) SetAnchor(rarest);
  }

  const TMatchFinder& f_;
  const uint32_t position_;
  const uint32_t maxLength_;
  const uint32_t niceLength_;
  const uint32_t maxOffset_;
  const uint32_t patience_;
  const uint8_t* const here_;
  Cursor cursor_{};
  uint32_t giveUpAt_ = 0;  // budget held back by the patience limit
  uint32_t anchor_ = 0;
  uint32_t fresh_ = 0;  // from here on a candidate has been looked at already
  Matches found_;
  int32_t bestGain_ = INT32_MIN;
  uint32_t bestLength_ = 1;
  uint32_t checkAt_ = 0;
  // Every candidate up to this offset has been looked at.
  uint32_t covered_ = 0;
  uint32_t rarity_ = 0;
  uint32_t scanned_ = 0;  // the pairs this far ahead have been rated
};

// Steps N walks in turn, each cursor in registers, so that N chain loads
// are on their way at once, until at least one search is over. Returns the
// ended walks as bits (1 << i); the others keep where they stand. With one
// walk, it runs the search to its end.
template <uint32_t N, bool kNearEnd = false>
uint32_t StepUntilOneEnds(Walk<kNearEnd>* const* walks) {
  const uint32_t* const ring = walks[0]->Ring();
  const uint8_t* const input = walks[0]->Input();
  Cursor c[N];
#pragma GCC unroll 4
  for (uint32_t i = 0; i < N; ++i) c[i] = walks[i]->State();
  for (;;) {
    uint32_t next[N], outcome[N], any = 0;
#pragma GCC unroll 4
    for (uint32_t i = 0; i < N; ++i) {
      outcome[i] = StepCursor<kNearEnd>(c[i], ring, input, next[i]);
      any |= outcome[i];
    }
    if (any == kNextCandidate) [[likely]] continue;
    uint32_t ended = 0;
#pragma GCC unroll 4
    for (uint32_t i = 0; i < N; ++i) {
      if (outcome[i] == kCandidateToTest) {
        walks[i]->State() = c[i];
        if (!walks[i]->Examine(next[i])) outcome[i] = kSearchOver;
        c[i] = walks[i]->State();
      }
      if (outcome[i] == kSearchOver) ended |= 1u << i;
    }
    if (ended == 0) continue;
    for (uint32_t i = 0; i < N; ++i) walks[i]->State() = c[i];
    return ended;
  }
}

// The same for 1 to 4 walks.
inline uint32_t StepUntilAnyEnds(Walk<false>* const* walks, uint32_t count) {
  switch (count) {
    case 1: return StepUntilOneEnds<1>(walks);
    case 2: return StepUntilOneEnds<2>(walks);
    case 3: return StepUntilOneEnds<3>(walks);
    default: return StepUntilOneEnds<4>(walks);
  }
}

// Walks stepped together at most.
constexpr uint32_t kLanes = 4;

}  // namespace vexmoor::ap::chain
