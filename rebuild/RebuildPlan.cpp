#include "rebuild/RebuildPlan.h"

#include <cctype>
#include <set>

#include "catalogue/TextLines.h"
#include "rebuild/SafeName.h"
#include "scan/TrimmedImage.h"

namespace vexmoor {

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// NAME.zip, or the file name itself.
std::string TargetFileName(const TRebuildStep& step, const TRebuildOptions& options,
                           const std::string& suffix) {
  if (options.Zip) return SafeFileName(step.Name + suffix) + ".zip";
  if (suffix.empty()) return step.FileName;
  const size_t dot = step.FileName.rfind('.');
  if (dot == std::string::npos || dot == 0) return SafeFileName(step.FileName + suffix);
  return SafeFileName(step.FileName.substr(0, dot) + suffix + step.FileName.substr(dot));
}

}  // namespace

std::string RebuildSubfolder(const TRebuildStep& step, const std::string& country,
                             TRebuildSubfolder how) {
  switch (how) {
    case TRebuildSubfolder::None:
      return "";
    case TRebuildSubfolder::Region: {
      const std::string_view region = TrimBlanks(country);
      return SafeFileName(region.empty() ? std::string_view("Unknown") : region);
    }
    case TRebuildSubfolder::FirstLetter: {
      const unsigned char first = step.Name.empty() ? 0 : static_cast<unsigned char>(step.Name[0]);
      if (first < 0x80 && std::isalnum(first)) return std::string(1, char(std::toupper(first)));
      return "#";
    }
  }
  return "";
}

TRebuildPlan BuildRebuildPlan(const TCatalogue& catalogue, const std::string& ext,
                              const std::string& output, const TRebuildOptions& options) {
  TRebuildPlan plan;
  plan.Output = output;
  plan.Options = options;
  std::set<std::string> taken;  // targets in lower case: one file on Windows and macOS
  for (size_t position = 0; position < catalogue.Count(); ++position) {
    const TRomItem& item = catalogue[position];
    if (item.Status != StatusFound || item.StatusText.empty()) continue;
    TRebuildStep step;
    step.Entry = position;
    step.Index = item.Index;
    step.Name = item.Name;
    step.Crc = item.Crc;
    step.Size = item.Size;
    step.Source.Trimmed = item.Trimmed;
    step.Source.Member = item.Member;
    step.Source.Path = item.Member.empty() || item.StatusText.size() <= item.Member.size()
                           ? item.StatusText.str()
                           : item.StatusText.substr(0, item.StatusText.size() - item.Member.size() - 1);
    // The rom's own file name where the dat gives one; else the release
    // name and the dat's extension.
    if (!item.RomName.empty())
      step.DatFileName = item.RomName;
    else
      step.DatFileName = ext.empty() ? item.Name.str() : item.Name + "." + ext;
    step.FileName = SafeFileName(step.DatFileName);
    const std::string folder =
        JoinPath(output, RebuildSubfolder(step, item.Country, options.Subfolder));
    step.Target = JoinPath(folder, TargetFileName(step, options, ""));
    for (int attempt = 1; !taken.insert(AsciiLower(step.Target)).second; ++attempt) {
      std::string suffix = " (" + item.Index + ")";
      if (attempt > 1) suffix += " (" + std::to_string(attempt) + ")";
      step.Target = JoinPath(folder, TargetFileName(step, options, suffix));
    }
    plan.Steps.push_back(std::move(step));
  }
  return plan;
}

uint64_t BytesToWrite(const TRebuildPlan& plan, const TRebuildStep& step) {
  const TRebuildAction action = plan.Options.Action;
  if (action == TRebuildAction::HardLink || action == TRebuildAction::SymbolicLink) return 0;
  if (!plan.Options.PadTrimmed || !step.Source.Trimmed) return step.SourceBytes;
  if (step.Size) return *step.Size;
  // The image it was most likely cut from: the next cartridge size.
  uint64_t full = kSmallestCartridgeBytes;
  while (full < step.SourceBytes && full < kLargestCartridgeBytes) full *= 2;
  return full > step.SourceBytes ? full : step.SourceBytes;
}

}  // namespace vexmoor
