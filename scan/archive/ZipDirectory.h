// The zip archives of a scan: their members from the central directory
// (codec/ZipCentral, tolerant of damage).
#pragma once

#include <string>
#include <vector>

#include "scan/cmpread.h"

namespace vexmoor {

// Appends the members of the zip at `path` to `entries` in directory order.
// A file without an end record in the search span adds nothing; a header cut
// short by the end of the file ends the walk without its entry. Throws
// FileOpenError when the file cannot be opened, IoError when a read fails.
void ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries);

}  // namespace vexmoor
