// What the main window's status bar says after a report was written.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/StatusCounts.h"

namespace vexmoor {

// " Saved lists to FOLDER"
std::string SavedListsText(const std::string& folder);

// The entries a fix dat holds: every one that is not found.
int32_t FixDatEntryCount(const TStatusCounts& counts);

// " Fix dat written: N entries (PATH)" ("1 entry").
std::string FixDatWrittenText(int32_t entries, const std::string& path);

}  // namespace vexmoor
