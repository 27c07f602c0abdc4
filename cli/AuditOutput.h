// What `vexmoor audit` prints: the entries in list order as text lines or
// as one JSON object, and the progress line on a terminal.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/ScanEngine.h"

namespace vexmoor::cli {

// "found", "missing", "cached" or "bad". Statuses outside the four (a
// foreign cache file's flag) count as not found: "missing".
const char* StatusWord(int32_t status);

// One line per row: ID, CRC32, status word, name and location (StatusText,
// followed by " (trimmed)" when a trimmed dump found the entry) separated by
// tabs, then " Found : F" and " Missing : M". Control characters in the
// fields (a TAB, CR, LF or ESC in a name or a location) are escaped as
// `vexmoor ls` escapes them (PrintableText), so one release is one line.
std::string AuditText(const TAuditState& state, const TRomList& list);

// " Unknown : N" ... " Unreadable : N": one line per reported kind of the
// folder report, in kReportedKinds order, zeros included.
std::string UnmatchedCountLines(const TFolderReport& folder);

// Where the streaming forms below hand their text, a piece at a time
// (about 64 KiB each): the output of a large dat is never held whole.
using TTextSink = std::function<void(std::string_view piece)>;
void WriteAuditText(const TAuditState& state, const TRomList& list, const TTextSink& sink);

// The JSON object of an audit (UTF-8, one line, newline at the end); an
// entry a trimmed dump found carries "trimmed":true, and "unexamined" lists
// the outcome's messages of what the scan could not look into. With
// `unmatched`, "unmatched" follows with one object per row of the outcome's
// folder report (docs/formats/audit-json.md); without, the object is what
// it was before that key existed.
std::string AuditJson(const TAuditState& state, const TRomList& list, const TScanOutcome& outcome,
                      bool unmatched = false);
void WriteAuditJson(const TAuditState& state, const TRomList& list, const TScanOutcome& outcome,
                    bool unmatched, const TTextSink& sink);

// A JSON string literal of `text` converted to UTF-8.
std::string JsonString(const std::string& text);

}  // namespace vexmoor::cli
