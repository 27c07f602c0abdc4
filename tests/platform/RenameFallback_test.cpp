// The no-replace rename on a file system that refuses the one-step call
// (renameat2 answering EINVAL or ENOSYS): the link-then-unlink fallback
// must keep every promise the one-step rename keeps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/Errors.h"
#include "platform/FileSystem-posix.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

// The one-step rename of a file system that has none.
int RefusedWithEinval(const char*, const char*) {
  errno = EINVAL;
  return -1;
}
int RefusedWithEnosys(const char*, const char*) {
  errno = ENOSYS;
  return -1;
}
// A refusal that is an answer, not a missing call.
int RefusedWithEacces(const char*, const char*) {
  errno = EACCES;
  return -1;
}

// The system error of what `rename` throws for `from` -> `to`; 0 when none.
int RenameError(TNoReplaceRenameCall rename, const std::string& from, const std::string& to) {
  try {
    RenameNoReplaceWith(rename, from, to);
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find(to), std::string::npos) << error.what();
    return error.SystemError();
  }
  return 0;
}

class RenameFallbackTest : public test::TempDirTest {};

TEST_F(RenameFallbackTest, TheTargetAppearsWithTheBytesAndTheTemporaryIsGone) {
  for (const TNoReplaceRenameCall refused : {RefusedWithEinval, RefusedWithEnosys}) {
    const std::string temporary = dir_.Write("t.vexmoor-abcdef", "the release");
    const std::string target = dir_ / "Game.nds";
    EXPECT_EQ(RenameError(refused, temporary, target), 0);
    EXPECT_EQ(test::ReadFile(target), "the release");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(fs::hard_link_count(target), 1u);
    fs::remove(target);
  }
}

TEST_F(RenameFallbackTest, ATakenTargetIsNeverReplacedNotEvenADanglingLink) {
  const std::string temporary = dir_.Write("t.vexmoor-abcdef", "ours");
  const std::string taken = dir_.Write("taken.nds", "theirs");
  const std::string dangling = dir_ / "dangling.nds";
  ASSERT_EQ(::symlink((dir_ / "nowhere").c_str(), dangling.c_str()), 0);
  const std::string folder = dir_ / "folder";
  fs::create_directory(folder);
  for (const std::string& target : {taken, dangling, folder})
    EXPECT_EQ(RenameError(RefusedWithEinval, temporary, target), EEXIST) << target;
  EXPECT_EQ(test::ReadFile(taken), "theirs");
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
  EXPECT_TRUE(fs::is_empty(folder));
  // The temporary stays for its owner to remove, unchanged.
  EXPECT_EQ(test::ReadFile(temporary), "ours");
  EXPECT_EQ(fs::hard_link_count(temporary), 1u);
}

TEST_F(RenameFallbackTest, AFailedLinkOrAnAnsweringRenameIsReported) {
  const std::string temporary = dir_.Write("t.vexmoor-abcdef", "ours");
  // link() itself fails: the target's folder is not there.
  EXPECT_EQ(RenameError(RefusedWithEinval, temporary, dir_ / "missing/Game.nds"), ENOENT);
  // A refusal other than "cannot" is the answer: no link is tried.
  EXPECT_EQ(RenameError(RefusedWithEacces, temporary, dir_ / "Game.nds"), EACCES);
  EXPECT_FALSE(fs::exists(dir_ / "Game.nds"));
  EXPECT_EQ(test::ReadFile(temporary), "ours");
}

}  // namespace
}  // namespace vexmoor
