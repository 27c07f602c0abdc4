// Writing one key of a dat's header the way an INI writer does, in place:
// every byte of the text other than the key's line (or the lines added for
// it) stays as it was.
#pragma once

#include <string>
#include <string_view>

namespace vexmoor {

// The text with `key` set to `value` in `section`, by the rules the header
// view reads with (lines trimmed of blanks and control characters, ';' lines
// ignored, names compared without regard to ASCII case, a leading UTF-8 byte
// order mark skipped):
// - the first line of the first such section that defines `key` keeps its
//   text up to the '=' and the blanks after it; the rest of the line becomes
//   `value`;
// - without such a line, "key=value" is added after the last non-empty line
//   of the first such section (after the section line when it has none);
// - without such a section, "[section]" and "key=value" are added at the end.
// Added lines end like the text's first line (CR LF when it has no line end).
// `value` must not hold a line end.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// SetIniValue(text, "INFO", "TIMESTAMP", value): the encoder's time stamp.
std::string SetDatTimeStamp(std::string_view text, std::string_view value);

}  // namespace vexmoor
