#include "catalogue/DatHeader.h"

#include <algorithm>

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

bool IsSectionLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The first `wanted` in `text` at or after `from`, or text.size().
size_t FindFrom(std::string_view text, char wanted, size_t from) {
  const size_t at = text.find(wanted, from);
  return at == std::string_view::npos ? text.size() : at;
}

}  // namespace

void TDatHeader::TakeLine(std::string_view raw, TKeys*& section) {
  const std::string_view line = TrimBlanks(raw);
  if (line.empty() || line.front() == ';') return;
  if (IsSectionLine(line)) {
    section = &sections_[AsciiUpper(TrimBlanks(line.substr(1, line.size() - 2)))];
    return;
  }
  const size_t equals = line.find('=');
  if (section == nullptr || equals == std::string_view::npos) return;
  section->emplace(AsciiUpper(TrimBlanks(line.substr(0, equals))),
                   std::string(TrimBlanks(line.substr(equals + 1))));
}

void TDatHeader::Rebuild(const std::vector<std::string_view>& lines) {
  sections_.clear();
  TKeys* section = nullptr;
  for (std::string_view raw : lines) TakeLine(raw, section);
}

void TDatHeader::RebuildFromText(std::string_view text) {
  // A line without '=' defines no key, and one without '[' is no section
  // line; an empty line does nothing. The other lines are taken in text
  // order, each once, whole: the line around a '=' or '[' found. `done` is
  // where the last line taken ended, so that no byte is looked at twice.
  sections_.clear();
  TKeys* section = nullptr;
  size_t done = 0;
  size_t equals = FindFrom(text, '=', 0);
  size_t bracket = FindFrom(text, '[', 0);
  for (;;) {
    if (equals < done) equals = FindFrom(text, '=', done);
    if (bracket < done) bracket = FindFrom(text, '[', done);
    const size_t hit = std::min(equals, bracket);
    if (hit == text.size()) break;
    const std::string_view line = LineAround(text, hit, done);
    TakeLine(line, section);
    done = static_cast<size_t>(line.data() - text.data()) + line.size();
  }
}

std::string TDatHeader::ReadString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  const auto keys = sections_.find(AsciiUpper(section));
  if (keys == sections_.end()) return std::string(fallback);
  const auto value = keys->second.find(AsciiUpper(key));
  return value == keys->second.end() ? std::string(fallback) : value->second;
}

void TDatHeader::SetString(std::string_view section, std::string_view key,
                           std::string_view value) {
  sections_[AsciiUpper(section)][AsciiUpper(key)] = std::string(value);
}

bool TDatHeader::HasSection(std::string_view section) const {
  return sections_.count(AsciiUpper(section)) != 0;
}

}  // namespace vexmoor
