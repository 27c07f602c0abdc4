#include "catalogue/GameDat.h"

#include <array>
#include <unordered_map>

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

struct TRegion {
  std::string_view Name;
  std::string_view Code;
  char Flag;
};

// In the order of the catalogue's flag images.
constexpr std::array<TRegion, 11> kRegions = {{
    {"USA", "USA", 'U'},
    {"Europe", "EUR", 'E'},
    {"Japan", "JPN", 'J'},
    {"France", "FRA", 'F'},
    {"China", "CHN", 'C'},
    {"Germany", "GER", 'G'},
    {"Italy", "ITA", 'I'},
    {"Netherlands", "HOL", 'N'},
    {"Spain", "SPA", 'S'},
    {"Korea", "KOR", 'K'},
    {"Australia", "AUS", 'A'},
}};

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

// The flag of the first item of `group` (the text between one pair of
// parentheses) that names a region exactly; 0 for none.
char GroupFlag(std::string_view group) {
  while (!group.empty()) {
    const size_t comma = group.find(',');
    const std::string_view item = TrimBlanks(group.substr(0, comma));
    for (const TRegion& region : kRegions) {
      if (item == region.Name) return region.Flag;
    }
    if (comma == std::string_view::npos) break;
    group.remove_prefix(comma + 1);
  }
  return 0;
}

}  // namespace

void TGameDat::NoteExtension(std::string_view extension) {
  if (extension.empty()) {
    RomWithoutExtension = true;
    return;
  }
  for (const std::string& known : Extensions) {
    if (SameText(known, extension)) return;
  }
  Extensions.emplace_back(extension);
}

void TGameDat::NoteRomName(std::string_view romName) {
  const size_t slash = romName.find_last_of("/\\");
  if (slash != std::string_view::npos) romName.remove_prefix(slash + 1);
  const size_t dot = romName.rfind('.');
  NoteExtension(dot == std::string_view::npos || dot + 1 == romName.size() ? std::string_view()
                                                                            : romName.substr(dot));
}

std::string ExtensionMask(const TGameDat& dat) {
  std::string mask;
  for (const std::string& extension : dat.Extensions) {
    if (!mask.empty()) mask += ';';
    mask += '*' + extension;
  }
  return mask;
}

std::string HexDigest(std::string_view text, size_t digits) {
  if (text.size() != digits) return {};
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return {};
  }
  return std::string(text);
}

std::unordered_set<std::string> RepeatedNames(const TCatalogue& entries) {
  std::unordered_map<std::string_view, std::string_view> firstIndex;
  std::unordered_set<std::string> repeated;
  for (const TRomItem& entry : entries) {
    const auto [first, added] = firstIndex.emplace(entry.Name, entry.Index);
    if (!added && first->second != entry.Index) repeated.insert(entry.Name);
  }
  return repeated;
}

std::string UniqueGameName(std::string_view name, std::string_view index) {
  return std::string(name) + " (" + std::string(index) + ")";
}

std::string ReleaseIndexText(std::string_view id, size_t position) {
  std::string text = id.empty() ? std::to_string(position) : std::string(id);
  if (AllDigits(text) && text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text;
}

std::string CountryFromName(std::string_view name) {
  for (size_t open = name.find('('); open != std::string_view::npos; open = name.find('(', open + 1)) {
    const size_t close = name.find(')', open);
    if (close == std::string_view::npos) break;
    if (const char flag = GroupFlag(name.substr(open + 1, close - open - 1))) return {flag};
  }
  return {};
}

std::string CountryFromRegion(std::string_view region) {
  region = TrimBlanks(region);
  for (const TRegion& entry : kRegions) {
    if (SameText(region, entry.Name) || SameText(region, entry.Code)) return {entry.Flag};
  }
  return {};
}

std::optional<uint64_t> ParseRomSize(std::string_view text) {
  if (!AllDigits(text) || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace vexmoor
