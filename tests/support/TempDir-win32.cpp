// The Windows side of the test helpers: temporary folders, the environment,
// and running the built vexmoor.exe without a shell, its output captured in
// files as the POSIX side captures it through /bin/sh.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <random>
#include <stdexcept>

#include "platform/LongPath-win32.h"
#include "support/TempDir.h"

namespace vexmoor::test {

namespace fs = std::filesystem;

namespace {

HANDLE OpenForChild(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(Widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string MakeTempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = fs::temp_directory_path() / ("vexmoor-test-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(folder, error)) return folder.string();
  }
  throw std::runtime_error("cannot make a temporary folder");
}

void SetEnvironment(const std::string& name, const std::string* value) {
  ::_putenv_s(name.c_str(), value != nullptr ? value->c_str() : "");
  // _putenv_s with "" removes the variable from the C library's copy; the
  // system's copy is what started programs inherit.
  ::SetEnvironmentVariableW(Widen(name).c_str(), value != nullptr ? Widen(*value).c_str() : nullptr);
}

std::vector<std::string> SplitShellWords(std::string_view text) {
  std::vector<std::string> words;
  size_t at = 0;
  for (;;) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n')) ++at;
    if (at == text.size()) return words;
    std::string word;
    while (at < text.size() && text[at] != ' ' && text[at] != '\t' && text[at] != '\n') {
      const char c = text[at++];
      if (c == '\'') {
        const size_t end = text.find('\'', at);
        word += text.substr(at, end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
      } else if (c == '"') {
        while (at < text.size() && text[at] != '"') {
          if (text[at] == '\\' && at + 1 < text.size() && std::string_view("\\\"$`").find(text[at + 1]) != std::string_view::npos)
            ++at;
          word += text[at++];
        }
        ++at;
      } else if (c == '\\' && at < text.size()) {
        word += text[at++];
      } else {
        word += c;
      }
    }
    words.push_back(std::move(word));
  }
}

CommandResult RunCli(const std::string& arguments) {
  TempDir capture;
  const std::string out = capture / "out", err = capture / "err";
  std::wstring commandLine = QuoteArgument(Widen(VEXMOOR_CLI));
  for (const std::string& word : SplitShellWords(arguments)) commandLine += L" " + QuoteArgument(Widen(word));
  CommandResult result;
  {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenForChild("NUL", false);
    startup.hStdOutput = OpenForChild(out, true);
    startup.hStdError = OpenForChild(err, true);
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(Widen(VEXMOOR_CLI).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
      ::WaitForSingleObject(started.hProcess, INFINITE);
      DWORD code = 0;
      if (::GetExitCodeProcess(started.hProcess, &code)) result.exitCode = static_cast<int>(code);
      ::CloseHandle(started.hThread);
      ::CloseHandle(started.hProcess);
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
      if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

}  // namespace vexmoor::test
