// Every CRC-32 routine this processor runs, called directly, against the
// byte-at-a-time table routine: all lengths up to 1024 at every start offset within a
// 64-byte line, and chaining across arbitrary cuts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "scan/CRC32.h"
#include "scan/crc32/crc32_impl.h"

namespace vexmoor {
namespace {

using crc32::Crc32Variant;

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// The byte-at-a-time table routine: slow, simple, the reference for all.
uint32_t Reference(const uint8_t* p, size_t size, uint32_t crc) {
  const uint32_t* table = crc32::ByteTable();
  uint32_t reg = ~crc;
  for (size_t i = 0; i < size; ++i) reg = table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return ~reg;
}

class Crc32VariantTest : public testing::TestWithParam<Crc32Variant> {};

TEST_P(Crc32VariantTest, AgreesWithTableAtEveryLengthAndOffset) {
  const auto crc = GetParam().function;
  // 64-byte aligned storage, so offset 0 really is the start of a line.
  std::vector<uint8_t> storage = RandomBytes(1024 + 64 + 64, 5);
  uint8_t* base = storage.data() + (64 - reinterpret_cast<uintptr_t>(storage.data()) % 64);
  for (size_t offset = 0; offset < 64; ++offset) {
    for (size_t length = 0; length <= 1024; ++length) {
      const uint8_t* p = base + offset;
      const uint32_t seed = static_cast<uint32_t>(length * 2654435761u);
      ASSERT_EQ(crc(p, length, 0), Reference(p, length, 0)) << offset << "+" << length;
      ASSERT_EQ(crc(p, length, seed), Reference(p, length, seed)) << offset << "+" << length;
    }
  }
}

TEST_P(Crc32VariantTest, KnownAnswersAndSpecialPatterns) {
  const auto crc = GetParam().function;
  EXPECT_EQ(crc("123456789", 9, 0), 0xCBF43926u);
  EXPECT_EQ(crc(nullptr, 0, 0x12345678u), 0x12345678u);
  // All zeros and all ones exercise the folds' carries over whole lanes.
  for (const uint8_t fill : {0x00, 0xFF}) {
    const std::vector<uint8_t> data(100000, fill);
    EXPECT_EQ(crc(data.data(), data.size(), 0), crc32::Crc32Table(data.data(), data.size(), 0));
  }
  const std::string fox = "The quick brown fox jumps over the lazy dog";
  std::string text;
  for (int i = 0; i < 20; ++i) text += fox;
  EXPECT_EQ(crc(text.data(), text.size(), 0), crc32::Crc32Table(text.data(), text.size(), 0));
}

TEST_P(Crc32VariantTest, ChainsAcrossAnyCut) {
  const auto crc = GetParam().function;
  const std::vector<uint8_t> data = RandomBytes(300000, 9);
  const uint32_t whole = crc32::Crc32Table(data.data(), data.size(), 0);
  EXPECT_EQ(crc(data.data(), data.size(), 0), whole);
  for (size_t cut : {size_t{1}, size_t{15}, size_t{63}, size_t{64}, size_t{255}, size_t{256},
                     size_t{4097}, size_t{150001}, data.size() - 1}) {
    const uint32_t first = crc(data.data(), cut, 0);
    EXPECT_EQ(crc(data.data() + cut, data.size() - cut, first), whole) << cut;
  }
  // Many small uneven pieces, as a reader with odd block sizes would pass.
  uint32_t running = 0;
  for (size_t done = 0, step = 1; done < data.size(); done += step, step = step * 3 % 2000 + 1) {
    running = crc(data.data() + done, std::min(step, data.size() - done), running);
  }
  EXPECT_EQ(running, whole);
}

INSTANTIATE_TEST_SUITE_P(OnThisProcessor, Crc32VariantTest,
                         testing::ValuesIn(crc32::SupportedVariants()),
                         [](const testing::TestParamInfo<Crc32Variant>& info) {
                           return std::string(info.param.name);
                         });

TEST(Crc32Dispatch, CapNamesTheVariantOrIsIgnored) {
  const crc32::Crc32Function none = nullptr;
  const std::vector<Crc32Variant> all{{"table", none}, {"pclmul", none}, {"vpclmul", none}};
  EXPECT_STREQ(crc32::PickVariant(all, nullptr).name, "vpclmul");
  EXPECT_STREQ(crc32::PickVariant(all, "table").name, "table");
  EXPECT_STREQ(crc32::PickVariant(all, "pclmul").name, "pclmul");
  EXPECT_STREQ(crc32::PickVariant(all, "vpclmul").name, "vpclmul");
  EXPECT_STREQ(crc32::PickVariant(all, "fastest").name, "vpclmul");
  EXPECT_STREQ(crc32::PickVariant(all, "").name, "vpclmul");
  // A processor without the named variant uses the best it has.
  const std::vector<Crc32Variant> tableOnly{{"table", none}};
  EXPECT_STREQ(crc32::PickVariant(tableOnly, "vpclmul").name, "table");
}

TEST(Crc32Dispatch, UsesTheBestSupportedVariantUnlessCapped) {
  const auto supported = crc32::SupportedVariants();
  ASSERT_FALSE(supported.empty());
  EXPECT_STREQ(supported.front().name, "table");
  const char* cap = std::getenv("VEXMOOR_CRC_IMPL");
  if (cap == nullptr) {
    EXPECT_STREQ(crc32::ActiveVariant().name, supported.back().name);
  }
  const std::vector<uint8_t> data = RandomBytes(5000, 1);
  EXPECT_EQ(Crc32(data.data(), data.size()), crc32::Crc32Table(data.data(), data.size(), 0));
}

}  // namespace
}  // namespace vexmoor
