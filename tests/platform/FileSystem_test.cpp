// The file system seam: what the core's writes leave when a step fails,
// reads that fail half-way, and listings and opens that never block or end
// on what is not a regular file or folder.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "platform/FileStamp.h"
#include "platform/Folder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

class FaultTest : public test::TempDirTest {
 protected:
  // Only the old file is left in the folder.
  void ExpectOldFileOnly(const std::string& path, const std::string& old) {
    EXPECT_EQ(test::ReadFile(path), old);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_.Path())) ++files;
    EXPECT_EQ(files, 1) << "a temporary file was left behind";
  }
  // The message of the IoError `write` throws.
  template <typename Write>
  std::string WriteError(Write write) {
    try {
      write();
    } catch (const IoError& error) {
      return error.what();
    }
    return "no error";
  }
  TFaultFileSystem faults_;
  TFileSystemOverride installed_{faults_};
};

TEST_F(FaultTest, AFullDiskDuringAnAtomicWriteKeepsTheOldFile) {
  const std::string path = dir_.Write("list.txt", "the old list");
  faults_.FailWritesAfter(5, ENOSPC);
  const std::string message =
      WriteError([&] { WriteFileAtomically(path, std::string(4096, 'n')); });
  EXPECT_EQ(message, "Cannot write file \"" + path + "\". " + SystemErrorText(ENOSPC));
  ExpectOldFileOnly(path, "the old list");
}

TEST_F(FaultTest, AFailedRenameOrFlushKeepsTheOldFile) {
  const std::string path = dir_.Write("cache.qcache", "old cache");
  for (const TFileOp op : {TFileOp::Rename, TFileOp::Flush, TFileOp::Write}) {
    faults_.FailCall(op, 1, EIO);
    const std::string message = WriteError([&] { WriteFileAtomically(path, "new cache"); });
    EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
    ExpectOldFileOnly(path, "old cache");
  }
  WriteFileAtomically(path, "new cache");  // the faults fired once each
  EXPECT_EQ(test::ReadFile(path), "new cache");
}

TEST_F(FaultTest, FilesPreparedTogetherAreReplacedOnlyWhenAllWereWritten) {
  const std::string have = dir_.Write("Have.txt", "old have");
  const std::string miss = dir_.Write("Miss.txt", "old miss");
  faults_.FailWritesAfter(10, ENOSPC);  // room for the first file only
  EXPECT_THROW(
      {
        TPendingFile first(have, "new have");
        TPendingFile second(miss, "new miss list");
        first.Commit();
        second.Commit();
      },
      IoError);
  EXPECT_EQ(test::ReadFile(have), "old have");
  EXPECT_EQ(test::ReadFile(miss), "old miss");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 2);
}

TEST_F(FaultTest, AStreamedReplacementShowsOnlyWhenCommittedAndGoesAtItsFirstFailure) {
  const std::string path = dir_.Write("a.bin", "old");
  {
    TPendingFile pending(path);
    pending.Append("ab");
    pending.Append("cd");
    EXPECT_EQ(test::ReadFile(path), "old");
    pending.Commit();
    pending.Commit();
  }
  ExpectOldFileOnly(path, "abcd");
  faults_.FailWritesAfter(3, ENOSPC, "a.bin");
  TPendingFile pending(path);
  pending.Append("xy");
  const std::string message = WriteError([&] { pending.Append("zw"); });
  EXPECT_EQ(message, "Cannot write file \"" + path + "\". " + SystemErrorText(ENOSPC));
  ExpectOldFileOnly(path, "abcd");  // the temporary is gone at once
  faults_.Clear();
  EXPECT_EQ(WriteError([&] { pending.Append("more"); }), message);
  EXPECT_EQ(WriteError([&] { pending.Commit(); }), message);
  ExpectOldFileOnly(path, "abcd");
}

TEST_F(FaultTest, FilesCommittedTogetherAreTakenBackWhenOneCannotFollow) {
  const std::string have = dir_.Write("Have.txt", "old have");
  const std::string miss = dir_ / "Miss.txt";  // new: removed again
  faults_.FailCall(TFileOp::Rename, 1, EXDEV, "Other.txt");
  EXPECT_THROW(
      {
        TPendingFile first(have, "new have");
        TPendingFile second(miss, "new miss");
        TPendingFile third(dir_ / "Other.txt", "new other");
        CommitTogether({&first, &second, &third});
      },
      IoError);
  ExpectOldFileOnly(have, "old have");
  // When the old bytes cannot be put back either, the message says so.
  faults_.FailCall(TFileOp::Rename, 2, EIO, "Have.txt");
  faults_.FailCall(TFileOp::Rename, 1, EXDEV, "Other.txt");
  const std::string message = WriteError([&] {
    TPendingFile first(have, "new have");
    TPendingFile third(dir_ / "Other.txt", "new other");
    CommitTogether({&first, &third});
  });
  EXPECT_EQ(message, "Cannot write file \"" + dir_ / "Other.txt" + "\". " + SystemErrorText(EXDEV) +
                         "; \"" + have + "\" keeps its new contents: Cannot write file \"" + have +
                         "\". " + SystemErrorText(EIO));
  ExpectOldFileOnly(have, "new have");
}

TEST_F(FaultTest, AReadThatFailsHalfWayNamesTheFile) {
  const std::string path = dir_.Write("dump.nds", std::string(100000, 'd'));
  faults_.FailReadsAfter(65536, EIO, "dump.nds");
  try {
    ReadWholeFile(path);
    FAIL() << "the read did not fail";
  } catch (const IoError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot read file \"" + path + "\". " + SystemErrorText(EIO));
    EXPECT_EQ(error.SystemError(), EIO);
  }
}

TEST_F(FaultTest, TheNthCallFailsWithTheChosenError) {
  const std::string path = dir_.Write("a.dat", "a");
  faults_.FailCall(TFileOp::Open, 2, EACCES, "a.dat");
  EXPECT_NO_THROW(TInputFile{path});
  EXPECT_THROW(TInputFile{path}, FileOpenError);
  EXPECT_NO_THROW(TInputFile{path});
  EXPECT_EQ(faults_.Calls(TFileOp::Open), 3);
}

TEST_F(FaultTest, AFolderThatCannotBeListedGivesNoEntries) {
  dir_.Write("sub/x.nds", "x");
  faults_.FailCall(TFileOp::List, 1, EACCES);
  EXPECT_TRUE(ListFolder(dir_ / "sub").empty());
  EXPECT_EQ(ListFolder(dir_ / "sub"), std::vector<std::string>{"x.nds"});
}

class NotRegularTest : public test::TempDirTest {
 protected:
  TFaultFileSystem faults_;  // passes every call on: the step as separate calls
};

TEST_F(NotRegularTest, AFifoOrFolderIsRefusedAtOnceNotWaitedFor) {
#ifdef _WIN32
  GTEST_SKIP() << "a FIFO in a folder exists on POSIX systems only";
#else
  ASSERT_EQ(::mkfifo((dir_ / "x.nds").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.dat");
  for (const char* name : {"x.nds", "folder.dat"}) {
    try {
      TInputFile file(dir_ / name);
      FAIL() << name << " was opened";
    } catch (const FileOpenError& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
    }
  }
#endif
}

// The scan's one step per loose dump: only a regular file comes back open,
// with the stamp and size of the same open; nothing else is opened for
// reading or waited for, and what is not there says why.
TEST_F(NotRegularTest, OpenIfFileOpensOnlyARegularFileAndStampsItFromTheSameOpen) {
  const std::string dump = dir_.Write("x.nds", "the dump");
  fs::create_directory(dir_ / "folder.nds");
  std::vector<std::string> files = {"x.nds"}, missing = {"gone.nds", "gone/x.nds"};
#ifndef _WIN32  // FIFOs exist on POSIX systems only; the Windows build makes no links
  ASSERT_EQ(::mkfifo((dir_ / "fifo.nds").c_str(), 0600), 0);
  fs::create_symlink(dir_ / "x.nds", dir_ / "link.nds");
  fs::create_symlink(dir_ / "nowhere", dir_ / "dangling.nds");
  files.push_back("link.nds");
  missing.push_back("dangling.nds");
#endif
  for (TFileSystem* system : {&DefaultFileSystem(), static_cast<TFileSystem*>(&faults_)}) {
    for (const std::string& name : files) {
      TOpenedPath opened = system->OpenIfFile(dir_ / name);
      EXPECT_EQ(opened.Stat.Type, TFileType::Regular) << name;
      EXPECT_EQ(opened.Stat.Size, 8u);
      ASSERT_TRUE(opened.File && opened.Stamp) << name;
      EXPECT_EQ(*opened.Stamp, *FileStamp(dump));
      TInputFile file(dir_ / name, std::move(opened.File));
      std::string read(16, '\0');
      read.resize(file.ReadFull(read.data(), read.size()));
      EXPECT_EQ(read, "the dump");
    }
#ifndef _WIN32
    const TOpenedPath fifo = system->OpenIfFile(dir_ / "fifo.nds");
    EXPECT_EQ(fifo.Stat.Type, TFileType::Other);
    EXPECT_FALSE(fifo.File || fifo.OpenFailure || fifo.Stamp);
#endif
    const TOpenedPath folder = system->OpenIfFile(dir_ / "folder.nds");
    EXPECT_EQ(folder.Stat.Type, TFileType::Folder);
    EXPECT_FALSE(folder.File || folder.OpenFailure || folder.Stamp);
    for (const std::string& name : missing) {
      const TOpenedPath gone = system->OpenIfFile(dir_ / name);
      EXPECT_EQ(gone.Stat.Type, TFileType::Missing) << name;
      EXPECT_EQ(gone.Stat.Error, ENOENT) << name;
      EXPECT_FALSE(gone.File || gone.OpenFailure) << name;
    }
  }
}

#ifdef _WIN32
// A file held by another program that shares no reading is a regular file
// that cannot be opened now ("Busy"), not a missing one.
TEST_F(NotRegularTest, OpenIfFileTellsAFileHeldWithoutReadSharingAsBusy) {
  const std::string dump = dir_.Write("held.nds", "x");
  const HANDLE held = ::CreateFileW(fs::path(dump).wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const TOpenedPath opened = DefaultFileSystem().OpenIfFile(dump);
  ::CloseHandle(held);
  EXPECT_FALSE(opened.File);
  ASSERT_TRUE(opened.OpenFailure);
  try {
    std::rethrow_exception(opened.OpenFailure);
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.SystemError(), ETXTBSY) << error.what();
  }
}
#endif

TEST_F(NotRegularTest, OpenIfFileTellsAFileThatCannotBeOpenedAsTheOpenWould) {
  dir_.Write("locked.nds", "x");
  faults_.FailCall(TFileOp::Open, 1, EACCES, "locked.nds");
  const TOpenedPath opened = faults_.OpenIfFile(dir_ / "locked.nds");
  EXPECT_EQ(opened.Stat.Type, TFileType::Regular);
  ASSERT_TRUE(opened.OpenFailure);
  EXPECT_FALSE(opened.File);
  try {
    std::rethrow_exception(opened.OpenFailure);
  } catch (const FileOpenError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + (dir_ / "locked.nds") + "\". Permission denied");
  }
}

TEST_F(NotRegularTest, ListingHoldsOnlyFilesAndFoldersLinksFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << "a FIFO in a folder exists on POSIX systems only";
#else
  dir_.Write("file.nds", "f");
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo((dir_ / "fifo.nds").c_str(), 0600), 0);
  fs::create_symlink(dir_ / "nowhere", dir_ / "dangling.nds");
  fs::create_symlink(dir_ / "file.nds", dir_ / "link.nds");
  fs::create_directory_symlink(dir_ / "folder", dir_ / "linked");
  fs::create_symlink(dir_ / "loop.nds", dir_ / "loop.nds");
  // A link whose status fails for another reason is listed with it (root
  // may look everywhere, but not through a name longer than 255 bytes).
  fs::create_symlink(std::string(300, 'n'), dir_ / "unknown.nds");
  std::map<std::string, int> listed;
  for (const TListedEntry& entry : ListFolderEntries(dir_.Path()))
    listed[entry.Name] = entry.Error != 0 ? entry.Error : entry.IsFolder ? 1 : 0;
  EXPECT_EQ(listed, (std::map<std::string, int>{{"file.nds", 0},
                                                {"folder", 1},
                                                {"link.nds", 0},
                                                {"linked", 1},
                                                {"unknown.nds", ENAMETOOLONG}}));
#endif
}

// The stamps of a walk's files taken relative to their open folder are the
// stamps the plain status by path gives, for every kind of path the walk
// meets, as the files change and go; a FIFO is never opened (the status
// alone), so nothing waits for a writer.
TEST_F(NotRegularTest, AFolderStamperStampsEachFileAsFileStampDoes) {
  dir_.Write("a/x.nds", "the dump");
  dir_.Write("a/y.nds", "another dump");
  dir_.Write("b/z.nds", "a third");
  fs::create_directory(dir_ / "a/folder.nds");
  std::vector<std::string> names = {"a/x.nds", "a/y.nds", "b/z.nds", "a/x.nds", "a/folder.nds",
                                    "a/gone.nds", "gone/x.nds", "a/x.nds/inside"};
#ifndef _WIN32  // FIFOs exist on POSIX systems only; the Windows build makes no links
  ASSERT_EQ(::mkfifo((dir_ / "a/fifo.nds").c_str(), 0600), 0);
  fs::create_symlink(dir_ / "b/z.nds", dir_ / "a/link.nds");
  fs::create_symlink(dir_ / "nowhere", dir_ / "a/dangling.nds");
  fs::create_directory_symlink(dir_ / "b", dir_ / "a/linked");
  names.insert(names.end(), {"a/fifo.nds", "a/link.nds", "a/dangling.nds", "a/linked/z.nds"});
#endif
  TFolderStamper stamper;
  const auto same = [&](const std::string& name) {
    const std::optional<TFileStamp> plain = FileStamp(dir_ / name);
    EXPECT_EQ(stamper.Stamp(dir_ / name), plain) << name;
    return plain.has_value();
  };
  for (const std::string& name : names) same(name);
  EXPECT_TRUE(same("a/x.nds"));
  EXPECT_FALSE(same("a/folder.nds"));
  EXPECT_FALSE(same("a/gone.nds"));
  // Rewritten in place with as many bytes: a new stamp, never the old one.
  const std::optional<TFileStamp> before = stamper.Stamp(dir_ / "a/y.nds");
  ASSERT_TRUE(before);
  TFileStamp after = *before;
  for (int tries = 0; tries < 200 && after == *before; ++tries) {
    std::fstream file(dir_ / "a/y.nds", std::ios::in | std::ios::out | std::ios::binary);
    file << "ANOTHER DUMP";
    after = stamper.Stamp(dir_ / "a/y.nds").value_or(TFileStamp{});
  }
  EXPECT_NE(after, *before);
  EXPECT_EQ(after.Node, before->Node);
  EXPECT_EQ(after.Size, before->Size);
  EXPECT_TRUE(same("a/y.nds"));
  // Gone between two stamps of its folder, and back as a folder.
  fs::remove(dir_ / "a/x.nds");
  EXPECT_FALSE(same("a/x.nds"));
  fs::create_directory(dir_ / "a/x.nds");
  EXPECT_FALSE(same("a/x.nds"));
  EXPECT_TRUE(same("b/z.nds"));
}

}  // namespace
}  // namespace vexmoor
