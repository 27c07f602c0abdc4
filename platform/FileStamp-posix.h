// The stamp of a file as a POSIX status tells it, for the calls that already
// hold the status (an open file's fstat).
#pragma once

#include <sys/stat.h>

#include "platform/FileStamp.h"

namespace vexmoor {

TFileStamp StampOfStatus(const struct stat& info);

}  // namespace vexmoor
