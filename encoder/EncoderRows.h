// The rows of the encoder window: one per dropped file, kept in the order
// the window shows them (by name), which is the order EncodeDats runs in.
#pragma once

#include <string>
#include <vector>

namespace vexmoor {

struct TEncoderRow {
  std::string Name;    // EncoderRowName of the file
  std::string Status;  // kStatusLoaded, then kStatusEncoded
  std::string Path;    // the dropped file's full path, kept whole
};

// Sorts by Name ascending with LocaleCompare (case-sensitive); rows of equal
// names keep their order.
void SortEncoderRows(std::vector<TEncoderRow>& rows);

// The rows for a drop of `paths`, which replace every earlier row: one per
// path whatever its type, named by EncoderRowName, "Loaded", sorted.
std::vector<TEncoderRow> DroppedEncoderRows(const std::vector<std::string>& paths);

// The rows' paths in row order: the sources of an encoding run.
std::vector<std::string> EncoderRowPaths(const std::vector<TEncoderRow>& rows);

}  // namespace vexmoor
