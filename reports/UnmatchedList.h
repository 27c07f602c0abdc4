// The list of a folder's other files: every dump a scan examined that is
// not a release found (unknown, duplicate, wrong size, checksum mismatch,
// bad dump) and every path it could not examine, one line each. The same
// text is `vexmoor audit --unmatched FILE` and the NAME-Unknown.txt a lists
// save writes beside the have and miss lists.
#pragma once

#include <string>

#include "catalogue/RomItem.h"
#include "scan/FolderReport.h"

namespace vexmoor {

// One row's fields, as the list, the JSON and the window show them.
struct TUnmatchedFields {
  std::string Kind;      // DumpKindText
  std::string Location;  // the path, or the archive's path, '\' and member
  std::string Size;      // decimal bytes; "" for Unreadable
  std::string Crc;       // eight upper-case hex digits; "" for Unreadable
  std::string EntryIndex;  // the entry it was taken for, or ""
  std::string EntryName;
  // Duplicate: the location of the copy the release counts; Unreadable: the
  // reason; else "".
  std::string Note;
};

// The fields of `record` of `report`, the entry read from `catalogue` (the
// catalogue the scan marked). Bytes are as the scan met them.
TUnmatchedFields UnmatchedFields(const TFolderReport& report, const TDumpRecord& record,
                                 const TCatalogue& catalogue);

// One line per row of `report` in the order met: the seven fields
// separated by tabs, each with its control characters made blanks
// (OneLineText), every line ending in CR LF. "" when there are no rows.
std::string UnmatchedListText(const TFolderReport& report, const TCatalogue& catalogue);

// Writes UnmatchedListText to `path`, replacing the file atomically. Throws
// IoError; the old file is then untouched.
void SaveUnmatchedList(const TFolderReport& report, const TCatalogue& catalogue,
                       const std::string& path);

}  // namespace vexmoor
