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
using ap::MatchFinder;

class MatchFinderTest : public ::testing::Test {
 protected:
  // The input lies in a buffer of exactly its size, so that the sanitizers
  // catch a read one byte past it.
  void Load(std::string text) {
    text_ = std::move(text);
    bytes_.assign(text_.begin(), text_.end());
    work_.assign(ap::kWorkMemorySize, 0xA5);  // stale garbage must not matter
    finder_ = std::make_unique<MatchFinder>(Bytes(), uint32_t(text_.size()), work_.data());
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
  std::unique_ptr<MatchFinder> finder_;
};

TEST_F(MatchFinderTest, FindsTheRepeatNearestFirst) {
  Load("abcdefgh-abcdefgh-abcdefgh");
  finder_->InsertUpTo(18);
  const Match match = finder_->Find(18, ap::kMaxCandidates, 256);
  EXPECT_EQ(match.length, 8u);
  EXPECT_EQ(match.offset, 9u);
}

TEST_F(MatchFinderTest, PairedSearchEqualsTwoSingleSearches) {
  Load(bench::GeneratedDatText(1500) + bench::GeneratedBinary(60000, 9));
  for (uint32_t position = 1; position + 2 < text_.size(); position += 7) {
    finder_->InsertUpTo(position + 1);
    Match first, second;
    finder_->FindTwo(position, position + 1, ap::kMaxCandidates, 256, first, second);
    const Match alone = finder_->Find(position, ap::kMaxCandidates, 256);
    const Match next = finder_->Find(position + 1, ap::kMaxCandidates, 256);
    ASSERT_EQ(first.length, alone.length) << position;
    ASSERT_EQ(first.offset, alone.offset) << position;
    ASSERT_EQ(second.length, next.length) << position;
    ASSERT_EQ(second.offset, next.offset) << position;
    ExpectValid(position, first);
    ExpectValid(position + 1, second);
  }
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

// The quick four-byte test of the chain walk would read past the input in
// its last bytes; there the walk compares in full. Searches at each of the
// last positions, alone and paired, must find the repeats and stay within
// the input (the sanitizers catch a read past it).
TEST_F(MatchFinderTest, SearchesAtTheLastPositions) {
  Load("abcabcabcabcab");
  const uint32_t size = uint32_t(text_.size());
  finder_->InsertUpTo(size);
  for (uint32_t position = size - 8; position < size; ++position) {
    const Match match = finder_->Find(position, ap::kMaxCandidates, 256);
    ExpectValid(position, match);
    EXPECT_EQ(match.length, position + 1 < size ? size - position : 0u) << position;
    Match first, second;
    finder_->FindTwo(position - 1, position, ap::kMaxCandidates, 256, first, second);
    EXPECT_EQ(second.length, match.length) << position;
    EXPECT_EQ(second.offset, match.offset) << position;
  }
}

}  // namespace
}  // namespace vexmoor
