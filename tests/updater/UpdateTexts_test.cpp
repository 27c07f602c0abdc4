// Versions, dates and byte counters as the updater shows them.
#include "updater/UpdateTexts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexmoor {
namespace {

TEST(UpdateTexts, VersionsWithUpToFourDecimals) {
  EXPECT_EQ(UpdateVersionText(6430), "0.643");
  EXPECT_EQ(UpdateVersionText(6420), "0.642");
  EXPECT_EQ(UpdateVersionText(10000), "1");
  EXPECT_EQ(UpdateVersionText(0), "0");
  EXPECT_EQ(UpdateVersionText(1), "0.0001");
  EXPECT_EQ(UpdateVersionText(123456), "12.3456");
  EXPECT_EQ(UpdateVersionText(-5), "-0.0005");
  EXPECT_EQ(UpdateVersionText(INT32_MIN), "-214748.3648");
}

TEST(UpdateTexts, DatesAndTimesUtc) {
  EXPECT_EQ(UpdateDateTimeText(0), "1899-12-30");
  EXPECT_EQ(UpdateDateTimeText(2.5), "1900-01-01 12:00:00");
  EXPECT_EQ(UpdateDateTimeText(25569), "1970-01-01");
  EXPECT_EQ(UpdateDateTimeText(36585.75), "2000-02-29 18:00:00");
  EXPECT_EQ(UpdateDateTimeText(46363.3042589815), "2026-12-07 07:18:07");
  // Before the epoch the fraction still counts forwards from midnight.
  EXPECT_EQ(UpdateDateTimeText(-1.25), "1899-12-29 06:00:00");
  // A time that rounds to the next midnight shows as that day.
  EXPECT_EQ(UpdateDateTimeText(1.9999999999), "1900-01-01");
  EXPECT_EQ(UpdateDateTimeText(-693593), "0001-01-01");
  EXPECT_EQ(UpdateDateTimeText(2958465.5), "9999-12-31 12:00:00");
}

TEST(UpdateTexts, DatesOutsideTheCalendarShowAsNumbers) {
  EXPECT_EQ(UpdateDateTimeText(1e300), "1e+300");
  EXPECT_EQ(UpdateDateTimeText(-700000), "-700000");
  EXPECT_FALSE(DecodeDateTime(std::nan("")).has_value());
  const auto parts = DecodeDateTime(2.5 + 1234.0 / 86400000);
  ASSERT_TRUE(parts.has_value());
  EXPECT_EQ(parts->Second, 1);
  EXPECT_EQ(parts->Millisecond, 234);
}

TEST(UpdateTexts, TimePatternsLoseTheirZone) {
  EXPECT_EQ(TimePatternWithoutZone("h:mm:ss AP t"), "h:mm:ss AP");
  EXPECT_EQ(TimePatternWithoutZone("HH:mm:ss t"), "HH:mm:ss");
  EXPECT_EQ(TimePatternWithoutZone("HH:mm:ss"), "HH:mm:ss");
  EXPECT_EQ(TimePatternWithoutZone("tttt HH:mm"), "HH:mm");
  EXPECT_EQ(TimePatternWithoutZone("HH 'h' mm 'tout' t"), "HH 'h' mm 'tout'");
  EXPECT_EQ(TimePatternWithoutZone("HH''mm t ss"), "HH''mm ss");
  EXPECT_EQ(TimePatternWithoutZone("t"), "");
}

TEST(UpdateTexts, ByteCountersAndTheirTexts) {
  TByteCounters counters;
  counters.Add(1024);
  counters.StartItem();
  counters.Add(512);
  counters.Add(1024);
  EXPECT_EQ(counters.Current, 1536);
  EXPECT_EQ(counters.Total, 2560);
  EXPECT_EQ(CurrentBytesText(counters), "Current : 1.50 KB");
  EXPECT_EQ(TotalBytesText(counters), "Total : 2.50 KB");
  EXPECT_EQ(CurrentBytesText(TByteCounters{}), "Current : 0.00 KB");
}

}  // namespace
}  // namespace vexmoor
