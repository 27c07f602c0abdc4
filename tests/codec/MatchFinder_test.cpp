#include "codec/MatchFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/SampleData.h"
#include "codec/ApCost.h"

namespace vexmoor {
namespace {

using ap::Match;
using ap::TMatchFinder;

class MatchFinderTest : public ::testing::Test {
 protected:
  // The input lies in a buffer of exactly its size, so that the sanitizers
  // catch a read one byte past it.
  void Load(std::string text) {
    text_ = std::move(text);
    bytes_.assign(text_.begin(), text_.end());
    work_.assign(ap::kWorkMemorySize, 0xA5);  // stale garbage must not matter
    finder_ = std::make_unique<TMatchFinder>(Bytes(), uint32_t(text_.size()), work_.data());
  }
  const uint8_t* Bytes() const { return bytes_.data(); }

  // The match is real, allowed by the format and within the window.
  void ExpectValid(uint32_t position, const Match& match) {
    if (match.length == 0) return;
    ASSERT_GE(match.offset, 1u);
    ASSERT_LE(match.offset, std::min(position, ap::kMaxOffset));
    EXPECT_GE(match.length, ap::MinMatchLength(match.offset));
    EXPECT_LE(match.length, finder_->MaxLengthAt(position));
    EXPECT_EQ(std::memcmp(Bytes() + position, Bytes() + position - match.offset, match.length), 0);
  }

  std::string text_;
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> work_;
  std::unique_ptr<TMatchFinder> finder_;
};

TEST_F(MatchFinderTest, FindsTheRepeatNearestFirst) {
  Load("abcdefgh-abcdefgh-abcdefgh");
  finder_->InsertUpTo(18);
  const Match match = finder_->Find(18, ap::kMaxCandidates, 256);
  EXPECT_EQ(match.length, 8u);
  EXPECT_EQ(match.offset, 9u);
}

void ExpectSame(const ap::Matches& a, const ap::Matches& b, uint32_t position) {
  ASSERT_EQ(a.count, b.count) << position;
  for (uint32_t i = 0; i < a.count; ++i) {
    ASSERT_EQ(a.rung[i].length, b.rung[i].length) << position;
    ASSERT_EQ(a.rung[i].offset, b.rung[i].offset) << position;
  }
  ASSERT_EQ(a.best.length, b.best.length) << position;
  ASSERT_EQ(a.best.offset, b.best.offset) << position;
}

TEST_F(MatchFinderTest, BatchedSearchesEqualSingleSearches) {
  Load(bench::GeneratedDatText(1500) + bench::GeneratedBinary(60000, 9));
  const uint32_t size = uint32_t(text_.size());
  for (uint32_t position = 1; position < size; position += position + 9 < size ? 7 : 1) {
    const uint32_t count = std::min(size - position, ap::TMatchFinder::kMaxBatch);
    finder_->InsertUpTo(position + count);
    ap::Search searches[ap::TMatchFinder::kMaxBatch];
    ap::Matches found[ap::TMatchFinder::kMaxBatch];
    for (uint32_t i = 0; i < count; ++i) searches[i] = {position + i, ap::kMaxCandidates, 256, i == 0 ? 0 : 32u * i};
    finder_->FindMany(searches, count, found);
    for (uint32_t i = 0; i < count; ++i) {
      ExpectSame(found[i], finder_->FindAll(searches[i]), position + i);
      ExpectValid(position + i, found[i].best);
      for (uint32_t r = 0; r < found[i].count; ++r) {
        ExpectValid(position + i, found[i].rung[r]);
        if (r > 0) {
          EXPECT_GT(found[i].rung[r].length, found[i].rung[r - 1].length);
          EXPECT_GT(found[i].rung[r].offset, found[i].rung[r - 1].offset);
        }
      }
    }
  }
}

// With chains shorter than the candidate limit, a search sees every earlier
// position: its longest rung is the longest repeat there, at the nearest
// offset that has it (when the format allows that offset such a length).
// The walk switches chains, passes over positions it has seen and jumps
// along links, so it is checked against plain comparison at every position,
// searched alone and in batches of one to four.
TEST_F(MatchFinderTest, FindsTheLongestNearestRepeatLikePlainComparison) {
  std::string text;
  uint32_t state = 12345;
  while (text.size() < 1900) {
    state = state * 1103515245u + 12345u;
    if ((state >> 20) % 5 == 0 && text.size() > 40) {
      const size_t from = text.size() - 1 - (state >> 8) % std::min<size_t>(text.size() - 1, 1500);
      text += text.substr(from, 2 + (state >> 4) % 30);  // a repeat, often overlapping itself
    } else {
      text += char('a' + (state >> 16) % 4);
    }
  }
  Load(text);
  const uint32_t size = uint32_t(text_.size());
  for (uint32_t position = 1; position < size;) {
    const uint32_t count = std::min({1 + position % ap::TMatchFinder::kMaxBatch, size - position});
    finder_->InsertUpTo(position + count);
    ap::Search searches[ap::TMatchFinder::kMaxBatch];
    ap::Matches found[ap::TMatchFinder::kMaxBatch];
    for (uint32_t i = 0; i < count; ++i) searches[i] = {position + i, ap::kMaxCandidates, ap::kMaxLength, 0};
    finder_->FindMany(searches, count, found);
    for (uint32_t i = 0; i < count; ++i, ++position) {
      uint32_t longest = 0, nearest = 0;
      for (uint32_t offset = 1; offset <= position; ++offset) {
        uint32_t length = 0;
        while (position + length < size && Bytes()[position + length] == Bytes()[position + length - offset]) ++length;
        if (length > longest) longest = length, nearest = offset;
      }
      const ap::Matches& got = found[i];
      ExpectSame(got, finder_->FindAll(searches[i]), position);
      if (longest >= 2 && longest >= ap::MinMatchLength(nearest)) {
        ASSERT_NE(got.count, 0u) << position;
        EXPECT_EQ(got.rung[got.count - 1].length, longest) << position;
        EXPECT_EQ(got.rung[got.count - 1].offset, nearest) << position;
      }
      for (uint32_t r = 0; r < got.count; ++r) ExpectValid(position, got.rung[r]);
    }
  }
}

// A search walks the chain of the rarest pair its match holds: the common
// pair "ab" at the search position has hundreds of nearer occurrences, the
// pair "bQ" one. Within a budget of 64 candidates only the walk along the
// rare pair's chain reaches the repeat.
TEST_F(MatchFinderTest, WalksTheRarestPairsChain) {
  std::string common;
  for (int i = 0; i < 300; ++i) common += "abcd";
  Load("xy" + std::string("abQRSTUVW") + common + "abQRSTUVW!");
  const uint32_t position = uint32_t(text_.size() - 10);
  finder_->InsertUpTo(position + 4);
  const Match match = finder_->Find(position, 64, 256);
  EXPECT_EQ(match.length, 9u);
  EXPECT_EQ(match.offset, position - 2);
}

// The counts follow the window: a pair that was common only further back
// than the longest offset is rare again, so the search still takes its
// chain.
TEST_F(MatchFinderTest, PairsBeyondTheWindowNoLongerCount) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "bQ";
  for (int i = 0; i < 47500; ++i) text += "cd";
  text += "abQRSTUVW";
  for (int i = 0; i < 300; ++i) text += "abcd";
  text += "abQRSTUVW!";
  Load(text);
  const uint32_t position = uint32_t(text_.size() - 10);
  ASSERT_GT(position - ap::kMaxOffset, 10000u) << "the run of bQ lies beyond the window";
  finder_->InsertUpTo(position + 4);
  const Match match = finder_->Find(position, 64, 256);
  EXPECT_EQ(match.length, 9u);
  EXPECT_EQ(match.offset, 9u + 1200u);
}

TEST_F(MatchFinderTest, NothingBeyondTheWindowOrTheInput) {
  std::string unique;
  for (uint32_t i = 0; unique.size() < 100000; ++i) unique += std::to_string(i * 2654435761u) + ",";
  Load(unique.substr(0, 95000) + unique.substr(0, 95000) + "xy");
  for (uint32_t position : {95000u, 95001u, 150000u, 189990u, 189999u, 190000u}) {
    finder_->InsertUpTo(position);
    const Match match = finder_->Find(position, ap::kMaxCandidates, 256);
    ExpectValid(position, match);
  }
  EXPECT_EQ(finder_->Find(190001, ap::kMaxCandidates, 256).length, 0u) << "one byte left";
}

// Regression: a far match too short for its offset that reaches the end of
// the input made the search read one byte past it.
TEST_F(MatchFinderTest, UnusableMatchReachingTheEnd) {
  std::string filler;
  for (uint32_t i = 0; filler.size() < 40000; ++i) filler += std::to_string(i * 2654435761u % 1000003u) + ";";
  Load("xyz" + filler + "xyz");
  const uint32_t position = uint32_t(text_.size() - 3);
  finder_->InsertUpTo(position);
  const Match match = finder_->Find(position, ap::kMaxCandidates, 256);
  ExpectValid(position, match);
  EXPECT_NE(match.offset, position) << "three bytes at 40000 back are too short to code";
}

// The quick eight-byte test of the chain walk would read past the input in
// its last bytes; there the walk compares in full. Searches at each of the
// last positions, alone and paired, must find the repeats and stay within
// the input (the sanitizers catch a read past it).
TEST_F(MatchFinderTest, SearchesAtTheLastPositions) {
  Load("abcabcabcabcabcabcab");
  const uint32_t size = uint32_t(text_.size());
  finder_->InsertUpTo(size);
  for (uint32_t position = size - 12; position < size; ++position) {
    const Match match = finder_->Find(position, ap::kMaxCandidates, 256);
    ExpectValid(position, match);
    EXPECT_EQ(match.length, position + 1 < size ? size - position : 0u) << position;
    const ap::Search searches[2] = {{position - 1, ap::kMaxCandidates, 256, 0}, {position, ap::kMaxCandidates, 256, 0}};
    ap::Matches found[2];
    finder_->FindMany(searches, 2, found);
    EXPECT_EQ(found[1].best.length, match.length) << position;
    EXPECT_EQ(found[1].best.offset, match.offset) << position;
  }
}

}  // namespace
}  // namespace vexmoor
