#include "updater/UpdateList.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits an optional leading sign off `text`; true for '-'.
bool TakeSign(std::string_view& text) {
  if (text.empty() || (text[0] != '+' && text[0] != '-')) return false;
  const bool negative = text[0] == '-';
  text.remove_prefix(1);
  return negative;
}

// Splits a hexadecimal prefix off `text`; true when there was one.
bool TakeHexPrefix(std::string_view& text) {
  if (!text.empty() && text[0] == '$') {
    text.remove_prefix(1);
    return true;
  }
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    return true;
  }
  return false;
}

// The digits of a float without its sign: [digits][sep digits][e[sign]digits],
// at least one mantissa digit. Returns the text with '.' as the separator,
// or "" when it does not have this form.
std::string NormalisedFloat(std::string_view text) {
  std::string out;
  size_t i = 0, mantissaDigits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) out += text[i];
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    out += '.';
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) out += text[i];
  }
  if (mantissaDigits == 0) return "";
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    out += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
    const size_t expStart = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) out += text[i];
    if (i == expStart) return "";
  }
  return i == text.size() ? out : "";
}

void AddLine(TUpdateList& list, std::string_view line) {
  if (line.empty() || line[0] == ';') return;
  if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
    list.push_back({std::string(TrimBlanks(line.substr(1, line.size() - 2))), {}});
    return;
  }
  if (list.empty()) return;
  const size_t equals = line.find('=');
  std::string_view key = line, value;
  if (equals != std::string_view::npos) {
    key = line.substr(0, equals);
    value = line.substr(equals + 1);
  }
  list.back().Keys.emplace_back(std::string(TrimBlanks(key)), std::string(TrimBlanks(value)));
}

}  // namespace

const std::string* TUpdateListSection::Find(std::string_view key) const {
  for (const auto& [name, value] : Keys) {
    if (SameText(name, key)) return &value;
  }
  return nullptr;
}

std::string TUpdateListSection::ReadString(std::string_view key, std::string_view fallback) const {
  const std::string* value = Find(key);
  return value ? *value : std::string(fallback);
}

int32_t TUpdateListSection::ReadInteger(std::string_view key, int32_t fallback) const {
  const std::string* value = Find(key);
  return value ? ReadListInteger(*value).value_or(fallback) : fallback;
}

double TUpdateListSection::ReadFloat(std::string_view key, double fallback) const {
  const std::string* value = Find(key);
  return value ? ReadListFloat(*value).value_or(fallback) : fallback;
}

TUpdateList ParseUpdateList(std::string_view body) {
  body = body.substr(0, body.find('\0'));
  TUpdateList list;
  for (std::string_view line : SplitLines(body)) AddLine(list, TrimBlanks(line));
  return list;
}

std::optional<int32_t> ReadListInteger(std::string_view text) {
  const bool negative = TakeSign(text);
  const int base = TakeHexPrefix(text) ? 16 : 10;
  // from_chars takes no sign of its own here, so "+-5" and "0x-5" fail.
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  constexpr uint64_t kMaxPositive = std::numeric_limits<int32_t>::max();
  if (magnitude > kMaxPositive + (negative ? 1 : 0)) return std::nullopt;
  const int64_t value =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(value);
}

std::optional<double> ReadListFloat(std::string_view text) {
  const bool negative = TakeSign(text);
  const std::string digits = NormalisedFloat(text);
  if (digits.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace vexmoor
