// Dat text as lines: splitting at any of the three line ends, trimming, and
// comparing without regard to letter case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

// Splits at CR LF, LF or CR; the last line may lack an end, and a text that
// ends with a line end gives no empty last line. Other bytes, NUL included,
// are ordinary characters. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// The line of `text` that holds text[at], a byte that is no line end, by the
// rule of SplitLines: the bytes after the CR or LF before it (or from
// `from`, when none lies between `from` and `at`) up to the CR or LF after
// it (or the text's end). A view into `text`.
std::string_view LineAround(std::string_view text, size_t at, size_t from = 0);

// `text` without leading and trailing blanks and control characters (every
// byte up to 0x20).
std::string_view TrimBlanks(std::string_view text);

// `text` without leading and trailing bytes of `set`.
std::string_view TrimAny(std::string_view text, std::string_view set);

// `text` without leading and trailing spaces and tabs: the optional white
// space around an HTTP header value or list item.
std::string_view TrimSpacesAndTabs(std::string_view text);

// Equal when the texts differ only in the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);

// `text` with its ASCII letters in lower case; other bytes unchanged.
std::string AsciiLower(std::string_view text);
// `text` with its ASCII letters in upper case; other bytes unchanged.
std::string AsciiUpper(std::string_view text);

// Each line of `text` followed by CR LF, the last one included: the form in
// which dat texts are stored in containers.
std::string WithCrLfLineEnds(std::string_view text);

// `text` with every control character (the bytes below 0x20 and 0x7F: CR,
// LF, TAB, ESC ...) replaced by a blank, so that a name taken from a dat or
// an archive stays on one line and cannot steer a terminal. Other bytes are
// kept as they are.
std::string OneLineText(std::string_view text);

// `text` without a leading UTF-8 byte order mark.
std::string_view WithoutByteOrderMark(std::string_view text);

// Four and eight upper-case hex digits, most significant first.
std::string HexWord(uint16_t value);
std::string HexLong(uint32_t value);

}  // namespace vexmoor
