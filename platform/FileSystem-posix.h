// What the system's POSIX file system keeps to itself but lets a test
// reach: its no-replace rename with the one-step rename call given, so that
// the fallback a file system without that call takes (link, then unlink) is
// tested on one that has it.
#pragma once

#include <string>

namespace vexmoor {

// Renames `from` to `to` only while nothing is at `to`, in one step: 0, or
// -1 with errno set (EEXIST when taken; EINVAL or ENOSYS when the file
// system or the kernel cannot).
using TNoReplaceRenameCall = int (*)(const char* from, const char* to);

// The system's renameat2(RENAME_NOREPLACE); ENOSYS where the C library has none.
int SystemNoReplaceRename(const char* from, const char* to);

// TFileSystem::RenameNoReplace through `rename`: when it answers EINVAL or
// ENOSYS, `to` is made a second name of the file (link() never replaces a
// name, a dangling link included) and `from` is then removed. Throws
// IoError for the rename's or the link's failure; nothing changed then.
void RenameNoReplaceWith(TNoReplaceRenameCall rename, const std::string& from, const std::string& to);

}  // namespace vexmoor
