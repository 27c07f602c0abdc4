#include "platform/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Errors.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

class WriteFileAtomicallyTest : public test::TempDirTest {};

TEST_F(WriteFileAtomicallyTest, ReplacesContentsAndLeavesNoTemporaryFile) {
  const std::string path = dir_.Write("set.qcache", "old contents");
  WriteFileAtomically(path, "new");
  EXPECT_EQ(test::ReadFile(path), "new");
  WriteFileAtomically(dir_ / "fresh", "");
  EXPECT_EQ(test::ReadFile(dir_ / "fresh"), "");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) files += !entry.is_directory();
  EXPECT_EQ(files, 2u);
}

TEST_F(WriteFileAtomicallyTest, KeepsPermissionsAndLinks) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX mode bits; the replacement of a Windows file keeps its attributes through ReplaceFileW";
#else
  const std::string real = dir_.Write("real.txt", "one");
  ::chmod(real.c_str(), 0640);
  const std::string link = dir_ / "link.txt";
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  WriteFileAtomically(link, "two");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFile(real), "two");
  struct stat info {};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
}

TEST_F(WriteFileAtomicallyTest, MissingFolderFailsWithIoError) {
  EXPECT_THROW(WriteFileAtomically(dir_ / "no/such/folder/file", "x"), IoError);
}

TEST_F(WriteFileAtomicallyTest, ReadWholeFileReadsEverything) {
  const std::string data(300000, 'z');
  EXPECT_EQ(ReadWholeFile(dir_.Write("big", data)), data);
  EXPECT_THROW(ReadWholeFile(dir_ / "missing"), FileOpenError);
}

}  // namespace
}  // namespace vexmoor
