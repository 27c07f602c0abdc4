// One target of a rebuild put in place: a copy (loose or zipped) through a
// temporary beside it, or a link. Used by RunRebuild.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/File.h"
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

// A copy's bytes in the temporary beside its target, checked to be the
// release, not yet in place. Destroying it removes the temporary.
struct TWrittenTarget {
  // The target is missing, and a link put there meanwhile counts as taken
  // (TPendingFile::CommitNew): there is no link to follow.
  explicit TWrittenTarget(const std::string& target) : File(target, TPendingFile::TLinks::Replace) {}
  TPendingFile File;
  TDumpSum Sum;  // what was written (for a zip: of its member)
};

// Copies the step's source into a temporary beside its target as `plan`
// says (loose or zipped, padded or not), the disk already asked to write it
// (TPendingFile::StartFlush). Throws TStepRefused when the source's bytes
// are not the release, IoError or FormatError when a read or write fails,
// TRebuildCancelled; no temporary is left then. `pump` runs between
// blocks, before the cancel flag is read.
std::unique_ptr<TWrittenTarget> WriteTemporary(const TRebuildPlan& plan, const TRebuildStep& step,
                                               const std::atomic<bool>* cancel, const TBlockPump& pump = {});

// Puts a written target in place: its bytes synced (if TPendingFile::Flush
// has not already), then renamed to its target only while nothing is there.
// Syncing its folder, which makes the rename itself durable, is the
// caller's. Throws TStepRefused when a file appeared at the target (it is
// kept), IoError when the sync or the rename fails; the target is then
// untouched and the temporary gone.
void PutInPlace(TWrittenTarget& written);

// Links the target to the step's loose source (hard or symbolic as the
// plan says). Throws TStepRefused for a source that cannot be linked
// (inside an archive, trimmed and to be padded), IoError when the system
// refuses (another disk, a name in the way). The folder is not synced.
void LinkTarget(const TRebuildPlan& plan, const TRebuildStep& step);

}  // namespace vexmoor
