// The look-ahead of a pipelined scan. While the walk applies one work-list
// path after another on its own thread, a bounded pool of workers examines
// the paths that lie ahead (ExamineWorkItem: listing folders, checksumming
// large loose dumps). The walk takes each result in work-list order, so what
// it applies is what it would have examined itself.
//
// The look-ahead holds the work list, one list for the walk and for itself:
// to look further ahead than the walk's list reaches, it extends the list
// from the folder listings its workers finish, in list order, using the
// walk's rules (the entries a folder adds, a folder reached again through a
// link adding nothing). The walk's part of the list is where its End is
// counted. Should a path turn out different from what the list assumed (a
// file that became a folder between listing and examining), the entries
// added ahead of the walk leave the list and are added again behind the
// folder's.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FileStamp.h"
#include "scan/StripedChecksum.h"
#include "scan/WorkItem.h"

namespace vexmoor {

// How far a pipelined scan looks ahead.
struct TPipelineLimits {
  // Threads that examine paths ahead of the walk; 0 or 1 is the plain walk,
  // which examines each path itself when its turn comes.
  unsigned Workers = 1;
  // Paths handed out and not yet taken by the walk, at most.
  size_t MaxFiles = 64;
  // Sum of the file sizes of those paths, at most; a single larger file
  // still goes, alone.
  uint64_t MaxBytes = uint64_t{1} << 30;
  // A loose dump of at least two stripes is summed in stripes of this size,
  // which workers with nothing ahead to begin help with.
  uint64_t StripeBytes = kChecksumStripeBytes;
};

// Below this size a loose dump is read by the walk's thread when it calls
// no pump: handing it to a worker and taking the result back costs more
// than the read.
inline constexpr uint64_t kWorkerMinBytes = uint64_t{1} << 20;
// Once this many loose dumps in a row measured smaller, the look-ahead
// measures only one in kSmallRunSample until a large one turns up.
inline constexpr size_t kSmallRunLength = 16;
inline constexpr size_t kSmallRunSample = 64;

// The longest the walk's thread waits for a worker without calling its pump.
inline constexpr std::chrono::milliseconds kPumpSlice{20};
// While a listed folder's entries join the look-ahead's copy of the work
// list, the pump runs after every this many entries.
inline constexpr size_t kEntriesBetweenPumps = 1024;

// The number of processor cores, at least 1.
unsigned DefaultScanWorkers();

// Folders the walk has listed, by identity.
using TWalkedFolders = std::set<std::pair<uint64_t, uint64_t>>;

class TLookAhead {
 public:
  // `masks` is copied; the workers read only the file system and `sums`,
  // which must outlive the look-ahead when given. The workers start when
  // the first path is handed to them or the first stripes are offered:
  // until then the look-ahead costs no thread.
  TLookAhead(const TScanMasks& masks, const TPipelineLimits& limits,
             const TChecksumSession* sums = nullptr);
  // Discards the work in flight and joins the workers: a loose dump being
  // checksummed is given up at the next block; a folder listing or an
  // archive directory being read is finished first.
  ~TLookAhead();
  TLookAhead(const TLookAhead&) = delete;
  TLookAhead& operator=(const TLookAhead&) = delete;

  // The look-ahead holds the walk's work list: the walk takes its paths in
  // order, and the entries of a folder join the list when the look-ahead
  // expands it, which it does in list order, before the walk takes anything
  // behind that folder. So the list is built once, for both.
  // Appends `path` to the work list the walk begins with (before its first
  // Take).
  void Append(std::string path);
  // Takes over the work list of a walk that ran without the look-ahead so
  // far (before the first Take): `paths` are those waiting, and `walked` the
  // folders whose entries the walk added.
  void Adopt(std::deque<std::string> paths, const TWalkedFolders& walked);
  // Whether `path`, a path of a walk that runs without the look-ahead, is
  // worth the workers: a loose dump of kWorkerMinBytes or more that the
  // checksum store does not know, measured as Take measures (after a run of
  // paths that are not, only a sample). A folder is not: a walk of small
  // files lists its folders more cheaply than it hands them over.
  bool PaysTheWorkers(const std::string& path);
  // Lend idle workers to the stripes of a large dump summed on the walk's
  // thread (the workers start when the first stripes are offered).
  TStripeHelpers& Helpers() { return helpers_; }
  // Whether the work list holds no path; the path the walk takes next.
  bool Empty() const { return ahead_.empty(); }
  const std::string& Front() const { return ahead_.front().Path; }
  // The paths the walk knows of and has not taken: those of the work list
  // it began with and those the folders it took added (not the entries of
  // folders listed ahead of it).
  size_t Waiting() const { return walkEnd_ - taken_; }

  struct TTaken {
    std::string Path;
    TExamined Examined;
    // A folder whose entries joined the work list (not one reached again).
    bool Listed = false;
  };
  // Takes the front of the work list with its examined result; a folder's
  // entries have then joined the list, as the walk adds them: behind
  // everything waiting, a folder reached again through a link adding
  // nothing.
  // Without `pump`, waits for a worker's result, or examines the path on
  // this thread when no worker has begun it yet. With `pump`, this thread
  // examines nothing while a worker runs: it waits in slices of at most
  // kPumpSlice and calls `pump` between them, so the caller's events are
  // handled even while one large dump is summed or a slow disk is read,
  // and every kEntriesBetweenPumps entries of a large folder's listing.
  // Without `pump`, only what pays goes to the workers: folder listings
  // (they feed the look-ahead) and loose dumps of kWorkerMinBytes or more
  // that the checksum store does not know (after a run of paths that do
  // not pay, only a sample is measured); idle workers also help with the
  // stripes of a large dump this thread reads. A row the checksum store
  // recalls, a smaller dump and an archive's directory cost less than the
  // hand-over and are examined on this thread when their turn comes.
  // An exception from `pump` leaves the look-ahead fit only for destruction.
  TTaken Take(const std::function<void()>& pump = {});

  // Threads actually running (creating one may fail; none before the first
  // work for them).
  size_t WorkerCount() const { return workers_.size(); }

 private:
  enum class TState { Queued, Running, Done };
  struct TJob {
    explicit TJob(std::string path) : Path(std::move(path)) {}
    const std::string Path;
    TState State = TState::Queued;       // guarded by mutex_
    TExamined Result;                    // the worker's until State is Done
    std::atomic<bool> Abandoned{false};  // stop examining: nobody will take it
  };
  using TJobPtr = std::shared_ptr<TJob>;
  // A path of the work list; its job exists once handed to the workers
  // (what the walk examines itself has none).
  struct TAhead {
    std::string Path;
    TJobPtr Job;
    uint64_t Bytes = 0;   // known once Sized, 0 unless it goes to a worker
    size_t End = 0;       // once expanded: the list's length then, counted from its start
    bool Worker = false;  // known once Sized
    bool Sized = false;
  };

  void AbandonAll();
  // Abandons every job and hands the paths out afresh.
  void Resubmit();
  // The front, expanded, has its path and result in `taken`: it leaves the
  // list.
  void TakeFront(TTaken& taken, const std::function<void()>& pump);
  // The front, listed as a file, turned out to be a folder: the entries of
  // the folders expanded ahead of the walk leave the list, and the
  // folder's own join it as the walk would add them.
  void FrontTurnedFolder(const std::string& path, const TExamined& folder,
                         const std::function<void()>& pump);
  // Adds the entries of the folders done to the work list, in list order,
  // calling `pump` (when set) every kEntriesBetweenPumps entries.
  void Expand(const std::function<void()>& pump = {});
  // Adds a listed folder's entries unless a folder of its identity was
  // listed before.
  void AddEntries(const std::string& folder, const TExamined& listing, TWalkedFolders& walked,
                  const std::function<void()>& pump, size_t& added);
  // Hands out the paths ahead up to the limits. Sizing a path is a stat on
  // this thread, which a slow or cold disk can hold up: `pump` (when set)
  // runs whenever kPumpSlice has passed since the last one.
  void Submit(const std::function<void()>& pump = {});
  // Starts the workers, once; called on the walk's thread, or by a worker
  // once they run.
  void StartWorkers();
  void WakeWorkers();
  void WorkerLoop();
  void ExamineHere(const TJobPtr& job, std::unique_lock<std::mutex>& lock);
  bool PaysAWorker(const std::string& path, uint64_t& bytes);
  void WaitPumping(std::unique_lock<std::mutex>& lock, const std::function<void()>& pump,
                   std::chrono::steady_clock::time_point& nextPump);

  const TScanMasks masks_;
  const TPipelineLimits limits_;
  const TChecksumSession* const sums_;

  // The walk's side, touched by the walk's thread only.
  std::deque<TAhead> ahead_;    // the work list, the walk's and what lies ahead of it
  size_t expanded_ = 0;         // ahead_[0, expanded_) added their entries
  size_t submitted_ = 0;        // ahead_[0, submitted_) were handed out
  uint64_t bytesInFlight_ = 0;  // file sizes of ahead_[0, submitted_)
  size_t taken_ = 0;            // paths taken by the walk so far
  size_t walkEnd_ = 0;          // the walk's list ends there, counted as End is
  TWalkedFolders walked_;       // folders whose entries joined the list
  TWalkedFolders walkWalked_;   // folders the walk took, listed
  bool pumping_ = false;        // Take is given a pump: every path goes to a worker
  size_t smallRun_ = 0;         // paths in a row that did not pay a worker
  size_t unmeasured_ = 0;       // counts the paths of such a run

  // Shared with the workers.
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable jobDone_;
  std::deque<TJobPtr> queue_;  // handed out, not yet begun, in list order
  bool stop_ = false;
  // Idle workers help with the stripes of a large dump being summed.
  TStripeHelpers helpers_;
  std::vector<std::thread> workers_;  // touched by the walk's thread only
  // Set on the walk's thread before the first worker starts, never after.
  bool started_ = false;
  // Stamps what the walk's thread examines itself (each worker has its own).
  TFolderStamper walkStamper_;
};

}  // namespace vexmoor
