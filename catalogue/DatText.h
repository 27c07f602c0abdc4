// The two dat text grammars: native dats ('|'-separated columns that the
// FIELDS header key names) and Rom Center dats (0xAC-separated games lines).
// docs/formats/native-dat.md and docs/formats/romcenter-dat.md describe them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "catalogue/General.h"
#include "catalogue/RomItem.h"

namespace vexmoor {

// The 0-based position of the first item of `fieldList` (split at
// `delimiter`) that equals `name` exactly, or -1.
int FieldIndex(std::string_view fieldList, std::string_view name, char delimiter);

// A CRC32 column: one or more hexadecimal digits (0-9, A-F, a-f, nothing
// else, not even blanks) whose value fits in 32 bits. Throws FormatError whose
// message names the bad text.
uint32_t ParseCrc32(std::string_view text);

// The columns of a native data line, from a FIELDS value.
struct TNativeColumns {
  size_t Count = 0;  // items a data line must have
  int Index = -1;
  int Crc = -1;
  int Name = -1;
  int Country = -1;
};
TNativeColumns NativeColumns(std::string_view fieldList);

// Position of the first native data line. When `text` contains "[DAT]" (in
// upper case, anywhere), the data follow the first line that, trimmed, equals
// "[DAT]" in any case; throws FormatError when no line does. Otherwise every
// line is a data line and the result is 0.
size_t NativeDataStart(std::string_view text, const std::vector<std::string_view>& lines);

// Where the native data lines of `text` begin, by the rule of
// NativeDataStart: the byte offset of the first data line and its 0-based
// number among SplitLines(text).
struct TNativeDataStart {
  size_t Offset = 0;
  size_t Line = 0;
};
TNativeDataStart FindNativeDataStart(std::string_view text);

// Position of the first Rom Center games line: the line after the first one
// that, trimmed, equals "[GAMES]" in any case. Throws FormatError when no line
// does.
size_t RomCenterDataStart(const std::vector<std::string_view>& lines);

// Splits a Rom Center games line at its separator: the two bytes C2 AC when
// the line is valid UTF-8 and holds them (files written by current tools),
// else the single byte 0xAC (Windows-1252).
std::vector<std::string_view> SplitRomCenterLine(std::string_view line);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Appends one entry for each accepted line from lines[first] on, each with
// Status StatusMissing (the audit session seeds statuses from its cache).
// Lines with the wrong number of items are skipped. A bad CRC text throws
// FormatError whose message starts with the line's 1-based number in
// `lines` ("line 12: 'ZZZZ' is not a valid CRC32 value"); the entries before
// it stay, and the bad line adds none.
void AppendNativeEntries(TCatalogue& catalogue, const std::vector<std::string_view>& lines,
                         size_t first, const TNativeColumns& columns);
// The same entries as AppendNativeEntries(catalogue, SplitLines(text),
// start.Line, columns), with the same line numbers in its errors, read in
// one pass from text[start.Offset] on; the names and other long texts are
// kept in the catalogue's text pool.
void AppendNativeText(TCatalogue& catalogue, std::string_view text, TNativeDataStart start,
                      const TNativeColumns& columns);
// Rom Center lines must have exactly 10 items: Name from item 2, RomName
// from item 5, Crc from item 6, Size from item 7 (when it is a decimal
// number), Index the line's 1-based number after the "[GAMES]" line
// (skipped lines counted) with at least four digits, Country a single blank.
// A bad CRC throws as for native lines.
void AppendRomCenterEntries(TCatalogue& catalogue, const std::vector<std::string_view>& lines,
                            size_t first);

}  // namespace vexmoor
