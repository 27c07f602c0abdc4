#include "encoder/UpdateKeys.h"

#include <gtest/gtest.h>

#include "catalogue/Version.h"
#include "platform/Errors.h"

namespace vexmoor {
namespace {

TEST(UpdateKeys, LinesHaveFourBarEndedFieldsAndCrLf) {
  const std::vector<TUpdateKey> keys = {{"Quen-NDS.qdat", "1.2", "46363.25", "Quen DS"},
                                        {"x.qdat", "", "", ""},
                                        ProgramUpdateKey(46363.25)};
  EXPECT_EQ(UpdateKeysText(keys),
            "Quen-NDS.qdat|1.2|46363.25|Quen DS|\r\n"
            "x.qdat||||\r\n" +
                std::string(kAuditorProgramFileName) + "|6420|46363.25|Vexmoor|\r\n");
  EXPECT_EQ(ParseUpdateKeys(UpdateKeysText(keys)), keys);
}

TEST(UpdateKeys, ProgramLineNamesThePlatformsProgramFile) {
#ifdef _WIN32
  EXPECT_EQ(ProgramUpdateKey(1).File, "moorscan.exe");
#else
  EXPECT_EQ(ProgramUpdateKey(1).File, "moorscan");
#endif
  EXPECT_EQ(ProgramUpdateKey(38580.53454861111).TimeStamp, "38580.5345486111");
}

TEST(UpdateKeys, ParserTakesAnyLineEndAndRejectsOtherShapes) {
  EXPECT_EQ(ParseUpdateKeys("a|b|c|d|\n\ne|f|g|h|").size(), 2u);
  EXPECT_TRUE(ParseUpdateKeys("").empty());
  for (const char* bad :
       {"a|b|c|d", "a|b|c|", "a|b|c|d|e|", "ok|ok|ok|ok|\r\nnot a key line\r\n"}) {
    EXPECT_THROW(ParseUpdateKeys(bad), FormatError) << bad;
  }
  try {
    ParseUpdateKeys("ok|ok|ok|ok|\r\n\r\nbad|\r\n");
    FAIL();
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), "Update keys line 3 does not hold four fields each ended by '|'");
  }
}

}  // namespace
}  // namespace vexmoor
