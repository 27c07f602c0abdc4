#include "platform/CommandLine.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, SpacesSeparateAndQuotesKeepThem) {
  EXPECT_EQ(SplitCommandLine(""), Args{});
  EXPECT_EQ(SplitCommandLine("   "), Args{});
  EXPECT_EQ(SplitCommandLine("-upgrade"), Args{"-upgrade"});
  EXPECT_EQ(SplitCommandLine("  a   b \t c  "), (Args{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"a b\" c"), (Args{"a b", "c"}));
  EXPECT_EQ(SplitCommandLine("x\"a b\"y z"), (Args{"xa by", "z"}));
  EXPECT_EQ(SplitCommandLine("a \"\" b"), (Args{"a", "", "b"}));
}

TEST(SplitCommandLine, AnOpenQuoteRunsToTheEnd) {
  EXPECT_EQ(SplitCommandLine("-update \"/tmp/my  dir/moorscan"),
            (Args{"-update", "/tmp/my  dir/moorscan"}));
  EXPECT_EQ(SplitCommandLine("-delete \"C:\\Program Files\\upd-moorscan.exe  "),
            (Args{"-delete", "C:\\Program Files\\upd-moorscan.exe  "}));
  EXPECT_EQ(SplitCommandLine("-delete \""), (Args{"-delete", ""}));
  EXPECT_EQ(SplitCommandLine("-update \"/a \"b\" c"), (Args{"-update", "/a b c"}));
}

TEST(SplitCommandLine, NothingButQuotesAndSpacesIsSpecial) {
  EXPECT_EQ(SplitCommandLine("$HOME 'a b' \\\"x"), (Args{"$HOME", "'a", "b'", "\\x"}));
}

}  // namespace
}  // namespace vexmoor
