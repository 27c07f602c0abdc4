#include "rebuild/WriteTarget.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

#include "platform/DiskPlace.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "rebuild/SourceReader.h"
#include "rebuild/ZipWriter.h"
#include "catalogue/TextLines.h"
#include "scan/CRC32.h"

namespace vexmoor {

namespace {

// Where the bytes go: straight into the temporary, or through a zip.
class TTargetSink {
 public:
  TTargetSink(TPendingFile& file, const TRebuildPlan& plan, const TRebuildStep& step) : file_(file) {
    if (!plan.Options.Zip) return;
    zip_ = std::make_unique<TZipWriter>(file, !plan.Options.ZipStore);
    zip_->BeginMember(step.FileName);
  }
  void Write(std::string_view data) {
    sum_.Crc = Crc32(data.data(), data.size(), sum_.Crc);
    sum_.Size += data.size();
    if (zip_) zip_->Write(data);
    else file_.Append(data);
  }
  void Finish() {
    if (zip_) zip_->Finish();
  }
  const TDumpSum& Sum() const { return sum_; }

 private:
  TPendingFile& file_;
  std::unique_ptr<TZipWriter> zip_;
  TDumpSum sum_;
};

// Between two blocks: the window's turn, then the cancel flag.
class TBetweenBlocks {
 public:
  TBetweenBlocks(const std::atomic<bool>* cancel, const TBlockPump& pump) : cancel_(cancel), pump_(pump) {}
  void operator()() const {
    if (pump_) pump_();
    if (cancel_ && cancel_->load()) throw TRebuildCancelled{};
  }

 private:
  const std::atomic<bool>* cancel_;
  const TBlockPump& pump_;
};

std::string HexSum(const TDumpSum& sum) {
  return "CRC " + HexLong(sum.Crc) + ", " + std::to_string(sum.Size) + " bytes";
}

// The 0xFF run that makes a trimmed dump its full image again.
void Pad(TTargetSink& sink, uint64_t fullSize, const TBetweenBlocks& between) {
  const std::string block(kRebuildBlockBytes, '\xFF');
  while (sink.Sum().Size < fullSize) {
    between();
    sink.Write(std::string_view(block).substr(0, size_t(std::min<uint64_t>(block.size(), fullSize - sink.Sum().Size))));
  }
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  const std::string here = CurrentFolder();
  return here.empty() || here.back() == '/' ? here + path : here + '/' + path;
}

}  // namespace

std::unique_ptr<TWrittenTarget> WriteTemporary(const TRebuildPlan& plan, const TRebuildStep& step,
                                               const std::atomic<bool>* cancel, const TBlockPump& pump) {
  const TBetweenBlocks between(cancel, pump);
  TSourceReader reader(step.Source.Path, step.Source.Member);
  auto written = std::make_unique<TWrittenTarget>(step.Target);
  TTargetSink sink(written->File, plan, step);
  const auto block = std::make_unique_for_overwrite<char[]>(kRebuildBlockBytes);
  for (;;) {
    between();
    const size_t got = reader.Read(block.get(), kRebuildBlockBytes);
    if (got == 0) break;
    sink.Write(std::string_view(block.get(), got));
  }
  const TDumpSum source = sink.Sum();
  const std::optional<uint64_t> fullSize = ReleaseImageSize(source, step);
  if (!fullSize)
    throw TStepRefused("the source is no longer the release (" + HexSum(source) + ")");
  if (plan.Options.PadTrimmed) Pad(sink, *fullSize, between);
  sink.Finish();
  between();
  written->File.StartFlush();
  written->Sum = sink.Sum();
  return written;
}

void PutInPlace(TWrittenTarget& written) {
  // A file that appeared meanwhile, even in the instant before the rename,
  // is not replaced: the rename itself refuses a taken name.
  try {
    written.File.CommitNew();
  } catch (const IoError& error) {
    if (error.SystemError() != EEXIST) throw;
    throw TStepRefused("a file appeared at the target while it was written");
  }
}

void LinkTarget(const TRebuildPlan& plan, const TRebuildStep& step) {
  if (!step.Source.Member.empty())
    throw TStepRefused("it lies inside an archive; only loose dumps can be linked");
  if (step.Source.Trimmed && plan.Options.PadTrimmed)
    throw TStepRefused("it is trimmed, and a link cannot pad it");
  if (plan.Options.Action == TRebuildAction::HardLink)
    CreateHardLink(step.Source.Path, step.Target);
  else
    CreateSymbolicLink(Absolute(step.Source.Path), step.Target);
}

}  // namespace vexmoor
