// The have and miss lists: the names of the found and of the missing
// releases, each list sorted, behind a header line that counts them.
#pragma once

#include <string>

#include "scan/AuditState.h"
#include "scan/FolderReport.h"

namespace vexmoor {

struct THaveMissLists {
  std::string HaveFileName;  // NAME + "-Have.txt"
  std::string HaveText;
  std::string MissFileName;  // NAME + "-Miss.txt"
  std::string MissText;
  std::string UnknownFileName;  // NAME + "-Unknown.txt"
};

// Builds both lists from the catalogue, FoundCount and the dat's NAME and
// SYSTEM values. Have: entries with Status 0; miss: Status -1; cached and
// bad entries go to neither but count as missing in the miss header. Names
// are sorted with LocaleCompareNoCase; every line ends in CR LF. Bytes are
// kept as the dat has them, except that control characters (CR, LF, ESC
// ...) in names, SYSTEM and NAME become blanks (OneLineText): one name is
// one line. A '/' or '\' in NAME becomes '_' in the file names, so that a
// dat cannot make the lists land outside the folder.
THaveMissLists BuildHaveMissLists(const TAuditState& state);

// Writes the have and the miss list into `folder`, replacing files of the
// same names, and with `report` (what the scan that marked the catalogue
// met beside the releases) the list of the folder's other files
// (UnmatchedListText) as UnknownFileName: all are written to temporary files first and replace the
// old lists only when both are complete. Throws IoError; after a failure
// while writing, both old lists are untouched (only a failed rename of the
// second list can leave the new have list beside the old miss list).
void SaveHaveMissLists(const TAuditState& state, const std::string& folder,
                       const TFolderReport* report = nullptr);

}  // namespace vexmoor
