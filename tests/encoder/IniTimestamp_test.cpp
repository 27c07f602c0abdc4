#include "encoder/IniTimestamp.h"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/DatHeader.h"
#include "catalogue/TextLines.h"

namespace vexmoor {
namespace {

constexpr std::string_view kStamp = "46363.25";

std::string Stamped(std::string_view text) { return SetDatTimeStamp(text, kStamp); }

std::string HeaderStamp(std::string_view text) {
  return TDatHeader(SplitLines(WithoutByteOrderMark(text))).ReadString("INFO", "TIMESTAMP", "-");
}

TEST(IniTimestamp, ExistingKeyGetsTheValueWhereItStands) {
  EXPECT_EQ(
      Stamped("[INFO]\r\nNAME=A\r\nTIMESTAMP=1.5\r\nVERSION=2\r\n[DAT]\r\n0001|00000000|x\r\n"),
      "[INFO]\r\nNAME=A\r\nTIMESTAMP=46363.25\r\nVERSION=2\r\n[DAT]\r\n0001|00000000|x\r\n");
  // The key's spelling, the blanks around '=' and the line's own end stay.
  EXPECT_EQ(Stamped("[INFO]\n  timestamp = 1.5  \nNAME=A"),
            "[INFO]\n  timestamp = 46363.25\nNAME=A");
  EXPECT_EQ(Stamped("[INFO]\r\nTIMESTAMP=\r\n"), "[INFO]\r\nTIMESTAMP=46363.25\r\n");
  // Only the first definition, which the header view reads, changes.
  EXPECT_EQ(Stamped("[INFO]\nTIMESTAMP=1\nTIMESTAMP=2\n"),
            "[INFO]\nTIMESTAMP=46363.25\nTIMESTAMP=2\n");
}

TEST(IniTimestamp, MissingKeyIsAddedAfterTheSectionsLastLine) {
  EXPECT_EQ(Stamped("[INFO]\r\nNAME=A\r\n\r\n[DAT]\r\n0001|00000000|x\r\n"),
            "[INFO]\r\nNAME=A\r\nTIMESTAMP=46363.25\r\n\r\n[DAT]\r\n0001|00000000|x\r\n");
  EXPECT_EQ(Stamped("[INFO]\nNAME=A\n; note\n[DAT]\n"),
            "[INFO]\nNAME=A\n; note\nTIMESTAMP=46363.25\n[DAT]\n");
  EXPECT_EQ(Stamped("[INFO]\nNAME=A"), "[INFO]\nNAME=A\nTIMESTAMP=46363.25\n");
  EXPECT_EQ(Stamped("[INFO]"), "[INFO]\r\nTIMESTAMP=46363.25\r\n");
  // A commented-out key does not count.
  EXPECT_EQ(Stamped("[INFO]\n;TIMESTAMP=1\n"), "[INFO]\n;TIMESTAMP=1\nTIMESTAMP=46363.25\n");
}

TEST(IniTimestamp, SectionNamesMatchWithoutRegardToCaseAndBlanks) {
  EXPECT_EQ(Stamped("[info]\nNAME=A\nTimeStamp=1\n"), "[info]\nNAME=A\nTimeStamp=46363.25\n");
  EXPECT_EQ(Stamped(" [ Info ] \nNAME=A\n"), " [ Info ] \nNAME=A\nTIMESTAMP=46363.25\n");
  // A TIMESTAMP of another section is not the dat's.
  EXPECT_EQ(Stamped("[OTHER]\nTIMESTAMP=1\n[INFO]\nNAME=A\n"),
            "[OTHER]\nTIMESTAMP=1\n[INFO]\nNAME=A\nTIMESTAMP=46363.25\n");
}

TEST(IniTimestamp, MissingSectionIsAddedAtTheEnd) {
  EXPECT_EQ(Stamped("0001|00000000|x\r\n"), "0001|00000000|x\r\n[INFO]\r\nTIMESTAMP=46363.25\r\n");
  EXPECT_EQ(Stamped("0001|00000000|x"), "0001|00000000|x\r\n[INFO]\r\nTIMESTAMP=46363.25\r\n");
  EXPECT_EQ(Stamped("a\nb\n"), "a\nb\n[INFO]\nTIMESTAMP=46363.25\n");
  EXPECT_EQ(Stamped(""), "[INFO]\r\nTIMESTAMP=46363.25\r\n");
}

TEST(IniTimestamp, ByteOrderMarkAndMixedLineEndsKeepTheLines) {
  EXPECT_EQ(Stamped("\xEF\xBB\xBF[INFO]\nNAME=A\n"),
            "\xEF\xBB\xBF[INFO]\nNAME=A\nTIMESTAMP=46363.25\n");
  // A CR-only text must not let its added CR join a following LF.
  const std::string mixed = "[INFO]\rNAME=A\r\n\n[DAT]\r";
  const std::string out = Stamped(mixed);
  EXPECT_EQ(out, "[INFO]\rNAME=A\r\nTIMESTAMP=46363.25\r\n\n[DAT]\r");
  EXPECT_EQ(SplitLines(out).size(), SplitLines(mixed).size() + 1);
}

// Whatever the layout, the header view reads back the value written, and the
// lines around it are unchanged.
TEST(IniTimestamp, HeaderViewReadsTheWrittenValue) {
  const char* texts[] = {
      "[INFO]\r\nNAME=A\r\n[DAT]\r\n",
      "[INFO]\nTIMESTAMP=9\n[INFO]\nTIMESTAMP=8\n",
      "[DAT]\n[INFO]\n",
      "x\r[info]\r\r",
      "[INFO]\n[INFO]\nTIMESTAMP=1\n",
      "\xEF\xBB\xBF",
      "[INFO\n]\n",
      "[INFO]\n\x01TIMESTAMP\x02=\x03old\x04\n",
  };
  for (const char* text : texts) EXPECT_EQ(HeaderStamp(Stamped(text)), kStamp) << text;
}

TEST(IniTimestamp, GeneralWriterTakesAnySectionAndKey) {
  EXPECT_EQ(SetIniValue("[A]\nk=1\n[B]\n", "b", "K", "2"), "[A]\nk=1\n[B]\nK=2\n");
}

}  // namespace
}  // namespace vexmoor
