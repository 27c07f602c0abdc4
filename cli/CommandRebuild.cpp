#include <atomic>
#include <memory>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/RebuildOutput.h"
#include "cli/ScanSteps.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "rebuild/RebuildChoice.h"
#include "rebuild/RebuildPlan.h"
#include "rebuild/RebuildRun.h"
#include "scan/ScanEngine.h"
#include "scan/store/ChecksumStore.h"

namespace vexmoor::cli {

namespace {

struct TRebuildArgs {
  std::string dat, folder, output;
  TRebuildOptions options;
  bool dryRun = false;
  bool json = false;
  bool verify = false;
};

// The action switches exclude each other; false on a second one.
bool SetAction(TRebuildArgs& args, TRebuildAction action, bool& chosen) {
  if (chosen) return false;
  chosen = true;
  args.options.Action = action;
  return true;
}

bool ParseSubfolder(const std::string& text, TRebuildSubfolder& how) {
  if (text == "region") how = TRebuildSubfolder::Region;
  else if (text == "letter") how = TRebuildSubfolder::FirstLetter;
  else return false;
  return true;
}

std::optional<TRebuildArgs> ParseRebuildArgs(const Args& args) {
  TRebuildArgs parsed;
  bool actionChosen = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool ok = true;
    if (arg == "--move") ok = SetAction(parsed, TRebuildAction::Move, actionChosen);
    else if (arg == "--link") ok = SetAction(parsed, TRebuildAction::HardLink, actionChosen);
    else if (arg == "--symlink") ok = SetAction(parsed, TRebuildAction::SymbolicLink, actionChosen);
    else if (arg == "--zip") parsed.options.Zip = true;
    else if (arg == "--zip-store") parsed.options.Zip = parsed.options.ZipStore = true;
    else if (arg == "--pad-trimmed") parsed.options.PadTrimmed = true;
    else if (arg == "--dry-run") parsed.dryRun = true;
    else if (arg == "--json") parsed.json = true;
    else if (arg == "--verify") parsed.verify = true;
    else if (arg == "--subfolder" && i + 1 < args.size()) ok = ParseSubfolder(args[++i], parsed.options.Subfolder);
    else if (arg.size() > 1 && arg[0] == '-') ok = false;
    else positional.push_back(arg);
    if (!ok) return std::nullopt;
  }
  if (positional.size() != 3) return std::nullopt;
  const TRebuildAction action = parsed.options.Action;
  // A link is a loose file: it cannot be zipped.
  if (parsed.options.Zip && (action == TRebuildAction::HardLink || action == TRebuildAction::SymbolicLink))
    return std::nullopt;
  parsed.dat = positional[0];
  parsed.folder = positional[1];
  parsed.output = positional[2];
  return parsed;
}

std::atomic<bool> cancelRequested{false};

// The scan the plan is made from: without the cache file (a cached status
// carries no location), with the checksum store as the audit uses it.
bool ScanFolder(TAuditState& state, TRomList& list, TSortState& sort, const std::string& folder) {
  TProgress progress(IsTerminal(stderr));
  TScanCallbacks callbacks;
  callbacks.SetPanelText = [&](int panel, const std::string& text) { progress.Panel(panel, text); };
  TScanEngine engine(state, list, sort, cancelRequested, callbacks);
  const std::unique_ptr<TChecksumStore> store = OpenChecksumStore(progress);
  engine.SetChecksumStore(store.get());
  const TScanOutcome outcome = RunScan(engine, folder, cancelRequested, progress);
  for (const std::string& message : outcome.Unexamined) ReportError(message);
  if (outcome.Cancelled) ReportError("the scan was cancelled; nothing was rebuilt");
  return !outcome.Cancelled;
}

void ShowProgress(size_t position, size_t count, const TRebuildStep& step) {
  std::string name = PrintableText(step.Name);
  if (name.size() > 60) name = name.substr(0, 57) + "...";
  std::fprintf(stderr, "\r\033[K%zu/%zu %s", position + 1, count, name.c_str());
  std::fflush(stderr);
}

int Rebuild(TRebuildPlan& plan, bool json) {
  CheckFreeSpace(plan);
  TRebuildCallbacks callbacks;
  const bool terminal = IsTerminal(stderr);
  if (terminal) callbacks.StepStarted = ShowProgress;
  callbacks.Cancel = &cancelRequested;
  cancelRequested = false;
  InterruptSetsFlag(cancelRequested);
  const TRebuildReport report = RunRebuild(plan, callbacks);
  InterruptEndsProcess();
  if (terminal) std::fprintf(stderr, "\r\033[K");
  const std::string out = json ? RebuildJson(plan, &report) : ReportText(plan, report);
  std::fwrite(out.data(), 1, out.size(), stdout);
  for (const TStepOutcome& outcome : report.Steps)
    if (outcome.State == TStepState::Failed) return 1;
  return report.Cancelled ? 1 : 0;
}

}  // namespace

int RunRebuild(const Args& args) {
  std::optional<TRebuildArgs> parsed = ParseRebuildArgs(args);
  if (!parsed) return UsageError("rebuild");
  TAuditState state;
  state.CacheResults = false;
  state.VerifyArchives = parsed->verify;
  TRomList list;
  TSortState sort;
  if (!LoadDat(state, list, sort, parsed->dat)) return 2;
  if (!IsFolder(parsed->folder)) {
    ReportError("\"" + parsed->folder + "\" is not a folder");
    return 2;
  }
  if (!ScanFolder(state, list, sort, parsed->folder)) return 1;
  TRebuildPlan plan = PlanRebuild(state, parsed->output, parsed->options);
  ProbeSources(plan);
  if (!parsed->dryRun) return Rebuild(plan, parsed->json);
  const std::string out = parsed->json ? RebuildJson(plan, nullptr) : PlanText(plan);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

}  // namespace vexmoor::cli
