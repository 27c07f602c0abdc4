// The list of a folder's other files: every dump a scan examined that is
// not a release found (unknown, duplicate, wrong size, checksum mismatch,
// bad dump) and every path it could not examine, one line each. The same
// text is `vexmoor audit --unmatched FILE` and the NAME-Unknown.txt a lists
// save writes beside the have and miss lists.
#pragma once

#include <string>
#include <vector>

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

// The lines UnmatchedListText writes, for `rows` (records of `report`) in
// the order given: what the window's Copy puts on the clipboard.
std::string UnmatchedLinesText(const TFolderReport& report,
                               const std::vector<const TDumpRecord*>& rows,
                               const TCatalogue& catalogue);

// " Unknown : 3  Duplicate : 0 ...": every reported kind's count, the text
// the window shows beside the list of other files.
std::string OtherFilesCountsText(const TFolderReport& report);

// The caption of the window's list of other files: "Other Files" before a
// scan (no report), "Other Files (N)" after one, N its rows.
std::string OtherFilesCaption(const TFolderReport* report);

// One line per row of `report` in the order met: the seven fields
// separated by tabs, each with its control characters made blanks
// (OneLineText), every line ending in CR LF. "" when there are no rows.
std::string UnmatchedListText(const TFolderReport& report, const TCatalogue& catalogue);

// Writes UnmatchedListText to `path`, replacing the file atomically. Throws
// IoError; the old file is then untouched.
void SaveUnmatchedList(const TFolderReport& report, const TCatalogue& catalogue,
                       const std::string& path);

}  // namespace vexmoor
