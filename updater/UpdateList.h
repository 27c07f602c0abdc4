// The update list ("update2.cgi"): sections of keys, one section per file
// the service offers. docs/formats/update-list.md has the layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexmoor {

// One "[name]" section with its keys in list order.
struct TUpdateListSection {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Keys;

  // The value of the first key named `key` (letter case ignored), or null
  // when the section has no such key. Valid while the section lives.
  const std::string* Find(std::string_view key) const;
  // The value, or `fallback` when the key is absent.
  std::string ReadString(std::string_view key, std::string_view fallback) const;
  // The value read by ReadListInteger / ReadListFloat; `fallback` when the
  // key is absent or its value does not read as a number.
  int32_t ReadInteger(std::string_view key, int32_t fallback) const;
  double ReadFloat(std::string_view key, double fallback) const;
};

using TUpdateList = std::vector<TUpdateListSection>;

// Parses a list body. The text ends at the first zero byte; lines end in
// CR LF, LF or CR and are trimmed of blanks and control characters; empty
// lines and lines starting with ';' are skipped; "[name]" starts a section
// (name trimmed); inside a section "key=value" (both trimmed, split at the
// first '=') or a bare "key" with an empty value; lines before the first
// section are skipped. A repeated section name starts another section.
// Never fails: text that is no list yields no sections.
TUpdateList ParseUpdateList(std::string_view body);

// An integer value: optional '+' or '-', then decimal digits, or hexadecimal
// digits after "0x", "0X" or "$"; the whole text must be the number and it
// must fit a signed 32-bit integer. nullopt otherwise.
std::optional<int32_t> ReadListInteger(std::string_view text);

// A floating-point value: optional sign, digits with at most one decimal
// separator ('.', or ',' as lists written with a comma locale carry it), an
// optional exponent ("e" or "E", optional sign, digits). The result must be
// finite. nullopt otherwise ("inf", "nan", hexadecimal, "1e999", "").
std::optional<double> ReadListFloat(std::string_view text);

}  // namespace vexmoor
