#include "catalogue/DatText.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "catalogue/GameDat.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"

namespace vexmoor {

namespace {

constexpr std::string_view kRomCenterSeparator = "\xAC";
constexpr std::string_view kRomCenterSeparatorUtf8 = "\xC2\xAC";
constexpr size_t kRomCenterItems = 10;

constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// HexDigit for every byte, with 0x10 for the bytes that are no digit.
constexpr auto kHexValues = [] {
  std::array<uint8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    const int digit = HexDigit(static_cast<char>(c));
    values[static_cast<size_t>(c)] = static_cast<uint8_t>(digit < 0 ? 0x10 : digit);
  }
  return values;
}();

// The usual CRC column, exactly eight hex digits, read with no test per
// digit but one at the end; false for any other text.
inline bool EightHexDigits(std::string_view text, uint32_t& value) {
  if (text.size() != 8) return false;
  const auto digit = [&](size_t at) -> uint32_t {
    return kHexValues[static_cast<unsigned char>(text[at])];
  };
  const uint32_t high = digit(0) << 12 | digit(1) << 8 | digit(2) << 4 | digit(3);
  const uint32_t low = digit(4) << 12 | digit(5) << 8 | digit(6) << 4 | digit(7);
  // A byte that is no digit reads as 0x10, which the OR of all eight shows
  // (the value made with it is then not used).
  const uint32_t all = digit(0) | digit(1) | digit(2) | digit(3) | digit(4) | digit(5) |
                       digit(6) | digit(7);
  value = high << 16 | low;
  return (all & 0x10) == 0;
}

// The first '|', CR or LF in text[at, end), or `end`: sixteen bytes at a
// time where the processor compares that many at once and sixteen remain.
size_t FindItemEnd(const char* text, size_t at, size_t end) {
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i bar = _mm_set1_epi8('|');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (; end - at >= 16; at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
    const __m128i found =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, bar), _mm_cmpeq_epi8(block, carriageReturn)),
                     _mm_cmpeq_epi8(block, lineFeed));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(found));
    if (mask != 0) return at + static_cast<size_t>(std::countr_zero(mask));
  }
#endif
  while (at < end && text[at] != '|' && text[at] != '\r' && text[at] != '\n') ++at;
  return at;
}

// How many bytes of text[from..] equal `wanted`: sixteen at a time where the
// processor compares that many at once.
size_t CountByte(std::string_view text, size_t from, char wanted) {
  size_t count = 0;
  size_t at = from;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i pattern = _mm_set1_epi8(wanted);
  const __m128i zero = _mm_setzero_si128();
  while (text.size() - at >= 16) {
    // Each byte lane counts up to 255 matches before the lanes are summed.
    __m128i lanes = zero;
    const size_t rounds = std::min<size_t>((text.size() - at) / 16, 255);
    for (size_t round = 0; round < rounds; ++round, at += 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(block, pattern));
    }
    const __m128i sums = _mm_sad_epu8(lanes, zero);
    count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<size_t>(_mm_extract_epi16(sums, 4));
  }
#endif
  for (; at < text.size(); ++at) count += text[at] == wanted ? 1 : 0;
  return count;
}

// How many lines of text[from..] there are when LF ends them, or CR when
// there is no LF: the room to make for the entries. Only a text that mixes
// bare CRs with LFs has more, and then the catalogue grows as it goes.
size_t LinesToReserve(std::string_view text, size_t from) {
  const size_t lineFeeds = CountByte(text, from, '\n');
  return (lineFeeds > 0 ? lineFeeds : CountByte(text, from, '\r')) + 1;
}

[[noreturn]] void ThrowBadCrc(std::string_view text) {
  constexpr size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  throw FormatError("'" + shown + "' is not a valid CRC32 value");
}

size_t FirstLineAfter(const std::vector<std::string_view>& lines, std::string_view marker) {
  for (size_t at = 0; at < lines.size(); ++at) {
    if (SameText(TrimBlanks(lines[at]), marker)) return at + 1;
  }
  throw FormatError("The dat has no " + std::string(marker) + " line");
}

std::string_view ItemAt(const std::vector<std::string_view>& items, int position) {
  return position < 0 ? std::string_view() : items[static_cast<size_t>(position)];
}

// The CRC of data line `at` (0-based): a bad one names the line.
uint32_t LineCrc(std::string_view text, size_t at) {
  try {
    return ParseCrc32(text);
  } catch (const FormatError& error) {
    throw FormatError("line " + std::to_string(at + 1) + ": " + error.what());
  }
}

// Four digits at least: 0001, 0012, 12345.
std::string LineNumberText(size_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "%04zu", number);
  return text;
}

// Well-formed UTF-8 sequences by lead byte: the sequence length and the
// range of the second byte (later bytes are always 80-BF). This excludes
// overlong forms, surrogates and code points above U+10FFFF.
struct TLeadRule {
  unsigned char first, last;
  size_t length;
  unsigned char low, high;
};
constexpr TLeadRule kLeadRules[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// Length of the well-formed sequence that starts at text[at], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (byte(0) < 0x80) return 1;
  for (const TLeadRule& rule : kLeadRules) {
    if (byte(0) < rule.first || byte(0) > rule.last) continue;
    if (at + rule.length > text.size() || byte(1) < rule.low || byte(1) > rule.high) return 0;
    for (size_t i = 2; i < rule.length; ++i) {
      if ((byte(i) & 0xC0) != 0x80) return 0;
    }
    return rule.length;
  }
  return 0;
}

}  // namespace

int FieldIndex(std::string_view fieldList, std::string_view name, char delimiter) {
  const std::vector<std::string_view> items = ExplodeViews({&delimiter, 1}, fieldList);
  for (size_t at = 0; at < items.size(); ++at) {
    if (items[at] == name) return static_cast<int>(at);
  }
  return -1;
}

uint32_t ParseCrc32(std::string_view text) {
  if (uint32_t value; EightHexDigits(text, value)) return value;
  if (text.empty()) ThrowBadCrc(text);
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) ThrowBadCrc(text);
    value = value << 4 | static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) ThrowBadCrc(text);
  }
  return static_cast<uint32_t>(value);
}

TNativeColumns NativeColumns(std::string_view fieldList) {
  TNativeColumns columns;
  columns.Count = ExplodeViews("|", fieldList).size();
  columns.Index = FieldIndex(fieldList, "INDEX", '|');
  columns.Crc = FieldIndex(fieldList, "CRC32", '|');
  columns.Name = FieldIndex(fieldList, "NAME", '|');
  columns.Country = FieldIndex(fieldList, "COUNTRY", '|');
  return columns;
}

size_t NativeDataStart(std::string_view text, const std::vector<std::string_view>& lines) {
  if (text.find("[DAT]") == std::string_view::npos) return 0;
  return FirstLineAfter(lines, "[DAT]");
}

TNativeDataStart FindNativeDataStart(std::string_view text) {
  if (text.find("[DAT]") == std::string_view::npos) return {};
  // The marker line holds a '['; the line around each one reaches from the
  // line end before it to the one after it.
  size_t done = 0;
  for (size_t bracket = text.find('['); bracket != std::string_view::npos;
       bracket = text.find('[', done)) {
    const std::string_view line = LineAround(text, bracket, done);
    const size_t start = static_cast<size_t>(line.data() - text.data());
    size_t end = start + line.size();
    done = end;
    if (!SameText(TrimBlanks(line), "[DAT]")) continue;
    // The marker's number is the count of line ends before it.
    size_t number = 0;
    for (size_t at = 0; at < start; ++at) {
      if (text[at] == '\n' || (text[at] == '\r' && text[at + 1] != '\n')) ++number;
    }
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    return {std::min(end + 1, text.size()), number + 1};
  }
  throw FormatError("The dat has no [DAT] line");
}

size_t RomCenterDataStart(const std::vector<std::string_view>& lines) {
  return FirstLineAfter(lines, "[GAMES]");
}

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::vector<std::string_view> SplitRomCenterLine(std::string_view line) {
  if (line.find(kRomCenterSeparatorUtf8) != std::string_view::npos && IsValidUtf8(line)) {
    return ExplodeViews(kRomCenterSeparatorUtf8, line);
  }
  return ExplodeViews(kRomCenterSeparator, line);
}

void AppendNativeEntries(TCatalogue& catalogue, const std::vector<std::string_view>& lines,
                         size_t first, const TNativeColumns& columns) {
  if (first < lines.size()) catalogue.Reserve(catalogue.Count() + lines.size() - first);
  std::vector<std::string_view> items;  // reused: one allocation, not one a line
  for (size_t at = first; at < lines.size(); ++at) {
    ExplodeViews("|", lines[at], items);
    if (items.size() != columns.Count) continue;
    // The CRC first: a bad one leaves no half-filled entry behind.
    const uint32_t crc = columns.Crc >= 0 ? LineCrc(ItemAt(items, columns.Crc), at) : 0;
    TRomItem& entry = catalogue.Append();
    entry.Status = StatusMissing;
    entry.Index = ItemAt(items, columns.Index);
    entry.Crc = crc;
    entry.Name = ItemAt(items, columns.Name);
    entry.Country = ItemAt(items, columns.Country);
  }
}

void AppendNativeText(TCatalogue& catalogue, std::string_view text, TNativeDataStart start,
                      const TNativeColumns& columns) {
  const char* const base = text.data();
  const size_t size = text.size();
  if (start.Offset < size) catalogue.Reserve(catalogue.Count() + LinesToReserve(text, start.Offset));
  // Up to one item more than a line may have: the rest of a line with more
  // is not kept.
  std::vector<std::string_view> items(columns.Count + 1);
  size_t number = start.Line;
  for (size_t at = start.Offset; at < size; ++number) {
    // The items as ExplodeViews gives them: each one that ends at a '|' and
    // a last one that is not empty; so none for an empty line, and no empty
    // last item after a final '|'.
    size_t count = 0;
    size_t end = at;
    for (size_t item = at;; item = end + 1) {
      end = FindItemEnd(base, item, size);
      const bool bar = end < size && base[end] == '|';
      if (bar || end > item) {
        if (count < items.size()) items[count] = std::string_view(base + item, end - item);
        ++count;
      }
      if (!bar) break;
    }
    at = end + 1;
    if (end < size && base[end] == '\r' && at < size && base[at] == '\n') ++at;
    if (count != columns.Count) continue;
    // The CRC first: a bad one leaves no half-filled entry behind.
    uint32_t crc = 0;
    if (columns.Crc >= 0 && !EightHexDigits(items[static_cast<size_t>(columns.Crc)], crc))
      crc = LineCrc(items[static_cast<size_t>(columns.Crc)], number);
    // A new entry's texts are empty: a column the dat lacks needs no setting.
    TRomItem& entry = catalogue.Append();
    entry.Status = StatusMissing;
    entry.Crc = crc;
    const auto set = [&](TEntryText& text, int position) {
      if (position >= 0) catalogue.SetPooledText(text, items[static_cast<size_t>(position)]);
    };
    set(entry.Index, columns.Index);
    set(entry.Name, columns.Name);
    set(entry.Country, columns.Country);
  }
}

void AppendRomCenterEntries(TCatalogue& catalogue, const std::vector<std::string_view>& lines,
                            size_t first) {
  if (first < lines.size()) catalogue.Reserve(catalogue.Count() + lines.size() - first);
  for (size_t at = first; at < lines.size(); ++at) {
    const std::vector<std::string_view> items = SplitRomCenterLine(lines[at]);
    if (items.size() != kRomCenterItems) continue;
    const uint32_t crc = LineCrc(items[6], at);
    TRomItem& entry = catalogue.Append();
    entry.Status = StatusMissing;
    entry.Index = LineNumberText(at - first + 1);
    entry.Crc = crc;
    entry.Name = items[2];
    entry.Country = " ";
    entry.RomName = items[5];
    entry.Size = ParseRomSize(items[7]);
  }
}

}  // namespace vexmoor
