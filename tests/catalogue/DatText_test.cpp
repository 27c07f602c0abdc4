#include "catalogue/DatText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/DatHeader.h"
#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "scan/AuditState.h"

namespace vexmoor {
namespace {

using Views = std::vector<std::string_view>;

TEST(ExplodeViews, SplitsLikeExplode) {
  for (std::string_view text : {"a|b|c", "a||c", "|a", "a|", "|", "||", "", "0001|1A2B3C4D|"}) {
    const std::vector<std::string> expected = Explode('|', text);
    const Views got = ExplodeViews("|", text);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), expected) << text;
  }
  EXPECT_EQ(ExplodeViews("\xC2\xAC",
                         "\xC2\xAC"
                         "a\xC2\xAC"
                         "b\xC2\xAC"),
            (Views{"", "a", "b"}));
}

TEST(FieldIndex, FirstExactMatch) {
  EXPECT_EQ(FieldIndex("INDEX|CRC32|NAME", "NAME", '|'), 2);
  EXPECT_EQ(FieldIndex("SIZE|NAME|NAME", "NAME", '|'), 1);
  EXPECT_EQ(FieldIndex("index|CRC32|NAME", "INDEX", '|'), -1);
  EXPECT_EQ(FieldIndex("INDEX |NAME", "INDEX", '|'), -1);
  EXPECT_EQ(FieldIndex("", "INDEX", '|'), -1);
  EXPECT_EQ(FieldIndex("A;NAME", "NAME", ';'), 1);
}

TEST(ParseCrc32, AcceptsOnlyHexDigitsThatFit32Bits) {
  EXPECT_EQ(ParseCrc32("0A1B2C3D"), 0x0A1B2C3Du);
  EXPECT_EQ(ParseCrc32("ffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseCrc32("7"), 7u);
  EXPECT_EQ(ParseCrc32("00000000DEADBEEF"), 0xDEADBEEFu);
  for (std::string_view bad : {"", " 1A", "1A ", "100000000", "0x1A", "-1", "+1", "12G4", "$1A"}) {
    EXPECT_THROW(ParseCrc32(bad), FormatError) << bad;
  }
}

TEST(ParseCrc32, ErrorNamesTheBadText) {
  try {
    ParseCrc32("12G4");
    FAIL();
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), "'12G4' is not a valid CRC32 value");
  }
}

size_t DataStart(std::string_view text) { return NativeDataStart(text, SplitLines(text)); }

TEST(NativeDataStart, MarkerRule) {
  EXPECT_EQ(DataStart("[INFO]\nNAME=x\n[DAT]\n0001|1|a\n"), 3u);
  // The marker line may be padded and in any case once "[DAT]" occurs.
  EXPECT_EQ(DataStart("; see [DAT]\n[INFO]\n  [dat] \t\n0001|1|a\n"), 3u);
  // Without "[DAT]" in upper case nothing is skipped.
  EXPECT_EQ(DataStart("[INFO]\n[dat]\n0001|1|a\n"), 0u);
  // "[DAT]" only inside a longer line: no data section can be found.
  EXPECT_THROW(DataStart("[INFO]\nNOTE=[DAT] follows\n0001|1|a\n"), FormatError);
}

TEST(RomCenterDataStart, NeedsAGamesLine) {
  EXPECT_EQ(RomCenterDataStart(SplitLines("[CREDITS]\n [games] \nx")), 2u);
  EXPECT_THROW(RomCenterDataStart(SplitLines("[CREDITS]\n[GAME]\n")), FormatError);
}

TEST(IsValidUtf8, RejectsMalformedSequences) {
  EXPECT_TRUE(IsValidUtf8("plain \xC2\xAC \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xAC"));              // lone continuation byte
  EXPECT_FALSE(IsValidUtf8("\xC0\xAC"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAC"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(IsValidUtf8("caf\xE9 \xC2\xAC"));  // Windows-1252 e acute
}

TEST(SplitRomCenterLine, Utf8LinesSplitAtTheTwoByteSign) {
  const Views utf8 = SplitRomCenterLine(
      "\xC2\xAC"
      "a\xC2\xAC"
      "Caf\xC3\xA9\xC2\xAC"
      "b");
  EXPECT_EQ(utf8, (Views{"", "a", "Caf\xC3\xA9", "b"}));
  const Views cp1252 = SplitRomCenterLine(
      "\xAC"
      "a\xAC"
      "Caf\xE9\xAC"
      "b");
  EXPECT_EQ(cp1252, (Views{"", "a", "Caf\xE9", "b"}));
  // Not valid UTF-8: the single byte splits, as for any Windows-1252 line.
  const Views mixed = SplitRomCenterLine(
      "\xE9\xC2\xAC"
      "b");
  EXPECT_EQ(mixed, (Views{"\xE9\xC2", "b"}));
}

class NativeEntries : public ::testing::Test {
 protected:
  void Parse(std::string_view fields, std::string_view text) {
    text_ = std::string(text);
    AppendNativeEntries(catalogue_, SplitLines(text_), 0, NativeColumns(fields));
    SeedStatuses(catalogue_, cache_);
  }
  std::string text_;
  TCatalogue catalogue_;
  TCacheTable cache_;
};

TEST_F(NativeEntries, DefaultFieldsReadIndexCrcName) {
  Parse(kDefaultFields, "0001|0A1B2C3D|First\n0002|1|Second|E\n0003|2\n\n0004|FFFFFFFF|Last\n");
  ASSERT_EQ(catalogue_.Count(), 2u);
  EXPECT_EQ(catalogue_[0].Index, "0001");
  EXPECT_EQ(catalogue_[0].Crc, 0x0A1B2C3Du);
  EXPECT_EQ(catalogue_[0].Name, "First");
  EXPECT_EQ(catalogue_[0].Country, "");
  EXPECT_EQ(catalogue_[0].Status, StatusMissing);
  EXPECT_EQ(catalogue_[1].Index, "0004");
}

TEST_F(NativeEntries, CountryColumnTrailingBarAndEmptyItems) {
  Parse("INDEX|CRC32|NAME|COUNTRY",
        "0001|0A1B2C3D|Some Release|E\n0001|0A1B2C3D|Some Release|E|\n0001|0A1B2C3D||E\n");
  ASSERT_EQ(catalogue_.Count(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(catalogue_[i].Index, "0001");
    EXPECT_EQ(catalogue_[i].Crc, 0x0A1B2C3Du);
    EXPECT_EQ(catalogue_[i].Name, "Some Release");
    EXPECT_EQ(catalogue_[i].Country, "E");
  }
  EXPECT_EQ(catalogue_[2].Name, "");
}

TEST_F(NativeEntries, UnlistedAndPlaceholderColumns) {
  // "index" in lower case only holds a place; SIZE is counted, not stored.
  Parse("index|SIZE|NAME", " 7 |1024| Spaced Name \n");
  ASSERT_EQ(catalogue_.Count(), 1u);
  EXPECT_EQ(catalogue_[0].Index, "");
  EXPECT_EQ(catalogue_[0].Crc, 0u);
  EXPECT_EQ(catalogue_[0].Name, " Spaced Name ");
}

TEST_F(NativeEntries, EmptyFieldListAcceptsOnlyEmptyLines) {
  Parse("", "0001|1|a\n\n\nx\n");
  ASSERT_EQ(catalogue_.Count(), 2u);
  EXPECT_EQ(catalogue_[0].Name, "");
  EXPECT_EQ(catalogue_[1].Crc, 0u);
}

TEST_F(NativeEntries, StatusComesFromTheCache) {
  CacheSet(cache_, 0x11111111, 1);
  CacheSet(cache_, 0x22222222, 5);
  Parse(kDefaultFields, "1|11111111|a\n2|22222222|b\n3|33333333|c\n4|11111111|d\n");
  ASSERT_EQ(catalogue_.Count(), 4u);
  EXPECT_EQ(catalogue_[0].Status, StatusCached);
  EXPECT_EQ(catalogue_[0].StatusText, "Cached");
  EXPECT_EQ(catalogue_[1].Status, 5);
  EXPECT_EQ(catalogue_[1].StatusText, "");
  EXPECT_EQ(catalogue_[2].Status, StatusMissing);
  EXPECT_EQ(catalogue_[3].Status, StatusCached);
}

TEST_F(NativeEntries, BadCrcKeepsEarlierEntriesAndAPartialOneNotFound) {
  EXPECT_THROW(Parse(kDefaultFields, "0001|1|a\n0002|XYZ|b\n0003|3|c\n"), FormatError);
  ASSERT_EQ(catalogue_.Count(), 2u);
  EXPECT_EQ(catalogue_[1].Index, "0002");
  EXPECT_EQ(catalogue_[1].Name, "");
  // The partial entry must not pass for a found one (status 0).
  EXPECT_EQ(catalogue_[1].Status, StatusMissing);
}

std::string RomCenterLine(std::string_view name, std::string_view crc,
                          std::string_view sep = "\xAC") {
  std::string line;
  const std::string_view items[] = {"parent", name, "game", "desc", "rom.bin", crc, "1024", "", ""};
  for (std::string_view item : items) line += std::string(sep) + std::string(item);
  return line + std::string(sep);
}

class RomCenterEntries : public NativeEntries {
 protected:
  void Parse(std::string_view text) {
    text_ = std::string(text);
    AppendRomCenterEntries(catalogue_, SplitLines(text_), 0);
    SeedStatuses(catalogue_, cache_);
  }
};

TEST_F(RomCenterEntries, TenItemsIndexFromLineNumberCountingSkippedLines) {
  Parse(RomCenterLine("One", "0A1B2C3D") + "\n" + RomCenterLine("Two", "2") + "\n" +
        "\xAC"
        "too\xAC"
        "few\n" +
        RomCenterLine("Four", "4") +
        "\xAC"
        "extra\n" +
        RomCenterLine("Five", "5"));
  ASSERT_EQ(catalogue_.Count(), 3u);
  EXPECT_EQ(catalogue_[0].Index, "0001");
  EXPECT_EQ(catalogue_[0].Name, "One");
  EXPECT_EQ(catalogue_[0].Crc, 0x0A1B2C3Du);
  EXPECT_EQ(catalogue_[0].Country, " ");
  EXPECT_EQ(catalogue_[0].Status, StatusMissing);
  EXPECT_EQ(catalogue_[1].Index, "0002");
  EXPECT_EQ(catalogue_[2].Index, "0005");
  EXPECT_EQ(catalogue_[2].Name, "Five");
}

TEST_F(RomCenterEntries, IndexHasAtLeastFourDigits) {
  std::string text(12344, '\n');
  Parse(text + RomCenterLine("Late", "1"));
  ASSERT_EQ(catalogue_.Count(), 1u);
  EXPECT_EQ(catalogue_[0].Index, "12345");
}

TEST_F(RomCenterEntries, Utf8AndWindows1252LinesBothLoad) {
  Parse(RomCenterLine("Caf\xC3\xA9", "0A1B2C3D", "\xC2\xAC") + "\r\n" +
        RomCenterLine("Caf\xE9", "DEADBEEF"));
  ASSERT_EQ(catalogue_.Count(), 2u);
  EXPECT_EQ(catalogue_[0].Name, "Caf\xC3\xA9");
  EXPECT_EQ(catalogue_[0].Crc, 0x0A1B2C3Du);
  EXPECT_EQ(catalogue_[1].Name, "Caf\xE9");
  EXPECT_EQ(catalogue_[1].Crc, 0xDEADBEEFu);
}

TEST_F(RomCenterEntries, BadCrcStopsWithPartialEntry) {
  EXPECT_THROW(Parse(RomCenterLine("One", "1") + "\n" + RomCenterLine("Two", "zz")), FormatError);
  ASSERT_EQ(catalogue_.Count(), 2u);
  EXPECT_EQ(catalogue_[1].Index, "0002");
  EXPECT_EQ(catalogue_[1].Name, "");
  EXPECT_EQ(catalogue_[1].Status, StatusMissing);
}

}  // namespace
}  // namespace vexmoor
