#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <cstring>

#include "platform/Folder.h"

namespace vexmoor {

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  ::closedir(listing);
  return names;
}

std::optional<TFolderIdentity> FolderIdentity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
  return TFolderIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool IsWritableFolder(const std::string& folder) {
  std::string probe = folder.empty() ? std::string("./") : folder;
  if (probe.back() != '/') probe += '/';
  probe += ".vexmoor-probe-XXXXXX";
  const int handle = ::mkstemp(probe.data());
  if (handle < 0) return false;
  ::close(handle);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace vexmoor
