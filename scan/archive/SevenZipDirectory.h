// The 7z header database, listed without unpacking a member: the signature
// header names the end header, which is read (and, when packed, unpacked)
// alone. docs/formats/7z-headers.md describes what is read.
#pragma once

#include <string>
#include <vector>

#include "scan/archive/SevenZipSource.h"
#include "scan/cmpread.h"

namespace vexmoor {

enum class TSevenZipStatus {
  Listed,     // Entries holds the members
  Encrypted,  // the header is encrypted: nothing can be listed
  Damaged,    // the headers do not follow the format, or a CRC differs
};

struct TSevenZipListing {
  TSevenZipStatus Status = TSevenZipStatus::Listed;
  std::string Problem;  // why, when Damaged
  std::vector<TCmpRecord> Entries;
};

// Lists the archive in `source`: one entry per file in stored order with
// the name as stored (UTF-8), the stream's CRC and size, PackedSize 0 (a
// member's share of its packed stream is not stored); empty files and
// folders with CRC 0 and size 0. A member whose CRC is not stored is left
// out; anti items are left out. The entries are all or nothing: a damaged
// header lists none. Only the signature header, the end header and a packed
// header's stream are read. Throws IoError when a read fails.
TSevenZipListing ListSevenZip(TSevenZipSource& source);

// Appends the members of the 7z archive at `path`, with the volumes that
// follow it when its name ends ".001", ".002" ... (SevenZipVolumePaths), to
// `entries`. An encrypted or damaged header adds nothing and raises nothing.
// Throws FileOpenError when a volume cannot be opened, IoError when a read
// fails.
void ReadSevenZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries);

// True when `path` is a later volume (".002" ...) of a set whose first
// volume is a 7z archive.
bool IsLaterSevenZipVolume(const std::string& path);

}  // namespace vexmoor
