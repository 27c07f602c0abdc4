// What a writer that must never lose a file asks of the disk beyond files:
// free space, the folder entry made durable, and links.
#pragma once

#include <cstdint>
#include <string>

namespace vexmoor {

// Bytes an unprivileged user may still write in the file system that holds
// `folder`. Throws IoError naming the folder when it cannot be examined.
uint64_t FreeBytes(const std::string& folder);

// Writes the entries of `folder` (a rename or a new name in it) out to
// stable storage. Throws IoError.
void SyncFolder(const std::string& folder);

// A second name `link` for the file `target` (a hard link): both must lie
// on one file system. A symbolic link `link` that leads to `target`, which
// should be an absolute path. Neither replaces anything at `link`. Throws
// IoError naming `link` with the system's reason (EXDEV: another disk;
// EEXIST: something is there).
void CreateHardLink(const std::string& target, const std::string& link);
void CreateSymbolicLink(const std::string& target, const std::string& link);

// True when `first` and `second` lie on the same file system (both must
// exist; false when either cannot be examined).
bool OnSameDisk(const std::string& first, const std::string& second);

}  // namespace vexmoor
