#include "platform/FaultFileSystem.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/Errors.h"

namespace vexmoor {

namespace {

bool Holds(const std::string& path, const std::string& part) {
  return part.empty() || path.find(part) != std::string::npos;
}

class TFaultReadableFile : public TReadableFile {
 public:
  TFaultReadableFile(TFaultFileSystem& system, std::unique_ptr<TReadableFile> file, std::string path)
      : system_(system), file_(std::move(file)), path_(std::move(path)) {}

  size_t Read(void* buffer, size_t size) override {
    size = Admit(size);
    const size_t got = size ? file_->Read(buffer, size) : 0;
    read_ += got;
    return got;
  }
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) override {
    size = Admit(size);
    const size_t got = size ? file_->ReadAt(offset, buffer, size) : 0;
    read_ += got;
    return got;
  }
  void Seek(uint64_t offset) override { file_->Seek(offset); }
  uint64_t Size() override { return file_->Size(); }
  void AdviseSequential() override { file_->AdviseSequential(); }

 private:
  // How much of `size` may be read now; throws once the limit is reached.
  size_t Admit(size_t size) {
    const std::chrono::milliseconds delay = system_.ReadDelay(path_);
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    system_.Check(TFileOp::Read, path_);
    int error = 0;
    const uint64_t allowed = system_.Allowed(TFileOp::Read, path_, read_, size, error);
    if (allowed == 0 && size > 0 && error != 0) ThrowFileError(TFileOp::Read, path_, error);
    return static_cast<size_t>(allowed);
  }

  TFaultFileSystem& system_;
  std::unique_ptr<TReadableFile> file_;
  std::string path_;
  // Threads summing stripes of one file call ReadAt at once.
  std::atomic<uint64_t> read_{0};
};

class TFaultWritableFile : public TWritableFile {
 public:
  TFaultWritableFile(TFaultFileSystem& system, std::unique_ptr<TWritableFile> file, std::string path)
      : system_(system), file_(std::move(file)), path_(std::move(path)) {}

  void Write(std::string_view data) override {
    system_.Check(TFileOp::Write, path_);
    int error = 0;
    const uint64_t allowed = system_.Allowed(TFileOp::Write, path_, 0, data.size(), error);
    file_->Write(data.substr(0, static_cast<size_t>(allowed)));
    system_.AddWritten(allowed);
    if (allowed < data.size()) ThrowFileError(TFileOp::Write, path_, error);
  }
  void StartFlush() override { file_->StartFlush(); }
  void Flush() override {
    system_.Check(TFileOp::Flush, path_);
    file_->Flush();
  }
  void Close() override {
    system_.Check(TFileOp::Flush, path_);
    file_->Close();
  }

 private:
  TFaultFileSystem& system_;
  std::unique_ptr<TWritableFile> file_;
  std::string path_;
};

}  // namespace

TFaultFileSystem::TFaultFileSystem(TFileSystem& target) : TFileSystemWrapper(target) {}

void TFaultFileSystem::FailCall(TFileOp op, int nth, int error, const std::string& pathPart,
                                bool sticky) {
  const std::lock_guard lock(mutex_);
  calls_.push_back({op, std::max(1, nth), error, pathPart, sticky});
}

void TFaultFileSystem::FailWritesAfter(uint64_t bytes, int error, const std::string& pathPart) {
  const std::lock_guard lock(mutex_);
  limits_.push_back({TFileOp::Write, written_ + bytes, error, pathPart});
}

void TFaultFileSystem::FailReadsAfter(uint64_t bytes, int error, const std::string& pathPart) {
  const std::lock_guard lock(mutex_);
  limits_.push_back({TFileOp::Read, bytes, error, pathPart});
}

void TFaultFileSystem::SlowReads(std::chrono::milliseconds delay, const std::string& pathPart) {
  const std::lock_guard lock(mutex_);
  delay_ = delay;
  delayPath_ = pathPart;
}

void TFaultFileSystem::SlowStats(std::chrono::milliseconds delay, const std::string& pathPart) {
  const std::lock_guard lock(mutex_);
  statDelay_ = delay;
  statDelayPath_ = pathPart;
}

void TFaultFileSystem::Clear() {
  const std::lock_guard lock(mutex_);
  calls_.clear();
  limits_.clear();
  delay_ = std::chrono::milliseconds{0};
  statDelay_ = std::chrono::milliseconds{0};
  std::fill(std::begin(counts_), std::end(counts_), 0);
  written_ = 0;
}

int TFaultFileSystem::Calls(TFileOp op) const {
  const std::lock_guard lock(mutex_);
  return counts_[static_cast<int>(op)];
}

void TFaultFileSystem::Check(TFileOp op, const std::string& path) {
  int error = 0;
  {
    const std::lock_guard lock(mutex_);
    ++counts_[static_cast<int>(op)];
    for (auto fault = calls_.begin(); fault != calls_.end(); ++fault) {
      if (fault->Op != op || !Holds(path, fault->PathPart)) continue;
      if (fault->Nth > 1) {
        --fault->Nth;
        continue;
      }
      error = fault->Error;
      if (!fault->Sticky) calls_.erase(fault);
      break;
    }
  }
  if (error != 0) ThrowFileError(op, path, error);
}

uint64_t TFaultFileSystem::Allowed(TFileOp op, const std::string& path, uint64_t done,
                                   uint64_t size, int& error) const {
  const std::lock_guard lock(mutex_);
  if (op == TFileOp::Write) done = written_;
  uint64_t allowed = size;
  for (const TLimit& limit : limits_) {
    if (limit.Op != op || !Holds(path, limit.PathPart)) continue;
    const uint64_t room = limit.Bytes > done ? limit.Bytes - done : 0;
    if (room < allowed) {
      allowed = room;
      error = limit.Error;
    }
  }
  return allowed;
}

std::chrono::milliseconds TFaultFileSystem::ReadDelay(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  return Holds(path, delayPath_) ? delay_ : std::chrono::milliseconds{0};
}

uint64_t TFaultFileSystem::AddWritten(uint64_t bytes) {
  const std::lock_guard lock(mutex_);
  return written_ += bytes;
}

std::unique_ptr<TReadableFile> TFaultFileSystem::OpenRead(const std::string& path) {
  Check(TFileOp::Open, path);
  return std::make_unique<TFaultReadableFile>(*this, Target().OpenRead(path), path);
}

std::unique_ptr<TWritableFile> TFaultFileSystem::CreateTemporary(const std::string& target,
                                                                 std::string& created) {
  Check(TFileOp::Write, target);
  std::unique_ptr<TWritableFile> file = Target().CreateTemporary(target, created);
  return std::make_unique<TFaultWritableFile>(*this, std::move(file), created);
}

void TFaultFileSystem::Rename(const std::string& from, const std::string& to) {
  Check(TFileOp::Rename, to);
  Target().Rename(from, to);
}

void TFaultFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  Check(TFileOp::Rename, to);
  Target().RenameNoReplace(from, to);
}

void TFaultFileSystem::Remove(const std::string& path) {
  Check(TFileOp::Remove, path);
  Target().Remove(path);
}

std::vector<TListedEntry> TFaultFileSystem::List(const std::string& folder) {
  Check(TFileOp::List, folder);
  return Target().List(folder);
}

TFileStat TFaultFileSystem::Stat(const std::string& path) {
  std::chrono::milliseconds delay{0};
  {
    const std::lock_guard lock(mutex_);
    if (Holds(path, statDelayPath_)) delay = statDelay_;
  }
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  try {
    Check(TFileOp::Stat, path);
  } catch (const IoError& error) {
    TFileStat failed;
    failed.Error = error.SystemError();
    return failed;
  }
  return Target().Stat(path);
}

}  // namespace vexmoor
