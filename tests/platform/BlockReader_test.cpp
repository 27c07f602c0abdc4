#include "platform/BlockReader.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Errors.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

class BlockReaderTest : public test::TempDirTest {
 protected:
  // The file as the reader hands it out, with the block sizes seen.
  static std::string ReadAll(const std::string& path, size_t blockSize, size_t* blocks = nullptr) {
    BlockReader reader(path, blockSize);
    std::string data;
    size_t count = 0;
    for (auto block = reader.Next(); !block.empty(); block = reader.Next(), ++count) {
      EXPECT_LE(block.size(), blockSize);
      data.append(reinterpret_cast<const char*>(block.data()), block.size());
    }
    EXPECT_TRUE(reader.Next().empty()) << "the end stays the end";
    if (blocks) *blocks = count;
    return data;
  }
};

TEST_F(BlockReaderTest, HandsOutTheWholeFileInOrderWhateverItsLength) {
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>('a' + i % 26) + std::to_string(i);
  for (size_t length : {size_t{0}, size_t{1}, size_t{6}, size_t{7}, size_t{8}, size_t{14},
                        size_t{15}, size_t{700}, content.size()}) {
    const std::string data = content.substr(0, length);
    const std::string path = dir_.Write("f" + std::to_string(length), data);
    size_t blocks = 0;
    EXPECT_EQ(ReadAll(path, 7, &blocks), data) << length;
    EXPECT_EQ(blocks, (length + 6) / 7) << length;
  }
}

TEST_F(BlockReaderTest, LargeBlocksOnALargeFile) {
  std::string content(3 * 65536 + 123, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7919 >> 3);
  const std::string path = dir_.Write("big", content);
  EXPECT_EQ(ReadAll(path, 65536), content);
}

TEST_F(BlockReaderTest, StoppingEarlyNeitherHangsNorLeaks) {
  const std::string path = dir_.Write("f", std::string(100000, 'x'));
  for (int taken = 0; taken < 4; ++taken) {
    BlockReader reader(path, 1000);
    for (int i = 0; i < taken; ++i) EXPECT_EQ(reader.Next().size(), 1000u);
  }
}

TEST_F(BlockReaderTest, OpenFailuresAreFileOpenErrors) {
  EXPECT_THROW(BlockReader(dir_ / "missing"), FileOpenError);
  EXPECT_THROW(BlockReader(dir_.Path()), FileOpenError);
}

}  // namespace
}  // namespace vexmoor
