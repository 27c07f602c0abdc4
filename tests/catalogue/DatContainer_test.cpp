#include "catalogue/DatContainer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "catalogue/DatLoader.h"
#include "catalogue/Rc4.h"
#include "codec/aPLib.h"
#include "platform/Errors.h"
#include "scan/AuditState.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

constexpr std::string_view kText =
    "[INFO]\r\nNAME=Boxed\r\nMASK=*.nds\r\n[DAT]\r\n"
    "0001|0A1B2C3D|Boxed One\r\n0002|11111111|Boxed Two\r\n0003|22222222|Boxed Three\r\n";
constexpr double kStamp = 46357.5;

std::string StampBytes(double stamp) {
  std::string bytes(8, '\0');
  uint64_t bits = 0;
  std::memcpy(&bits, &stamp, 8);
  for (int i = 0; i < 8; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(bits >> (8 * i));
  return bytes;
}

// A container whose block was enciphered under `key` instead of the dat key.
std::string ContainerWithKey(std::string_view text, std::string_view key) {
  TaPLib codec;
  codec.Source = text.data();
  codec.Length = static_cast<uint32_t>(text.size());
  codec.Pack();
  std::string block(reinterpret_cast<const char*>(codec.Destination), codec.Length);
  Rc4SetKey(key);
  Rc4CryptStream(block);
  return "QDAT" + StampBytes(kStamp) + block;
}

class DatContainerTest : public test::TempDirTest {};

TEST_F(DatContainerTest, LayoutIsMagicClearStampAndEncipheredBlock) {
  const std::string container = MakeDatContainer(kText, kStamp);
  EXPECT_EQ(container.substr(0, 4), "QDAT");
  EXPECT_EQ(container.substr(4, 8), StampBytes(kStamp));
  std::string block = container.substr(12);
  EXPECT_NE(block.substr(0, 4), "AP32");
  Rc4SetKey(kDatKey);
  Rc4CryptStream(block);
  EXPECT_EQ(block.substr(0, 4), "AP32");
  EXPECT_EQ(container, ContainerWithKey(kText, kDatKey));
}

TEST_F(DatContainerTest, WrittenContainerReadsBackAsTheText) {
  const std::string path = dir_ / "set.qdat";
  WriteDatContainer(path, kText, kStamp);
  EXPECT_EQ(ReadQuenDatText(path), std::string(kText));
  EXPECT_EQ(ReadDatTimeStamp(path), kStamp);
  TAuditState state;
  ASSERT_TRUE(LoadQuenDat(state, path));
  EXPECT_EQ(state.Catalogue.Count(), 3u);
  EXPECT_EQ(state.DatMask, "*.nds");
}

TEST_F(DatContainerTest, EmptyTextCannotBeWrittenAndTouchesNoFile) {
  const std::string path = dir_.Write("set.qdat", "previous");
  try {
    WriteDatContainer(path, "", kStamp);
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Compression error");
  }
  EXPECT_EQ(test::ReadFile(path), "previous");
}

TEST_F(DatContainerTest, FileWithoutMagicIsReadAsPlainText) {
  const std::string path = dir_.Write("plain.qdat", "QDA\r\n[DAT]\r\n1|2|3\r\n");
  EXPECT_EQ(ReadQuenDatText(path), "QDA\r\n[DAT]\r\n1|2|3\r\n");
  EXPECT_EQ(ReadDatTimeStamp(path), 0);
}

TEST_F(DatContainerTest, BlockThatDoesNotDecipherLoadsNothingSilently) {
  TAuditState state;
  LoadNativeText(state, dir_ / "previous.qdat", "[INFO]\nMASK=*.bin\n[DAT]\n1|1|a\n");
  for (const std::string& bytes : {ContainerWithKey(kText, "ANOTHER_KEY"), std::string("QDAT"),
                                   "QDAT" + StampBytes(kStamp) + "AP32"}) {
    const std::string path = dir_.Write("foreign.qdat", bytes);
    EXPECT_EQ(ReadQuenDatText(path), std::nullopt);
    EXPECT_FALSE(LoadQuenDat(state, path));
    EXPECT_EQ(state.Catalogue.Count(), 1u);
    EXPECT_EQ(state.DatMask, "*.bin");
  }
}

TEST_F(DatContainerTest, DamagedBlockFailsToUnpackAndChangesNothing) {
  TAuditState state;
  LoadNativeText(state, dir_ / "previous.qdat", "[INFO]\nMASK=*.bin\n[DAT]\n1|1|a\n");
  std::string container = MakeDatContainer(kText, kStamp);
  container[12 + 24 + 5] ^= 0x10;  // a bit of the compressed stream
  const std::string path = dir_.Write("damaged.qdat", container);
  try {
    LoadQuenDat(state, path);
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Decompression error");
  }
  EXPECT_EQ(state.Catalogue.Count(), 1u);
  EXPECT_EQ(state.DatMask, "*.bin");
  EXPECT_EQ(state.DatPath, dir_ / "previous.qdat");
}

TEST_F(DatContainerTest, ContainerPickedAsRomCenterFindsNoGamesLine) {
  const std::string path = dir_ / "set.qdat";
  WriteDatContainer(path, kText, kStamp);
  TAuditState state;
  EXPECT_THROW(LoadRomCenter(state, path), FormatError);
  EXPECT_EQ(state.Catalogue.Count(), 0u);
}

TEST_F(DatContainerTest, TimeStampOfInstalledDats) {
  EXPECT_EQ(ReadDatTimeStamp(dir_ / "absent.qdat"), 0);
  // Readable without the key, whatever the block holds.
  EXPECT_EQ(ReadDatTimeStamp(dir_.Write("a.qdat", "QDAT" + StampBytes(38580.5345486111))),
            38580.5345486111);
  EXPECT_EQ(ReadDatTimeStamp(dir_.Write("b.qdat", "QDAT\x01\x02\x03")), 0);
  EXPECT_EQ(ReadDatTimeStamp(dir_.Write("c.qdat", "QDAT" + StampBytes(std::nan("")))), 0);
  EXPECT_EQ(ReadDatTimeStamp(
                dir_.Write("d.qdat", "QDAT" + StampBytes(std::numeric_limits<double>::infinity()))),
            0);
}

}  // namespace
}  // namespace vexmoor
