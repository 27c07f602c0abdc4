#include "support/TempDir.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace vexmoor::test {

namespace fs = std::filesystem;

#ifdef _WIN32
TempDir::TempDir() : path_(MakeTempFolder()) {}
#else
TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "vexmoor-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string TempDir::operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::Write(std::string_view name, std::string_view data) const {
  const std::string path = *this / name;
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) {
    had_ = true;
    old_ = old;
  }
  SetEnvironment(name_, &value);
}

ScopedEnv::~ScopedEnv() { SetEnvironment(name_, had_ ? &old_ : nullptr); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string SharedFixture(std::string_view relative) {
  const std::string path = std::string(VEXMOOR_SHARED_FIXTURES) + "/" + std::string(relative);
  return fs::exists(path) ? path : std::string();
}

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

#ifndef _WIN32
void SetEnvironment(const std::string& name, const std::string* value) {
  if (value != nullptr)
    ::setenv(name.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name.c_str());
}

CommandResult RunCli(const std::string& arguments) {
  TempDir capture;
  const std::string out = capture / "out", err = capture / "err";
  const std::string command = ShellQuote(VEXMOOR_CLI) + " " + arguments + " >" + ShellQuote(out) +
                              " 2>" + ShellQuote(err) + " </dev/null";
  const int status = std::system(command.c_str());
  CommandResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

#endif

}  // namespace vexmoor::test
