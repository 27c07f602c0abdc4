#include "scan/CRC32.h"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "support/RandomData.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RandomBytes;
using test::ZlibCrc;

TEST(Crc32, KnownAnswers) {
  EXPECT_EQ(Crc32("", 0), 0u);
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("a", 1), 0xE8B7BE43u);
  EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
}

TEST(Crc32, MatchesZlibAtEveryLengthAndAlignment) {
  const std::string data = RandomBytes(1100, 7);
  for (size_t start = 0; start < 16; ++start) {
    for (size_t length = 0; length + start <= data.size(); length += (length < 80 ? 1 : 37)) {
      const std::string piece = data.substr(start, length);
      ASSERT_EQ(Crc32(data.data() + start, length), ZlibCrc(piece)) << start << "+" << length;
    }
  }
}

TEST(Crc32, ContinuesAcrossPieces) {
  const std::string data = RandomBytes(1000, 3);
  const uint32_t whole = Crc32(data.data(), data.size());
  for (size_t cut : {0, 1, 7, 8, 9, 500, 999, 1000}) {
    const uint32_t first = Crc32(data.data(), cut);
    EXPECT_EQ(Crc32(data.data() + cut, data.size() - cut, first), whole) << cut;
  }
}

TEST(CrcTable, ByteUpdateAgreesWithBufferCrc) {
  MakeCrcTable();
  EXPECT_EQ(CrcTable[0], 0u);
  EXPECT_EQ(CrcTable[1], 0x77073096u);
  EXPECT_EQ(CrcTable[255], 0x2D02EF8Du);
  const std::string data = RandomBytes(300, 11);
  uint32_t reg = 0xFFFFFFFFu;
  for (char c : data) reg = UpdateCrc(static_cast<uint8_t>(c), reg);
  EXPECT_EQ(reg ^ 0xFFFFFFFFu, Crc32(data.data(), data.size()));
}

TEST(HexText, UpperCaseWithLeadingZeros) {
  EXPECT_EQ(HexWord(0), "0000");
  EXPECT_EQ(HexWord(0xABCD), "ABCD");
  EXPECT_EQ(HexLong(0x12), "00000012");
  EXPECT_EQ(HexLong(0xDEADBEEF), "DEADBEEF");
  EXPECT_EQ(HexLong(0xFFFFFFFF), "FFFFFFFF");
}

class FileCrc32Test : public test::TempDirTest {};

TEST_F(FileCrc32Test, AgreesWithZlibAroundBlockBoundaries) {
  for (size_t size : {0, 1, 255, 256, 257, 65535, 65536, 65537, (1 << 20) - 1, 1 << 20,
                      (1 << 20) + 1, 3 * (1 << 20) + 5}) {
    const std::string data = RandomBytes(size, static_cast<uint32_t>(size));
    const std::string path = dir_.Write("f" + std::to_string(size), data);
    EXPECT_EQ(FileCrc32(path), HexLong(ZlibCrc(data))) << size;
  }
  EXPECT_EQ(FileCrc32(dir_.Write("empty", "")), "00000000");
}

TEST_F(FileCrc32Test, MissingFileRaisesOpenErrorWithPathAndReason) {
  const std::string path = dir_ / "nope.nds";
  try {
    FileCrc32(path);
    FAIL() << "no error";
  } catch (const FileOpenError& error) {
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
    EXPECT_NE(std::string(error.what()).find("No such file"), std::string::npos);
  }
}

// The scan's single pass: one read for a file smaller than a block, the
// bytes and CRC of the whole file around block boundaries, and bytes that
// arrived after the size was taken still read.
TEST_F(FileCrc32Test, ReadFileOnceSumsTheWholeFileAndShowsTheFirstBlock) {
  for (size_t size : {size_t{0}, size_t{256}, kReadBlockBytes - 1, kReadBlockBytes,
                      kReadBlockBytes + 1, 2 * kReadBlockBytes + 7}) {
    SCOPED_TRACE(size);
    const std::string data = RandomBytes(size, static_cast<uint32_t>(size) + 1);
    const std::string path = dir_.Write("f" + std::to_string(size), data);
    for (const uint64_t told : {uint64_t{size}, uint64_t{size / 2}}) {
      TInputFile file(path);
      std::string head;
      int heads = 0;
      const TFileSum sum = ReadFileOnce(file, told, nullptr, [&](const uint8_t* bytes, size_t got) {
        head.assign(reinterpret_cast<const char*>(bytes), got);
        ++heads;
      });
      EXPECT_EQ(sum.Crc, ZlibCrc(data));
      EXPECT_EQ(sum.Bytes, data.size());
      EXPECT_EQ(heads, 1);
      EXPECT_EQ(head, data.substr(0, kReadBlockBytes));
    }
  }
}

TEST_F(FileCrc32Test, FolderIsAnIoError) { EXPECT_THROW(FileCrc32(dir_.Path()), IoError); }

}  // namespace
}  // namespace vexmoor
