#include "encoder/EncoderRows.h"

#include <algorithm>

#include "catalogue/TextCompare.h"
#include "encoder/DatEncoder.h"
#include "platform/Path.h"

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
    // A file that is not dat text is listed with the reason and never read
    // further, let alone encoded.
    const std::string reason = NotDatFileReason(path);
    if (reason.empty())
      rows.push_back({EncoderRowName(path), std::string(kStatusLoaded), path});
    else
      rows.push_back({PathFileName(path), std::string(kStatusSkippedPrefix) + reason, path});
  }
  SortEncoderRows(rows);
  return rows;
}

bool EncoderRowSkipped(const TEncoderRow& row) { return row.Status.starts_with(kStatusSkippedPrefix); }

std::vector<size_t> EncodableRows(const std::vector<TEncoderRow>& rows) {
  std::vector<size_t> positions;
  for (size_t at = 0; at < rows.size(); ++at)
    if (!EncoderRowSkipped(rows[at])) positions.push_back(at);
  return positions;
}

std::vector<std::string> EncoderRowPaths(const std::vector<TEncoderRow>& rows) {
  std::vector<std::string> paths;
  for (const size_t at : EncodableRows(rows)) paths.push_back(rows[at].Path);
  return paths;
}

}  // namespace vexmoor
