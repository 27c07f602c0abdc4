// Counting and filtering the catalogue by status.
#include "catalogue/StatusCounts.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TCatalogue WithStatuses(std::initializer_list<int32_t> statuses) {
  TCatalogue catalogue;
  for (const int32_t status : statuses) catalogue.Append().Status = status;
  return catalogue;
}

// "Missing" once counted every entry that was not found: bad and cached
// ones too (27 rows said Missing, the counter 28).
TEST(StatusCounts, MissingCountsOnlyMissingEntries) {
  const TStatusCounts counts =
      CountByStatus(WithStatuses({StatusFound, StatusMissing, StatusBad, StatusCached, StatusMissing, 7}));
  EXPECT_EQ(counts, (TStatusCounts{1, 1, 2, 1, 1}));
  EXPECT_EQ(counts.Have(), 2);
  EXPECT_EQ(StatusCountsText(counts), "Found 1   Cached 1   Missing 2   Bad 1");
  EXPECT_EQ(CountByStatus(TCatalogue()), TStatusCounts{});
}

TEST(StatusCounts, StatusFilterKeepsItsClass) {
  const int32_t statuses[] = {StatusFound, StatusCached, StatusMissing, StatusBad};
  const bool have[] = {true, true, false, false};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(StatusPasses(statuses[i], TStatusFilter::All));
    EXPECT_EQ(StatusPasses(statuses[i], TStatusFilter::Have), have[i]);
    EXPECT_EQ(StatusPasses(statuses[i], TStatusFilter::Missing), i == 2);
    EXPECT_EQ(StatusPasses(statuses[i], TStatusFilter::Bad), i == 3);
  }
}

TEST(StatusCounts, NameContainsIgnoresAsciiCaseOnly) {
  EXPECT_TRUE(NameContains("Mario Kart DS (Europe)", "kart"));
  EXPECT_TRUE(NameContains("Mario Kart DS (Europe)", ""));
  EXPECT_TRUE(NameContains("Pok\xC3\xA9mon", "POK\xC3\xA9"));
  EXPECT_FALSE(NameContains("Pok\xC3\xA9mon", "POK\xC3\x89"));
  EXPECT_FALSE(NameContains("Mario", "Marios"));
}

}  // namespace
}  // namespace vexmoor
