#include "platform/Process.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <vector>

#include "platform/CommandLine.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return "";
    path.resize(path.size() * 2);
  }
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  return Narrow(path);
}

int64_t CurrentProcessId() { return ::GetCurrentProcessId(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The C library's argv is in the ANSI code page; the wide command line
  // carries every name as typed.
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) ::LocalFree(wide);
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');  // they stand before the closing quote
  return quoted + L"\"";
}

int64_t StartProgram(const std::string& program, std::string_view parameters,
                     const std::string& workingFolder) {
  std::wstring application = Widen(program);
  for (wchar_t& c : application)
    if (c == L'/') c = L'\\';
  std::wstring commandLine = QuoteArgument(application);
  for (const std::string& argument : SplitCommandLine(parameters)) commandLine += L" " + QuoteArgument(Widen(argument));
  std::wstring folder = Widen(workingFolder);
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // No shell: the program file is named, and the command line only carries
  // the arguments for the program's own C library to split.
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    throw IoError("Cannot start program \"" + program + "\". " + SystemErrorText(LastErrno()));
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return started.dwProcessId;
}

}  // namespace vexmoor
