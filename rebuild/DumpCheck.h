// Whether bytes are a release: the CRC-32 and size of a dump compared with
// the dat's, a trimmed dump included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vexmoor {

struct TRebuildStep;

// The block a rebuild reads and writes in: small enough to stay in the
// processor's cache between the read, the CRC and the write (a mebibyte
// did not, and cost a tenth of a copy's time), large enough that the
// system calls are a small share.
inline constexpr size_t kRebuildBlockBytes = size_t{256} << 10;

// Called between two blocks of a long read or write (a window pumps its
// events there); may be empty.
using TBlockPump = std::function<void()>;

struct TDumpSum {
  uint32_t Crc = 0;
  uint64_t Size = 0;
};

// The size of the full image when a dump with `sum` is the release of
// `step`: its own size when its CRC is the release's (and its size the
// dat's, where the dat gives one), or the cartridge size it was trimmed
// from. Nothing when it is another dump.
std::optional<uint64_t> ReleaseImageSize(const TDumpSum& sum, const TRebuildStep& step);

// CRC-32 and size of a loose file, read through. Throws FileOpenError or
// IoError.
TDumpSum SumFile(const std::string& path, const TBlockPump& pump = {});
// CRC-32 and size of the one member of a zip (unpacked through libarchive).
// Throws FormatError when the zip is damaged or holds not exactly one file.
TDumpSum SumOnlyMember(const std::string& path, const TBlockPump& pump = {});

// Whether the existing file at the step's target holds its release (loose,
// or as the one member of a zip when `zip`). Throws what the reads throw.
bool TargetHoldsRelease(const TRebuildStep& step, bool zip, const TBlockPump& pump = {});

}  // namespace vexmoor
