// The CRC-32 of one large file summed on several threads at once. A single
// thread copying a page-cached file out of the system tops out well below
// what the memory can deliver; two threads reading alternate stripes get
// much closer. Neighbouring stripes are read at the same time, so a disk
// still sees reads that move steadily forward.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vexmoor {

class TInputFile;

inline constexpr uint64_t kChecksumStripeBytes = uint64_t{8} << 20;

// The stripes of one open file, handed out in order to whichever thread
// asks; each stripe's CRC is kept and the CRCs are joined at the end.
class TStripedSum {
 public:
  TStripedSum(TInputFile& file, uint64_t size, uint64_t stripeBytes,
              const std::atomic<bool>* abandon);

  // Sums stripes until none is left or the work stops. Any number of
  // threads may call it at once; failures are kept for RethrowError.
  void Work();
  bool StripesLeft() const;

  void RethrowError() const;
  // A read ended early: the file is shorter than when it was measured.
  bool Shrank() const { return shrank_; }
  // The CRC of the whole size; only when every stripe was summed.
  uint32_t Combined() const;

 private:
  bool SumStripe(uint64_t stripe, uint8_t* buffer);

  TInputFile& file_;
  const uint64_t size_;
  const uint64_t stripeBytes_;
  std::vector<uint32_t> crcs_;  // each stripe's own CRC, written by one thread
  const std::atomic<bool>* abandon_;
  std::atomic<uint64_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> shrank_{false};
  mutable std::mutex errorMutex_;
  std::exception_ptr error_;
};

// Sums that idle threads may join: a thread checksumming a large file
// offers its stripes here, and a thread with nothing else to do takes some.
class TStripeHelpers {
 public:
  // Files are cut into stripes of `stripeBytes`; `wake` is called after a
  // sum is offered, to rouse the idle threads.
  TStripeHelpers(uint64_t stripeBytes, std::function<void()> wake)
      : stripeBytes_(stripeBytes), wake_(std::move(wake)) {}

  uint64_t StripeBytes() const { return stripeBytes_; }

  void Offer(TStripedSum& sum);
  // No thread joins `sum` any more; waits for those working on it.
  void Withdraw(TStripedSum& sum);
  // True while an offered sum has stripes left.
  bool HasWork() const;
  // Works on the first offered sum with stripes left, if any.
  void HelpOne();

 private:
  struct TOffer {
    TStripedSum* Sum;
    unsigned Helpers;
  };
  const uint64_t stripeBytes_;
  const std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::condition_variable helperLeft_;
  std::vector<TOffer> offers_;
};

// The same value as FileCrc32Value, read by up to `threads` threads (the
// caller's among them) in stripes of `stripeBytes`. Small files, and
// `threads` below 2, take the single-thread read. A file that shrinks while
// it is read is read again as one stream; bytes appended meanwhile are taken
// as the single-thread read would take them. Throws FileOpenError or IoError
// as FileCrc32Value does; with `abandon` set the value is meaningless.
uint32_t StripedFileCrc32(const std::string& path, unsigned threads,
                          const std::atomic<bool>* abandon = nullptr,
                          uint64_t stripeBytes = kChecksumStripeBytes);

// The same, summed on the caller's thread with whatever threads `helpers`
// lends while it runs, in the helpers' stripes.
uint32_t SharedFileCrc32(const std::string& path, TStripeHelpers& helpers,
                         const std::atomic<bool>* abandon = nullptr);
// The same on a file already open whose size was `size` when it was opened.
uint32_t SharedFileCrc32(TInputFile& file, uint64_t size, TStripeHelpers& helpers,
                         const std::atomic<bool>* abandon = nullptr);
// Whether a file of `size` bytes is worth summing in stripes of `stripeBytes`.
bool WorthStriping(uint64_t size, uint64_t stripeBytes);

}  // namespace vexmoor
