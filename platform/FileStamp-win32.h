// The stamp of a file as an open handle tells it, for the calls that already
// hold the handle (the scan's one open per loose file).
#pragma once

#include <optional>

#include "platform/FileStamp.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

// The stamp of the regular file `handle` is open on, whose information
// `info` GetFileInformationByHandle gave; nothing when the basic information
// cannot be read or the handle is no regular file.
std::optional<TFileStamp> StampOfHandle(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info);

}  // namespace vexmoor
