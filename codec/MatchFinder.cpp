#include "codec/MatchFinder.h"

#include <algorithm>
#include <cstring>

#include "codec/ApCost.h"

namespace vexmoor::ap {

static_assert((kHeadEntries + kRingEntries) * sizeof(uint32_t) <= kWorkMemorySize);
static_assert(kRingEntries > kMaxOffset, "links within the window are never overwritten");

namespace {

inline uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// Bytes that agree at `a` and `b`, up to `limit`.
uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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

// The first `count` bytes (1 to 8) of a 64-bit load.
inline uint64_t LeadingBytesMask(uint32_t count) {
  const uint64_t ones = count >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * count)) - 1;
  if constexpr (std::endian::native == std::endian::little) return ones;
  return count >= 8 ? ones : ones << (64 - 8 * count);
}

// A cheap filter before the full comparison: a match longer than `length`
// must agree on its first bytes and on the four bytes ending at `length`.
// Most candidates fail it, which keeps the chain walk free of mispredicted
// branches.
inline bool MayBeLonger(const uint8_t* here, const uint8_t* there, uint32_t length, uint32_t maxLength) {
  if (maxLength < 8) return here[length] == there[length];
  uint64_t diff = (Load64(here) ^ Load64(there)) & LeadingBytesMask(std::min(length + 1, 8u));
  if (length >= 3) diff |= Load32(here + length - 3) ^ Load32(there + length - 3);
  return diff == 0;
}

// The ring slot of `position`, given `base`, a multiple of the ring length
// less than one ring length away from it.
inline uint32_t RingSlot(uint32_t position, uint32_t base) {
  uint32_t slot = position - base;
  if (position < base) slot += kRingEntries;
  if (slot >= kRingEntries) slot -= kRingEntries;
  return slot;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* input, uint32_t size, uint8_t* workMemory)
    : input_(input),
      size_(size),
      head_(reinterpret_cast<uint32_t*>(workMemory)),
      ring_(reinterpret_cast<uint32_t*>(workMemory) + kHeadEntries) {
  std::fill_n(head_, kHeadEntries, kNone);
}

void MatchFinder::InsertUpTo(uint32_t end) {
  end = std::min(end, size_ - 1);  // a key needs two bytes
  for (; inserted_ < end; ++inserted_) {
    const uint32_t key = Key(inserted_);
    ring_[inserted_ % kRingEntries] = head_[key];
    head_[key] = inserted_;
  }
}

uint32_t MatchFinder::MaxLengthAt(uint32_t position) const {
  return std::min(kMaxLength, size_ - position);
}

uint32_t MatchFinder::LengthAt(uint32_t position, uint32_t offset, uint32_t limit) const {
  return CommonLength(input_ + position, input_ + position - offset, limit);
}


// How far back the newest earlier occurrence of the pair at `position` lies:
// a rough measure of how short its chain is. An empty chain is rarest.
uint32_t MatchFinder::Rarity(uint32_t position) const {
  const uint32_t newest = head_[Key(position)];
  if (newest == kNone) return UINT32_MAX;
  return newest < position ? position - newest : 0;
}

// One search along the chains: the state of Find between two candidates,
// so that two searches can be stepped in turn and their chain loads overlap.
class MatchFinder::Walk {
 public:
  Walk(const MatchFinder& finder, uint32_t position, uint32_t maxCandidates, uint32_t niceLength)
      : f_(finder),
        position_(position),
        maxLength_(finder.MaxLengthAt(position)),
        niceLength_(std::min(niceLength, maxLength_)),
        budget_(maxCandidates),
        here_(finder.input_ + position),
        base_(position - position % kRingEntries) {
    if (maxLength_ < 2) return;
    rarity_ = f_.Rarity(position);
    candidate_ = f_.head_[f_.Key(position)];
  }

  Match Result() const { return best_; }

  // Looks at the next candidate; false when the search is over.
  [[gnu::always_inline]] bool Step() {
    if (candidate_ == kNone || candidate_ < shift_) return false;
    const uint32_t start = candidate_ - shift_;
    const uint32_t offset = position_ - start;
    if (start < position_ && offset > kMaxOffset) return false;
    uint32_t next = f_.ring_[RingSlot(candidate_, base_)];
    if (start < position_ && offset > covered_) {
      if (budget_-- == 0) return false;
      const uint8_t* there = f_.input_ + start;
      if (MayBeLonger(here_, there, bestLength_, maxLength_) && Consider(there, offset, next)) {
        return false;
      }
    }
    candidate_ = next;
    return true;
  }

 private:
  // Takes the candidate if it is better; true when the search can stop.
  // A candidate longer than every one before it sets the length to beat
  // even when its offset costs too much: any later candidate that is not
  // longer still is both shorter and further back.
  bool Consider(const uint8_t* there, uint32_t offset, uint32_t& next) {
    const uint32_t length = CommonLength(here_, there, maxLength_);
    if (length <= bestLength_) return false;
    bestLength_ = length;
    if (length >= MinMatchLength(offset)) {
      const int32_t gain = MatchGain(length, MatchBits(offset, length, false), kFinderWorth);
      if (gain > bestGain_) {
        best_ = {length, offset};
        bestGain_ = gain;
        if (length >= niceLength_) return true;
      }
    }
    if (length >= maxLength_) return true;  // nothing can be longer
    FollowRarestPair(offset, next);
    return false;
  }

  // Every longer match shares each byte pair of the one found: go on along
  // the chain of the rarest of them, beyond this offset.
  void FollowRarestPair(uint32_t offset, uint32_t& next) {
    covered_ = offset;
    // A pair's key needs both its bytes within the input.
    const uint32_t limit = std::min({bestLength_ - 1, maxLength_ - 2, offset, kRarityScan});
    for (uint32_t ahead = 1; ahead <= limit; ++ahead) {
      const uint32_t rarity = f_.Rarity(position_ + ahead);
      if (rarity > rarity_) {
        rarity_ = rarity;
        shift_ = ahead;
        next = f_.head_[f_.Key(position_ + ahead)];
      }
    }
  }

  const MatchFinder& f_;
  const uint32_t position_;
  const uint32_t maxLength_;
  const uint32_t niceLength_;
  uint32_t budget_;
  const uint8_t* const here_;
  const uint32_t base_;  // ring slots are counted from here
  Match best_;
  int32_t bestGain_ = INT32_MIN;
  uint32_t bestLength_ = 1;  // every candidate shares the two key bytes
  // The chain walked is that of the pair `shift_` bytes into the match; a
  // candidate on it at q starts at q - shift_. Every candidate up to
  // distance `covered_` has been looked at.
  uint32_t shift_ = 0;
  uint32_t covered_ = 0;
  uint32_t rarity_ = 0;
  uint32_t candidate_ = kNone;
};

Match MatchFinder::Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const {
  Walk walk(*this, position, maxCandidates, niceLength);
  while (walk.Step()) {
  }
  return walk.Result();
}

void MatchFinder::FindTwo(uint32_t first, uint32_t second, uint32_t maxCandidates, uint32_t niceLength,
                          Match& firstMatch, Match& secondMatch) const {
  Walk a(*this, first, maxCandidates, niceLength);
  Walk b(*this, second, maxCandidates, niceLength);
  bool aGoesOn = true, bGoesOn = true;
  while (aGoesOn && bGoesOn) {
    aGoesOn = a.Step();
    bGoesOn = b.Step();
  }
  while (aGoesOn && a.Step()) {
  }
  while (bGoesOn && b.Step()) {
  }
  firstMatch = a.Result();
  secondMatch = b.Result();
}

}  // namespace vexmoor::ap
