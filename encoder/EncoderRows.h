// The rows of the encoder window: one per dropped file, kept in the order
// the window shows them (by name), which is the order EncodeDats runs in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

// The status of a row that is never encoded starts with this, followed by
// the reason (NotDatFileReason).
inline constexpr std::string_view kStatusSkippedPrefix = "Skipped: ";

struct TEncoderRow {
  std::string Name;    // EncoderRowName of the file (the file name when skipped)
  std::string Status;  // kStatusLoaded, then kStatusEncoded; or skipped
  std::string Path;    // the dropped file's full path, kept whole
};

// Sorts by Name ascending with LocaleCompare (case-sensitive); rows of equal
// names keep their order.
void SortEncoderRows(std::vector<TEncoderRow>& rows);

// The rows for a drop of `paths`, which replace every earlier row: one per
// path whatever its type, sorted. A file of dat text is named by
// EncoderRowName and "Loaded"; any other (a dump, notes, an unreadable
// file) by its file name and kStatusSkippedPrefix with the reason.
std::vector<TEncoderRow> DroppedEncoderRows(const std::vector<std::string>& paths);

// True for a row that is never encoded.
bool EncoderRowSkipped(const TEncoderRow& row);
// The positions of the rows an encoding run takes, in row order.
std::vector<size_t> EncodableRows(const std::vector<TEncoderRow>& rows);
// Their paths, in the same order: the sources of an encoding run.
std::vector<std::string> EncoderRowPaths(const std::vector<TEncoderRow>& rows);

}  // namespace vexmoor
