#include "catalogue/TextLines.h"

#include <cstring>

namespace vexmoor {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  const char* const base = text.data();
  const size_t size = text.size();
  // Where the next '\n' lies (size when none is left), searched again only
  // once a line has passed it, so a text of bare '\r' breaks stays linear.
  size_t newline = 0;
  bool newlineKnown = false;
  size_t start = 0;
  while (start < size) {
    if (!newlineKnown || newline < start) {
      const void* found = std::memchr(base + start, '\n', size - start);
      newline = found ? static_cast<size_t>(static_cast<const char*>(found) - base) : size;
      newlineKnown = true;
    }
    const void* cr = std::memchr(base + start, '\r', newline - start);
    const size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : newline;
    if (end == size) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < size && text[start] == '\n') ++start;
  }
  return lines;
}

std::string_view LineAround(std::string_view text, size_t at, size_t from) {
  const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
  size_t start = at;
  while (start > from && !isLineEnd(text[start - 1])) --start;
  size_t end = at;
  while (end < text.size() && !isLineEnd(text[end])) ++end;
  return text.substr(start, end - start);
}

std::string_view TrimBlanks(std::string_view text) {
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimAny(std::string_view text, std::string_view set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(set) - first + 1);
}

std::string_view TrimSpacesAndTabs(std::string_view text) { return TrimAny(text, " \t"); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string WithCrLfLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::string_view line : SplitLines(text)) {
    out.append(line);
    out.append("\r\n");
  }
  return out;
}

std::string OneLineText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return out;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  return text;
}

namespace {

// The low `count` hex digits of `value`, upper case, most significant first.
std::string HexDigits(uint32_t value, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(count, '0');
  for (size_t i = count; i-- > 0; value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

}  // namespace

std::string HexWord(uint16_t value) { return HexDigits(value, 4); }

std::string HexLong(uint32_t value) { return HexDigits(value, 8); }

}  // namespace vexmoor
