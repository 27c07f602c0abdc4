#include "catalogue/DatText.h"

#include <cstdio>
#include <string>

#include "catalogue/GameDat.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"

namespace vexmoor {

namespace {

constexpr std::string_view kRomCenterSeparator = "\xAC";
constexpr std::string_view kRomCenterSeparatorUtf8 = "\xC2\xAC";
constexpr size_t kRomCenterItems = 10;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
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
