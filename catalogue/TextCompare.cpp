#include "catalogue/TextCompare.h"

#include <algorithm>
#include <array>

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

// Each byte's primary weight as a dense rank from 1 (0 marks a text's end).
std::array<uint8_t, 256> PrimaryRanks() {
  std::array<int, 256> weights{};
  for (int c = 0; c < 256; ++c) weights[static_cast<size_t>(c)] = Weight(static_cast<unsigned char>(c));
  std::array<int, 256> sorted = weights;
  std::sort(sorted.begin(), sorted.end());
  const auto distinct = std::unique(sorted.begin(), sorted.end());
  std::array<uint8_t, 256> ranks{};
  for (size_t c = 0; c < 256; ++c)
    ranks[c] = static_cast<uint8_t>(1 + (std::lower_bound(sorted.begin(), distinct, weights[c]) - sorted.begin()));
  return ranks;
}

}  // namespace

uint64_t LocaleSortKey(std::string_view text) {
  static const std::array<uint8_t, 256> ranks = PrimaryRanks();
  uint64_t key = 0;
  for (size_t i = 0; i < 8; ++i)
    key = key << 8 | (i < text.size() ? ranks[static_cast<unsigned char>(text[i])] : 0u);
  return key;
}

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
