// What the POSIX and Windows halves of the system's file system share.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace vexmoor {

// What the system's OpenIfFile returns when its open failed with `error`:
// what is there (a file one may not read, nothing, a folder one may not
// open) is told as `system`'s plain status and the open tell it.
TOpenedPath NotOpened(TFileSystem& system, const std::string& path, int error);

}  // namespace vexmoor
