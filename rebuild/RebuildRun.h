// Carrying out a rebuild plan without ever losing a file:
// - every target is written to a temporary beside it, flushed and renamed
//   into place; a failure (a full disk, a read error, a source that no
//   longer matches) removes the temporary and leaves the target missing;
// - a file already at a target is never replaced: when it holds the
//   release (read and checked) the step counts as present, otherwise it is
//   skipped as a clash;
// - a move removes a source only once every target taken from it is in
//   place, its folder synced, and read back with the CRC and size written;
//   an archive is removed only when every file in it went to a target;
// - a run killed at any point and started again (after a new scan) finds
//   the finished targets present, removes the sources a move had not yet
//   removed, removes the temporaries the killed run left beside the
//   targets (TARGET.vexmoor-XXXXXX) whatever their age, and writes the rest.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rebuild/DumpCheck.h"
#include "rebuild/RebuildPlan.h"

namespace vexmoor {

enum class TStepState { Written, Present, Skipped, Failed };

struct TStepOutcome {
  TStepState State = TStepState::Skipped;
  std::string Reason;  // why skipped or failed; empty otherwise
};

struct TKeptSource {
  std::string Path;
  std::string Reason;
};

struct TRebuildReport {
  std::vector<TStepOutcome> Steps;  // one per plan step, in its order
  std::vector<std::string> RemovedSources;
  std::vector<TKeptSource> KeptSources;  // a move's sources left in place
  uint64_t BytesWritten = 0;
  bool Cancelled = false;
};

struct TRebuildCallbacks {
  // Called before step `position` of `count` begins.
  std::function<void(size_t position, size_t count, const TRebuildStep& step)> StepStarted;
  // Set from another thread or a callback to stop after the current block;
  // the step under way leaves no target behind.
  const std::atomic<bool>* Cancel = nullptr;
  // Called between two blocks of every read and write (kRebuildBlockBytes
  // apart) and between steps: a window pumps its events here, so it stays
  // responsive and its Cancel can set the flag.
  TBlockPump Pump;
};

// Looks at each source: a loose file's size, an archive's members (the
// plan's Archives) and the size of each member used. A source that cannot
// be looked at keeps SourceBytes 0; the run then reports it.
void ProbeSources(TRebuildPlan& plan);

// Throws Error naming the bytes needed and free when the targets still
// missing would not fit on the output's disk. Touches nothing.
void CheckFreeSpace(const TRebuildPlan& plan);

// Carries out `plan` as described above; every step gets an outcome, one
// step's failure does not stop the others. Throws IoError only when the
// output folder cannot be created.
TRebuildReport RunRebuild(const TRebuildPlan& plan, const TRebuildCallbacks& callbacks = {});

}  // namespace vexmoor
