#include "rebuild/RebuildRun.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

#include "platform/DiskPlace.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Folder.h"
#include "platform/Path.h"
#include "rebuild/DumpCheck.h"
#include "rebuild/SourceReader.h"
#include "rebuild/WriteTarget.h"

namespace vexmoor {

namespace {

// What a zip adds to its member: headers, descriptor, directory, end record.
constexpr uint64_t kZipOverhead = 1024;

bool IsLink(TRebuildAction action) {
  return action == TRebuildAction::HardLink || action == TRebuildAction::SymbolicLink;
}

bool Exists(const std::string& path) {
  return CurrentFileSystem().Stat(path).Type != TFileType::Missing;
}

// The nearest folder of `path` (itself included) that exists.
std::string ExistingFolder(std::string path) {
  while (!path.empty() && !IsFolder(path)) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    path = PathFolder(path);
  }
  return path.empty() ? "." : path;
}

// Move bookkeeping: a source is removed once every step that takes from it
// has its target in place and checked.
class TSourceLedger {
 public:
  explicit TSourceLedger(const TRebuildPlan& plan) : plan_(plan) {
    for (const TRebuildStep& step : plan.Steps) {
      ++pending_[step.Source.Path];
      if (!step.Source.Member.empty())
        used_[step.Source.Path].insert(SlashedMemberName(step.Source.Member));
    }
  }

  // Step `step` is over; removes its source when nothing else waits for it.
  void Done(const TRebuildStep& step, bool inPlace, TRebuildReport& report) {
    const std::string& path = step.Source.Path;
    if (!inPlace) failed_.insert(path);
    if (--pending_[path] > 0) return;
    if (failed_.count(path)) {
      report.KeptSources.push_back({path, "a release taken from it is not in place"});
      return;
    }
    const std::string why = WhyKept(path);
    if (!why.empty()) {
      report.KeptSources.push_back({path, why});
      return;
    }
    try {
      RemoveFile(path);
      SyncFolder(PathFolder(path));
      report.RemovedSources.push_back(path);
    } catch (const IoError& error) {
      report.KeptSources.push_back({path, std::string(error.what()) + "; its releases were copied"});
    }
  }

 private:
  // Why `path` must stay although its releases are in place; "" when not.
  std::string WhyKept(const std::string& path) const {
    for (const TRebuildStep& step : plan_.Steps)
      if (step.Source.Path == path && IsSameFile(path, step.Target))
        return "it is the target itself";
    const auto used = used_.find(path);
    if (used == used_.end()) return "";
    const auto listing = plan_.Archives.find(path);
    if (listing == plan_.Archives.end() || !listing->second.Error.empty())
      return "its members could not be listed";
    // A set's members are often spread over its volumes and other tools
    // (or a later run) may still need any one of them: none is removed.
    if (listing->second.Volumes.size() > 1) return "the archive is one volume of a multi-volume set";
    for (const std::string& member : listing->second.Members)
      if (!used->second.count(SlashedMemberName(member))) return "the archive holds other files";
    return "";
  }

  const TRebuildPlan& plan_;
  std::map<std::string, int> pending_;
  std::map<std::string, std::set<std::string>> used_;
  std::set<std::string> failed_;
};

// The target is there: present when it holds the release, a clash when not.
TStepOutcome ExistingTarget(const TRebuildPlan& plan, const TRebuildStep& step, const TBlockPump& pump) {
  try {
    if (TargetHoldsRelease(step, plan.Options.Zip, pump)) return {TStepState::Present, ""};
    return {TStepState::Skipped, "another file is in the way at \"" + step.Target + "\""};
  } catch (const Error& error) {
    return {TStepState::Skipped, std::string("the file in the way cannot be checked: ") + error.what()};
  }
}

// A move's target read back: the bytes that went in must be there.
void VerifyWritten(const TRebuildPlan& plan, const TRebuildStep& step, const TDumpSum& written,
                   const TBlockPump& pump) {
  const TDumpSum read = plan.Options.Zip ? SumOnlyMember(step.Target, pump) : SumFile(step.Target, pump);
  if (read.Crc == written.Crc && read.Size == written.Size) return;
  RemoveFile(step.Target);
  throw TStepRefused("the target read back differs from what was written");
}

// The folders whose new names are not yet synced. Only a move needs a
// target's name durable at once: its source goes next, and a crash that
// then undid the rename would lose the release. A copy or a link removes
// nothing, so a rename a crash undoes loses nothing either (the source
// still holds the release; the next run writes the target again and
// removes the temporary left). Each target's bytes are synced before its
// rename all the same, so a name that survives a crash never shows a
// half-written file. The folders are synced once each before the run
// reports (SyncWrittenFolders), so every "written" it reports is durable;
// one sync per folder instead of one per target is most of a copy's time
// on a disk with a journal.
using TUnsyncedFolders = std::set<std::string>;

void SyncTargetFolder(const TRebuildPlan& plan, const TRebuildStep& step, TUnsyncedFolders& unsynced) {
  if (plan.Options.Action == TRebuildAction::Move) SyncFolder(PathFolder(step.Target));
  else unsynced.insert(PathFolder(step.Target));
}

// A folder that cannot be synced: its targets are there, but the run cannot
// say they would outlive a crash.
void SyncWrittenFolders(const TRebuildPlan& plan, const TUnsyncedFolders& unsynced, TRebuildReport& report) {
  for (const std::string& folder : unsynced) {
    try {
      SyncFolder(folder);
    } catch (const IoError& error) {
      for (size_t i = 0; i < report.Steps.size(); ++i) {
        if (report.Steps[i].State != TStepState::Written || PathFolder(plan.Steps[i].Target) != folder) continue;
        report.Steps[i] = {TStepState::Failed, std::string("written, but its folder cannot be synced: ") + error.what()};
      }
    }
  }
}

// Copies written and checked but not yet in place, put in place together.
// Each temporary's bytes are handed to the disk as they are written, and
// flushed only when the batch is full: the disk then writes one file while
// the next is copied instead of the copy waiting for it, the flushes of a
// batch share the journal's commits, and a move syncs each folder once a
// batch. Every temporary is still synced before its rename, and a move
// removes no source before its target is renamed, the folder synced and the
// target read back. Bounded so that little waits in memory and a crash
// loses little work (what it leaves are temporaries, removed next run).
constexpr size_t kBatchFiles = 32;
constexpr uint64_t kBatchBytes = uint64_t{64} << 20;

class TCommitBatch {
 public:
  TCommitBatch(const TRebuildPlan& plan, const TRebuildCallbacks& callbacks, TUnsyncedFolders& unsynced,
               TRebuildReport& report, TSourceLedger& ledger)
      : plan_(plan), callbacks_(callbacks), unsynced_(unsynced), report_(report), ledger_(ledger) {}

  // Step `position`'s target waits in the batch; commits the batch when full.
  void Add(size_t position, std::unique_ptr<TWrittenTarget> written) {
    bytes_ += written->Sum.Size;
    waiting_.push_back({position, std::move(written), std::nullopt});
    if (waiting_.size() >= kBatchFiles || bytes_ >= kBatchBytes) Commit();
  }

  // Puts every waiting target in place and gives each step its outcome (a
  // move's sources go here, once their targets are in place and checked).
  void Commit() {
    for (TWaiting& waiting : waiting_) Settle(waiting, [&] { waiting.Written->File.Flush(); });
    for (TWaiting& waiting : waiting_) Settle(waiting, [&] { PutInPlace(*waiting.Written); });
    const bool move = plan_.Options.Action == TRebuildAction::Move;
    std::set<std::string> folders;
    for (const TWaiting& waiting : waiting_)
      if (!waiting.Outcome) folders.insert(PathFolder(plan_.Steps[waiting.Position].Target));
    if (move) {
      for (const std::string& folder : folders) {
        try {
          SyncFolder(folder);
        } catch (const Error& error) {
          for (TWaiting& waiting : waiting_)
            if (!waiting.Outcome && PathFolder(plan_.Steps[waiting.Position].Target) == folder)
              waiting.Outcome = TStepOutcome{TStepState::Failed, error.what()};
        }
      }
      for (TWaiting& waiting : waiting_)
        Settle(waiting, [&] { VerifyWritten(plan_, plan_.Steps[waiting.Position], waiting.Written->Sum, Pump()); });
    } else {
      unsynced_.insert(folders.begin(), folders.end());
    }
    for (TWaiting& waiting : waiting_) {
      const TStepOutcome outcome = waiting.Outcome.value_or(TStepOutcome{TStepState::Written, ""});
      if (outcome.State == TStepState::Written) report_.BytesWritten += waiting.Written->Sum.Size;
      report_.Steps[waiting.Position] = outcome;
      if (move) ledger_.Done(plan_.Steps[waiting.Position], outcome.State == TStepState::Written, report_);
    }
    waiting_.clear();
    bytes_ = 0;
  }

 private:
  struct TWaiting {
    size_t Position;
    std::unique_ptr<TWrittenTarget> Written;
    std::optional<TStepOutcome> Outcome;  // set once it failed or was refused
  };

  const TBlockPump& Pump() const { return callbacks_.Pump; }

  // Runs one stage for a target still on its way; a refusal or failure is
  // its outcome.
  template <typename Stage>
  void Settle(TWaiting& waiting, Stage stage) {
    if (waiting.Outcome) return;
    if (Pump()) Pump()();
    try {
      stage();
    } catch (const TStepRefused& refused) {
      waiting.Outcome = TStepOutcome{TStepState::Skipped, refused.what()};
    } catch (const Error& error) {
      waiting.Outcome = TStepOutcome{TStepState::Failed, error.what()};
    }
  }

  const TRebuildPlan& plan_;
  const TRebuildCallbacks& callbacks_;
  TUnsyncedFolders& unsynced_;
  TRebuildReport& report_;
  TSourceLedger& ledger_;
  std::vector<TWaiting> waiting_;
  uint64_t bytes_ = 0;
};

// Starts step `position`: its outcome, or nothing when its target was
// written and waits in `batch` (which gives the outcome).
std::optional<TStepOutcome> DoStep(const TRebuildPlan& plan, size_t position, const TRebuildCallbacks& callbacks,
                                   TUnsyncedFolders& unsynced, TCommitBatch& batch) {
  const TRebuildStep& step = plan.Steps[position];
  try {
    CreateFolders(PathFolder(step.Target));
    if (Exists(step.Target)) return ExistingTarget(plan, step, callbacks.Pump);
    if (IsLink(plan.Options.Action)) {
      LinkTarget(plan, step);
      SyncTargetFolder(plan, step, unsynced);
      return TStepOutcome{TStepState::Written, ""};
    }
    batch.Add(position, WriteTemporary(plan, step, callbacks.Cancel, callbacks.Pump));
    return std::nullopt;
  } catch (const TStepRefused& refused) {
    return TStepOutcome{TStepState::Skipped, refused.what()};
  } catch (const Error& error) {
    return TStepOutcome{TStepState::Failed, error.what()};
  }
}

// A temporary a killed run left beside a target: the target's name and the
// ending every temporary of ours has (platform/File.h).
bool IsLeftTemporary(const std::string& name, const std::set<std::string>& targets) {
  const size_t ending = kTemporaryMarker.size() + 6;
  if (!IsOwnTemporaryName(name) || name.size() <= ending) return false;
  return targets.count(name.substr(0, name.size() - ending)) > 0;
}

// Removes what killed runs left beside the plan's targets; a folder that
// cannot be listed, or a file that cannot be removed, is left as it is.
void RemoveLeftTemporaries(const TRebuildPlan& plan) {
  std::map<std::string, std::set<std::string>> targets;  // by folder
  for (const TRebuildStep& step : plan.Steps)
    targets[PathFolder(step.Target)].insert(PathFileName(step.Target));
  for (const auto& [folder, names] : targets) {
    try {
      for (const TListedEntry& entry : CurrentFileSystem().List(folder.empty() ? "." : folder))
        if (!entry.IsFolder && IsLeftTemporary(entry.Name, names)) RemoveFile(folder + entry.Name);
    } catch (const IoError&) {
      // Untidy, but nothing is lost: the next run tries again.
    }
  }
}

// Each archive is listed once: its members by name (as libarchive gives
// them) with their sizes.
std::map<std::string, uint64_t> ListInto(const std::string& path, TArchiveListing& listing) {
  std::map<std::string, uint64_t> sizes;
  try {
    TArchiveCursor cursor(path);
    listing.Volumes = cursor.Volumes();
    std::string name;
    uint64_t size = 0;
    while (cursor.NextFile(name, size)) {
      listing.Members.push_back(name);
      sizes[SlashedMemberName(name)] = size;
    }
  } catch (const Error& error) {
    listing.Error = error.what();
  }
  return sizes;
}

}  // namespace

void ProbeSources(TRebuildPlan& plan) {
  std::map<std::string, std::map<std::string, uint64_t>> sizes;
  for (TRebuildStep& step : plan.Steps) {
    if (step.Source.Member.empty()) {
      step.SourceBytes = CurrentFileSystem().Stat(step.Source.Path).Size;
      continue;
    }
    auto listed = sizes.find(step.Source.Path);
    if (listed == sizes.end()) {
      TArchiveListing& listing = plan.Archives[step.Source.Path];
      listed = sizes.emplace(step.Source.Path, ListInto(step.Source.Path, listing)).first;
    }
    const auto member = listed->second.find(SlashedMemberName(step.Source.Member));
    step.SourceBytes = member == listed->second.end() ? 0 : member->second;
  }
}

void CheckFreeSpace(const TRebuildPlan& plan) {
  uint64_t needed = 0;
  for (const TRebuildStep& step : plan.Steps) {
    if (Exists(step.Target)) continue;
    needed += BytesToWrite(plan, step) + (plan.Options.Zip ? kZipOverhead : 0);
  }
  if (needed == 0) return;
  const std::string folder = ExistingFolder(plan.Output);
  const uint64_t free = FreeBytes(folder);
  if (needed <= free) return;
  throw Error("not enough free space in \"" + folder + "\": the rebuild needs " +
              std::to_string(needed) + " bytes, " + std::to_string(free) + " are free");
}

TRebuildReport RunRebuild(const TRebuildPlan& plan, const TRebuildCallbacks& callbacks) {
  CreateFolders(plan.Output);
  RemoveLeftTemporaries(plan);
  TRebuildReport report;
  TSourceLedger ledger(plan);
  TUnsyncedFolders unsynced;
  TCommitBatch batch(plan, callbacks, unsynced, report, ledger);
  const bool move = plan.Options.Action == TRebuildAction::Move;
  for (size_t position = 0; position < plan.Steps.size(); ++position) {
    const TRebuildStep& step = plan.Steps[position];
    if (callbacks.Cancel && callbacks.Cancel->load()) report.Cancelled = true;
    if (report.Cancelled) {
      report.Steps.push_back({TStepState::Skipped, "cancelled"});
      if (move) ledger.Done(step, false, report);
      continue;
    }
    if (callbacks.StepStarted) callbacks.StepStarted(position, plan.Steps.size(), step);
    if (callbacks.Pump) callbacks.Pump();
    // A step whose target waits in the batch gets its outcome there.
    report.Steps.push_back({TStepState::Written, ""});
    std::optional<TStepOutcome> outcome;
    try {
      outcome = DoStep(plan, position, callbacks, unsynced, batch);
    } catch (const TRebuildCancelled&) {
      report.Cancelled = true;
      outcome = {TStepState::Skipped, "cancelled"};
    }
    if (!outcome) continue;
    const bool inPlace = outcome->State == TStepState::Written || outcome->State == TStepState::Present;
    report.Steps.back() = *outcome;
    if (move) ledger.Done(step, inPlace, report);
  }
  // What was written before a cancel is complete: it goes in place too.
  batch.Commit();
  SyncWrittenFolders(plan, unsynced, report);
  return report;
}

}  // namespace vexmoor
