#include "rebuild/RebuildChoice.h"

#include "catalogue/LoadedDat.h"
#include "catalogue/TextEncoding.h"

namespace vexmoor {

namespace {

bool IsLink(TRebuildAction action) {
  return action == TRebuildAction::HardLink || action == TRebuildAction::SymbolicLink;
}

std::string Releases(size_t count) {
  return std::to_string(count) + (count == 1 ? " release" : " releases");
}

// "NAME: reason" lines for the outcomes in `state`, at most `listed`.
std::string ReasonLines(const TRebuildPlan& plan, const TRebuildReport& report, TStepState state,
                        const char* heading, size_t listed) {
  std::string lines;
  size_t count = 0;
  for (size_t i = 0; i < report.Steps.size() && i < plan.Steps.size(); ++i) {
    if (report.Steps[i].State != state) continue;
    if (count++ < listed) lines += ToUtf8(plan.Steps[i].Name) + ": " + ToUtf8(report.Steps[i].Reason) + "\n";
  }
  if (count == 0) return "";
  if (count > listed) lines += "... and " + std::to_string(count - listed) + " more\n";
  return "\n" + std::string(heading) + "\n" + lines;
}

}  // namespace

TRebuildOffer RebuildOfferFor(const TCatalogue& catalogue) {
  TRebuildOffer offer;
  for (size_t position = 0; position < catalogue.Count(); ++position) {
    const TRomItem& item = catalogue[position];
    if (item.Status == StatusCached) ++offer.Cached;
    // The plan's own test: found by this scan at a known place.
    if (item.Status != StatusFound || item.StatusText.empty()) continue;
    ++offer.Releases;
    if (item.Member.empty()) ++offer.Loose;
    if (item.Trimmed) ++offer.Trimmed;
  }
  offer.Actions = {TRebuildAction::Copy, TRebuildAction::Move};
  if (offer.Loose > 0) {
    offer.Actions.push_back(TRebuildAction::HardLink);
    offer.Actions.push_back(TRebuildAction::SymbolicLink);
  }
  return offer;
}

std::string RebuildOfferText(const TRebuildOffer& offer) {
  std::string text = Releases(offer.Releases) + " found: " + std::to_string(offer.Loose) + " loose, " +
                     std::to_string(offer.Releases - offer.Loose) + " in archives";
  if (offer.Trimmed > 0) text += ", " + std::to_string(offer.Trimmed) + " trimmed";
  text += ".";
  if (offer.Cached > 0) {
    text += "\n" + Releases(offer.Cached) + " known only from the cache file " +
            (offer.Cached == 1 ? "is" : "are") +
            " left out: their place is not known. Scan again with Cache Results off to include " +
            (offer.Cached == 1 ? "it." : "them.");
  }
  return text;
}

bool ZipAllowed(TRebuildAction action) { return !IsLink(action); }

bool PadAllowed(TRebuildAction action) { return !IsLink(action); }

std::string RebuildChoiceProblem(const std::string& output, const TRebuildOptions& options) {
  if (output.find_first_not_of(" \t") == std::string::npos) return "Choose the folder to rebuild into.";
  if (options.Zip && !ZipAllowed(options.Action)) return "A link cannot be zipped.";
  if (options.PadTrimmed && !PadAllowed(options.Action)) return "A link cannot be padded.";
  return "";
}

TRebuildPlan PlanRebuild(const TLoadedDat& dat, const std::string& output, const TRebuildOptions& options) {
  const std::string ext = dat.DatHeader.ReadString("INFO", "EXT", "");
  return BuildRebuildPlan(dat.Catalogue, ext, output, options);
}

TRebuildCounts CountOutcomes(const TRebuildReport& report) {
  TRebuildCounts counts;
  for (const TStepOutcome& outcome : report.Steps) {
    switch (outcome.State) {
      case TStepState::Written: ++counts.Written; break;
      case TStepState::Present: ++counts.Present; break;
      case TStepState::Skipped: ++counts.Skipped; break;
      case TStepState::Failed: ++counts.Failed; break;
    }
  }
  return counts;
}

std::string RebuildCountLines(const TRebuildCounts& counts) {
  return " Written : " + std::to_string(counts.Written) + "\n" +
         " Already present : " + std::to_string(counts.Present) + "\n" +
         " Skipped : " + std::to_string(counts.Skipped) + "\n" +
         " Failed : " + std::to_string(counts.Failed) + "\n";
}

std::string RebuildStatusText(const TRebuildReport& report) {
  const TRebuildCounts counts = CountOutcomes(report);
  return std::string(report.Cancelled ? " Rebuild cancelled: " : " Rebuilt: ") +
         std::to_string(counts.Written) + " written, " + std::to_string(counts.Present) +
         " already present, " + std::to_string(counts.Skipped) + " skipped, " +
         std::to_string(counts.Failed) + " failed.";
}

std::string RebuildSummaryText(const TRebuildPlan& plan, const TRebuildReport& report, size_t listed) {
  const TRebuildCounts counts = CountOutcomes(report);
  std::string text;
  if (report.Cancelled) text += "The rebuild was cancelled; what was written stays in place.\n";
  text += RebuildCountLines(counts);
  text += ReasonLines(plan, report, TStepState::Failed, "Failed:", listed);
  text += ReasonLines(plan, report, TStepState::Skipped, "Skipped:", listed);
  if (!report.RemovedSources.empty())
    text += "\nSources removed: " + std::to_string(report.RemovedSources.size()) + "\n";
  if (!report.KeptSources.empty()) {
    text += "\nSources kept:\n";
    for (size_t i = 0; i < report.KeptSources.size() && i < listed; ++i)
      text += ToUtf8(report.KeptSources[i].Path) + ": " + ToUtf8(report.KeptSources[i].Reason) + "\n";
    if (report.KeptSources.size() > listed)
      text += "... and " + std::to_string(report.KeptSources.size() - listed) + " more\n";
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::vector<size_t> TakeMovedPlaces(TCatalogue& catalogue, const TRebuildPlan& plan,
                                    const TRebuildReport& report) {
  std::vector<size_t> changed;
  if (plan.Options.Action != TRebuildAction::Move) return changed;
  for (size_t at = 0; at < plan.Steps.size() && at < report.Steps.size(); ++at) {
    const TRebuildStep& step = plan.Steps[at];
    const TStepState state = report.Steps[at].State;
    if (state != TStepState::Written && state != TStepState::Present) continue;
    // The plan was made from this catalogue; an entry that is not the
    // step's release any more (a dat loaded since) is left alone.
    if (step.Entry >= catalogue.Count()) continue;
    TRomItem& item = catalogue[step.Entry];
    if (item.Status != StatusFound || item.Index != step.Index || item.Crc != step.Crc) continue;
    item.Member = plan.Options.Zip ? step.FileName : std::string();
    item.StatusText = plan.Options.Zip ? step.Target + '\\' + step.FileName : step.Target;
    item.Trimmed = step.Source.Trimmed && !plan.Options.PadTrimmed;
    changed.push_back(step.Entry);
  }
  return changed;
}

}  // namespace vexmoor
