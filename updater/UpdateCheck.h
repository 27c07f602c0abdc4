// The update check: which entries of an update list are offered, the record
// kept for each, and which file names an entry may write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/UpdateList.h"

namespace vexmoor {

// The value of a Name or File key the list does not give.
inline constexpr std::string_view kMissingListValue = "#ERROR#";
// Two dates closer than this count as equal.
inline constexpr double kOneMillisecondInDays = 1.0 / 86400000.0;

// One offered entry, in list order.
struct TUpdateRecord {
  std::string Name;        // Name, kMissingListValue when absent
  std::string File;        // File, kMissingListValue when absent
  double Timestamp = 0;    // Timestamp: days since 30 December 1899, UTC
  int32_t Version = 0;     // Version: version x 10000
  int32_t Size = 0;        // Size in bytes, the progress maximum
  std::string Section;     // the section's name
  bool IsProgram = false;  // the running program's own entry
  std::string Sha256;      // Sha256 in lower case when it is 64 hex digits, else ""
  int64_t ExactSize = -1;  // Size when it is a number from 0 up, else -1

  // True when the list gives both the SHA-256 and the exact size, without
  // which nothing is written.
  bool IsVerifiable() const { return !Sha256.empty() && ExactSize >= 0; }
};

// The program's own version as the check compares it: 0.642.
double ProgramVersionValue();

// True when `programPath` (the running program's full path) matches the
// wildcard "*" + `section` ('*' any run, '?' one character, letters in any
// case). A section name that is no valid mask matches nothing.
bool IsProgramEntry(std::string_view programPath, std::string_view section);

// True when `remote` is newer than `local` by at least one millisecond;
// closer values count as equal and an older remote is never offered.
bool IsNewer(double local, double remote);

// The clear time stamp of the dat named by `section` in `folder`; 0 when the
// file is missing, is no container, cannot be read, or when the section name
// is no plain file name (see UnsafeFileNameReason): a list never makes the
// check open a file outside the folder.
double LocalDatTimeStamp(const std::string& folder, std::string_view section);

// The entries of `list` to offer, in list order: a section matching the
// program is compared by version (Version / 10000 against the program's),
// any other by the local dat's time stamp against Timestamp. Without
// `offerProgram` the program's sections are never offered, nor one that
// lacks Sha256 or Size (IsVerifiable): a build is offered only when its
// bytes can be checked against the signed list.
std::vector<TUpdateRecord> OfferedUpdates(const TUpdateList& list, std::string_view programPath,
                                          const std::string& folder, bool offerProgram = true);

// True when a new build of the program at `programPath` can be put in its
// place: a file can be created in the program's folder (a system-wide
// install belongs to the package manager, which alone updates it), and the
// path holds no double quote, which the quoted path of the start-up switches
// cannot carry. The check then offers the program's entry; a build that
// could not replace the program would only be downloaded in vain.
bool CanReplaceProgram(std::string_view programPath);

// The base URL of the update service: the `UpdateURL` setting when it holds
// more than blanks (trimmed), else kDefaultUpdateBaseUrl.
std::string UpdateBaseUrl(std::string_view setting);

// Why `file` must not be written, or nullopt when it is a plain file name
// in the program's folder. Refused: a missing File (kMissingListValue), an
// empty name, an absolute path, a '/' or '\\', a ':' (a drive or stream on
// Windows), "..", and control characters.
std::optional<std::string> UnsafeFileNameReason(std::string_view file);

// Why a dat entry must not write `file` (already a plain name), or nullopt:
// a dat entry writes only a "*.qdat" name, so never an executable, the
// programs, the settings or a cache file.
std::optional<std::string> UnsafeDatNameReason(std::string_view file);

// Why `record` must not be downloaded into `folder`, or nullopt: an unsafe
// File, a dat name UnsafeDatNameReason refuses, no Sha256 or Size in the
// list, a Size over kMaxUpdateFileSize, or a local file that is a link, no
// regular file, or (for a dat) an executable. Nothing is fetched for it.
std::optional<std::string> RefusedDownloadReason(const TUpdateRecord& record,
                                                 std::string_view programPath,
                                                 const std::string& folder);

// True when downloading `record` brings a new program build: it is the
// program's own entry. Such a download goes to "upd-" + the running
// program's file name and is started through the self-replacement protocol.
bool IsProgramDownload(const TUpdateRecord& record, std::string_view programPath);

// The local file name a record is written to: its File, or "upd-" + the
// program's file name for a program download, which must never overwrite
// the running program.
std::string LocalUpdateName(const TUpdateRecord& record, std::string_view programPath);

// `folder` joined with `name`; just `name` for an empty folder.
std::string JoinFolder(const std::string& folder, std::string_view name);

// base URL + `file`, the file's bytes percent-encoded where a URL path could
// not carry them ('#', '?', '%', blanks, control and non-ASCII bytes, ...).
std::string UpdateFileUrl(std::string_view baseUrl, std::string_view file);

}  // namespace vexmoor
