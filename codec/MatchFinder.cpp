#include "codec/MatchFinder.h"

#include <algorithm>
#include <optional>

#include "codec/ChainWalk.h"

namespace vexmoor::ap {

static_assert((kHeadEntries + kRingEntries) * sizeof(uint32_t) + kPairCounts * sizeof(uint16_t) <= kWorkMemorySize);
static_assert(kRingEntries > kMaxOffset, "links within the window are never overwritten");

TMatchFinder::TMatchFinder(const uint8_t* input, uint32_t size, uint8_t* workMemory)
    : input_(input),
      size_(size),
      head_(reinterpret_cast<uint32_t*>(workMemory)),
      ring_(reinterpret_cast<uint32_t*>(workMemory) + kHeadEntries),
      counts_(reinterpret_cast<uint16_t*>(ring_ + kRingEntries)) {
  std::fill_n(head_, kHeadEntries, kNone);
  std::fill_n(counts_, kPairCounts, uint16_t{0});
}

void TMatchFinder::InsertUpTo(uint32_t end) {
  end = std::min(end, size_ - 1);  // a key needs two bytes
  for (; inserted_ < end; ++inserted_) {
    const uint32_t key = Key(inserted_);
    ring_[inserted_ % kRingEntries] = head_[key];
    head_[key] = inserted_;
    // The counts follow the window: the pair one window back leaves it. A
    // count that reached its limit stays there (it only steers the search).
    uint16_t& count = counts_[CountSlot(key)];
    if (count != UINT16_MAX) ++count;
    if (inserted_ >= kMaxOffset) {
      uint16_t& leaving = counts_[CountSlot(Key(inserted_ - kMaxOffset))];
      if (leaving != UINT16_MAX) --leaving;
    }
  }
}

uint32_t TMatchFinder::MaxLengthAt(uint32_t position) const {
  return std::min(kMaxLength, size_ - position);
}

uint32_t TMatchFinder::LengthAt(uint32_t position, uint32_t offset, uint32_t limit) const {
  return chain::CommonLength(input_ + position, input_ + position - offset, limit);
}

// How rare the pair at `position` is: the fewer times it occurs within the
// window, the shorter its chain and the larger this value. Pairs whose keys
// share a count slot share their count; that only makes a chain look longer.
uint32_t TMatchFinder::Rarity(uint32_t position) const {
  return UINT16_MAX + 1 - counts_[CountSlot(Key(position))];
}

// The key's count slot: a multiplicative hash scaled onto kPairCounts.
uint32_t TMatchFinder::CountSlot(uint32_t key) {
  return uint32_t((uint64_t(key * 0x9E3779B1u) * kPairCounts) >> 32);
}

template <bool kNearEnd>
Matches TMatchFinder::FindOne(const Search& search) const {
  chain::Walk<kNearEnd> walk(*this, search);
  chain::Walk<kNearEnd>* const alone = &walk;
  chain::StepUntilOneEnds<1, kNearEnd>(&alone);
  return walk.Result();
}

Matches TMatchFinder::FindAll(const Search& search) const {
  if (NearEnd(search.position)) return FindOne<true>(search);
  return FindOne<false>(search);
}

Match TMatchFinder::Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const {
  return FindAll({position, maxCandidates, niceLength}).best;
}

void TMatchFinder::FindMany(const Search* searches, uint32_t count, Matches* found) const {
  // A search near the end of the input runs alone; the others are stepped
  // together, a waiting one taking the place of one that ends.
  std::optional<chain::Walk<false>> walks[kMaxBatch];
  chain::Walk<false>* going[chain::kLanes];
  uint32_t goingCount = 0, next = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (NearEnd(searches[i].position)) found[i] = FindOne<true>(searches[i]);
  }
  const auto startNext = [&] {
    for (; next < count; ++next) {
      if (NearEnd(searches[next].position)) continue;
      going[goingCount++] = &walks[next].emplace(*this, searches[next]);
      ++next;
      return;
    }
  };
  while (goingCount < chain::kLanes && next < count) startNext();
  while (goingCount != 0) {
    const uint32_t ended = chain::StepUntilAnyEnds(going, goingCount);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < goingCount; ++i) {
      if ((ended >> i & 1) == 0) going[kept++] = going[i];
    }
    goingCount = kept;
    while (goingCount < chain::kLanes && next < count) startNext();
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (walks[i]) found[i] = walks[i]->Result();
  }
}

}  // namespace vexmoor::ap
