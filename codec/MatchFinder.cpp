#include "codec/MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

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

// One search along the chains: its state between two candidates, so that
// several searches can be stepped in turn and their chain loads overlap.
// The chain walked is that of the pair `shift_` bytes into the match; its
// positions are kept relative to `anchor_` (the search position plus the
// shift), so that the distance from the anchor is the match's offset.
// Within the last bytes of the input (`kNearEnd`) the four-byte test that
// rejects most candidates would read past the input, so there every
// candidate goes to the full comparison.
template <bool kNearEnd>
class MatchFinder::Walk {
 public:
  Walk(const MatchFinder& finder, const Search& search)
      : f_(finder),
        position_(search.position),
        maxLength_(finder.MaxLengthAt(position_)),
        niceLength_(std::min(search.niceLength, maxLength_)),
        maxOffset_(std::min(position_, kMaxOffset)),
        patience_(search.patience),
        budget_(search.maxCandidates),
        here_(finder.input_ + position_),
        anchor_(position_),
        anchorSlot_(int32_t(position_ % kRingEntries)) {
    if (maxLength_ < 2) return;
    rarity_ = f_.Rarity(position_);
    candidate_ = f_.head_[f_.Key(position_)];
    // Positions at or after this one are no candidates.
    while (candidate_ != kNone && candidate_ >= position_) candidate_ = f_.ring_[candidate_ % kRingEntries];
    SetLengthToBeat(1);  // every candidate shares the two key bytes
  }

  const Matches& Result() const { return found_; }

  // Looks at the next candidate; false when the search is over. The
  // end of the chain (kNone) and a candidate too far back both give an
  // offset beyond maxOffset_.
  [[gnu::always_inline]] bool Step() {
    const uint32_t offset = anchor_ - candidate_;
    if (offset > maxOffset_) return false;
    int32_t slot = anchorSlot_ - int32_t(offset);
    if (slot < 0) slot += int32_t(kRingEntries);
    uint32_t next = f_.ring_[slot];
    if (offset > covered_) [[likely]] {
      if (budget_-- == giveUpAt_) return false;
      const uint8_t* there = here_ - offset;
      if ((kNearEnd || ((Load32(there + checkAt_) ^ want_) & mask_) == 0) && Consider(there, offset, next)) {
        return false;
      }
    }
    candidate_ = next;
    return true;
  }

 private:
  // A longer match must agree on the four bytes that end at the length to
  // beat (on all bytes up to it while it is shorter than four): a cheap test
  // that most candidates fail. It reads bytes up to index max(length, 3),
  // within the input when the length is below maxLength_ and maxLength_ is
  // at least kFourByteTest.
  void SetLengthToBeat(uint32_t length) {
    bestLength_ = length;
    checkAt_ = length >= 3 ? length - 3 : 0;
    const uint32_t bytes = std::min(length + 1, 4u);
    uint32_t ones = bytes >= 4 ? ~0u : (1u << (8 * bytes)) - 1;
    if constexpr (std::endian::native == std::endian::big) ones = bytes >= 4 ? ones : ones << (32 - 8 * bytes);
    mask_ = ones;
    if (!kNearEnd) want_ = Load32(here_ + checkAt_);
  }

  // Takes the candidate if it is better; true when the search can stop.
  // A candidate longer than every one before it sets the length to beat
  // even when its offset costs too much: any later candidate that is not
  // longer still is both shorter and further back.
  bool Consider(const uint8_t* there, uint32_t offset, uint32_t& next) {
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
    if (patience_ != 0) giveUpAt_ = budget_ > patience_ ? budget_ - patience_ : 0;
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
        anchor_ = position_ + ahead;
        anchorSlot_ = int32_t(anchor_ % kRingEntries);
        next = f_.head_[f_.Key(anchor_)];
      }
    }
  }

  const MatchFinder& f_;
  const uint32_t position_;
  const uint32_t maxLength_;
  const uint32_t niceLength_;
  const uint32_t maxOffset_;
  const uint32_t patience_;
  uint32_t budget_;
  uint32_t giveUpAt_ = 0;  // the search ends when the budget falls to this
  const uint8_t* const here_;
  uint32_t anchor_;
  int32_t anchorSlot_;
  Matches found_;
  int32_t bestGain_ = INT32_MIN;
  uint32_t bestLength_ = 1;
  uint32_t checkAt_ = 0;
  uint32_t want_ = 0;
  uint32_t mask_ = 0;
  // Every candidate up to this offset has been looked at.
  uint32_t covered_ = 0;
  uint32_t rarity_ = 0;
  uint32_t candidate_ = kNone;
};

template <bool kNearEnd>
Matches MatchFinder::FindOne(const Search& search) const {
  Walk<kNearEnd> walk(*this, search);
  while (walk.Step()) {
  }
  return walk.Result();
}

Matches MatchFinder::FindAll(const Search& search) const {
  if (MaxLengthAt(search.position) < kFourByteTest) return FindOne<true>(search);
  return FindOne<false>(search);
}

Match MatchFinder::Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const {
  return FindAll({position, maxCandidates, niceLength}).best;
}

void MatchFinder::FindMany(const Search* searches, uint32_t count, Matches* found) const {
  // The walks are stepped in turn; one near the end of the input runs alone.
  std::optional<Walk<false>> walks[kMaxBatch];
  Walk<false>* going[kMaxBatch];
  uint32_t goingCount = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (MaxLengthAt(searches[i].position) < kFourByteTest) {
      found[i] = FindOne<true>(searches[i]);
    } else {
      going[goingCount++] = &walks[i].emplace(*this, searches[i]);
    }
  }
  while (goingCount != 0) {
    for (uint32_t i = 0; i < goingCount;) {
      if (going[i]->Step()) {
        ++i;
      } else {
        going[i] = going[--goingCount];
      }
    }
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (walks[i]) found[i] = walks[i]->Result();
  }
}

}  // namespace vexmoor::ap
