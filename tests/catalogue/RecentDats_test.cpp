// The "Recent Dats" list.
#include "catalogue/RecentDats.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

using TPaths = std::vector<std::string>;

TEST(RecentDats, NewestFirstNoRepeatsAtMostFive) {
  TPaths recent;
  for (const char* path : {"/a", "/b", "/c", "/d", "/e", "/f"}) recent = AddRecentDat(recent, path);
  EXPECT_EQ(recent, (TPaths{"/f", "/e", "/d", "/c", "/b"}));
  EXPECT_EQ(AddRecentDat(recent, "/c"), (TPaths{"/c", "/f", "/e", "/d", "/b"}));
  EXPECT_EQ(AddRecentDat(recent, ""), recent);
}

TEST(RecentDats, TheSettingTextRoundTrips) {
  const TPaths recent = {"/dats/Quen-NDS.qdat", "/other folder/x.dat"};
  EXPECT_EQ(ParseRecentDats(RecentDatsText(recent)), recent);
  EXPECT_EQ(ParseRecentDats(""), TPaths{});
  EXPECT_EQ(ParseRecentDats("\n/a\n\n/b\n/c\n/d\n/e\n/f\n"), (TPaths{"/a", "/b", "/c", "/d", "/e"}));
}

}  // namespace
}  // namespace vexmoor
