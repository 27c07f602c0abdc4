// open(2) and stat(2) for paths of any length on POSIX. The system refuses a
// path of PATH_MAX bytes or more (ENAMETOOLONG) however short its names are,
// so a longer path is walked in pieces: each piece but the last is opened as
// a folder relative to the one before, and the call is made on the rest
// relative to the deepest folder opened (openat, fstatat). Links are
// followed as the plain calls follow them, ".." included. A shorter path
// goes to the system as it is, with no extra call.
// (A Windows implementation reaches long paths with the \\?\ prefix.)
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace vexmoor {

// As open(path, flags, mode): a descriptor, or -1 with errno set (also when
// a folder on the way could not be opened).
int OpenPath(const std::string& path, int flags, mode_t mode = 0);

// As stat(path, &info), links followed: 0, or -1 with errno set.
int StatPath(const std::string& path, struct stat& info);

}  // namespace vexmoor
