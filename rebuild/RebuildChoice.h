// What a rebuild can offer before it is asked for, whether a choice of
// output and options can run, and what it says when it is over: the
// decisions the window's rebuild dialog and its summary show.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "catalogue/RomItem.h"
#include "rebuild/RebuildPlan.h"
#include "rebuild/RebuildRun.h"

namespace vexmoor {

struct TLoadedDat;

// What the last scan left to rebuild.
struct TRebuildOffer {
  size_t Releases = 0;  // found at a known place: the plan's steps
  size_t Loose = 0;     // of them, loose dumps (the only ones a link takes)
  size_t Trimmed = 0;   // of them, trimmed dumps (what padding changes)
  size_t Cached = 0;    // found only in the cache file: no place known
  // The actions worth offering, in this order: copy and move always, the
  // links only when some dump is loose.
  std::vector<TRebuildAction> Actions;
};
TRebuildOffer RebuildOfferFor(const TCatalogue& catalogue);

// One line for the dialog: "12 releases found: 9 loose, 3 in archives, 2
// trimmed." and, when some were found only in the cache file, a second
// line saying they are left out and how to include them.
std::string RebuildOfferText(const TRebuildOffer& offer);

// A link is the loose file itself: it can be neither zipped nor padded.
bool ZipAllowed(TRebuildAction action);
bool PadAllowed(TRebuildAction action);

// Why `output` and `options` cannot run, or "" when they can.
std::string RebuildChoiceProblem(const std::string& output, const TRebuildOptions& options);

// The plan for the loaded dat's last scan: targets named as the dat names
// them (its EXT where it names no rom file).
TRebuildPlan PlanRebuild(const TLoadedDat& dat, const std::string& output, const TRebuildOptions& options);

struct TRebuildCounts {
  size_t Written = 0;
  size_t Present = 0;
  size_t Skipped = 0;
  size_t Failed = 0;
};
TRebuildCounts CountOutcomes(const TRebuildReport& report);
// " Written : N", " Already present : N", " Skipped : N", " Failed : N",
// each on a line of its own.
std::string RebuildCountLines(const TRebuildCounts& counts);

// The counts as the status bar shows them: " Rebuilt: 3 written, 1
// already present, 2 skipped, 0 failed." (" Rebuild cancelled: ..." when
// it was).
std::string RebuildStatusText(const TRebuildReport& report);

// The summary at the end: the counts (" Written : N", " Already present :
// N", " Skipped : N", " Failed : N"), then each skipped and failed release
// with its reason (at most `listed` of them, then how many more), then a
// move's removed and kept sources. The text is UTF-8: each name, reason and
// path is turned on its own (a dat's name is Windows-1252, a path the file
// system's bytes), so one of them cannot change how another reads.
std::string RebuildSummaryText(const TRebuildPlan& plan, const TRebuildReport& report, size_t listed = 20);

// After a move, where each release lies now: an entry whose target is in
// place (written, or there already) takes the target as its place, as the
// scan would have recorded it (a zip target: the zip, '\\' and its member;
// trimmed only when an unpadded trimmed dump was moved), so the list shows
// it there and a rebuild started again reads from there. A release that
// was not put in place keeps the place the scan saw: its source is kept. A
// copy or a link leaves every source where it was, so nothing changes then.
// Returns the entries changed (by catalogue position).
std::vector<size_t> TakeMovedPlaces(TCatalogue& catalogue, const TRebuildPlan& plan,
                                    const TRebuildReport& report);

}  // namespace vexmoor
