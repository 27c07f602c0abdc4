// The header view of a dat text: its lines read as sections of keys, the way
// both dat grammars keep their header values (NAME, MASK, FIELDS ... in
// section "INFO").
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexmoor {

// Rules, applied to every line of the text (data lines included):
// - the line is trimmed of blanks and control characters; empty lines and
//   lines that then begin with ';' are ignored;
// - "[name]" opens a section named by the trimmed text between the brackets;
// - any other line belongs to the section opened last (lines before the
//   first section are ignored); "key = value" defines the trimmed key with the
//   trimmed value after the first '='; a line without '=' defines nothing.
// Section names and keys match without regard to ASCII letter case. A
// section named twice is one section; the first definition of a key wins.
class TDatHeader {
 public:
  TDatHeader() = default;
  explicit TDatHeader(const std::vector<std::string_view>& lines) { Rebuild(lines); }

  // Replaces the view with the one of `lines`.
  void Rebuild(const std::vector<std::string_view>& lines);
  // The same as Rebuild(SplitLines(text)), without walking every line: only
  // a line holding '=' or '[' can change the view, and those are found by
  // searching the whole text.
  void RebuildFromText(std::string_view text);
  void Clear() { sections_.clear(); }
  // Sets `key` in `section` to `value`, replacing an earlier value; the
  // loaders of dats without a key/value header describe them this way.
  void SetString(std::string_view section, std::string_view key, std::string_view value);

  // The value of `key` in `section`, or `fallback` when either is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  bool HasSection(std::string_view section) const;

  friend bool operator==(const TDatHeader&, const TDatHeader&) = default;

 private:
  using TKeys = std::unordered_map<std::string, std::string>;
  // Applies one line of the rules above; `section` is the one opened last.
  void TakeLine(std::string_view raw, TKeys*& section);
  // Keyed by the upper-cased section name.
  std::unordered_map<std::string, TKeys> sections_;
};

// The section of the native header keys.
inline constexpr std::string_view kInfoSection = "INFO";
// The column list a native dat without a FIELDS key has.
inline constexpr std::string_view kDefaultFields = "INDEX|CRC32|NAME";

}  // namespace vexmoor
