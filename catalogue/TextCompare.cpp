#include "catalogue/TextCompare.h"

#include <algorithm>

namespace vexmoor {

namespace {

bool IsLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Primary weight of one byte: punctuation < digits < letters < high bytes.
int Weight(unsigned char c) {
  if (IsLower(c)) c = static_cast<unsigned char>(c - 'a' + 'A');
  if (IsUpper(c)) return 0x200 + c;
  if (IsDigit(c)) return 0x100 + c;
  if (c >= 0x80) return 0x300 + c;
  return c;
}

int ComparePrimary(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int wa = Weight(static_cast<unsigned char>(a[i]));
    const int wb = Weight(static_cast<unsigned char>(b[i]));
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int LocaleCompareNoCase(std::string_view a, std::string_view b) { return ComparePrimary(a, b); }

int LocaleCompare(std::string_view a, std::string_view b) {
  if (const int primary = ComparePrimary(a, b); primary != 0) return primary;
  // Same length, same letters: the first difference is one of case.
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return IsLower(ca) ? -1 : 1;
  }
  return 0;
}

}  // namespace vexmoor
