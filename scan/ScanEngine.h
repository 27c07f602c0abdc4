// The scan: walks a folder tree breadth first and marks the catalogue
// entries whose CRC-32 a loose dump or an archive member carries, then runs
// the end pass. It knows no window: the caller sees it through callbacks
// (status bar texts, a pump for pending events) and stops it through the
// cancel flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/AuditState.h"
#include "catalogue/RomList.h"
#include "scan/ScanPipeline.h"
#include "scan/WorkItem.h"

namespace vexmoor {

struct TScanCallbacks {
  // Status bar panel `panel` (0, 1 or 2) shows `text`.
  std::function<void(int panel, const std::string& text)> SetPanelText;
  // Handles pending events: called once per work-list path, after its path
  // is shown, and once per folder entry while a folder is listed. Setting
  // the cancel flag here stops the scan after the current path.
  std::function<void()> ProcessMessages;
};

struct TScanOutcome {
  bool Cancelled = false;  // the cancel flag stopped the walk early
  int32_t Matched = 0;     // markings made (an entry matched twice counts 2)
  int32_t Skipped = 0;     // archives that could not be opened
};

// The breadth-first work list: folders end with the separator.
class TWorkList {
 public:
  explicit TWorkList(std::string first) { paths_.push_back(std::move(first)); }
  bool Empty() const { return paths_.empty(); }
  const std::string& Front() const { return paths_.front(); }
  void PopFront() { paths_.pop_front(); }
  void Append(std::string path) { paths_.push_back(std::move(path)); }
  const std::deque<std::string>& Paths() const { return paths_; }

 private:
  std::deque<std::string> paths_;
};

class TScanEngine {
 public:
  // `state`, `list`, `sort` and `cancelRequested` must outlive the engine.
  TScanEngine(TAuditState& state, TRomList& list, TSortState& sort,
              std::atomic<bool>& cancelRequested, TScanCallbacks callbacks);

  // Runs one complete scan of `folder`: rebuilds the list (FillList), walks
  // the tree, runs the end pass (also after a cancel) and shows " Found : ",
  // " Missing : " and " Scanning complete.". Any failure other than an
  // archive that cannot be opened ends the scan at once and is thrown: the
  // statuses set so far stay, and neither the end pass nor the cache write
  // runs. Throws Error when a scan of `state` is already running.
  TScanOutcome Run(const std::string& folder);

  // How many workers examine the paths ahead of the walk, and how far ahead
  // (by default one worker per core). The results are the same either way;
  // only the time differs.
  void SetPipeline(const TPipelineLimits& limits) { pipeline_ = limits; }
  const TPipelineLimits& Pipeline() const { return pipeline_; }

  // The counters of the running (or last) scan.
  int32_t Matched() const { return outcome_.Matched; }
  int32_t Skipped() const { return outcome_.Skipped; }

  // Applies one examined work-list path to the catalogue and the work list,
  // in the order the walk takes the paths. Public for the pipelined walk.
  void Apply(const std::string& path, TExamined& examined, TWorkList& work);

 private:
  void Start();
  void Walk(const std::string& folder);
  void ApplyFolder(const std::string& path, const TExamined& examined, TWorkList& work);
  void ApplyLooseDump(const std::string& path, const TExamined& examined);
  void ApplyArchive(const std::string& path, const TExamined& examined);
  template <typename Mark>
  void ForEachEntryWithCrc(uint32_t crc, Mark mark);
  void Finish();
  void SetPanel(int panel, const std::string& text);
  void Pump();

  TAuditState& state_;
  TRomList& list_;
  TSortState& sort_;
  std::atomic<bool>& cancelRequested_;
  TScanCallbacks callbacks_;
  TScanMasks masks_;
  TScanOutcome outcome_;
  // (CRC, catalogue position) pairs sorted by CRC, positions ascending
  // within one CRC: the catalogue does not change while a scan runs, so one
  // index serves the whole scan. One sorted array builds in a fraction of
  // the time a map of lists takes for a large dat.
  std::vector<std::pair<uint32_t, size_t>> byCrc_;
  // Folders already walked, so a link back into the tree ends there.
  TWalkedFolders walkedFolders_;
  TPipelineLimits pipeline_;
};

}  // namespace vexmoor
