// The update keys file "update_keys.txt": one line per encoded dat and the
// program's line last, each "file|version|timestamp|name|" and ending in
// CR LF. docs/formats/update-keys.md has the layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

inline constexpr std::string_view kUpdateKeysFileName = "update_keys.txt";

// One line: what the update list carries as File, Version, Timestamp and Name.
struct TUpdateKey {
  std::string File;       // a file name without folder
  std::string Version;    // a dat's VERSION value, or the program's version number
  std::string TimeStamp;  // days since 30 December 1899 UTC, as text
  std::string Name;

  bool operator==(const TUpdateKey&) const = default;
};

// The program's line for an encoding run at `encodeTime`: the auditor's
// file name, ProgramVersionNumber, the time as TimeStampText, the product name.
TUpdateKey ProgramUpdateKey(double encodeTime);

// "file|version|timestamp|name|" without a line end. The fields are written
// as they are; a '|' or line end inside one makes the line unreadable.
std::string UpdateKeyLine(const TUpdateKey& key);

// The file's text: every line followed by CR LF.
std::string UpdateKeysText(const std::vector<TUpdateKey>& keys);

// Reads a keys file's text (lines ending in CR LF, LF or CR; empty lines
// skipped). Each line must hold exactly four fields, each followed by '|'.
// Throws FormatError naming the 1-based line number otherwise.
std::vector<TUpdateKey> ParseUpdateKeys(std::string_view text);

}  // namespace vexmoor
