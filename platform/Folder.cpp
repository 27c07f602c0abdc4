#include "platform/Folder.h"

#include <filesystem>
#include <system_error>

#include "platform/Errors.h"
#include "platform/Path.h"

namespace vexmoor {

std::vector<TListedEntry> ListFolderEntries(const std::string& folder) {
  try {
    return CurrentFileSystem().List(folder);
  } catch (const IoError&) {
    return {};
  }
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (TListedEntry& entry : ListFolderEntries(folder)) names.push_back(std::move(entry.Name));
  return names;
}

std::optional<TFolderIdentity> FolderIdentity(const std::string& path) {
  const TFileStat stat = CurrentFileSystem().Stat(path);
  if (stat.Type != TFileType::Folder) return std::nullopt;
  return TFolderIdentity{stat.Device, stat.Node};
}

void CreateFolders(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(FilesystemPath(folder), error);
  if (error) {
    throw IoError("Cannot create folder \"" + folder + "\". " + error.message(), error.value());
  }
}

}  // namespace vexmoor
