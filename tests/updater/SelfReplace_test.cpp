// The start-up switches: parsing, the three generations with real processes,
// and every way a hand-over is refused.
#include "updater/SelfReplace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/Process.h"
#include "support/Programs.h"
#include "support/TempDir.h"
#include "support/WriteFaults.h"
#include "updater/UpdateLog.h"

namespace vexmoor {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(StartCommand, TheSwitchIsComparedExactly) {
  EXPECT_EQ(ParseStartCommand({}).Switch, TStartSwitch::None);
  const TStartCommand update = ParseStartCommand({"-update", "/a b/moorscan"});
  EXPECT_EQ(update.Switch, TStartSwitch::Update);
  EXPECT_EQ(update.Path, "/a b/moorscan");
  EXPECT_EQ(ParseStartCommand({"-delete"}).Switch, TStartSwitch::Delete);
  EXPECT_EQ(ParseStartCommand({"-delete"}).Path, "");
  EXPECT_EQ(ParseStartCommand({"-upgrade"}).Switch, TStartSwitch::Upgrade);
  for (const char* other : {"-Update", "-DELETE", "/upgrade", "update", "-update2", "x"}) {
    EXPECT_EQ(ParseStartCommand({other, "/a"}).Switch, TStartSwitch::None) << other;
  }
  EXPECT_EQ(SwitchParameters("-delete", "/a b/upd-x"), "-delete \"/a b/upd-x");
}

TEST(StartCommand, TheWaitBoundComesFromTheEnvironmentOnlyAsANumber) {
  EXPECT_EQ(FileWaitBound(), kFileWaitBound);
  const std::string bound = "250", malformed = "25x";
  test::SetEnvironment(kFileWaitBoundVariable, &bound);
  EXPECT_EQ(FileWaitBound(), 250ms);
  test::SetEnvironment(kFileWaitBoundVariable, &malformed);
  EXPECT_EQ(FileWaitBound(), kFileWaitBound);
  test::SetEnvironment(kFileWaitBoundVariable, nullptr);
}

TEST(StartCommand, LogLinesSayWhenWhoWhatAndHowItEnded) {
  EXPECT_EQ(UpdateLogLine("2026-12-07 19:40:01 +01:00", 42, "-delete", "delete \"/a\"", "deleted"),
            "2026-12-07 19:40:01 +01:00 pid 42 -delete: delete \"/a\" -> deleted\n");
  EXPECT_EQ(UpdateLogTime().size(), 26u);
}

class SelfReplace : public test::TempDirTest {
 protected:
  void SetUp() override { fs::create_directory(folder_); }
  // The context of the build that runs "-update", or with `self` that of
  // another program.
  TStartContext Context(std::chrono::milliseconds bound = 20s, std::string self = "") const {
    return {self.empty() ? build_ : self, folder_ + "/", 200ms, bound};
  }
  TStartContext ProgramContext(std::chrono::milliseconds bound = 20s) const {
    return Context(bound, program_);
  }
  std::string Log() const { return test::ReadFile(folder_ + "/vexmoor-update.log"); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  const std::string folder_ = dir_ / "Vexmoor  beta $1 'x'";
  const std::string program_ = folder_ + "/moorscan";
  const std::string build_ = folder_ + "/upd-moorscan";
};

// Old program running and busy, the new build started with -update: the new
// build waits, replaces the old file, starts it with -delete, and that
// generation removes the build and starts as usual.
TEST_F(SelfReplace, ThreeGenerationsHandOverThroughTheFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the hand-over starts the test programs by names without .exe";
#else
  test::StartBusyProgram(program_, 1.0);
  test::CopyProgram(test::DriverProgram(), build_);
  StartProgram(build_, SwitchParameters(kUpdateSwitch, program_), dir_.Path());
  ASSERT_TRUE(test::WaitUntil([&] { return test::ReadFile(folder_ + "/started.txt").ends_with("end\n"); }));
  EXPECT_EQ(test::ReadFile(folder_ + "/started.txt"),
            "cwd " + dir_.Path() + "\narg -delete\narg " + build_ + "\nend\n");
  EXPECT_EQ(test::ReadFile(program_), test::ReadFile(test::DriverProgram()));
  struct stat info {};
  ASSERT_EQ(::stat(program_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
  EXPECT_EQ(Files(), (std::vector<std::string>{"moorscan", "started.txt", "vexmoor-update.log"}));
  const std::string log = Log();
  EXPECT_NE(log.find(" -update: copy \"" + build_ + "\" over \"" + program_ + "\" -> waited "), std::string::npos) << log;
  EXPECT_NE(log.find(", replaced, started it with -delete as pid "), std::string::npos) << log;
  EXPECT_NE(log.find(" -delete: delete \"" + build_ + "\" -> waited "), std::string::npos) << log;
  EXPECT_NE(log.find(", deleted\n"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
#endif
}

// A killed "-update" left its partial copy of the program for good: the next
// hand-over removes it, and nothing that only looks alike.
TEST_F(SelfReplace, AHandOverRemovesThePartialProgramAKilledOneLeft) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the started test driver leaves no trace under wine";
#else
  test::CopyProgram(test::DriverProgram(), program_);
  test::CopyProgram(test::DriverProgram(), build_);
  for (const char* name : {"moorscan.vexmoor-Ab12Cd", "moorscan.Ab12Cd"}) {
    const std::string path = dir_.Write(fs::path(folder_).filename().string() + "/" + name, "part");
    fs::last_write_time(path, fs::file_time_type::clock::now() - 30min);
  }
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, program_}, Context()),
            TStartOutcome::EndProcess);
  ASSERT_TRUE(
      test::WaitUntil([&] { return test::ReadFile(folder_ + "/started.txt").ends_with("end\n"); }));
  EXPECT_TRUE(test::WaitUntil([&] { return !fs::exists(build_); }));
  EXPECT_EQ(Files(), (std::vector<std::string>{"moorscan", "moorscan.Ab12Cd", "started.txt",
                                               "vexmoor-update.log"}));
#endif
}

TEST_F(SelfReplace, UpdateLeavesAProgramStillRunningAtTheBound) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the hand-over starts the test programs by names without .exe";
#else
  test::StartBusyProgram(program_, 5);
  const std::string old = test::ReadFile(program_);
  test::CopyProgram(test::DriverProgram(), build_);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, program_}, Context(400ms)),
            TStartOutcome::EndProcess);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(test::ReadFile(program_), old);
  EXPECT_NE(Log().find("refused: the program was still running after 0."), std::string::npos) << Log();
  EXPECT_EQ(Files(), (std::vector<std::string>{"moorscan", "upd-moorscan", "vexmoor-update.log"}));
#endif
}

TEST_F(SelfReplace, UpdateRefusesAMissingTargetAndItself) {
  test::CopyProgram(test::DriverProgram(), build_);
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, program_}, Context()), TStartOutcome::EndProcess);
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, build_}, Context()), TStartOutcome::EndProcess);
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, ""}, Context()), TStartOutcome::EndProcess);
  EXPECT_EQ(Files(), (std::vector<std::string>{"upd-moorscan", "vexmoor-update.log"}));
  EXPECT_NE(Log().find("refused: the program file does not exist"), std::string::npos);
}

// Permissions do not bind root, so as root the new build runs as "nobody".
TEST_F(SelfReplace, UpdateLeavesAFolderThatIsNotWritableToThePackageManager) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the hand-over starts the test programs by names without .exe";
#else
  const std::string system = dir_ / "usr bin";
  fs::create_directory(system);
  const std::string text = "#!/bin/sh\necho run >\"$0.ran\"\n";
  const std::string installed = dir_.Write("usr bin/moorscan", text);
  MakeExecutable(installed);
  fs::permissions(system, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  test::CopyProgram(test::DriverProgram(), build_);
  const std::string parameters = SwitchParameters(kUpdateSwitch, installed);
  if (!IsWritableFolder(system)) {
    EXPECT_FALSE(CanReplaceProgram(installed));
    StartProgram(build_, parameters, "");
  } else if (fs::exists("/usr/sbin/runuser")) {
    fs::permissions(dir_.Path(), fs::perms::all);
    fs::permissions(folder_, fs::perms::all);
    StartProgram("/usr/sbin/runuser", "-u nobody -- \"" + build_ + "\" " + parameters, "");
  } else {
    GTEST_SKIP() << "permissions do not bind this user";
  }
  ASSERT_TRUE(test::WaitUntil([&] { return Log().ends_with("\n"); })) << Log();
  EXPECT_NE(Log().find("not replaced: its folder is not writable"), std::string::npos) << Log();
  EXPECT_EQ(test::ReadFile(installed), text);
#endif
}

// A copy over the old program that fails keeps the old program whole and
// runnable, leaves no temporary, and logs the program's own path.
class SelfReplaceFault : public SelfReplace,
                         public ::testing::WithParamInterface<test::TWriteFault> {};

TEST_P(SelfReplaceFault, AFailedCopyKeepsTheOldProgram) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the hand-over starts the test programs by names without .exe";
#else
  const std::string old = "#!/bin/sh\nexit 0\n";
  dir_.Write("Vexmoor  beta $1 'x'/moorscan", old);
  fs::permissions(program_, fs::perms(0755));
  dir_.Write("Vexmoor  beta $1 'x'/upd-moorscan", "the new build");
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  test::Inject(faults, GetParam(), "/moorscan");
  EXPECT_EQ(RunStartCommand({TStartSwitch::Update, program_}, Context()),
            TStartOutcome::EndProcess);
  EXPECT_NE(
      Log().find(", not replaced: " + test::WriteFailure(program_, GetParam()) + ", started it"),
      std::string::npos)
      << Log();
  EXPECT_EQ(Files(), (std::vector<std::string>{"moorscan", "upd-moorscan", "vexmoor-update.log"}));
  EXPECT_EQ(test::ReadFile(program_), old);
  EXPECT_EQ(fs::status(program_).permissions(), fs::perms(0755));
#endif
}

INSTANTIATE_TEST_SUITE_P(Faults, SelfReplaceFault, ::testing::ValuesIn(test::kWriteFaults),
                         test::WriteFaultName);

TEST_F(SelfReplace, DeleteOfAMissingFileStartsAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunStartCommand({TStartSwitch::Delete, build_}, ProgramContext()), TStartOutcome::Continue);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_NE(Log().find("nothing to delete"), std::string::npos);
}

TEST_F(SelfReplace, DeleteOnlyRemovesADownloadedBuildThatHasEnded) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the hand-over starts the test programs by names without .exe";
#else
  const std::string other = dir_.Write("thesis.tex", "keep");
  EXPECT_EQ(RunStartCommand({TStartSwitch::Delete, other}, ProgramContext()), TStartOutcome::Continue);
  EXPECT_EQ(test::ReadFile(other), "keep");
  test::StartBusyProgram(build_, 5);
  EXPECT_EQ(RunStartCommand({TStartSwitch::Delete, build_}, ProgramContext(300ms)), TStartOutcome::Continue);
  EXPECT_TRUE(fs::exists(build_));
  const std::string log = Log();
  EXPECT_NE(log.find("refused: only a downloaded build"), std::string::npos) << log;
  EXPECT_NE(log.find("kept: it was still running after"), std::string::npos) << log;
  const std::string ended = dir_.Write("upd-ended", "x");
  EXPECT_EQ(RunStartCommand({TStartSwitch::Delete, ended}, ProgramContext()), TStartOutcome::Continue);
  EXPECT_FALSE(fs::exists(ended));
#endif
}

TEST_F(SelfReplace, OtherSwitchesChangeNothing) {
  const std::string program = dir_.Write("moorscan", "old");
  EXPECT_EQ(RunStartCommand(ParseStartCommand({"-Update", program}), Context()), TStartOutcome::Continue);
  EXPECT_EQ(RunStartCommand(ParseStartCommand({"-upgrade"}), Context()), TStartOutcome::OpenUpdateWindow);
  EXPECT_EQ(test::ReadFile(program), "old");
  EXPECT_FALSE(fs::exists(folder_ + "/vexmoor-update.log"));
}

TEST_F(SelfReplace, TheHandOverStartsTheDownloadedBuildExecutable) {
  test::CopyProgram(test::DriverProgram(), program_);
  fs::copy_file(test::DriverProgram(), build_);
  fs::permissions(build_, fs::perms::owner_read | fs::perms::owner_write);
  StartProgramUpdate(build_, program_, folder_);
  ASSERT_TRUE(test::WaitUntil([&] { return fs::exists(folder_ + "/started.txt") && !fs::exists(build_); }));
  EXPECT_NE(Log().find(" hand-over: start \"" + build_ + "\" to replace \"" + program_), std::string::npos);
  EXPECT_THROW(StartProgramUpdate(dir_ / "missing", program_, folder_), Error);
}

// A double quote cannot travel inside the quoted path of a switch.
TEST_F(SelfReplace, APathWithADoubleQuoteIsNeverHandedOver) {
#ifdef _WIN32
  GTEST_SKIP() << "a double quote cannot be in a Windows file name";
#else
  const std::string quoted = dir_ / "a\"b";
  fs::create_directory(quoted);
  EXPECT_FALSE(CanReplaceProgram(quoted + "/moorscan"));
  test::CopyProgram(test::DriverProgram(), quoted + "/upd-moorscan");
  EXPECT_THROW(StartProgramUpdate(quoted + "/upd-moorscan", program_, folder_), Error);
  EXPECT_TRUE(fs::exists(quoted + "/upd-moorscan"));
#endif
}

}  // namespace
}  // namespace vexmoor
