#include "encoder/EncoderRows.h"

#include <algorithm>

#include "catalogue/TextCompare.h"
#include "encoder/DatEncoder.h"

namespace vexmoor {

void SortEncoderRows(std::vector<TEncoderRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const TEncoderRow& a, const TEncoderRow& b) {
    return LocaleCompare(a.Name, b.Name) < 0;
  });
}

std::vector<TEncoderRow> DroppedEncoderRows(const std::vector<std::string>& paths) {
  std::vector<TEncoderRow> rows;
  rows.reserve(paths.size());
  for (const std::string& path : paths) {
    rows.push_back({EncoderRowName(path), std::string(kStatusLoaded), path});
  }
  SortEncoderRows(rows);
  return rows;
}

std::vector<std::string> EncoderRowPaths(const std::vector<TEncoderRow>& rows) {
  std::vector<std::string> paths;
  paths.reserve(rows.size());
  for (const TEncoderRow& row : rows) paths.push_back(row.Path);
  return paths;
}

}  // namespace vexmoor
