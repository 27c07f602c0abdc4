#include "scan/ScanPipeline.h"

#include <algorithm>
#include <cstddef>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/Folder.h"
#include "scan/store/ChecksumSession.h"

namespace vexmoor {

namespace {

// What a path weighs in the look-ahead: a file its size, a folder nothing.
uint64_t LookAheadBytes(const std::string& path) {
  if (NamesFolder(path)) return 0;
  const TFileStat stat = CurrentFileSystem().Stat(path);
  return stat.Type == TFileType::Regular ? stat.Size : 0;
}

TExamined Examine(const std::string& path, const TScanMasks& masks,
                  const std::atomic<bool>& abandon, TStripeHelpers& helpers,
                  const TChecksumSession* sums, TFolderStamper& stamper) {
  try {
    return ExamineWorkItem(path, masks, &abandon, &helpers, sums, &stamper);
  } catch (...) {  // only a failed allocation gets here
    TExamined failed;
    failed.Error = std::current_exception();
    return failed;
  }
}

}  // namespace

unsigned DefaultScanWorkers() { return std::max(1u, std::thread::hardware_concurrency()); }

TLookAhead::TLookAhead(const TScanMasks& masks, const TPipelineLimits& limits,
                       const TChecksumSession* sums)
    : masks_(masks),
      limits_(limits),
      sums_(sums),
      helpers_(limits.StripeBytes, [this] {
        // Called with a sum offered, which must not unwind: should even the
        // workers' list fail to allocate, the summing thread goes alone.
        try {
          StartWorkers();
        } catch (...) {
        }
        WakeWorkers();
      }) {}

void TLookAhead::StartWorkers() {
  // A worker reads started_ only after it was set: its thread began after.
  if (started_) return;
  started_ = true;
  // More workers than paths in flight would only wait.
  const size_t workers = std::min<size_t>(limits_.Workers, std::max<size_t>(1, limits_.MaxFiles));
  workers_.reserve(workers);
  for (size_t i = 0; i < workers; ++i) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer workers; the walk examines what none has begun
    }
  }
}

void TLookAhead::AbandonAll() {
  for (const TAhead& path : ahead_)
    if (path.Job) path.Job->Abandoned = true;
}

TLookAhead::~TLookAhead() {
  AbandonAll();
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  workReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void TLookAhead::WakeWorkers() {
  { const std::lock_guard lock(mutex_); }  // a worker is waiting or sees the offer
  workReady_.notify_all();
}

void TLookAhead::WorkerLoop() {
  TFolderStamper stamper;
  for (;;) {
    TJobPtr job;
    {
      std::unique_lock lock(mutex_);
      workReady_.wait(lock, [this] { return stop_ || !queue_.empty() || helpers_.HasWork(); });
      if (stop_) return;
      if (!queue_.empty()) {
        job = std::move(queue_.front());
        queue_.pop_front();
        job->State = TState::Running;
      }
    }
    if (!job) {
      // Nothing ahead to begin: a hand with a large dump already begun.
      helpers_.HelpOne();
      continue;
    }
    TExamined result = Examine(job->Path, masks_, job->Abandoned, helpers_, sums_, stamper);
    {
      const std::lock_guard lock(mutex_);
      job->Result = std::move(result);
      job->State = TState::Done;
    }
    jobDone_.notify_all();
  }
}

void TLookAhead::Append(std::string path) {
  ahead_.push_back({std::move(path), nullptr});
  ++walkEnd_;
}

void TLookAhead::Adopt(std::deque<std::string> paths, const TWalkedFolders& walked) {
  for (std::string& path : paths) Append(std::move(path));
  walked_ = walked;
  walkWalked_ = walked;
}

bool TLookAhead::PaysTheWorkers(const std::string& path) {
  uint64_t bytes = 0;
  return !NamesFolder(path) && PaysAWorker(path, bytes);
}

void TLookAhead::Resubmit() {
  AbandonAll();
  {
    const std::lock_guard lock(mutex_);
    queue_.clear();
  }
  for (TAhead& path : ahead_) {
    path.Job.reset();
    path.Bytes = 0;
    path.Worker = false;
    path.Sized = false;
  }
  submitted_ = 0;
  bytesInFlight_ = 0;
  smallRun_ = 0;
}

void TLookAhead::AddEntries(const std::string& folder, const TExamined& listing,
                            TWalkedFolders& walked, const std::function<void()>& pump,
                            size_t& added) {
  if (listing.Kind != TWorkKind::Folder || listing.Error || !listing.Identity ||
      !walked.insert({listing.Identity->Device, listing.Identity->Node}).second)
    return;
  // Appending to a deque keeps references to its elements valid.
  for (const TFolderEntry& entry : listing.Entries) {
    if (pump && ++added % kEntriesBetweenPumps == 0) pump();
    if (std::optional<std::string> kept = WorkListEntry(folder, entry, masks_))
      ahead_.push_back({std::move(*kept), nullptr});
  }
}

void TLookAhead::Expand(const std::function<void()>& pump) {
  size_t added = 0;
  while (expanded_ < ahead_.size()) {
    // Appending keeps references to the deque's elements valid.
    TAhead& path = ahead_[expanded_];
    if (NamesFolder(path.Path)) {
      if (!path.Job) return;
      {
        const std::lock_guard lock(mutex_);
        if (path.Job->State != TState::Done) return;
      }
      // Done: no worker writes the result any more.
      AddEntries(path.Path, path.Job->Result, walked_, pump, added);
    }
    path.End = taken_ + ahead_.size();
    ++expanded_;
  }
}

bool TLookAhead::PaysAWorker(const std::string& path, uint64_t& bytes) {
  bytes = 0;
  if (NamesFolder(path)) return true;
  if (pumping_) {
    bytes = LookAheadBytes(path);
    return true;
  }
  // After a run of paths that did not pay only every kSmallRunSample-th is
  // looked at: the mask, the store and a status would cost a fifth of
  // examining it. A large dump among them is still read with the workers'
  // help with its stripes.
  if (smallRun_ >= kSmallRunLength && ++unmeasured_ % kSmallRunSample != 0) return false;
  // Archives, what no mask takes and what the store recalls are left for
  // the walk without a status.
  if (masks_.DatMask.Matches(path) && !(sums_ && sums_->Knows(path))) bytes = LookAheadBytes(path);
  const bool large = bytes >= kWorkerMinBytes;
  if (!large) bytes = 0;
  smallRun_ = large ? 0 : smallRun_ + 1;
  return large;
}

void TLookAhead::Submit(const std::function<void()>& pump) {
  const size_t maxFiles = std::max<size_t>(1, limits_.MaxFiles);
  size_t handedOut = 0;
  std::chrono::steady_clock::time_point nextPump;
  if (pump) nextPump = std::chrono::steady_clock::now() + kPumpSlice;
  const size_t end = std::min(ahead_.size(), maxFiles);
  for (auto at = ahead_.begin() + static_cast<std::ptrdiff_t>(submitted_); submitted_ < end; ++at) {
    TAhead& path = *at;
    if (!path.Sized) {
      // Up to MaxFiles stats in a row when a large folder's entries arrive:
      // on a cold disk that once held the window for seconds.
      path.Worker = PaysAWorker(path.Path, path.Bytes);
      path.Sized = true;
      if (pump && std::chrono::steady_clock::now() >= nextPump) {
        pump();
        nextPump = std::chrono::steady_clock::now() + kPumpSlice;
      }
    }
    const uint64_t room = limits_.MaxBytes - std::min(limits_.MaxBytes, bytesInFlight_);
    if (bytesInFlight_ > 0 && path.Bytes > room) break;
    bytesInFlight_ += path.Bytes;
    ++submitted_;
    // What the walk examines itself needs no job: no allocation, no lock.
    if (!path.Worker) continue;
    path.Job = std::make_shared<TJob>(path.Path);
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(path.Job);
    }
    ++handedOut;
  }
  if (handedOut > 0) StartWorkers();
  if (handedOut == 1) workReady_.notify_one();
  if (handedOut > 1) workReady_.notify_all();
}

void TLookAhead::ExamineHere(const TJobPtr& job, std::unique_lock<std::mutex>& lock) {
  queue_.erase(std::find(queue_.begin(), queue_.end(), job));
  job->State = TState::Running;
  lock.unlock();
  TExamined result = Examine(job->Path, masks_, job->Abandoned, helpers_, sums_, walkStamper_);
  lock.lock();
  job->Result = std::move(result);
  job->State = TState::Done;
}

void TLookAhead::WaitPumping(std::unique_lock<std::mutex>& lock, const std::function<void()>& pump,
                             std::chrono::steady_clock::time_point& nextPump) {
  jobDone_.wait_until(lock, nextPump);
  lock.unlock();
  // Jobs that finish in quick succession wake this thread often; the pump
  // runs once a slice, not once a wake.
  const auto now = std::chrono::steady_clock::now();
  if (now >= nextPump) {
    pump();
    nextPump = std::chrono::steady_clock::now() + kPumpSlice;
  }
}

TLookAhead::TTaken TLookAhead::Take(const std::function<void()>& pump) {
  if (pumping_ != static_cast<bool>(pump)) Resubmit();
  pumping_ = static_cast<bool>(pump);
  Expand(pump);
  Submit(pump);  // the front always goes: nothing is in flight before it
  TAhead& front = ahead_.front();
  if (!front.Job) {
    // Left to the walk: examined on this thread, as the plain walk would.
    const std::atomic<bool> keep{false};
    TTaken taken{{}, Examine(front.Path, masks_, keep, helpers_, sums_, walkStamper_), false};
    Expand(pump);  // passes the front: a path without the separator adds nothing
    taken.Path = std::move(ahead_.front().Path);
    TakeFront(taken, pump);
    return taken;
  }
  const TJobPtr job = front.Job;
  // With a pump, a worker examines the front even when none has begun it,
  // so that this thread is free to pump.
  const bool examineHere = !pump || workers_.empty();
  auto nextPump = std::chrono::steady_clock::now() + kPumpSlice;
  for (;;) {
    std::unique_lock lock(mutex_);
    if (job->State == TState::Done) break;
    if (job->State == TState::Queued && examineHere) {
      ExamineHere(job, lock);  // beats waiting
      break;
    }
    // Any finished job may be a folder whose entries give the idle workers
    // more to do.
    if (pump) {
      WaitPumping(lock, pump, nextPump);
    } else {
      jobDone_.wait(lock);
      lock.unlock();
    }
    Expand(pump);
    Submit(pump);
  }
  // The front is done: its entries join the list before its result leaves.
  Expand(pump);
  TTaken taken{std::move(ahead_.front().Path), std::move(job->Result), false};
  TakeFront(taken, pump);
  return taken;
}

void TLookAhead::TakeFront(TTaken& taken, const std::function<void()>& pump) {
  const TAhead& front = ahead_.front();
  const TExamined& examined = taken.Examined;
  walkEnd_ = front.End;
  const bool folder = examined.Kind == TWorkKind::Folder && !examined.Error && examined.Identity;
  taken.Listed = folder && walkWalked_.insert({examined.Identity->Device, examined.Identity->Node}).second;
  bytesInFlight_ -= front.Bytes;
  ahead_.pop_front();
  ++taken_;
  --expanded_;
  --submitted_;
  // A path listed as a file that is now a folder: the walk adds entries the
  // list does not know of.
  if (taken.Listed && !NamesFolder(taken.Path)) FrontTurnedFolder(taken.Path, examined, pump);
  Submit(pump);
}

void TLookAhead::FrontTurnedFolder(const std::string& path, const TExamined& folder,
                                   const std::function<void()>& pump) {
  // The entries of folders expanded ahead of the walk came before this
  // folder's; they leave, and join again behind it when expanded afresh.
  Resubmit();
  ahead_.resize(walkEnd_ - taken_);
  walked_ = walkWalked_;
  size_t added = 0;
  TWalkedFolders listed;  // walkWalked_ holds this folder already
  AddEntries(path, folder, listed, pump, added);
  walkEnd_ = taken_ + ahead_.size();
  expanded_ = 0;
}

}  // namespace vexmoor
