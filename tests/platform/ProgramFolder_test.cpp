#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/File.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

class ProgramFolderTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old != nullptr) oldXdg_ = old, hadXdg_ = true;
  }
  void TearDown() override {
    test::SetEnvironment("XDG_DATA_HOME", hadXdg_ ? &oldXdg_ : nullptr);
  }
  std::string oldXdg_;
  bool hadXdg_ = false;
};

TEST_F(ProgramFolderTest, AWritableProgramFolderIsUsedAsItStands) {
  const std::string program = dir_.Write("portable/moorscan", "");
  EXPECT_EQ(ChooseProgramFolder(program), dir_ / "portable/");
}

TEST_F(ProgramFolderTest, AReadOnlyProgramFolderFallsBackToTheUserDataFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX mode bits and XDG_DATA_HOME: Windows falls back to %LOCALAPPDATA%";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
  const std::string program = dir_.Write("usr/bin/moorscan", "");
  ASSERT_EQ(::chmod((dir_ / "usr/bin").c_str(), 0555), 0);
  ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  const std::string chosen = ChooseProgramFolder(program);
  ::chmod((dir_ / "usr/bin").c_str(), 0755);
  EXPECT_EQ(chosen, dir_ / "data/vexmoor/");
  EXPECT_TRUE(IsFolder(chosen));
#endif
}

TEST_F(ProgramFolderTest, CurrentFolderFollowsSetCurrentFolder) {
  const std::string before = CurrentFolder();
  SetCurrentFolder(dir_.Path());
  EXPECT_EQ(CurrentFolder(), dir_.Path());
  SetCurrentFolder(before);
  EXPECT_THROW(SetCurrentFolder(dir_ / "missing"), std::exception);
}

}  // namespace
}  // namespace vexmoor
