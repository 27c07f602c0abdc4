// Counting and filtering the catalogue by status: the one place that says
// how many entries are found, cached, missing or bad, and which rows a
// status filter and a typed name keep. Every count a window or the scan
// shows comes from CountByStatus, so no counter can disagree with the rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/RomItem.h"

namespace vexmoor {

struct TStatusCounts {
  int32_t Found = 0;
  int32_t Cached = 0;
  int32_t Missing = 0;
  int32_t Bad = 0;
  int32_t Other = 0;  // a status outside the four known ones

  // What a collector has: found or cached.
  int32_t Have() const { return Found + Cached; }
  bool operator==(const TStatusCounts&) const = default;
};

// The entries of `catalogue` by their Status.
TStatusCounts CountByStatus(const TCatalogue& catalogue);

// "Found 12   Cached 3   Missing 27   Bad 1": the counts as the window's
// count strip shows them, every status named in full.
std::string StatusCountsText(const TStatusCounts& counts);

// The status filter of the list: all rows, those the collector has (found
// or cached), the missing ones, the bad ones.
enum class TStatusFilter { All, Have, Missing, Bad };

// True when an entry with `status` passes `filter`.
bool StatusPasses(int32_t status, TStatusFilter filter);

// True when `name` holds `needle`, letters A-Z compared without regard to
// case (other bytes as they are). An empty needle is in every name.
bool NameContains(std::string_view name, std::string_view needle);

}  // namespace vexmoor
