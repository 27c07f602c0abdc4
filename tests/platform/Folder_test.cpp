#include "platform/Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/TempDir.h"

namespace vexmoor {
namespace {

class FolderTest : public test::TempDirTest {};

TEST_F(FolderTest, ListsEveryEntryButDotAndDotDot) {
  dir_.Write(".hidden", "");
  dir_.Write("a.nds", "");
  dir_.Write("sub/b.nds", "");
  std::vector<std::string> names = ListFolder(dir_.Path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a.nds", "sub"}));
  EXPECT_TRUE(ListFolder(dir_ / "missing").empty());
  EXPECT_TRUE(ListFolder(dir_ / "a.nds").empty());
}

TEST_F(FolderTest, ALinkHasTheIdentityOfItsFolder) {
  dir_.Write("real/x", "");
  std::filesystem::create_directory_symlink(dir_ / "real", dir_ / "link");
  ASSERT_TRUE(FolderIdentity(dir_ / "real"));
  EXPECT_EQ(FolderIdentity(dir_ / "link/"), FolderIdentity(dir_ / "real"));
  EXPECT_NE(FolderIdentity(dir_.Path()), FolderIdentity(dir_ / "real"));
  EXPECT_FALSE(FolderIdentity(dir_ / "real/x"));
  EXPECT_FALSE(FolderIdentity(dir_ / "none"));
}

}  // namespace
}  // namespace vexmoor
