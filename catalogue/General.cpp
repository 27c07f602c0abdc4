#include "catalogue/General.h"

#include <cstring>
#include <string>

#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

std::vector<std::string> Explode(char delimiter, std::string_view text) {
  const std::vector<std::string_view> views = ExplodeViews({&delimiter, 1}, text);
  return {views.begin(), views.end()};
}

std::vector<std::string_view> ExplodeViews(std::string_view separator, std::string_view text) {
  std::vector<std::string_view> items;
  ExplodeViews(separator, text, items);
  return items;
}

void ExplodeViews(std::string_view separator, std::string_view text,
                  std::vector<std::string_view>& items) {
  items.clear();
  while (!text.empty()) {
    // One separator character: the library's fast search for one byte.
    const void* one = separator.size() == 1 ? std::memchr(text.data(), separator[0], text.size())
                                            : nullptr;
    const size_t at = separator.size() != 1 ? text.find(separator)
                      : one ? static_cast<size_t>(static_cast<const char*>(one) - text.data())
                            : std::string_view::npos;
    if (at == std::string_view::npos) {
      items.push_back(text);
      break;
    }
    items.push_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
}

std::string SplitAt(std::string& text, size_t count) {
  std::string head = text.substr(0, count);
  text.erase(0, count);
  return head;
}

std::string ChangeExt(const std::string& path, const std::string& newExt) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return path + newExt;
  return path.substr(0, dot) + newExt;
}

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool InRange(char c, char low, char high) {
  const auto in = [](char x, char lo, char hi) {
    const auto u = static_cast<unsigned char>(x);
    return u >= static_cast<unsigned char>(lo) && u <= static_cast<unsigned char>(hi);
  };
  // A range matches a letter in either case: [a-c] takes 'B'.
  return in(c, low, high) || in(FoldCase(c), FoldCase(low), FoldCase(high)) ||
         in(c, FoldCase(low), FoldCase(high));
}

// Matches `c` against the set that starts just after '[' at mask[at];
// returns whether it matched and sets `next` just past the closing ']'.
bool MatchSet(std::string_view mask, size_t at, char c, size_t& next) {
  bool negate = false;
  if (at < mask.size() && mask[at] == '!') {
    negate = true;
    ++at;
  }
  bool matched = false;
  while (mask[at] != ']') {
    const char low = mask[at];
    if (at + 2 < mask.size() && mask[at + 1] == '-' && mask[at + 2] != ']') {
      matched = matched || InRange(c, low, mask[at + 2]);
      at += 3;
    } else {
      matched = matched || FoldCase(c) == FoldCase(low);
      ++at;
    }
  }
  next = at + 1;
  return matched != negate;
}

bool SetsClosed(std::string_view mask) {
  for (size_t at = 0; at < mask.size(); ++at) {
    if (mask[at] != '[') continue;
    const size_t close = mask.find(']', at + 1);
    if (close == std::string_view::npos) return false;
    at = close;
  }
  return true;
}

[[noreturn]] void ThrowUnclosedSet(std::string_view mask) {
  throw FormatError("Invalid mask \"" + std::string(mask) + "\": unclosed '[' set");
}

void CheckSetsClosed(std::string_view mask) {
  if (!SetsClosed(mask)) ThrowUnclosedSet(mask);
}

// Tries the mask element at mask[m] against name[n]; on success moves both.
bool MatchOne(std::string_view name, std::string_view mask, size_t& n, size_t& m) {
  if (n >= name.size() || m >= mask.size()) return false;
  const char pattern = mask[m];
  if (pattern == '?') {
    ++n, ++m;
    return true;
  }
  if (pattern == '[') {
    size_t next = 0;
    if (!MatchSet(mask, m + 1, name[n], next)) return false;
    ++n, m = next;
    return true;
  }
  if (FoldCase(pattern) != FoldCase(name[n])) return false;
  ++n, ++m;
  return true;
}

// MatchesMask for a mask whose sets are known to be closed.
bool MatchesClosedMask(std::string_view name, std::string_view mask) {
  // Greedy match with backtracking to the last '*' only: a later '*' can
  // always absorb what an earlier one would have, so the work is bounded by
  // name length times mask length, never exponential.
  size_t n = 0, m = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = ++m;
      starName = n;
    } else if (!MatchOne(name, mask, n, m)) {
      if (starMask == std::string_view::npos) return false;
      m = starMask;
      n = ++starName;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// "*" followed by characters that match only themselves.
bool IsSuffixMask(std::string_view mask) {
  return mask.size() > 1 && mask[0] == '*' &&
         mask.find_first_of("*?[", 1) == std::string_view::npos;
}

bool EndsWithFolded(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  name.remove_prefix(name.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i)
    if (FoldCase(name[i]) != FoldCase(suffix[i])) return false;
  return true;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  CheckSetsClosed(mask);
  return MatchesClosedMask(name, mask);
}

TMaskList::TMaskList(std::string_view maskList) : text_(maskList) {
  for (const std::string_view mask : ExplodeViews(";", maskList))
    masks_.push_back({std::string(mask), SetsClosed(mask), IsSuffixMask(mask)});
}

bool TMaskList::Matches(std::string_view name) const {
  for (const TMask& mask : masks_) {
    if (!mask.Closed) ThrowUnclosedSet(mask.Text);
    if (mask.Suffix ? EndsWithFolded(name, std::string_view(mask.Text).substr(1))
                    : MatchesClosedMask(name, mask.Text))
      return true;
  }
  return false;
}

bool MatchesMaskList(std::string_view name, std::string_view maskList) {
  return TMaskList(maskList).Matches(name);
}

bool FileHasSignature(const std::string& path, std::string_view signature, uint64_t offset) {
  if (!PathExists(path)) return false;
  TInputFile file(path);
  std::string found(signature.size(), '\0');
  if (file.ReadAt(offset, found.data(), found.size()) != signature.size()) return false;
  return found == signature;
}

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

}  // namespace vexmoor
