// The zip archives of a scan: their members from the central directory
// (codec/ZipCentral, tolerant of damage).
#pragma once

#include <string>
#include <vector>

#include "scan/cmpread.h"

namespace vexmoor {

// Appends the members of the zip at `path` to `entries` in directory order
// and returns "" when the whole directory was read, or why not (the
// archive is damaged or encrypted; the members read stay):
//  - no end record in the search span leads to a directory (a zip cut
//    short loses its end): nothing is added;
//  - the walk ends (a header cut short by the end of the file, a header
//    without its signature) before the count the end record announces;
//  - members encrypted with AES whose CRC is not stored (AE-2): they are
//    left out, the others kept.
// Throws FileOpenError when the file cannot be opened, IoError when a read
// fails.
std::string ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries);

}  // namespace vexmoor
