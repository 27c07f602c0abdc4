// The ways replacing a file can fail, for the tests that prove a write safe:
// the disk fills up a few bytes in, the flush to stable storage fails, or the
// final rename fails. Each case says what the file system double is told and
// the message the caller must then see.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "support/TempDir.h"

namespace vexmoor::test {

struct TWriteFault {
  const char* Name;
  TFileOp Op;  // Write: the disk is full after kFullDiskBytes
  int Error;
};

inline constexpr uint64_t kFullDiskBytes = 3;

inline constexpr TWriteFault kWriteFaults[] = {
    {"FullDisk", TFileOp::Write, ENOSPC},
    {"FailedFlush", TFileOp::Flush, EIO},
    {"FailedRename", TFileOp::Rename, EPERM},
};

// Makes the next write of a file whose path holds `pathPart` fail as `fault`
// says. A full disk stays full for the life of `faults`.
inline void Inject(TFaultFileSystem& faults, const TWriteFault& fault,
                   const std::string& pathPart) {
  if (fault.Op == TFileOp::Write)
    faults.FailWritesAfter(kFullDiskBytes, fault.Error, pathPart);
  else
    faults.FailCall(fault.Op, 1, fault.Error, pathPart);
}

// What a failed replacement of `path` says: the file the caller named, never
// a temporary.
inline std::string WriteFailure(const std::string& path, const TWriteFault& fault) {
  return "Cannot write file \"" + path + "\". " + SystemErrorText(fault.Error);
}

// Every file of `folder` (not its sub-folders) with its bytes, so a test
// sees at once an old file changed or a temporary left behind.
inline std::map<std::string, std::string> FolderFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path().string());
  }
  return files;
}

// For parameterized tests over kWriteFaults.
inline std::string WriteFaultName(const ::testing::TestParamInfo<TWriteFault>& info) {
  return info.param.Name;
}

}  // namespace vexmoor::test
