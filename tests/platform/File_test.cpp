#include "platform/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// A new file takes the mode the process's umask gives it. Learning the umask
// must not open a moment in which another thread's new file gets mode 0666.
TEST_F(WriteFileAtomicallyTest, ANewFileTakesTheUmasksModeWhileAnotherThreadCreatesFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX mode bits";
#else
  const mode_t mask = ::umask(0);  // no other thread runs yet
  ::umask(mask);
  if (mask == 0) GTEST_SKIP() << "the umask is 0: a widened mode cannot be told";
  const mode_t expected = 0666 & ~mask;
  std::atomic<bool> done{false};
  std::atomic<int> widened{0};
  std::thread other([&] {
    for (int i = 0; !done.load(); ++i) {
      const std::string path = dir_ / ("other" + std::to_string(i % 64));
      std::remove(path.c_str());
      { std::ofstream(path) << "x"; }
      struct stat info {};
      if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) != expected) ++widened;
    }
  });
  // A temporary given up is made and removed: its mode is learned each time.
  for (int i = 0; i < 20000; ++i) TPendingFile given_up(dir_ / "new");
  done = true;
  other.join();
  WriteFileAtomically(dir_ / "new", "y");
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / "new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, expected);
  EXPECT_EQ(widened.load(), 0);
#endif
}

// Names in `folder`, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Writes `name` in `dir` last modified `age` ago.
std::string Aged(const test::TempDir& dir, const std::string& name, std::chrono::minutes age) {
  const std::string path = dir.Write(name, "partial");
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
  return path;
}

TEST(OwnTemporaries, AreNamedAfterTheirTargetWithTheMarker) {
  for (const char* own :
       {"a.qdat.vexmoor-a1B2c3", "moorscan.vexmoor-ZZZZZZ", ".probe.vexmoor-000000"}) {
    EXPECT_TRUE(IsOwnTemporaryName(own)) << own;
  }
  for (const char* foreign : {"a.qdat.abc123", "a.qdat.XXXXXX", "a.vexmoor-abc12",
                              "a.vexmoor-abc1234", "a.vexmoor-ab_c12", "a.vexmoor-abc123.bak",
                              ".vexmoor-abc123", "vexmoor-abc123", "a.qdat"}) {
    EXPECT_FALSE(IsOwnTemporaryName(foreign)) << foreign;
  }
  test::TempDir dir;
  TPendingFile pending(dir / "list.txt");
  pending.Append("half");
  const std::vector<std::string> names = Names(dir.Path());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names[0].starts_with("list.txt.vexmoor-")) << names[0];
  EXPECT_TRUE(IsOwnTemporaryName(names[0])) << names[0];
}

// A killed download or self-replacement left its temporary for good: the
// stale ones of ours go, nothing else does.
TEST(OwnTemporaries, OnlyStaleOnesOfOursAreRemoved) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: wine refuses to set the time of a folder";
#else
  using namespace std::chrono_literals;
  test::TempDir dir, outside;
  Aged(dir, "Quen-NDS.qdat.vexmoor-Ab12Cd", 11min);
  Aged(dir, "moorscan.vexmoor-000000", 60min);
  Aged(dir, "upd-moorscan.vexmoor-fresh1", 1min);  // a run still writing it
  Aged(dir, "Quen-NDS.qdat.Ab12Cd", 60min);        // not ours
  Aged(dir, "notes.vexmoor-abcdef.txt", 60min);
  Aged(dir, "backup.vexmoor-abc", 60min);
  Aged(dir, "folder.vexmoor-abcdef/inside.vexmoor-abcdef", 60min);
  std::filesystem::last_write_time(dir / "folder.vexmoor-abcdef",
                                   std::filesystem::file_time_type::clock::now() - 60min);
  const std::string target = Aged(outside, "target.vexmoor-abcdef", 60min);
  std::filesystem::create_symlink(target, dir / "link.vexmoor-abcdef");

  EXPECT_EQ(RemoveStaleTemporaries(dir.Path()), 2u);
  EXPECT_EQ(Names(dir.Path()),
            (std::vector<std::string>{"Quen-NDS.qdat.Ab12Cd", "backup.vexmoor-abc",
                                      "folder.vexmoor-abcdef", "link.vexmoor-abcdef",
                                      "notes.vexmoor-abcdef.txt", "upd-moorscan.vexmoor-fresh1"}));
  EXPECT_TRUE(std::filesystem::exists(dir / "folder.vexmoor-abcdef/inside.vexmoor-abcdef"));
  EXPECT_EQ(test::ReadFile(target), "partial");
  EXPECT_EQ(RemoveStaleTemporaries(dir / "missing"), 0u);
#endif
}

TEST(OwnTemporaries, TheFirstWriteIntoAFolderSweepsIt) {
  using namespace std::chrono_literals;
  test::TempDir dir;
  Aged(dir, "Quen-NDS.qdat.vexmoor-Ab12Cd", 30min);
  Aged(dir, "have.txt.vexmoor-k1LLed", 2min);
  WriteFileAtomically(dir / "have.txt", "list");
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"have.txt", "have.txt.vexmoor-k1LLed"}));
}

TEST_F(WriteFileAtomicallyTest, MissingFolderFailsWithIoError) {
  EXPECT_THROW(WriteFileAtomically(dir_ / "no/such/folder/file", "x"), IoError);
}

TEST_F(WriteFileAtomicallyTest, ReadWholeFileReadsEverything) {
  const std::string data(300000, 'z');
  EXPECT_EQ(ReadWholeFile(dir_.Write("big", data)), data);
  EXPECT_THROW(ReadWholeFile(dir_ / "missing"), FileOpenError);
}

// The rename race: a file that appears at the target after every check and
// before the rename is never replaced, whatever it is.
TEST_F(WriteFileAtomicallyTest, ANewCommitNeverReplacesWhatAppearedAtTheTarget) {
  {
    TPendingFile pending(dir_ / "new.nds");
    pending.Append("ours");
    pending.CommitNew();
  }
  EXPECT_EQ(test::ReadFile(dir_ / "new.nds"), "ours");
  std::vector<std::string> taken = {dir_ / "taken.nds"};
#ifndef _WIN32
  // A link that leads nowhere is a name taken all the same.
  ASSERT_EQ(::symlink((dir_ / "nowhere").c_str(), (dir_ / "dangling.nds").c_str()), 0);
  taken.push_back(dir_ / "dangling.nds");
#endif
  for (const std::string& target : taken) {
    TPendingFile pending(target);
    pending.Append("ours");
    if (target == dir_ / "taken.nds") dir_.Write("taken.nds", "theirs");  // after the temporary began
    try {
      pending.CommitNew();
      ADD_FAILURE() << target << " was replaced";
    } catch (const IoError& error) {
      EXPECT_EQ(error.SystemError(), EEXIST) << target;
    }
  }
  EXPECT_EQ(test::ReadFile(dir_ / "taken.nds"), "theirs");
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "dangling.nds"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "nowhere"));
#endif
  // No temporary is left behind.
  for (const std::string& name : Names(dir_.Path())) EXPECT_FALSE(IsOwnTemporaryName(name)) << name;
}

}  // namespace
}  // namespace vexmoor
