// One target of a rebuild put in place: a copy (loose or zipped) through a
// temporary beside it, or a link. Used by RunRebuild.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "rebuild/DumpCheck.h"
#include "rebuild/RebuildPlan.h"

namespace vexmoor {

// Thrown when the cancel flag stopped a write; the target was not touched.
struct TRebuildCancelled {};

// Thrown when a step cannot be done for a reason that is no I/O failure
// (the source no longer matches, a link of a member); the text says why.
class TStepRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Copies the step's source to its target as `plan` says (loose or zipped,
// padded or not) and returns the CRC and size written (for a zip: of its
// member). The target must be missing; it is in place (its bytes synced
// before the rename) when this returns; syncing its folder, which makes the
// rename itself durable, is the caller's. Throws TStepRefused when the source's bytes are not the
// release, IoError or FormatError when a read or write fails,
// TRebuildCancelled; the target is then still missing. `pump` runs between
// blocks, before the cancel flag is read.
TDumpSum CopyToTarget(const TRebuildPlan& plan, const TRebuildStep& step,
                      const std::atomic<bool>* cancel, const TBlockPump& pump = {});

// Links the target to the step's loose source (hard or symbolic as the
// plan says). Throws TStepRefused for a source that cannot be linked
// (inside an archive, trimmed and to be padded), IoError when the system
// refuses (another disk, a name in the way). The folder is not synced.
void LinkTarget(const TRebuildPlan& plan, const TRebuildStep& step);

}  // namespace vexmoor
