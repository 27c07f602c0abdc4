// Test helpers: a temporary folder that removes itself, file writing and
// reading, the shared third-party fixtures, and running the CLI.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vexmoor::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path of `name` inside the folder.
  std::string operator/(std::string_view name) const;
  // Writes `data` to `name` (creating sub-folders) and returns its path.
  std::string Write(std::string_view name, std::string_view data) const;

 private:
  std::string path_;
};

// Sets an environment variable while it lives (programs a test starts
// inherit it) and restores the old value after.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// A test case with a fresh temporary folder.
class TempDirTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

std::string ReadFile(const std::string& path);

// Path of a file under ../shared/fixtures, or "" when the fixtures are absent
// (tests then call GTEST_SKIP).
std::string SharedFixture(std::string_view relative);

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the built `vexmoor` with `arguments` (already shell-quoted).
CommandResult RunCli(const std::string& arguments);

// Quotes a string for /bin/sh.
std::string ShellQuote(std::string_view text);

// Sets (or with nullptr removes) an environment variable of this process.
void SetEnvironment(const std::string& name, const std::string* value);

#ifdef _WIN32
// A new empty folder in the system's temporary folder.
std::string MakeTempFolder();
// Splits a command text as /bin/sh would ('...', "...", backslash escapes;
// no expansions), so RunCli takes the same text on every system.
std::vector<std::string> SplitShellWords(std::string_view text);
#endif

}  // namespace vexmoor::test
