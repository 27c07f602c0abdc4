#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"

namespace vexmoor {

namespace {

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return WithSeparator(xdg);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return "";
  return WithSeparator(home) + ".local/share/";
}

// Creates `folder` and the folders above it; true when it exists afterwards.
bool MakeFolders(const std::string& folder) {
  for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
    ::mkdir(folder.substr(0, at).c_str(), 0755);
  return IsFolder(folder);
}

}  // namespace

std::string ChooseProgramFolder(const std::string& executablePath) {
  const std::string own = PathFolder(executablePath);
  if (own.empty() || ::access(own.c_str(), W_OK) == 0) return own;
  const std::string data = UserDataFolder();
  if (data.empty()) return own;
  const std::string folder = data + "vexmoor/";
  return MakeFolders(folder) ? folder : own;
}

void SetCurrentFolder(const std::string& folder) {
  if (::chdir(folder.c_str()) != 0)
    throw IoError("Cannot enter folder \"" + folder + "\". " + SystemErrorText(errno));
}

std::string CurrentFolder() {
  char path[PATH_MAX];
  return ::getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string();
}

}  // namespace vexmoor
