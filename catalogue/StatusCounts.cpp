#include "catalogue/StatusCounts.h"

#include <algorithm>

namespace vexmoor {

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

TStatusCounts CountByStatus(const TCatalogue& catalogue) {
  TStatusCounts counts;
  for (size_t i = 0; i < catalogue.Count(); ++i) {
    switch (catalogue[i].Status) {
      case StatusFound:
        ++counts.Found;
        break;
      case StatusCached:
        ++counts.Cached;
        break;
      case StatusMissing:
        ++counts.Missing;
        break;
      case StatusBad:
        ++counts.Bad;
        break;
      default:
        ++counts.Other;
    }
  }
  return counts;
}

std::string StatusCountsText(const TStatusCounts& counts) {
  return "Found " + std::to_string(counts.Found) + "   Cached " + std::to_string(counts.Cached) +
         "   Missing " + std::to_string(counts.Missing) + "   Bad " + std::to_string(counts.Bad);
}

bool StatusPasses(int32_t status, TStatusFilter filter) {
  switch (filter) {
    case TStatusFilter::All:
      return true;
    case TStatusFilter::Have:
      return status == StatusFound || status == StatusCached;
    case TStatusFilter::Missing:
      return status == StatusMissing;
    case TStatusFilter::Bad:
      return status == StatusBad;
  }
  return true;
}

bool NameContains(std::string_view name, std::string_view needle) {
  const auto same = [](char a, char b) { return AsciiUpper(a) == AsciiUpper(b); };
  return std::search(name.begin(), name.end(), needle.begin(), needle.end(), same) != name.end();
}

}  // namespace vexmoor
