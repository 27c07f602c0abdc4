// The scan: walks a folder tree breadth first and marks the catalogue
// entries whose CRC-32 a loose dump or an archive member carries, then runs
// the end pass. With MatchTrimmed on, a dump or member that matches no entry
// and may be a trimmed image (scan/TrimmedImage; a member only when its
// stored name matches the dat mask) marks the entries of the full images it
// may have been cut from, with Trimmed set. It knows no window: the caller
// sees it through callbacks and stops it through the cancel flag.
//
// Where the dat gives an entry a strong checksum (MD5, SHA-1, SHA-256), a
// loose dump its CRC and size take for it is summed by the strongest in the
// same read (scan/VerifyPlan), and marks it only when that sum is the dat's
// too; the entry's VerifiedBy says so. A dump whose sum differs marks
// nothing and is listed in the outcome's Mismatches. Archive members are
// summed only with SetVerifyArchives: else they mark by CRC and size, with
// VerifiedBy 0.
//
// Run() runs on the caller's thread and returns when the scan is over: the
// list is rebuilt (ListRebuilt), the walk sets entries' Status and
// StatusText in the catalogue but changes no row, and the end pass writes
// every row's Status text, FoundCount, the cache table and, with
// CacheResults on, the cache file (StatusTextsWritten); panels 0 and 1 then
// show FoundCount and the missing entries by CountByStatus. The cancel flag
// stops the walk after the current path (the end pass still runs); after
// Run() it is set either way, so a window reads the outcome's Cancelled.
// While Run() runs, state.ScanRunning is set and a second Run() or a load
// throws Error. A throw (a loose dump that cannot be read, a failed
// allocation, a callback's exception; never a damaged archive) ends the scan
// at once: the statuses set so far stay, the Status texts, FoundCount, the
// cache table and file are untouched, ScanRunning is cleared and the workers
// joined. docs/scan.md tells each step in order, with the panels and
// callbacks a window sees.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/ChecksumMismatch.h"
#include "scan/FolderReport.h"
#include "scan/ScanPipeline.h"
#include "scan/VerifyPlan.h"
#include "scan/WorkItem.h"
#include "scan/store/ChecksumSession.h"

namespace vexmoor {

struct TScanCallbacks {
  // Status bar panel `panel` (0, 1 or 2) shows `text`.
  std::function<void(int panel, const std::string& text)> SetPanelText;
  // Handles pending events: called once per work-list path, after its path
  // is shown, and once per folder entry while a folder is listed. Setting
  // the cancel flag here stops the scan after the current path.
  std::function<void()> ProcessMessages;
  // Handles pending events while the walk waits for a worker: at least
  // every kPumpSlice (20 ms) until the path's result is there. A window sets
  // it to the same function as ProcessMessages; with it set, the walk's
  // thread checksums nothing itself (with one worker or none configured,
  // one worker does the examining), so the window stays responsive even
  // while one large dump is summed or a slow disk is read. Unset, the walk
  // waits without pumping, and the pumps are exactly those above.
  std::function<void()> ProcessMessagesWhileWaiting;
  // Handles pending events between the steps of the loops over every entry
  // or every stored checksum: the list rebuild and the end pass (every
  // kRowsBetweenPumps rows), the checksum store's rows loaded and let go of
  // (every kChecksumRowsBetweenPumps), so a large dat or collection does
  // not freeze the window at the start or the end of a scan. A window sets
  // it to the same function as ProcessMessages. Unset, each loop runs in
  // one piece.
  std::function<void()> ProcessMessagesBetweenChunks;
  // The list was rebuilt from the catalogue (once, before the walk).
  std::function<void()> ListRebuilt;
  // The end pass wrote the Status text of every row (once, after the walk,
  // also after a cancel and when the cache file could not be written).
  std::function<void()> StatusTextsWritten;
  // After each work-list path: how many paths are done, and how many the
  // walk knows of so far (done plus those waiting in the work list); the
  // second grows as folders are listed. Called often: store, don't draw.
  std::function<void(size_t done, size_t known)> PathsDone;
};

struct TScanOutcome {
  bool Cancelled = false;  // the cancel flag stopped the walk early
  int32_t Matched = 0;     // markings made (an entry matched twice counts 2)
  int32_t Skipped = 0;     // archives that could not be opened or read whole
  // The cache file could not be written (IoError). Everything else of the
  // end pass ran: the results are complete and should be shown; the error
  // is for the caller's error report.
  std::exception_ptr CacheWriteError;
  // What the walk could not look into, in work-list order, one message
  // each naming the path and the reason: folders that could not be listed,
  // paths that could not be examined, archives that could not be opened or
  // read whole (also counted in Skipped; their readable members counted).
  // The walk went on past them; files that vanished meanwhile are not among
  // them.
  std::vector<std::string> Unexamined;
  // Dumps whose CRC-32 and size matched an entry but whose strong checksum
  // did not, in work-list order: the entry was not marked for them.
  std::vector<TChecksumMismatch> Mismatches;
  // What became of every dump the walk examined and of every path it could
  // not examine, in work-list order (archive members in directory order).
  // A dump taken for entries is Matched when it is the location of one of
  // them, else Duplicate (a later copy took the location; a bad dump stays
  // Bad dump); the end pass has not yet changed any location when this is
  // decided. A dump taken for no entry because its strong checksum differs
  // is a Checksum mismatch (also in Mismatches). Complete after a cancel
  // for the paths walked.
  TFolderReport Folder;
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
  // Leaves the list empty.
  std::deque<std::string> TakeAll() { return std::exchange(paths_, {}); }

 private:
  std::deque<std::string> paths_;
};

class TScanEngine {
 public:
  // `state`, `list`, `sort` and `cancelRequested` must outlive the engine.
  TScanEngine(TAuditState& state, TRomList& list, TSortState& sort,
              std::atomic<bool>& cancelRequested, TScanCallbacks callbacks);

  // Runs one complete scan of `folder` as the comment at the top of this
  // file (and, step by step, docs/scan.md) describes. Any failure other
  // than an archive that cannot be opened or read, or a cache file that
  // cannot be written, ends the scan at once and is thrown. Throws Error
  // when a scan of `state` is already running.
  TScanOutcome Run(const std::string& folder);

  // How many workers examine the paths ahead of the walk, and how far ahead
  // (by default one worker per core). The results are the same either way;
  // only the time differs.
  void SetPipeline(const TPipelineLimits& limits) { pipeline_ = limits; }
  const TPipelineLimits& Pipeline() const { return pipeline_; }

  // The checksum store the scans consult before reading a loose dump, or
  // none (every file is read, nothing is written). With `rehash` every file
  // is read and its row written afresh. `store` must outlive the scans.
  void SetChecksumStore(TChecksumStore* store, bool rehash = false) {
    store_ = store;
    rehash_ = rehash;
  }

  // The counters of the running (or last) scan.
  int32_t Matched() const { return outcome_.Matched; }
  int32_t Skipped() const { return outcome_.Skipped; }

  // Applies one examined work-list path to the catalogue and, when given,
  // the work list (a look-ahead that holds the work list adds a folder's
  // entries itself), in the order the walk takes the paths.
  void Apply(const std::string& path, TExamined& examined, TWorkList* work);

 private:
  void Start();
  void Walk(const std::string& folder);
  void ApplyFolder(const std::string& path, const TExamined& examined, TWorkList& work);
  void ApplyLooseDump(const std::string& path, const TExamined& examined);
  void RememberChecksum(const std::string& path, const TExamined& examined);
  void ApplyArchive(const std::string& path, const TExamined& examined);
  // Calls `mark(item, size)` for every entry whose CRC is `crc` and whose
  // Size, where the dat gives one, is `size`; true when a call returned true
  // (marked the entry).
  template <typename Mark>
  bool ForEachEntryWithCrc(uint32_t crc, uint64_t size, Mark mark);
  // How strongly a dump with `sums` (those of the image of the entry's
  // size; nullptr when none were summed) proves `item`: by the dat's
  // strongest checksum when the dump's is equal, 0 (CRC and size) when the
  // dat gives none or nothing was summed. Nothing when the sums differ:
  // `dump` is then listed among the mismatches with the entry and kind.
  std::optional<uint8_t> Verify(const TRomItem& item, const std::vector<TImageDigests>& sums,
                                uint64_t imageSize, TChecksumMismatch dump);
  // Marks every entry whose CRC is that of a full image the dump with `crc`
  // and `size` may have been trimmed from.
  template <typename Mark>
  void ForEachEntryOfTrimmed(uint32_t crc, uint64_t size, Mark mark);
  // Catalogue position of the first entry whose CRC is `crc`, whatever its
  // size, or kNoEntry.
  uint32_t FirstEntryWithCrc(uint32_t crc) const;
  // A dump no entry was taken for: Checksum mismatch when Mismatches grew
  // past `mismatchesBefore` for it (a bad dump stays Bad dump, with that
  // entry), else Wrong size when an entry has its CRC, else Unknown (a bad
  // dump stays Bad dump, with no entry).
  void RecordUnmatched(TDumpRecord& record, size_t mismatchesBefore);
  // The catalogue position of `item`, an entry of the catalogue.
  uint32_t Position(const TRomItem& item) const;
  // Turns each matched record whose entries all name another copy into a
  // Duplicate (before the end pass).
  void SortOutCopies();
  void Finish();
  void SetPanel(int panel, const std::string& text);
  void Pump();
  static void Notify(const std::function<void()>& callback);

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
  // Where in byCrc_ the CRCs of each value of their top kCrcIndexBits bits
  // begin (one more at the end): a search looks among a few pairs, and a
  // CRC nobody has (most of a collection's files against a small dat)
  // mostly meets an empty range.
  static constexpr int kCrcIndexBits = 12;
  std::vector<uint32_t> crcIndex_;
  // The first pair of `crc` in byCrc_, or where it would be.
  std::vector<std::pair<uint32_t, size_t>>::const_iterator FirstPairWithCrc(uint32_t crc) const;
  // MatchTrimmed as the scan began: the option may be toggled while the
  // scan pumps events, and takes effect with the next scan.
  bool matchTrimmed_ = false;
  // With MatchTrimmed: one bit for each value of the high 16 bits of the
  // entries' CRCs. A trimmed dump gives up to 13 full-image CRCs, nearly
  // all of them nobody's; most are ruled out here without a search.
  static constexpr size_t kCrcHalves = size_t{1} << 16;
  std::vector<uint64_t> crcHighHalves_;
  // Folders already walked, so a link back into the tree ends there.
  TWalkedFolders walkedFolders_;
  TPipelineLimits pipeline_;
  // The strong checksums this scan sums, made from the catalogue at Start.
  TVerifyPlan plan_;
  TChecksumStore* store_ = nullptr;
  bool rehash_ = false;
  TChecksumSession* session_ = nullptr;  // while a walk with a store runs
};

}  // namespace vexmoor
