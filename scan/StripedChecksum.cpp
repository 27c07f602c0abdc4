#include "scan/StripedChecksum.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/File.h"
#include "scan/CRC32.h"

namespace vexmoor {

namespace {

constexpr size_t kReadBytes = size_t{1} << 20;

bool IsSet(const std::atomic<bool>* flag) {
  return flag && flag->load(std::memory_order_relaxed);
}

// The stripes of one file, handed out in order to whichever thread asks.
class TStripes {
 public:
  TStripes(InputFile& file, uint64_t size, uint64_t stripeBytes, const std::atomic<bool>* abandon)
      : file_(file),
        size_(size),
        stripeBytes_(stripeBytes),
        crcs_((size + stripeBytes - 1) / stripeBytes),
        abandon_(abandon) {}

  // A thread's part: stripes until none is left or the work stops.
  void Work() {
    try {
      const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kReadBytes);
      for (;;) {
        const uint64_t stripe = next_.fetch_add(1);
        if (stripe >= crcs_.size() || stop_.load(std::memory_order_relaxed)) return;
        if (!SumStripe(stripe, buffer.get())) {
          stop_ = true;
          return;
        }
      }
    } catch (...) {
      const std::lock_guard lock(errorMutex_);
      if (!error_) error_ = std::current_exception();
      stop_ = true;
    }
  }

  void RethrowError() const {
    if (error_) std::rethrow_exception(error_);
  }
  bool Shrank() const { return shrank_; }

  uint32_t Combined() const {
    uint32_t crc = 0;
    for (size_t stripe = 0; stripe < crcs_.size(); ++stripe) {
      const uint64_t begin = stripe * stripeBytes_;
      crc = Crc32Combine(crc, crcs_[stripe], std::min(stripeBytes_, size_ - begin));
    }
    return crc;
  }

 private:
  // False when the stripe could not be summed whole.
  bool SumStripe(uint64_t stripe, uint8_t* buffer) {
    const uint64_t end = std::min(size_, (stripe + 1) * stripeBytes_);
    uint32_t crc = 0;
    for (uint64_t at = stripe * stripeBytes_; at < end;) {
      if (IsSet(abandon_)) return false;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBytes, end - at));
      const size_t got = file_.ReadAt(at, buffer, want);
      crc = Crc32(buffer, got, crc);
      at += got;
      if (got < want) {
        shrank_ = true;
        return false;
      }
    }
    crcs_[stripe] = crc;
    return true;
  }

  InputFile& file_;
  const uint64_t size_;
  const uint64_t stripeBytes_;
  std::vector<uint32_t> crcs_;  // each stripe's own CRC, written by one thread
  const std::atomic<bool>* abandon_;
  std::atomic<uint64_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> shrank_{false};
  std::mutex errorMutex_;
  std::exception_ptr error_;
};

}  // namespace

uint32_t StripedFileCrc32(const std::string& path, unsigned threads,
                          const std::atomic<bool>* abandon, uint64_t stripeBytes) {
  InputFile file(path);
  file.AdviseSequential();
  const uint64_t size = file.Size();
  stripeBytes = std::max<uint64_t>(stripeBytes, 1);
  if (threads < 2 || size / 2 < stripeBytes) return FileCrc32Continue(file, 0, abandon);

  TStripes stripes(file, size, stripeBytes, abandon);
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads; ++i) {
    try {
      helpers.emplace_back([&stripes] { stripes.Work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads: the stripes still all get summed
    }
  }
  stripes.Work();
  for (std::thread& helper : helpers) helper.join();
  stripes.RethrowError();
  if (IsSet(abandon)) return 0;
  if (stripes.Shrank()) {
    file.Seek(0);
    return FileCrc32Continue(file, 0, abandon);
  }
  file.Seek(size);
  return FileCrc32Continue(file, stripes.Combined(), abandon);
}

}  // namespace vexmoor
