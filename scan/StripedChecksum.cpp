#include "scan/StripedChecksum.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/File.h"
#include "scan/CRC32.h"

namespace vexmoor {

namespace {

bool IsSet(const std::atomic<bool>* flag) {
  return flag && flag->load(std::memory_order_relaxed);
}

// After every stripe was worked on: the file's CRC, read again as one
// stream if it shrank, with anything appended since it was measured.
uint32_t Finish(TInputFile& file, const TStripedSum& sum, uint64_t size,
                const std::atomic<bool>* abandon) {
  sum.RethrowError();
  if (IsSet(abandon)) return 0;
  if (sum.Shrank()) {
    file.Seek(0);
    return FileCrc32Continue(file, 0, abandon);
  }
  file.Seek(size);
  return FileCrc32Continue(file, sum.Combined(), abandon);
}

}  // namespace

// Smaller is not worth a second thread: the single-thread read.
bool WorthStriping(uint64_t size, uint64_t stripeBytes) { return size / 2 >= stripeBytes; }

TStripedSum::TStripedSum(TInputFile& file, uint64_t size, uint64_t stripeBytes,
                         const std::atomic<bool>* abandon)
    : file_(file),
      size_(size),
      stripeBytes_(std::max<uint64_t>(stripeBytes, 1)),
      crcs_((size + stripeBytes_ - 1) / stripeBytes_),
      abandon_(abandon) {}

void TStripedSum::Work() {
  try {
    uint8_t* const buffer = ThreadReadBlock();
    while (!stop_.load(std::memory_order_relaxed)) {
      const uint64_t stripe = next_.fetch_add(1);
      if (stripe >= crcs_.size()) return;
      if (!SumStripe(stripe, buffer)) stop_ = true;
    }
  } catch (...) {
    const std::lock_guard lock(errorMutex_);
    if (!error_) error_ = std::current_exception();
    stop_ = true;
  }
}

bool TStripedSum::StripesLeft() const {
  return !stop_.load(std::memory_order_relaxed) && next_.load() < crcs_.size();
}

void TStripedSum::RethrowError() const {
  const std::lock_guard lock(errorMutex_);
  if (error_) std::rethrow_exception(error_);
}

uint32_t TStripedSum::Combined() const {
  uint32_t crc = 0;
  for (size_t stripe = 0; stripe < crcs_.size(); ++stripe) {
    const uint64_t begin = stripe * stripeBytes_;
    crc = Crc32Combine(crc, crcs_[stripe], std::min(stripeBytes_, size_ - begin));
  }
  return crc;
}

bool TStripedSum::SumStripe(uint64_t stripe, uint8_t* buffer) {
  const uint64_t end = std::min(size_, (stripe + 1) * stripeBytes_);
  uint32_t crc = 0;
  for (uint64_t at = stripe * stripeBytes_; at < end;) {
    if (IsSet(abandon_)) return false;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBlockBytes, end - at));
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

void TStripeHelpers::Offer(TStripedSum& sum) {
  {
    const std::lock_guard lock(mutex_);
    offers_.push_back({&sum, 0});
  }
  if (wake_) wake_();
}

void TStripeHelpers::Withdraw(TStripedSum& sum) {
  std::unique_lock lock(mutex_);
  const auto mine = [&sum](const TOffer& offer) { return offer.Sum == &sum; };
  helperLeft_.wait(lock, [&] { return std::find_if(offers_.begin(), offers_.end(), mine)->Helpers == 0; });
  offers_.erase(std::find_if(offers_.begin(), offers_.end(), mine));
}

bool TStripeHelpers::HasWork() const {
  const std::lock_guard lock(mutex_);
  return std::any_of(offers_.begin(), offers_.end(),
                     [](const TOffer& offer) { return offer.Sum->StripesLeft(); });
}

void TStripeHelpers::HelpOne() {
  TStripedSum* sum = nullptr;
  {
    const std::lock_guard lock(mutex_);
    const auto offer = std::find_if(offers_.begin(), offers_.end(),
                                    [](const TOffer& o) { return o.Sum->StripesLeft(); });
    if (offer == offers_.end()) return;
    ++offer->Helpers;
    sum = offer->Sum;
  }
  sum->Work();
  {
    const std::lock_guard lock(mutex_);
    for (TOffer& offer : offers_)
      if (offer.Sum == sum) --offer.Helpers;
  }
  helperLeft_.notify_all();
}

uint32_t StripedFileCrc32(const std::string& path, unsigned threads,
                          const std::atomic<bool>* abandon, uint64_t stripeBytes) {
  TInputFile file(path);
  file.AdviseSequential();
  const uint64_t size = file.Size();
  if (threads < 2 || !WorthStriping(size, stripeBytes)) return FileCrc32Continue(file, 0, abandon);

  TStripedSum sum(file, size, stripeBytes, abandon);
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads; ++i) {
    try {
      helpers.emplace_back([&sum] { sum.Work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads: the stripes still all get summed
    }
  }
  sum.Work();
  for (std::thread& helper : helpers) helper.join();
  return Finish(file, sum, size, abandon);
}

uint32_t SharedFileCrc32(const std::string& path, TStripeHelpers& helpers,
                         const std::atomic<bool>* abandon) {
  TInputFile file(path);
  return SharedFileCrc32(file, file.Size(), helpers, abandon);
}

uint32_t SharedFileCrc32(TInputFile& file, uint64_t size, TStripeHelpers& helpers,
                         const std::atomic<bool>* abandon) {
  const uint64_t stripeBytes = helpers.StripeBytes();
  file.AdviseSequential();
  if (!WorthStriping(size, stripeBytes)) return FileCrc32Continue(file, 0, abandon);

  TStripedSum sum(file, size, stripeBytes, abandon);
  helpers.Offer(sum);
  sum.Work();
  helpers.Withdraw(sum);
  return Finish(file, sum, size, abandon);
}

}  // namespace vexmoor
