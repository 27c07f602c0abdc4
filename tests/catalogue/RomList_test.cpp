#include "catalogue/RomList.h"

#include <gtest/gtest.h>

#include "catalogue/TextCompare.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

std::vector<std::string> Column(const TRomList& list, int k) {
  std::vector<std::string> texts;
  for (const TListRow& row : list)
    texts.push_back(k == -1 ? row.Caption : row.SubItems[static_cast<size_t>(k)]);
  return texts;
}

class RomListTest : public ::testing::Test, protected test::TListedCatalogue {
 protected:
  RomListTest() {
    test::AddEntry(state_, "9", "beta", 0xB).Country = "J";
    test::AddEntry(state_, "10", "Alpha", 0xA).Country = "E";
    test::AddEntry(state_, "11", "alpha", 0xC, StatusCached).Country = "u";
  }
};

TEST_F(RomListTest, FillGivesTheRowTextsAndTheDatSortOrder) {
  Fill({"[INFO]"});
  EXPECT_EQ(Column(list_, 0), (std::vector<std::string>{"9", "10", "11"}));
  EXPECT_EQ(list_[2].Caption, "  u");
  EXPECT_EQ(list_[2].Image, -1);
  EXPECT_EQ(list_[1].Image, 1);
  EXPECT_EQ(list_[2].SubItems[kSubItemCrc], "0000000C");
  EXPECT_EQ(list_[2].SubItems[kSubItemStatus], "Cached");
  Fill({"[INFO]", "SORT= name "});
  EXPECT_EQ(Column(list_, 1), (std::vector<std::string>{"alpha", "Alpha", "beta"}));
  EXPECT_TRUE(sort_.SortAscending);
  Fill({"[INFO]", "SORT=Index"});
  EXPECT_EQ(Column(list_, 0), (std::vector<std::string>{"10", "11", "9"}));  // text, not numbers
  EXPECT_EQ(state_.Catalogue[0].Index, "9");  // the catalogue keeps the dat's order
}

TEST_F(RomListTest, ColumnClicksToggleAndAnotherColumnStartsAscending) {
  Fill({"[INFO]", "SORT=NAME"});
  list_.ColumnClick(1, sort_);
  EXPECT_EQ(Column(list_, 0), (std::vector<std::string>{"10", "11", "9"}));
  list_.ColumnClick(1, sort_);
  EXPECT_EQ(Column(list_, 0), (std::vector<std::string>{"9", "11", "10"}));
  list_.ColumnClick(1, sort_);
  EXPECT_TRUE(sort_.SortAscending);
  list_.ColumnClick(0, sort_);  // the flag column sorts by the country text
  EXPECT_EQ(Column(list_, -1), (std::vector<std::string>{"  E", "  J", "  u"}));
  // A fill after a click on "Release Name" leaves LastSortColumn: the next
  // click on it flips to descending.
  list_.ColumnClick(2, sort_);
  Fill({"[INFO]", "SORT=NAME"});
  list_.ColumnClick(2, sort_);
  EXPECT_FALSE(sort_.SortAscending);
  EXPECT_EQ(CompareRows(nullptr, &list_[0], 1, true), 0);
}

TEST(RomListPumpTest, APumpedFillSortsAsTheOneShotFillAndShowsTheOldRowsUntilItEnds) {
  // Many names equal but for case, so a merge that lost stability shows.
  test::TListedCatalogue plain, pumped;
  for (test::TListedCatalogue* side : {&plain, &pumped}) {
    for (uint32_t i = 0; i < 5000; ++i)
      test::AddEntry(side->state_, std::to_string(i),
                     (i % 3 ? "Name " : "name ") + std::to_string(i % 700), i);
  }
  plain.Fill({"[INFO]", "SORT=NAME"});
  pumped.Fill({"[INFO]"});  // the old rows: the dat's order
  pumped.state_.DatHeader.Rebuild({"[INFO]", "SORT=NAME"});
  int pumps = 0;
  bool oldRowsShown = true;
  pumped.list_.Fill(pumped.state_.Catalogue, pumped.state_.DatHeader, pumped.sort_, [&] {
    ++pumps;
    oldRowsShown = oldRowsShown && pumped.list_.Count() == 5000 && pumped.list_[1].Entry == 1;
  });
  EXPECT_TRUE(oldRowsShown);
  EXPECT_GE(pumps, 4 + 5);  // building in steps, then sorting in runs and merges
  std::vector<size_t> expected, got;
  for (const TListRow& row : plain.list_) expected.push_back(row.Entry);
  for (const TListRow& row : pumped.list_) got.push_back(row.Entry);
  EXPECT_NE(got[1], 1u);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(pumped.list_[4999].SubItems, plain.list_[4999].SubItems);
  EXPECT_TRUE(pumped.sort_.SortAscending);
}

TEST(TextCompareTest, WordSortOrder) {
  EXPECT_LT(LocaleCompare("alpha", "Alpha"), 0);
  EXPECT_LT(LocaleCompare("Alpha", "beta"), 0);
  EXPECT_LT(LocaleCompare("a-b", "a1"), 0);  // punctuation before digits
  EXPECT_LT(LocaleCompare("a_b", "a1"), 0);
  EXPECT_LT(LocaleCompare("a9", "aa"), 0);  // digits before letters
  EXPECT_LT(LocaleCompare("ab", "abc"), 0);
  EXPECT_LT(LocaleCompare("z", "\xC9"), 0);
  EXPECT_EQ(LocaleCompare("same", "same"), 0);
  EXPECT_EQ(LocaleCompareNoCase("ALPHA", "alpha"), 0);
  EXPECT_GT(LocaleCompareNoCase("Beta", "alpha"), 0);
}

TEST(LastColumnWidth, TakesWhatTheOtherColumnsLeaveAndNeverGoesNegative) {
  // 581 wide, flag hidden: 581 - (0 + 40 + 280 + 68) - 17 - 2 * 2 - 1.
  EXPECT_EQ(LastColumnWidth(581, {0, 40, 280, 68}, 17, 2), 171);
  EXPECT_EQ(LastColumnWidth(581, {21, 40, 280, 68}, 17, 2), 150);
  EXPECT_EQ(LastColumnWidth(300, {21, 40, 280, 68}, 17, 2), 0);
}

}  // namespace
}  // namespace vexmoor
