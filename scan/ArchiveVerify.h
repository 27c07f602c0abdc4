// The verification of archive members: each member whose CRC-32 and size
// the plan (scan/VerifyPlan) needs strong checksums for is unpacked through
// libarchive in a stream (scan/archive/ArchiveCursor), one block at a time,
// never to disk, and summed.
#pragma once

#include <atomic>
#include <string>

#include "scan/WorkItem.h"

namespace vexmoor {

class TVerifyPlan;

// Fills `result.MemberDigests` for the members of `result.Members` (the
// directory of the archive at `path`) the plan needs sums of. A member that
// cannot be unpacked (encrypted, a method libarchive lacks, damage), that
// libarchive does not list, or that unpacks to other bytes than its
// directory's size and CRC-32 say, is named in `result.Unexamined` (the
// first such problem, when that is still empty) and gets no sums (or the
// sums of what it unpacked to). Never throws but std::bad_alloc. With
// `abandon` set, stops at the next block: the result is then incomplete.
void VerifyArchiveMembers(const std::string& path, const TVerifyPlan& plan, TExamined& result,
                          const std::atomic<bool>* abandon = nullptr);

}  // namespace vexmoor
