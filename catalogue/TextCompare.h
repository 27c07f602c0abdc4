// The string comparisons of the list and the reports, with the same results
// on every platform: a word-sort order in the manner of the desktop's locale
// comparison for the single-byte (Windows-1252) texts of dats.
//
// Order of single characters: blanks, punctuation and control characters
// first (by their byte value), then the digits, then the letters A to Z, then
// the other bytes from 0x80 up by value. Letters compare without regard to
// case first; only when two texts are otherwise equal does case decide,
// lower case before upper case at the first position where they differ.
#pragma once

#include <cstdint>
#include <string_view>

namespace vexmoor {

// Locale-style, case-sensitive: negative when `a` sorts first, 0 only when
// the texts are byte for byte equal, positive otherwise.
int LocaleCompare(std::string_view a, std::string_view b);

// Locale-style, case ignored: 0 for texts that differ only in letter case.
int LocaleCompareNoCase(std::string_view a, std::string_view b);

// A sort key of the first eight characters: when two texts' keys differ,
// the smaller key's text sorts first under both comparisons above; equal
// keys decide nothing (compare the texts).
uint64_t LocaleSortKey(std::string_view text);

}  // namespace vexmoor
