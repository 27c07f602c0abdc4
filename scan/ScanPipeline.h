// The look-ahead of a pipelined scan. While the walk applies one work-list
// path after another on its own thread, a bounded pool of workers examines
// the paths that lie ahead (ExamineWorkItem: listing folders, checksumming
// loose dumps, reading archive directories). The walk takes each result in
// work-list order, so what it applies is what it would have examined itself.
//
// The work list only grows when a folder is applied. To look further ahead
// than the list reaches, the look-ahead keeps its own copy of the list and
// extends it from the folder listings its workers finish, using the same
// rules, in the same order, as the walk: the entries a folder adds, and a
// folder reached again through a link adding nothing. Should a path turn out
// different from what the copy assumed (a file that became a folder between
// listing and examining), the copy is rebuilt from the real work list.
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
  // Starts the workers. `masks` is copied; the workers read only the file
  // system and `sums`, which must outlive the look-ahead when given.
  TLookAhead(const TScanMasks& masks, const TPipelineLimits& limits,
             const TChecksumSession* sums = nullptr);
  // Discards the work in flight and joins the workers: a loose dump being
  // checksummed is given up at the next block; a folder listing or an
  // archive directory being read is finished first.
  ~TLookAhead();
  TLookAhead(const TLookAhead&) = delete;
  TLookAhead& operator=(const TLookAhead&) = delete;

  // The examined result of `work.front()`. `work` is the walk's work list
  // and `walked` the folders it has listed so far.
  // Without `pump`, waits for a worker's result, or examines the path on
  // this thread when no worker has begun it yet. With `pump`, this thread
  // examines nothing while a worker runs: it waits in slices of at most
  // kPumpSlice and calls `pump` between them, so the caller's events are
  // handled even while one large dump is summed or a slow disk is read,
  // and every kEntriesBetweenPumps entries of a large folder's listing.
  // Without `pump`, only what pays goes to the workers: folder listings
  // (they feed the look-ahead) and loose dumps of kWorkerMinBytes or more
  // (after a run of small ones only a sample is measured); idle workers
  // also help with the stripes of a large dump this thread reads. A row the checksum store
  // recalls, a smaller dump and an archive's directory cost less than the
  // hand-over and are examined on this thread when their turn comes.
  // An exception from `pump` leaves the look-ahead fit only for destruction.
  TExamined Take(const std::deque<std::string>& work, const TWalkedFolders& walked,
                 const std::function<void()>& pump = {});

  // Threads actually running (creating one may fail).
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
  // A path of the copy of the work list; its job exists once handed to the
  // workers (what the walk examines itself has none).
  struct TAhead {
    std::string Path;
    TJobPtr Job;
    uint64_t Bytes = 0;   // known once Sized, 0 unless it goes to a worker
    bool Worker = false;  // known once Sized
    bool Sized = false;
  };

  void AbandonAll();
  // The front's result handed to the walk: its entries join the copy, and
  // the front leaves it.
  TExamined TakeFront(TExamined result, const std::string& path, const std::function<void()>& pump);
  void Rebuild(const std::deque<std::string>& work, const TWalkedFolders& walked);
  // Adds the entries of the folders done to the copy of the work list,
  // calling `pump` (when set) every kEntriesBetweenPumps entries.
  void Expand(const std::function<void()>& pump = {});
  // Hands out the paths ahead up to the limits. Sizing a path is a stat on
  // this thread, which a slow or cold disk can hold up: `pump` (when set)
  // runs whenever kPumpSlice has passed since the last one.
  void Submit(const std::function<void()>& pump = {});
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
  std::deque<TAhead> ahead_;    // the work list as the walk will take it
  size_t expanded_ = 0;         // ahead_[0, expanded_) added their entries
  size_t submitted_ = 0;        // ahead_[0, submitted_) were handed out
  uint64_t bytesInFlight_ = 0;  // file sizes of ahead_[0, submitted_)
  TWalkedFolders walked_;       // folders listed by the walk or added above
  bool stale_ = true;           // ahead_ must be rebuilt from the work list
  bool pumping_ = false;        // Take is given a pump: every path goes to a worker
  size_t smallRun_ = 0;         // loose dumps measured small in a row
  size_t unmeasured_ = 0;       // counts the dumps of such a run

  // Shared with the workers.
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable jobDone_;
  std::deque<TJobPtr> queue_;  // handed out, not yet begun, in list order
  bool stop_ = false;
  // Idle workers help with the stripes of a large dump being summed.
  TStripeHelpers helpers_;
  std::vector<std::thread> workers_;
};

}  // namespace vexmoor
