#include "catalogue/DatHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/TextLines.h"

namespace vexmoor {
namespace {

using Lines = std::vector<std::string_view>;

TEST(SplitLines, AcceptsEveryLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(SplitLines("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\n"), (Lines{""}));
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines(std::string_view("a\0b", 3)), (Lines{std::string_view("a\0b", 3)}));
}

TEST(TextLines, TrimCaseAndLineEnds) {
  EXPECT_EQ(TrimBlanks(" \t\x01[DAT]\x1F \r"), "[DAT]");
  EXPECT_EQ(TrimBlanks("\xA0x\xA0"), "\xA0x\xA0");  // high bytes are not blanks
  EXPECT_TRUE(SameText("[Games]", "[GAMES]"));
  EXPECT_FALSE(SameText("[GAME]", "[GAMES]"));
  EXPECT_EQ(WithCrLfLineEnds("a\nb\r\nc"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(WithCrLfLineEnds(""), "");
  EXPECT_EQ(WithoutByteOrderMark("\xEF\xBB\xBF[INFO]"), "[INFO]");
}

TDatHeader HeaderOf(std::string_view text) { return TDatHeader(SplitLines(text)); }

TEST(DatHeader, ReadsKeysBySectionIgnoringCaseAndBlanks) {
  const TDatHeader header = HeaderOf(
      "NAME=before any section\r\n"
      "  [ info ]  \r\n"
      "; NAME=commented out\r\n"
      "  SORT = name  \r\n"
      "Mask=*.nds;*.bin\r\n"
      "FIELDS=INDEX|CRC32|NAME|COUNTRY\r\n"
      "a line without equals sign\r\n"
      "EQ=a=b\r\n"
      "[DAT]\r\n"
      "0001|0A1B2C3D|Name|E\r\n");
  EXPECT_EQ(header.ReadString("INFO", "SORT", "?"), "name");
  EXPECT_EQ(header.ReadString("Info", "mask", "?"), "*.nds;*.bin");
  EXPECT_EQ(header.ReadString("INFO", "EQ", "?"), "a=b");
  EXPECT_EQ(header.ReadString("INFO", "NAME", "default"), "default");
  EXPECT_EQ(header.ReadString("GAMES", "NAME", "default"), "default");
  EXPECT_TRUE(header.HasSection("dat"));
  EXPECT_FALSE(header.HasSection("CREDITS"));
}

TEST(DatHeader, FirstDefinitionWinsAndRepeatedSectionsMerge) {
  const TDatHeader header = HeaderOf(
      "[INFO]\nNAME=first\nNAME=second\n[OTHER]\nNAME=other\n[info]\nNAME=third\nEXT=nds\n");
  EXPECT_EQ(header.ReadString("INFO", "NAME", ""), "first");
  EXPECT_EQ(header.ReadString("INFO", "EXT", ""), "nds");
  EXPECT_EQ(header.ReadString("OTHER", "NAME", ""), "other");
}

TEST(DatHeader, EmptyValuesAndOddSectionLines) {
  const TDatHeader header = HeaderOf("[INFO]\nFIELDS=\n[\n]\n[]\nK=v\n");
  // An empty value is a value, not a missing key.
  EXPECT_EQ(header.ReadString("INFO", "FIELDS", kDefaultFields), "");
  EXPECT_EQ(header.ReadString("", "K", ""), "v");
  EXPECT_EQ(TDatHeader().ReadString("INFO", "NAME", "x"), "x");
}

}  // namespace
}  // namespace vexmoor
