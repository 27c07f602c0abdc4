// String and file helpers shared by every subsystem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

// Splits `text` at every `delimiter`. Items are not trimmed; an empty item
// between two delimiters counts, but a delimiter at the very end adds no
// empty last item: "a|b|" gives a, b; "|" gives one empty item; "" gives none.
std::vector<std::string> Explode(char delimiter, std::string_view text);

// Splits `text` at every occurrence of `separator`, as Explode does: items
// are not trimmed, empty items between separators count, a separator at the
// very end adds no empty item, and an empty text gives no items. The views
// point into `text`.
std::vector<std::string_view> ExplodeViews(std::string_view separator, std::string_view text);
// The same into `items`, whose room is kept from call to call.
void ExplodeViews(std::string_view separator, std::string_view text,
                  std::vector<std::string_view>& items);

// Returns the first `count` characters of `text` and leaves the rest in it.
std::string SplitAt(std::string& text, size_t count);

// Replaces everything from the last '.' of the whole path (folder names
// included) with `newExt`, or appends `newExt` when there is no dot.
std::string ChangeExt(const std::string& path, const std::string& newExt);

// Wildcard match over the whole name: '*' any run, '?' one character,
// '[...]' a set with ranges and a leading '!' for negation; letters compare
// without regard to case. Throws FormatError for a mask with an unclosed '['.
bool MatchesMask(std::string_view name, std::string_view mask);

// True when one of the ';'-separated masks matches; tried in order.
bool MatchesMaskList(std::string_view name, std::string_view maskList);

// A ';'-separated mask list split once, for the many names a scan tests:
// Matches(name) is MatchesMaskList(name, text), the same answers and the
// same FormatError for an unclosed set reached before a mask matched.
class TMaskList {
 public:
  TMaskList() = default;
  explicit TMaskList(std::string_view maskList);
  bool Matches(std::string_view name) const;
  const std::string& Text() const { return text_; }

 private:
  struct TMask {
    std::string Text;
    bool Closed = true;   // every '[' has its ']'
    bool Suffix = false;  // "*" then letters alone: the end of the name is compared
  };
  std::string text_;
  std::vector<TMask> masks_;
};

// True when the file at `path` holds `signature` at `offset`. A missing or
// too-short file gives false; a file that exists but cannot be opened
// throws FileOpenError.
bool FileHasSignature(const std::string& path, std::string_view signature, uint64_t offset);

// The text the error report shows for `message`: a full stop is added when
// the last byte sorts after '.' (so "Disk full" gains one, "Done." and
// "Why?" do not).
std::string ErrorReportText(std::string_view message);

}  // namespace vexmoor
