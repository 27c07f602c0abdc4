// A file system for tests that passes every call on to another (the
// system's by default) and fails or slows down the calls it is told to:
// a read that fails half-way, a disk that fills up, a rename that fails,
// a folder that cannot be listed, a slow disk. Install it with
// TFileSystemOverride. Safe to use from several threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace vexmoor {

class TFaultFileSystem : public TFileSystemWrapper {
 public:
  explicit TFaultFileSystem(TFileSystem& target = DefaultFileSystem());

  // The `nth` call of `op` from now on (1 is the next) on a path that holds
  // `pathPart` fails with the system error `error`; with `sticky` every call
  // after it fails too. Read counts Read and ReadAt calls; Write counts
  // Write and CreateTemporary; Open counts OpenRead; Flush counts Flush and
  // Close.
  void FailCall(TFileOp op, int nth, int error, const std::string& pathPart = "",
                bool sticky = false);
  // Writes fail with `error` (ENOSPC: the disk is full) once `bytes` bytes
  // were written in all, on any path that holds `pathPart`; the write that
  // crosses the limit puts its bytes up to it, then fails.
  void FailWritesAfter(uint64_t bytes, int error, const std::string& pathPart = "");
  // Reads of a file whose path holds `pathPart` fail with `error` once
  // `bytes` bytes of that file were read; the read that crosses the limit
  // returns the bytes up to it. Reads of one file made at the same time on
  // several threads each see the bytes read before they began.
  void FailReadsAfter(uint64_t bytes, int error, const std::string& pathPart = "");
  // Every Read and ReadAt of a file whose path holds `pathPart` first waits
  // `delay`.
  void SlowReads(std::chrono::milliseconds delay, const std::string& pathPart = "");
  // Every Stat of a path that holds `pathPart` first waits `delay` (a cold
  // or slow disk looking up its files).
  void SlowStats(std::chrono::milliseconds delay, const std::string& pathPart = "");
  // Forgets every fault and count.
  void Clear();

  // Calls of `op` made so far, failed ones included.
  int Calls(TFileOp op) const;

  std::unique_ptr<TReadableFile> OpenRead(const std::string& path) override;
  std::unique_ptr<TWritableFile> CreateTemporary(const std::string& target,
                                                 std::string& created) override;
  void Rename(const std::string& from, const std::string& to) override;
  void RenameNoReplace(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;
  std::vector<TListedEntry> List(const std::string& folder) override;
  TFileStat Stat(const std::string& path) override;

  // For the wrapped files: counts the call and throws if a fault says so.
  void Check(TFileOp op, const std::string& path);
  // The bytes of a `size`-byte transfer that may go through before the
  // transfer limit for `op` (Read or Write) fails it; `done` is what this
  // file (reads) or the whole system (writes) has moved so far.
  uint64_t Allowed(TFileOp op, const std::string& path, uint64_t done, uint64_t size,
                   int& error) const;
  std::chrono::milliseconds ReadDelay(const std::string& path) const;
  uint64_t AddWritten(uint64_t bytes);

 private:
  struct TCallFault {
    TFileOp Op;
    int Nth;  // counted down; fires at 1
    int Error;
    std::string PathPart;
    bool Sticky;
  };
  struct TLimit {
    TFileOp Op;
    uint64_t Bytes;
    int Error;
    std::string PathPart;
  };

  mutable std::mutex mutex_;
  std::vector<TCallFault> calls_;
  std::vector<TLimit> limits_;
  std::chrono::milliseconds delay_{0};
  std::string delayPath_;
  std::chrono::milliseconds statDelay_{0};
  std::string statDelayPath_;
  int counts_[8] = {};
  uint64_t written_ = 0;
};

}  // namespace vexmoor
