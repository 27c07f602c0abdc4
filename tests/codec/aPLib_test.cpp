#include "codec/aPLib.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/SampleData.h"
#include "codec/ApFormat.h"
#include "platform/Errors.h"
#include "scan/CRC32.h"

namespace vexmoor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes PackWithComponent(const std::string& input) {
  TaPLib codec;
  codec.Source = input.data();
  codec.Length = uint32_t(input.size());
  codec.Pack();
  return Bytes(codec.Destination, codec.Destination + codec.Length);
}

std::string UnpackWithComponent(const Bytes& block) {
  TaPLib codec;
  codec.Source = block.data();
  codec.Length = uint32_t(block.size());
  codec.UnPack();
  return std::string(reinterpret_cast<const char*>(codec.Destination), codec.Length);
}

// The message UnPack raises for `block`, or "" when it succeeds.
std::string UnpackError(const Bytes& block) {
  try {
    UnpackWithComponent(block);
    return "";
  } catch (const Error& error) {
    return error.what();
  }
}

void SetField(Bytes& block, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = uint8_t(value >> (8 * i));
}

uint32_t Field(const Bytes& block, size_t offset) {
  return block[offset] | block[offset + 1] << 8 | block[offset + 2] << 16 | uint32_t(block[offset + 3]) << 24;
}

// Rewrites the packed CRC after the stream was changed on purpose.
void FixPackedCrc(Bytes& block) {
  const uint32_t start = Field(block, ap::kHeaderSizeField);
  SetField(block, ap::kPackedCrcField, Crc32(block.data() + start, Field(block, ap::kPackedSizeField)));
}

TEST(aPLibTest, OneByteBlockIsExactlyKnown) {
  const Bytes expected = {'A', 'P', '3', '2', 24, 0, 0, 0, 3, 0, 0, 0, 0xAB, 0xE9, 0xE3, 0x45,
                          1,   0,   0,   0,   0x8B, 0x9E, 0xD9, 0xD3, 0x41, 0xC0, 0x00};
  EXPECT_EQ(PackWithComponent("A"), expected);
  EXPECT_EQ(UnpackWithComponent(expected), "A");
}

TEST(aPLibTest, RoundTripsTextBinaryAndLongRuns) {
  for (const std::string& input : {bench::GeneratedDatText(2000), bench::GeneratedBinary(100000),
                                   std::string(200000, 'r'), std::string("x")}) {
    const Bytes block = PackWithComponent(input);
    EXPECT_LE(block.size(), ap::BlockBound(input.size()));
    EXPECT_EQ(GetUnpackedSize(block.data(), block.size()), input.size());
    EXPECT_EQ(UnpackWithComponent(block), input);
  }
}

TEST(aPLibTest, PackRefusesEmptyOrMissingSource) {
  TaPLib codec;
  codec.Source = "abc";
  codec.Length = 0;
  EXPECT_THROW(
      try { codec.Pack(); } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Compression error");
        throw;
      },
      Error);
  EXPECT_EQ(codec.Destination, nullptr);
  codec.Source = nullptr;
  codec.Length = 3;
  EXPECT_THROW(codec.Pack(), Error);
  codec.Source = "abc";  // the component stays usable
  codec.Pack();
  EXPECT_EQ(GetUnpackedSize(codec.Destination, codec.Length), 3u);
}

TEST(aPLibTest, HeaderProbeNeedsTagAndHeaderSize) {
  Bytes block = PackWithComponent("hello hello hello");
  EXPECT_EQ(GetUnpackedSize(block.data(), block.size()), 17u);
  EXPECT_EQ(GetUnpackedSize(block.data(), 24), 17u) << "only the header is read";
  EXPECT_FALSE(GetUnpackedSize(block.data(), 23));
  EXPECT_FALSE(GetUnpackedSize(nullptr, 100));
  EXPECT_EQ(UnpackError(Bytes(block.begin(), block.begin() + 23)), "File is not packed with aPLib");
  Bytes small = block;
  SetField(small, ap::kHeaderSizeField, 23);
  EXPECT_EQ(UnpackError(small), "File is not packed with aPLib");
  Bytes other = block;
  other[3] = '3';
  EXPECT_EQ(UnpackError(other), "File is not packed with aPLib");
  TaPLib codec;
  codec.Source = other.data();
  codec.Length = uint32_t(other.size());
  EXPECT_THROW(codec.UnPack(), FormatError);
  EXPECT_EQ(codec.Destination, nullptr);
}

TEST(aPLibTest, LargerHeaderIsSkipped) {
  const Bytes block = PackWithComponent("skipped header bytes");
  Bytes wide(block.begin(), block.begin() + 24);
  wide.insert(wide.end(), 8, 0xEE);
  wide.insert(wide.end(), block.begin() + 24, block.end());
  SetField(wide, ap::kHeaderSizeField, 32);
  EXPECT_EQ(UnpackWithComponent(wide), "skipped header bytes");
  SetField(wide, ap::kHeaderSizeField, uint32_t(wide.size()) + 1);
  EXPECT_EQ(UnpackError(wide), "Decompression error") << "header size beyond the block";
}

TEST(aPLibTest, DamagedBlocksFailWithDecompressionError) {
  const std::string input = bench::GeneratedDatText(50);
  const Bytes block = PackWithComponent(input);
  Bytes flipped = block;
  flipped[40] ^= 0x10;
  EXPECT_EQ(UnpackError(flipped), "Decompression error") << "packed CRC";
  Bytes wrongCrc = block;
  SetField(wrongCrc, ap::kUnpackedCrcField, Field(block, ap::kUnpackedCrcField) ^ 1);
  EXPECT_EQ(UnpackError(wrongCrc), "Decompression error") << "unpacked CRC";
  Bytes truncated(block.begin(), block.end() - 1);
  EXPECT_EQ(UnpackError(truncated), "Decompression error") << "packed size beyond the block";
  Bytes longer = block;
  SetField(longer, ap::kUnpackedSizeField, uint32_t(input.size() + 1));
  EXPECT_EQ(UnpackError(longer), "Decompression error") << "stream decodes to fewer bytes";
  Bytes shorter = block;
  SetField(shorter, ap::kUnpackedSizeField, uint32_t(input.size() - 1));
  EXPECT_EQ(UnpackError(shorter), "Decompression error") << "stream decodes to more bytes";
  Bytes garbage = block;
  for (size_t i = 25; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37);
  FixPackedCrc(garbage);
  EXPECT_EQ(UnpackError(garbage), "Decompression error") << "malformed stream";
}

TEST(aPLibTest, UnpackedSizeZeroOrHugeCountsAsOutOfMemory) {
  Bytes block = PackWithComponent("abc");
  SetField(block, ap::kUnpackedSizeField, 0);
  EXPECT_EQ(UnpackError(block), "Out of memory");
  SetField(block, ap::kUnpackedSizeField, 0x80000000u);
  EXPECT_EQ(UnpackError(block), "Out of memory");
}

TEST(aPLibTest, UnpackBlockChecksTheOutputRoom) {
  const Bytes block = PackWithComponent("some text, some text");
  std::vector<uint8_t> out(64);
  EXPECT_EQ(UnpackBlock(block.data(), block.size(), out.data(), 20), 20u);
  EXPECT_FALSE(UnpackBlock(block.data(), block.size(), out.data(), 19));
  EXPECT_FALSE(UnpackBlock(block.data(), block.size(), nullptr, 20));
  std::vector<uint8_t> work(ap::kWorkMemorySize);
  EXPECT_FALSE(PackBlock(nullptr, out.data(), 3, work.data()));
  EXPECT_FALSE(PackBlock("abc", out.data(), 0, work.data()));
}

TEST(aPLibTest, EachCallReplacesTheLastResult) {
  TaPLib codec;
  const std::string input = "again and again and again";
  codec.Source = input.data();
  codec.Length = uint32_t(input.size());
  codec.Pack();
  const Bytes block(codec.Destination, codec.Destination + codec.Length);
  codec.Source = block.data();
  codec.UnPack();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(codec.Destination), codec.Length), input);
  const Bytes bad = {'n', 'o', 'p', 'e'};
  codec.Source = bad.data();
  codec.Length = 4;
  EXPECT_THROW(codec.UnPack(), FormatError);
  EXPECT_EQ(codec.Destination, nullptr);
}

}  // namespace
}  // namespace vexmoor
