#include "catalogue/DatHeader.h"

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

bool IsSectionLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

void TDatHeader::Rebuild(const std::vector<std::string_view>& lines) {
  sections_.clear();
  TKeys* section = nullptr;
  for (std::string_view raw : lines) {
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == ';') continue;
    if (IsSectionLine(line)) {
      section = &sections_[AsciiUpper(TrimBlanks(line.substr(1, line.size() - 2)))];
      continue;
    }
    const size_t equals = line.find('=');
    if (section == nullptr || equals == std::string_view::npos) continue;
    section->emplace(AsciiUpper(TrimBlanks(line.substr(0, equals))),
                     std::string(TrimBlanks(line.substr(equals + 1))));
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
