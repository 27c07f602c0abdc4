#include "reports/ReportNotices.h"

namespace vexmoor {

std::string SavedListsText(const std::string& folder) { return " Saved lists to " + folder; }

int32_t FixDatEntryCount(const TStatusCounts& counts) {
  return counts.Cached + counts.Missing + counts.Bad + counts.Other;
}

std::string FixDatWrittenText(int32_t entries, const std::string& path) {
  return " Fix dat written: " + std::to_string(entries) + (entries == 1 ? " entry (" : " entries (") + path + ")";
}

}  // namespace vexmoor
