#include "codec/StreamPack.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bench/SampleData.h"
#include "codec/ApFormat.h"
#include "codec/StreamCodes.h"
#include "codec/StreamUnpack.h"
#include "support/RandomData.h"

namespace vexmoor {
namespace {

std::vector<uint8_t> Pack(const std::string& input) {
  std::vector<uint8_t> work(ap::kWorkMemorySize);
  std::vector<uint8_t> out(ap::StreamBound(input.size()));
  const auto size = ap::PackStream(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                                   out.data(), work.data());
  EXPECT_TRUE(size.has_value());
  out.resize(size.value_or(0));
  return out;
}

// Packs, then checks the stream with the reference decoder and our own.
test::StreamTrace CheckedRoundTrip(const std::string& input) {
  const auto stream = Pack(input);
  EXPECT_LE(stream.size(), ap::StreamBound(input.size()));
  const auto trace = test::ReferenceDecode(stream);
  EXPECT_TRUE(trace.has_value());
  if (!trace) return {};
  EXPECT_EQ(trace->output, input);
  EXPECT_EQ(trace->consumed, stream.size()) << "the stream ends with its end marker";
  EXPECT_TRUE(trace->paddingZero);
  EXPECT_LE(trace->maxOffset, ap::kMaxOffset);
  EXPECT_LE(trace->maxLength, ap::kMaxLength);
  std::vector<uint8_t> out(input.size());
  EXPECT_EQ(ap::UnpackStream(stream.data(), stream.size(), out.data(), out.size()), input.size());
  EXPECT_EQ(std::string(out.begin(), out.end()), input);
  return *trace;
}

using test::RandomBytes;

TEST(StreamPackTest, OneByteAndEmptyInput) {
  EXPECT_EQ(Pack("A"), (std::vector<uint8_t>{0x41, 0xC0, 0x00}));
  EXPECT_TRUE(Pack("").empty());
}

TEST(StreamPackTest, RefusesMissingBuffers) {
  std::vector<uint8_t> work(ap::kWorkMemorySize), out(64);
  const uint8_t in[] = {1, 2, 3};
  EXPECT_FALSE(ap::PackStream(nullptr, 3, out.data(), work.data()));
  EXPECT_FALSE(ap::PackStream(in, 3, nullptr, work.data()));
  EXPECT_FALSE(ap::PackStream(in, 3, out.data(), nullptr));
}

TEST(StreamPackTest, TextUsesEveryKindOfCode) {
  std::string input = bench::GeneratedDatText(800);
  input += std::string(300, '\0') + "tail tail tail";
  const auto trace = CheckedRoundTrip(input);
  EXPECT_GT(trace.literals, 0u);
  EXPECT_GT(trace.singles, 0u);
  EXPECT_GT(trace.shortMatches, 0u);
  EXPECT_GT(trace.matches, 0u);
  EXPECT_GT(trace.reuses, 0u);
  EXPECT_LT(Pack(input).size(), input.size() / 2);
}

TEST(StreamPackTest, IncompressibleInputStaysWithinTheBound) {
  for (size_t size : {1u, 2u, 3u, 17u, 4096u, 300000u}) CheckedRoundTrip(RandomBytes(size, uint32_t(size)));
}

TEST(StreamPackTest, LongRunsAndRepeatsKeepOffsetsAndLengthsInRange) {
  CheckedRoundTrip(std::string(200000, 'x'));
  CheckedRoundTrip(std::string(200000, '\0'));
  const std::string block = RandomBytes(95000, 7);
  const auto trace = CheckedRoundTrip(block + block + block.substr(0, 1000));
  EXPECT_GT(trace.literals, 150000u) << "a repeat beyond the window is not reachable";
  std::string periodic;
  for (int i = 0; i < 40000; ++i) periodic += "abcdefg" + std::to_string(i % 13);
  CheckedRoundTrip(periodic);
}

// A far match broken by one changed byte goes on as a reuse of three bytes,
// shorter than a fresh match at that offset could be: the plan must price
// and code it as a reuse, never as a match the format cannot express.
TEST(StreamPackTest, FarMatchResumesAsAReuse) {
  const std::string head = "q1w2e3r4t5y6u7i8";
  const std::string far = head + RandomBytes(40000, 11);
  const auto trace = CheckedRoundTrip(far + "q1w2e3r4t5y6uZi8" + RandomBytes(100, 12));
  EXPECT_GE(trace.reuses, 1u);
  EXPECT_GE(trace.maxOffset, 40000u);
}

// The plan looks up to three positions ahead: every input length near the
// end of a repeat must still come out whole and end with its marker.
TEST(StreamPackTest, EveryLengthOfAShortRepeat) {
  const std::string pattern = "abcabcabdabcabcaxyxyxyxyAxyxyBxyxy";
  for (size_t size = 1; size <= pattern.size(); ++size) CheckedRoundTrip(pattern.substr(0, size));
}

TEST(StreamPackTest, BinaryRoundTrips) {
  CheckedRoundTrip(bench::GeneratedBinary(300000, 3));
  std::string sparse(100000, '\0');
  std::mt19937 random(5);
  for (int i = 0; i < 3000; ++i) sparse[random() % sparse.size()] = char(random());
  CheckedRoundTrip(sparse);
}

}  // namespace
}  // namespace vexmoor
