#include "codec/StreamUnpack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/StreamCodes.h"

namespace vexmoor {
namespace {

using test::StreamBuilder;

// Decodes with the given room; "<failed>" when the decoder refuses.
std::string Unpack(const std::vector<uint8_t>& stream, size_t room = 1 << 20) {
  std::vector<uint8_t> out(room + 1);
  const auto size = ap::UnpackStream(stream.data(), stream.size(), out.data(), room);
  if (!size) return "<failed>";
  EXPECT_LE(*size, room);
  return std::string(out.begin(), out.begin() + ptrdiff_t(*size));
}

std::string Unpack(const StreamBuilder& builder, size_t room = 1 << 20) {
  return Unpack(builder.Bytes(), room);
}

// A prefix of `size` distinct-looking bytes that matches can point into.
StreamBuilder WithHistory(size_t size, std::string& expected) {
  StreamBuilder builder('a');
  expected = "a";
  for (size_t i = 1; i < size; ++i) {
    const auto byte = uint8_t(0x20 + (i * 7 + i / 95) % 95);
    builder.Literal(byte);
    expected += char(byte);
  }
  return builder;
}

std::string Back(const std::string& text, size_t offset, size_t length) {
  std::string copy;
  for (size_t i = 0; i < length; ++i) copy += (text + copy)[text.size() - offset + i];
  return copy;
}

TEST(StreamUnpackTest, KnownVectors) {
  EXPECT_EQ(Unpack({0x41, 0x60, 0x42, 0x00}), "AB");
  EXPECT_EQ(Unpack({0x41, 0xE3, 0x80, 0x00}), "AA");
  EXPECT_EQ(Unpack({0x41, 0xC0, 0x00}), "A");
  EXPECT_EQ(Unpack({0x41, 0xC0, 0x01}), "A") << "any byte whose upper seven bits are zero ends";
  EXPECT_EQ(Unpack({0x41, 0xC0, 0x00, 0xFF, 0xFF}), "A") << "bytes after the end marker are ignored";
}

TEST(StreamUnpackTest, MatchLengthAdjustmentsAtEachOffsetBoundary) {
  struct Case { uint32_t offset, length; };
  for (const Case c : {Case{127, 4}, Case{128, 2}, Case{1279, 2}, Case{1280, 3}, Case{31999, 3},
                       Case{32000, 4}, Case{127, 9}, Case{128, 9}, Case{1280, 9}, Case{32000, 9}}) {
    std::string expected;
    StreamBuilder builder = WithHistory(32000, expected);
    builder.MatchAt(c.offset, c.length).End();
    expected += Back(expected, c.offset, c.length);
    EXPECT_EQ(Unpack(builder), expected) << "offset " << c.offset << " length " << c.length;
  }
}

TEST(StreamUnpackTest, ReuseShortAndSingleByteCodes) {
  std::string expected;
  StreamBuilder builder = WithHistory(300, expected);
  builder.MatchAt(200, 5).Literal('x').Reuse(4);  // reuse after a literal
  expected += Back(expected, 200, 5) + "x";
  expected += Back(expected, 200, 4);
  builder.Single(0).Reuse(2);  // reuse after a single byte, high part after a match
  expected += std::string(1, '\0');
  expected += Back(expected, 200, 2);
  builder.MatchAt(300, 3);  // coded with g = high + 2 after a match
  expected += Back(expected, 300, 3);
  builder.Short(1, 2).Short(127, 3).Single(15).Single(1).Short(5, 3).End();
  expected += Back(expected, 1, 2);
  expected += Back(expected, 127, 3);
  expected += Back(expected, 15, 1);
  expected += Back(expected, 1, 1);
  expected += Back(expected, 5, 3);
  EXPECT_EQ(Unpack(builder), expected);
}

TEST(StreamUnpackTest, RunsWhereLengthExceedsOffset) {
  StreamBuilder builder('a');
  builder.Literal('b').MatchAt(2, 1000).Literal('c').Reuse(7).Short(1, 3).End();
  std::string expected = "ab";
  expected += Back(expected, 2, 1000) + "c";
  expected += Back(expected, 2, 7);
  expected += Back(expected, 1, 3);
  EXPECT_EQ(Unpack(builder), expected);
  // The copy ends exactly at the room's edge.
  EXPECT_EQ(Unpack(builder, expected.size()), expected);
}

TEST(StreamUnpackTest, RefusesReadsPastTheStream) {
  const std::vector<uint8_t> whole = StreamBuilder('a').Literal('b').MatchAt(1, 5).End().Bytes();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_EQ(Unpack(std::vector<uint8_t>(whole.begin(), whole.begin() + ptrdiff_t(cut))), "<failed>")
        << "cut at " << cut;
  }
  EXPECT_EQ(Unpack(whole), "ab" + std::string(5, 'b'));
}

TEST(StreamUnpackTest, RefusesOutputPastTheRoom) {
  const auto stream = StreamBuilder('a').Literal('b').Single(0).MatchAt(3, 6).End();
  EXPECT_EQ(Unpack(stream, 9), std::string("ab\0ab\0ab\0", 9));
  for (size_t room : {0, 1, 2, 8}) EXPECT_EQ(Unpack(stream, room), "<failed>") << "room " << room;
  EXPECT_EQ(Unpack(StreamBuilder('a').Single(1).End(), 1), "<failed>");
}

TEST(StreamUnpackTest, RefusesOffsetsBeyondTheOutput) {
  EXPECT_EQ(Unpack(StreamBuilder('a').MatchAt(2, 4).End()), "<failed>");
  EXPECT_EQ(Unpack(StreamBuilder('a').MatchAt(1, 4).End()), "aaaaa");
  EXPECT_EQ(Unpack(StreamBuilder('a').Short(2, 2).End()), "<failed>");
  EXPECT_EQ(Unpack(StreamBuilder('a').Single(2).End()), "<failed>");
  EXPECT_EQ(Unpack(StreamBuilder('a').Literal('b').Single(2).End()), "aba");
  // Offset 0 in a match: g = 3 with data byte 0.
  EXPECT_EQ(Unpack(StreamBuilder('a').RawMatch(3, 0, 2).End()), "<failed>");
}

TEST(StreamUnpackTest, RefusesReuseBeforeAnyOffset) {
  EXPECT_EQ(Unpack(StreamBuilder('a').Reuse(2).End()), "<failed>");
  EXPECT_EQ(Unpack(StreamBuilder('a').Literal('b').Reuse(3).End()), "<failed>");
}

TEST(StreamUnpackTest, RefusesOverlongGammaAndHugeHighPart) {
  // A gamma value of 33 binary digits in a match's first gamma.
  StreamBuilder overlong('a');
  overlong.Bits({1, 0});
  for (int i = 0; i < 32; ++i) overlong.Bits({1, 1});
  overlong.Bits({0, 0}).Byte(1).Gamma(2).End();
  EXPECT_EQ(Unpack(overlong), "<failed>");
  // High part 2^24 (g = 2^24 + 3) and the largest 32-bit gamma as a length.
  EXPECT_EQ(Unpack(StreamBuilder('a').RawMatch((1u << 24) + 3, 1, 2).End()), "<failed>");
  EXPECT_EQ(Unpack(StreamBuilder('a').RawMatch(3, 1, 0xFFFFFFFFu).End()), "<failed>");
}

TEST(StreamUnpackTest, RefusesMissingBuffers) {
  uint8_t out[4];
  const uint8_t stream[] = {0x41, 0xC0, 0x00};
  EXPECT_FALSE(ap::UnpackStream(nullptr, 3, out, 4));
  EXPECT_FALSE(ap::UnpackStream(stream, 3, nullptr, 4));
  EXPECT_FALSE(ap::UnpackStream(stream, 0, out, 4));
}

}  // namespace
}  // namespace vexmoor
