// The start-up switches of the real moorscan build, as real processes under
// the offscreen platform: the new build is the program itself, the old one
// a stand-in that keeps its file busy.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/Process.h"
#include "support/Programs.h"
#include "support/TempDir.h"
#include "updater/ScriptedServer.h"
#include "updater/UpdateSigning.h"
#include "updater/SelfReplace.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for the programs a test starts, and restores
// them afterwards.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      ::setenv(name.c_str(), value.c_str(), 1);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

class MoorscanSwitches : public test::TempDirTest {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  std::string Started() const { return test::ReadFile(started_); }
  bool HasStarted() const { return Started().ends_with("\n"); }
  std::string Log() const { return test::ReadFile(folder_ + "/vexmoor-update.log"); }

  const std::string folder_ = dir_ / "Rom Tools $HOME 'beta'";
  const std::string program_ = folder_ + "/moorscan";
  const std::string build_ = folder_ + "/upd-moorscan";
  const std::string started_ = dir_ / "started.txt";
  ScopedEnvironment environment_{{{"QT_QPA_PLATFORM", "offscreen"},
                                  {"XDG_CONFIG_HOME", dir_ / "config"},
                                  {"XDG_DATA_HOME", dir_ / "data"},
                                  {"VEXMOOR_TEST_STARTED_FILE", started_}}};
};

TEST_F(MoorscanSwitches, TheNewBuildReplacesTheOldOneAndStartsIt) {
  test::StartBusyProgram(program_, 1.0);
  test::CopyProgram(VEXMOOR_MOORSCAN, build_);
  StartProgram(build_, SwitchParameters(kUpdateSwitch, program_), dir_.Path());
  ASSERT_TRUE(test::WaitUntil([&] { return HasStarted(); }, std::chrono::seconds(60))) << Log();
  // Only the -delete generation reached the main window.
  EXPECT_EQ(Started(), "started|-delete|" + build_ + "\n");
  EXPECT_EQ(test::ReadFile(program_), test::ReadFile(VEXMOOR_MOORSCAN));
  struct stat info {};
  ASSERT_EQ(::stat(program_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
  EXPECT_FALSE(fs::exists(build_));
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("moorscan.")) << entry.path();
  }
  const std::string log = Log();
  EXPECT_NE(log.find(" -update: copy \"" + build_ + "\" over \"" + program_ + "\" -> waited "),
            std::string::npos) << log;
  EXPECT_NE(log.find(", replaced, started it with -delete as pid "), std::string::npos) << log;
  EXPECT_NE(log.find(" -delete: delete \"" + build_ + "\" -> waited "), std::string::npos) << log;
}

TEST_F(MoorscanSwitches, OtherSpellingsAndAMissingFileStartAsUsual) {
  test::CopyProgram(VEXMOOR_MOORSCAN, program_);
  const std::string other = dir_.Write("upd-other", "keep");
  StartProgram(program_, "-Update \"" + other, "");
  ASSERT_TRUE(test::WaitUntil([&] { return HasStarted(); }, std::chrono::seconds(60)));
  EXPECT_EQ(Started(), "started|-Update|" + other + "\n");
  EXPECT_EQ(test::ReadFile(other), "keep");

  const auto start = std::chrono::steady_clock::now();
  StartProgram(program_, SwitchParameters(kDeleteSwitch, folder_ + "/upd-gone"), "");
  ASSERT_TRUE(test::WaitUntil([&] { return Started().find("-delete") != std::string::npos; },
                              std::chrono::seconds(60)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_NE(Log().find("nothing to delete: no such file"), std::string::npos) << Log();
}

TEST_F(MoorscanSwitches, UpdateGivesUpOnAProgramThatKeepsRunning) {
  ScopedEnvironment bound(std::map<std::string, std::string>{{kFileWaitBoundVariable, "500"}});
  test::StartBusyProgram(program_, 8);
  const std::string old = test::ReadFile(program_);
  test::CopyProgram(VEXMOOR_MOORSCAN, build_);
  StartProgram(build_, SwitchParameters(kUpdateSwitch, program_), "");
  ASSERT_TRUE(test::WaitUntil([&] { return Log().find("refused") != std::string::npos; },
                              std::chrono::seconds(6)));
  EXPECT_NE(Log().find("refused: the program was still running after 0."), std::string::npos) << Log();
  EXPECT_EQ(test::ReadFile(program_), old);
  EXPECT_TRUE(fs::exists(build_));
  EXPECT_FALSE(fs::exists(started_));
}

// "-upgrade" asks the update service first; with nothing offered the window
// closes and the program starts as usual.
TEST_F(MoorscanSwitches, UpgradeOpensTheUpdateWindowBeforeTheMainWindow) {
  test::ScriptedServer server([](test::ServerConnection& connection) {
    const std::string request = connection.ReadRequest();
    if (request.empty()) return;
    // An empty list, signed.
    const std::string body =
        request.find(".minisig") != std::string::npos ? test::SignList("") : "";
    connection.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\n\r\n" + body);
  });
  dir_.Write("config/SOFTWARE/Vexmoor.conf",
             "[General]\nUpdateURL=" + server.Url("/update/") + "\nUpdatePublicKey=" +
                 MinisignPublicKeyLine(test::TestUpdatePublicKey()) + "\n");
  test::CopyProgram(VEXMOOR_MOORSCAN, program_);
  StartProgram(program_, std::string(kUpgradeSwitch), "");
  ASSERT_TRUE(test::WaitUntil([&] { return HasStarted(); }, std::chrono::seconds(60)));
  EXPECT_EQ(Started(), "started|-upgrade\n");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].starts_with("GET /update/update2.cgi ")) << requests[0];
  EXPECT_TRUE(requests[1].starts_with("GET /update/update2.cgi.minisig ")) << requests[1];
}

}  // namespace
}  // namespace vexmoor
