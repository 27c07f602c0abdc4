// What `vexmoor rebuild` prints: the plan (a dry run), each step's outcome
// and the summary, as tab-separated text lines or as one JSON object.
#pragma once

#include <string>

#include "rebuild/RebuildPlan.h"
#include "rebuild/RebuildRun.h"

namespace vexmoor::cli {

// One line per step: the action, the source (an archive member as
// ARCHIVE\MEMBER), "->", the target, then the notes ("trimmed",
// "trimmed, padded", the dat's name when it was made safe), tab-separated.
std::string PlanText(const TRebuildPlan& plan);

// One line per step: "written", "present", "skipped" or "failed", the
// target and the reason; then "removed PATH" and "kept PATH REASON" for a
// move's sources; then the counts " Written : N", " Already present : N",
// " Skipped : N" and " Failed : N".
std::string ReportText(const TRebuildPlan& plan, const TRebuildReport& report);

// The plan, and with `report` the outcomes, as one JSON object (UTF-8, one
// line, newline at the end).
std::string RebuildJson(const TRebuildPlan& plan, const TRebuildReport* report);

}  // namespace vexmoor::cli
