#include "catalogue/RomList.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "catalogue/TextCompare.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

std::vector<std::string> Column(const TRomList& list, int k) {
  std::vector<std::string> texts;
  for (const TListRow& row : list)
    texts.push_back(list.RowText(row, k));
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
  EXPECT_EQ(list_.Text(2, -1), "  u");
  EXPECT_EQ(list_.Image(2), -1);
  EXPECT_EQ(list_.Image(1), 1);
  EXPECT_EQ(list_.Text(2, kSubItemCrc), "0000000C");
  EXPECT_EQ(list_.Text(2, kSubItemStatus), "Cached");
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
  EXPECT_EQ(list_.CompareRows(nullptr, &list_[0], 1, true), 0);
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
  for (int k = -1; k <= kSubItemStatus; ++k) EXPECT_EQ(pumped.list_.Text(4999, k), plain.list_.Text(4999, k));
  EXPECT_TRUE(pumped.sort_.SortAscending);
}

TEST_F(RomListTest, StatusTextsAreTheFillsUntilTheEndPassWritesItsOwn) {
  Fill({"[INFO]"});
  TRomItem& beta = state_.Catalogue[0];
  // A scan marks the entry: the row keeps the text the fill saw.
  beta.Status = StatusFound;
  beta.StatusText = "/r/beta.nds";
  EXPECT_EQ(list_.Text(0, kSubItemStatus), "");
  EXPECT_EQ(list_.Text(2, kSubItemStatus), "Cached");
  const TStatusFormat shout = [](const TRomItem& item) -> std::optional<std::string> {
    if (item.Status != StatusFound) return std::nullopt;
    return "Found " + item.StatusText;
  };
  list_.WriteStatusTexts({1, 0, 0}, shout);
  EXPECT_EQ(list_.Text(0, kSubItemStatus), "Found /r/beta.nds");
  EXPECT_EQ(list_.Text(1, kSubItemStatus), "");  // not written
  EXPECT_FALSE(list_.TakeFresh(state_.Catalogue));
  // A fill keeps a copy of what the entry's StatusText is then.
  Fill({"[INFO]"});
  beta.StatusText = "/elsewhere/beta.nds";
  EXPECT_EQ(list_.Text(0, kSubItemStatus), "/r/beta.nds");
  EXPECT_EQ(list_.Text(2, kSubItemStatus), "Cached");
  EXPECT_EQ(list_.Text(0, 7), "");
}

TEST(RomListSortTest, KeyedSortsOrderAsTheRowComparisonAndKeepEqualRowsInOrder) {
  test::TListedCatalogue listed;
  std::mt19937 random(33);
  const std::string letters = "aAbB -_1290z\xC9\x80";
  const auto text = [&](size_t most) {
    std::string out(random() % (most + 1), ' ');
    for (char& c : out) c = letters[random() % letters.size()];
    return out;
  };
  for (size_t i = 0; i < 3000; ++i) {
    TRomItem& item = test::AddEntry(listed.state_, text(3), "Name " + text(10), random() % 64);
    item.Country = text(2);
    if (i % 3 == 0) item.StatusText = "Cached";
    if (i % 3 == 1) item.StatusText = "/r/" + text(6);
  }
  listed.Fill({"[INFO]"});
  for (int k = -1; k <= kSubItemStatus; ++k) {
    for (const bool ascending : {true, false}) {
      listed.Fill({"[INFO]"});  // catalogue order: equal rows keep it
      listed.list_.Sort(k, ascending);
      const TRomList& list = listed.list_;
      for (size_t row = 0; row + 1 < list.Count(); ++row) {
        const int order = list.CompareRows(&list[row], &list[row + 1], k, ascending);
        ASSERT_LE(order, 0) << "column " << k << " row " << row;
        if (order == 0) {
          ASSERT_LT(list[row].Entry, list[row + 1].Entry) << "column " << k;
        }
      }
    }
  }
}

TEST(TextCompareTest, SortKeysThatDifferOrderAsTheComparisons) {
  std::mt19937 random(7);
  const std::string bytes = std::string("aAzZ09 -_.~") + '\0' + "\x80\xC9\xFF";
  const auto text = [&] {
    std::string out(random() % 11, ' ');
    for (char& c : out) c = bytes[random() % bytes.size()];
    return out;
  };
  const auto sign = [](auto value) { return (value > 0) - (value < 0); };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = text(), b = text();
    const uint64_t ka = LocaleSortKey(a), kb = LocaleSortKey(b);
    if (ka == kb) {
      if (a.size() < 8 || b.size() < 8) {
        ASSERT_EQ(LocaleCompareNoCase(a, b), 0) << a << " / " << b;
      }
      continue;
    }
    const int byKey = ka < kb ? -1 : 1;
    ASSERT_EQ(sign(LocaleCompare(a, b)), byKey) << a << " / " << b;
    ASSERT_EQ(sign(LocaleCompareNoCase(a, b)), byKey) << a << " / " << b;
  }
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
