#include "encoder/IniTimestamp.h"

#include <optional>
#include <vector>

#include "catalogue/DatHeader.h"
#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

// Where the key goes: a range of the text to replace with `insert`.
struct TEdit {
  size_t at = 0;
  size_t length = 0;
  std::string insert;
};

struct TLine {
  std::string_view content;  // without its line end
  size_t start = 0;
  size_t next = 0;  // where the following line starts (after the line end)
};

std::vector<TLine> LinesWithOffsets(std::string_view text) {
  std::vector<TLine> lines;
  for (std::string_view content : SplitLines(text)) {
    const auto start = static_cast<size_t>(content.data() - text.data());
    lines.push_back({content, start, text.size()});
    if (lines.size() > 1) lines[lines.size() - 2].next = start;
  }
  return lines;
}

std::string_view FirstLineEnd(std::string_view text) {
  const size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return "\r\n";
  if (text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

std::optional<std::string_view> SectionName(std::string_view trimmed) {
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  return TrimBlanks(trimmed.substr(1, trimmed.size() - 2));
}

bool DefinesKey(std::string_view trimmed, std::string_view key) {
  const size_t equals = trimmed.find('=');
  return equals != std::string_view::npos && SameText(TrimBlanks(trimmed.substr(0, equals)), key);
}

// Replaces what follows the '=' (and the blanks right after it) with `value`.
TEdit ReplaceValue(const TLine& line, std::string_view value) {
  size_t from = line.content.find('=') + 1;
  while (from < line.content.size() && (line.content[from] == ' ' || line.content[from] == '\t')) {
    ++from;
  }
  return {line.start + from, line.content.size() - from, std::string(value)};
}

// A line added at `at`: a line ending in a lone CR must not run into an LF
// that follows it, or the two would read as one line end.
TEdit AddLine(std::string_view text, size_t at, bool needsEndBefore, std::string_view lineText,
              std::string_view lineEnd) {
  std::string insert;
  if (needsEndBefore) insert += lineEnd;
  insert += lineText;
  insert += lineEnd;
  if (lineEnd == "\r" && at < text.size() && text[at] == '\n') insert += '\n';
  return {at, 0, std::move(insert)};
}

TEdit FindEdit(std::string_view text, std::string_view section, std::string_view key,
               std::string_view value) {
  const std::string_view lineEnd = FirstLineEnd(text);
  const std::string keyLine = std::string(key) + "=" + std::string(value);
  const std::vector<TLine> lines = LinesWithOffsets(text);
  const TLine* last = nullptr;  // the section's last non-empty line
  for (const TLine& line : lines) {
    const std::string_view trimmed = TrimBlanks(line.content);
    const std::optional<std::string_view> name = SectionName(trimmed);
    if (last != nullptr && name) break;
    if (last == nullptr) {
      if (name && SameText(*name, section)) last = &line;
      continue;
    }
    if (trimmed.empty()) continue;
    last = &line;
    if (trimmed.front() != ';' && DefinesKey(trimmed, key)) return ReplaceValue(line, value);
  }
  if (last != nullptr) {
    const bool hasEnd = last->next > last->start + last->content.size();
    return AddLine(text, last->next, !hasEnd, keyLine, lineEnd);
  }
  const bool endsInLine = !text.empty() && text.back() != '\r' && text.back() != '\n';
  std::string added = "[" + std::string(section) + "]";
  added += lineEnd;
  added += keyLine;
  return AddLine(text, text.size(), endsInLine, added, lineEnd);
}

}  // namespace

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
  const std::string_view body = WithoutByteOrderMark(text);
  const size_t bomLength = text.size() - body.size();
  TEdit edit = FindEdit(body, section, key, value);
  std::string out(text);
  out.replace(bomLength + edit.at, edit.length, edit.insert);
  return out;
}

std::string SetDatTimeStamp(std::string_view text, std::string_view value) {
  return SetIniValue(text, kInfoSection, "TIMESTAMP", value);
}

}  // namespace vexmoor
