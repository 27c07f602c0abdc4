// The update list's text rules and the number rules of its keys.
#include "updater/UpdateList.h"

#include <gtest/gtest.h>

#include <string>

namespace vexmoor {
namespace {

using namespace std::string_literals;

TEST(UpdateList, SectionsKeysAndLineRules) {
  const TUpdateList list = ParseUpdateList(
      "Loose=before any section\r\n"
      "; a comment\r\n"
      "  [ Quen-NDS.qdat ]  \r\n"
      "\tName = Quen DS =dats= \n"
      "File=Quen-NDS.qdat\r"
      "   ; indented comment\n"
      "\n"
      "Flag\r\n"
      "NAME=second name is ignored\r\n"
      "[moorscan]\n"
      "Version=6421");
  ASSERT_EQ(list.size(), 2u);
  const TUpdateListSection& dat = list[0];
  EXPECT_EQ(dat.Name, "Quen-NDS.qdat");
  EXPECT_EQ(dat.ReadString("name", "#"), "Quen DS =dats=");
  EXPECT_EQ(dat.ReadString("FILE", "#"), "Quen-NDS.qdat");
  ASSERT_NE(dat.Find("flag"), nullptr);
  EXPECT_EQ(*dat.Find("flag"), "");
  EXPECT_EQ(dat.ReadString("Timestamp", "absent"), "absent");
  EXPECT_EQ(list[1].ReadInteger("version", 0), 6421);
}

TEST(UpdateList, TextEndsAtTheFirstZeroByte) {
  const TUpdateList list = ParseUpdateList("[a]\r\nFile=a\0\r\n[b]\r\nFile=b\r\n"s);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].ReadString("File", ""), "a");
}

TEST(UpdateList, EmptyBodiesAndCommentsOnlyHoldNoSections) {
  EXPECT_TRUE(ParseUpdateList("").empty());
  EXPECT_TRUE(ParseUpdateList("\0[a]\r\n"s).empty());
  EXPECT_TRUE(ParseUpdateList("; nothing today\r\n;[a]\r\n\r\n").empty());
  EXPECT_TRUE(ParseUpdateList("<html>404 Not Found</html>").empty());
}

TEST(UpdateList, BracketsMustOpenAndCloseTheLine) {
  const TUpdateList list = ParseUpdateList("[a\r\n[]\r\n[x]y\r\n[[b]]\r\n");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name, "");
  EXPECT_EQ(list[1].Name, "[b]");
  // "[x]y" is a key line of the empty-named section.
  EXPECT_NE(list[0].Find("[x]y"), nullptr);
}

TEST(UpdateList, RepeatedSectionsStaySeparateAndInOrder) {
  const TUpdateList list = ParseUpdateList("[a]\nFile=1\n[b]\n[A]\nFile=2\n");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].ReadString("File", ""), "1");
  EXPECT_EQ(list[2].ReadString("File", ""), "2");
}

TEST(UpdateList, IntegersDecimalOrHexWithinThirtyTwoBits) {
  EXPECT_EQ(ReadListInteger("6420"), 6420);
  EXPECT_EQ(ReadListInteger("+17"), 17);
  EXPECT_EQ(ReadListInteger("-17"), -17);
  EXPECT_EQ(ReadListInteger("0x1A"), 26);
  EXPECT_EQ(ReadListInteger("0X1a"), 26);
  EXPECT_EQ(ReadListInteger("$ff"), 255);
  EXPECT_EQ(ReadListInteger("-$10"), -16);
  EXPECT_EQ(ReadListInteger("2147483647"), 2147483647);
  EXPECT_EQ(ReadListInteger("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "+", "-", "$", "0x", "2147483648", "0x80000000", "12a", "1.0", " 1",
                          "--1", "+-1", "0x-1", "$+1", "1e3", "99999999999999999999999"}) {
    EXPECT_EQ(ReadListInteger(bad), std::nullopt) << bad;
  }
}

TEST(UpdateList, FloatsWithEitherSeparatorAndFiniteOnly) {
  EXPECT_EQ(ReadListFloat("46363.3042589815"), 46363.3042589815);
  EXPECT_EQ(ReadListFloat("46363,5"), 46363.5);
  EXPECT_EQ(ReadListFloat("-1.25"), -1.25);
  EXPECT_EQ(ReadListFloat("+2"), 2.0);
  EXPECT_EQ(ReadListFloat(".5"), 0.5);
  EXPECT_EQ(ReadListFloat("5."), 5.0);
  EXPECT_EQ(ReadListFloat("1.5E3"), 1500.0);
  EXPECT_EQ(ReadListFloat("1e-3"), 0.001);
  for (const char* bad : {"", ".", "-", "e5", "1e", "1e+", "1.2.3", "1,2.3", "inf", "nan",
                          "INFINITY", "0x1p3", "1e999", "1 2", "46363.5x"}) {
    EXPECT_EQ(ReadListFloat(bad), std::nullopt) << bad;
  }
}

TEST(UpdateList, ValuesThatDoNotReadTakeTheDefault) {
  const TUpdateList list = ParseUpdateList("[a]\nVersion=new\nSize=0x10\nTimestamp=soon\n");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].ReadInteger("Version", 0), 0);
  EXPECT_EQ(list[0].ReadInteger("Size", 0), 16);
  EXPECT_EQ(list[0].ReadFloat("Timestamp", 0), 0.0);
  EXPECT_EQ(list[0].ReadFloat("Missing", 7.5), 7.5);
}

}  // namespace
}  // namespace vexmoor
