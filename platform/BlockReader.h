// Reading a file front to back in large blocks, with the next block read on
// a helper thread while the caller works on the current one, so the copy
// out of the system's cache overlaps the caller's work.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "platform/File.h"

namespace vexmoor {

class BlockReader {
 public:
  // Opens the file and tells the system it will be read sequentially.
  // Throws FileOpenError naming the path and the system's reason.
  explicit BlockReader(const std::string& path, size_t blockSize = size_t{1} << 20);
  // Stops the helper; waits for a read in progress to return.
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The next block, empty at end of file. It stays valid until the next
  // call. Throws IoError when a read failed; later calls throw it again.
  // The first block is read on the calling thread: a file that fits in one
  // block never starts a helper.
  std::span<const uint8_t> Next();

 private:
  struct Slot {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    std::exception_ptr error;
  };
  static constexpr uint64_t kSlots = 2;

  void Fill(Slot& slot);
  void StartHelper();
  void HelperLoop();

  InputFile file_;
  size_t blockSize_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t produced_ = 0;  // blocks whose slot is filled (under mutex_)
  uint64_t consumed_ = 0;  // blocks the caller has finished with (under mutex_)
  bool holding_ = false;   // the caller holds block consumed_
  bool stop_ = false;
  bool finished_ = false;  // the last filled block was the end or an error
  std::thread helper_;
};

}  // namespace vexmoor
