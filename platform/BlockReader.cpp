#include "platform/BlockReader.h"

#include <system_error>

namespace vexmoor {

BlockReader::BlockReader(const std::string& path, size_t blockSize)
    : file_(path), blockSize_(blockSize) {
  file_.AdviseSequential();
}

BlockReader::~BlockReader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

// Buffers come on first use, so a small file costs one.
void BlockReader::Fill(Slot& slot) {
  try {
    if (!slot.data) slot.data = std::make_unique_for_overwrite<uint8_t[]>(blockSize_);
    slot.size = file_.ReadFull(slot.data.get(), blockSize_);
  } catch (...) {
    slot.size = 0;
    slot.error = std::current_exception();
  }
}

std::span<const uint8_t> BlockReader::Next() {
  std::unique_lock lock(mutex_);
  if (holding_) {
    holding_ = false;
    ++consumed_;
    changed_.notify_all();
  }
  if (produced_ == consumed_ && finished_) return {};  // after a short last block
  if (produced_ == consumed_ && !helper_.joinable()) {
    // Nothing ahead and no helper: read here, and start the helper only
    // once a full block shows there is more to come.
    Slot& slot = slots_[consumed_ % kSlots];
    lock.unlock();
    Fill(slot);
    lock.lock();
    ++produced_;
    finished_ = slot.error || slot.size < blockSize_;
    if (!finished_) StartHelper();
  }
  changed_.wait(lock, [this] { return produced_ > consumed_; });
  Slot& slot = slots_[consumed_ % kSlots];
  if (slot.error) std::rethrow_exception(slot.error);
  if (slot.size == 0) return {};
  holding_ = true;
  return {slot.data.get(), slot.size};
}

void BlockReader::StartHelper() {
  try {
    helper_ = std::thread([this] { HelperLoop(); });
  } catch (const std::system_error&) {
    // No thread to be had: Next() goes on reading on the caller's thread.
  }
}

void BlockReader::HelperLoop() {
  for (;;) {
    Slot* slot = nullptr;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || finished_ || produced_ - consumed_ < kSlots; });
      if (stop_ || finished_) return;
      slot = &slots_[produced_ % kSlots];
    }
    Fill(*slot);
    {
      std::lock_guard lock(mutex_);
      ++produced_;
      finished_ = slot->error || slot->size < blockSize_;
    }
    changed_.notify_all();
  }
}

}  // namespace vexmoor
