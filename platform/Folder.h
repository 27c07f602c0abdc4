// Folder listing for the scan: the entries of one folder in the order the
// file system returns them, and an identity per folder so that a walk can
// tell a folder it reaches again through a link.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace vexmoor {

// The folder separator of the platform, and the one the scan appends to a
// folder's path in its work list.
inline constexpr char kFolderSeparator = '/';

// Every regular file and folder of `folder` by name (hidden ones included,
// "." and ".." left out; links count as what they lead to, so a dangling
// link, a FIFO, a socket or a device is not listed; an entry whose kind
// could not be told is), in the order the file system returns them. A
// folder that cannot be listed gives no entries, as an empty one does.
std::vector<std::string> ListFolder(const std::string& folder);
// The same entries, each marked as a folder or a file.
std::vector<TListedEntry> ListFolderEntries(const std::string& folder);

// What a folder is on disk, links followed: equal identities mean the same
// folder reached by two paths.
struct TFolderIdentity {
  uint64_t Device = 0;
  uint64_t Node = 0;
  friend bool operator==(const TFolderIdentity&, const TFolderIdentity&) = default;
};

// The identity of the folder at `path`, or nothing when `path` is not a
// folder that can be examined.
std::optional<TFolderIdentity> FolderIdentity(const std::string& path);

// Creates `folder` and every missing folder above it; an existing folder is
// no error. Throws IoError ("Cannot create folder ...") otherwise.
void CreateFolders(const std::string& folder);

// True when a file can be created in `folder` ("" is the current folder):
// a probe file is created there and removed again. False for a folder that
// is missing, read-only or refuses new files for any other reason.
bool IsWritableFolder(const std::string& folder);

}  // namespace vexmoor
