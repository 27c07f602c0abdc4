#include "rebuild/DumpCheck.h"

#include <memory>

#include "platform/Errors.h"
#include "platform/File.h"
#include "rebuild/RebuildPlan.h"
#include "rebuild/SourceReader.h"
#include "scan/CRC32.h"
#include "scan/TrimmedImage.h"

namespace vexmoor {

namespace {

template <typename Reader>
TDumpSum SumAll(Reader& reader, const TBlockPump& pump) {
  const auto block = std::make_unique_for_overwrite<char[]>(kRebuildBlockBytes);
  TDumpSum sum;
  for (;;) {
    const size_t got = reader.Read(block.get(), kRebuildBlockBytes);
    if (got == 0) return sum;
    if (pump) pump();
    sum.Crc = Crc32(block.get(), got, sum.Crc);
    sum.Size += got;
  }
}

}  // namespace

std::optional<uint64_t> ReleaseImageSize(const TDumpSum& sum, const TRebuildStep& step) {
  if (sum.Crc == step.Crc && (!step.Size || *step.Size == sum.Size)) return sum.Size;
  for (const TPaddedImage& image : PaddedImageCrcs(sum.Crc, sum.Size))
    if (image.Crc == step.Crc && (!step.Size || *step.Size == image.FullSize)) return image.FullSize;
  return std::nullopt;
}

TDumpSum SumFile(const std::string& path, const TBlockPump& pump) {
  TInputFile file(path);
  file.AdviseSequential();
  return SumAll(file, pump);
}

TDumpSum SumOnlyMember(const std::string& path, const TBlockPump& pump) {
  TArchiveCursor cursor(path);
  std::string name;
  uint64_t size = 0;
  if (!cursor.NextFile(name, size)) throw FormatError("\"" + path + "\" holds no file");
  const TDumpSum sum = SumAll(cursor, pump);
  if (cursor.NextFile(name, size)) throw FormatError("\"" + path + "\" holds more than one file");
  return sum;
}

bool TargetHoldsRelease(const TRebuildStep& step, bool zip, const TBlockPump& pump) {
  const TDumpSum sum = zip ? SumOnlyMember(step.Target, pump) : SumFile(step.Target, pump);
  return ReleaseImageSize(sum, step).has_value();
}

}  // namespace vexmoor
