#include <cstdlib>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/LongPath-win32.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"

namespace vexmoor {

namespace {

std::string UserDataFolder() {
  const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || local[0] == L'\0') return "";
  std::string folder = Narrow(local);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

}  // namespace

// The program's own folder when it may write there (a portable folder),
// else %LOCALAPPDATA%\vexmoor\ (an installation under Program Files).
std::string ChooseProgramFolder(const std::string& executablePath) {
  const std::string own = PathFolder(executablePath);
  if (own.empty() || IsWritableFolder(own)) return own;
  const std::string data = UserDataFolder();
  if (data.empty()) return own;
  const std::string folder = data + "vexmoor\\";
  try {
    CreateFolders(folder);
  } catch (const IoError&) {
    return own;
  }
  return IsFolder(folder) ? folder : own;
}

void SetCurrentFolder(const std::string& folder) {
  std::wstring wide = Widen(folder);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (!::SetCurrentDirectoryW(wide.c_str()))
    throw IoError("Cannot enter folder \"" + folder + "\". " + SystemErrorText(LastErrno()));
}

std::string CurrentFolder() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return "";
  std::wstring folder(size, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(size, folder.data());
  if (length == 0 || length >= size) return "";
  folder.resize(length);
  return Narrow(folder);
}

}  // namespace vexmoor
