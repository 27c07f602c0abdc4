#include "catalogue/EntryText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vexmoor {
namespace {

// Every length either side of the short form's six bytes, with NUL and high
// bytes inside: the text reads back whole and NUL-terminated, through
// copies, moves and assignments.
TEST(EntryText, EveryLengthReadsBackWholeThroughCopiesAndMoves) {
  for (size_t length = 0; length <= 40; ++length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>(i % 3 == 1 ? '\0' : 0xA0 + i);
    TEntryText kept(text);
    EXPECT_EQ(kept.size(), length);
    EXPECT_EQ(kept.empty(), length == 0);
    EXPECT_EQ(std::string(kept), text);
    EXPECT_EQ(kept.c_str()[length], '\0');
    TEntryText copy(kept);
    TEntryText moved(std::move(copy));
    EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from text is empty
    EXPECT_EQ(moved, kept);
    TEntryText assigned("x");
    assigned = moved;
    EXPECT_EQ(assigned.View(), text);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.View(), text);
    assigned.clear();
    EXPECT_TRUE(assigned.empty());
    EXPECT_STREQ(assigned.c_str(), "");
  }
}

// A text assigned a part of itself (short or in its own block) keeps that
// part, not freed bytes.
TEST(EntryText, AssignedAPartOfItselfKeepsThePart) {
  TEntryText text("Release Name (Europe) (En,Fr,De)");
  text = text.substr(8, 4);
  EXPECT_EQ(text, "Name");
  text = text.substr(1);
  EXPECT_EQ(text, "ame");
  text = text;  // NOLINT: self-assignment on purpose
  EXPECT_EQ(text, "ame");
}

// A byte changed in place changes that byte of the short and the long form.
TEST(EntryText, AByteChangedInPlaceChangesOnlyThatByte) {
  TEntryText shortText("0001"), longText("da39a3ee5e6b4b0d3255bfef95601890afd80709");
  shortText[0] = '9';
  longText[0] = '1';
  EXPECT_EQ(shortText, "9001");
  EXPECT_EQ(longText, "1a39a3ee5e6b4b0d3255bfef95601890afd80709");
}

// The entry fields are read as strings everywhere: comparisons, joins and
// hashing give what the same std::string gives.
TEST(EntryText, ComparesJoinsAndHashesAsTheSameString) {
  const TEntryText shortText("0001"), longText("Some Release (U)");
  EXPECT_TRUE(shortText == "0001" && "0001" == shortText && shortText == std::string("0001"));
  EXPECT_TRUE(shortText != longText && shortText < longText && longText > "Some");
  EXPECT_EQ(shortText + "|" + longText, "0001|Some Release (U)");
  EXPECT_EQ("[" + shortText + ']', "[0001]");
  std::string joined = "x";
  joined += longText;
  EXPECT_EQ(joined, "xSome Release (U)");
  EXPECT_EQ(std::hash<TEntryText>()(longText), std::hash<std::string_view>()("Some Release (U)"));
  std::vector<TEntryText> sorted = {"b", "a long text here", "a"};
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted[0], "a");
  EXPECT_EQ(sorted[1], "a long text here");
}

}  // namespace
}  // namespace vexmoor
