// The end of a scan: the Status column texts, FoundCount, the cache table
// and file, and the status bar texts.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"

namespace vexmoor {

// A location (an entry's StatusText) split into the file-name part and the
// folder part, which ends with its separator. For an archive member, the
// location is the archive's path, '\' and the member's stored name: the
// file-name part is that stored name (a zip member keeps its '/' path) and
// the folder part is the archive's path and the '\'. For a loose file the
// split falls after the last '/'.
struct TLocationParts {
  std::string FileName;
  std::string Folder;
};
TLocationParts SplitLocation(const std::string& location);

// The file on disk a found or bad entry's dump lies in: the loose dump, or
// the archive that holds it as a member; "" for any other entry or a found
// entry without a location.
std::string FoundDumpFile(const TRomItem& item);

// The Status column text the end pass gives `item`, or nothing when the
// column keeps its text (a found entry without a location, or a status
// outside the four known ones). A found entry's location is followed by
// kTrimmedMark when a trimmed dump found it, then VerifiedMark.
inline constexpr const char* kTrimmedMark = " (trimmed)";
std::optional<std::string> EndPassStatusText(const TRomItem& item);

// How a found entry's dump was proven, for an entry whose dat gives a
// strong checksum: " [SHA-1 verified]" (MD5, SHA-256 alike) when the dump's
// sum is the dat's, " [CRC only]" when only its CRC-32 and size were
// compared (an archive member without archive verification). "" for an
// entry of a dat of CRCs alone, so such a dat's texts are as they were.
std::string VerifiedMark(const TRomItem& item);

// Status bar texts.
std::string MatchedText(int32_t matched);  // " Matched : %d"
std::string SkippedText(int32_t skipped);  // " Skipped : %d"
std::string FoundText(int32_t found);      // " Found : %d"
std::string MissingText(int32_t missing);  // " Missing : %d"
inline constexpr const char* kScanCompleteText = " Scanning complete.";

// The cache file of the loaded dat: beside the dat it was loaded from, or
// in the current folder when only its bare name is known.
std::string CacheFilePath(const TAuditState& state);

// Runs the end pass over `list` in its current order: each row's Status
// text, FoundCount, CacheSet(Crc, 1) for every found entry and, when
// CacheResults is on and a dat is loaded (DatPath is set), the cache file;
// with no dat loaded no cache file is written. Throws IoError when the cache file
// cannot be written; the Status texts and FoundCount are then already set.
// With `pump`, the texts and the cache table are worked out in steps of
// kRowsBetweenPumps rows, in the rows' order as the pass began, with `pump`
// between them; the rows' Status texts and FoundCount are set after the
// last step, so a sort during a pump neither sees half-written texts nor
// changes the result. `pump` must not change the catalogue or the rows'
// entries (it may reorder the rows). The list holds each entry once, as
// TRomList::Fill makes it.
void RunEndPass(TAuditState& state, TRomList& list, const std::function<void()>& pump = {});

}  // namespace vexmoor
