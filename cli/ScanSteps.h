// Steps the commands that scan share: opening the DAT argument, and the
// progress line a scan shows on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "catalogue/RomList.h"
#include "cli/Commands.h"
#include "scan/AuditState.h"
#include "scan/ScanEngine.h"
#include "scan/store/ChecksumStore.h"

namespace vexmoor::cli {

// Opens the dat at `path` with the loader its name selects (OpenDat);
// false after telling why on stderr.
bool LoadDat(TAuditState& state, TRomList& list, TSortState& sort, const std::string& path);

// The progress line on stderr: redrawn at most ten times a second.
class TProgress {
 public:
  explicit TProgress(bool enabled) : enabled_(enabled) {}
  void Panel(int panel, const std::string& text) {
    if (!enabled_) return;
    if (panel == 2) path_ = text;
    if (panel == 0) matched_ = text;
    if (panel == 1) skipped_ = text;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    std::string path = PrintableText(path_);
    if (path.size() > 60) path = "..." + path.substr(path.size() - 57);
    std::fprintf(stderr, "\r\033[K%s |%s |%s", path.c_str(), matched_.c_str(), skipped_.c_str());
    std::fflush(stderr);
  }
  void Done() {
    if (enabled_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool enabled_;
  std::string path_, matched_, skipped_;
  std::chrono::steady_clock::time_point shown_{};
};

// The checksum store at its default place, its lines (a store set aside, one
// that cannot be used) on stderr after clearing the progress line; none when
// there is no cache folder (said on stderr).
std::unique_ptr<TChecksumStore> OpenChecksumStore(TProgress& progress);

// Runs `engine` over `folder` with Ctrl+C setting `cancel` (the Cancel menu
// entry's flag) meanwhile; the progress line is cleared after, also when the
// scan throws.
TScanOutcome RunScan(TScanEngine& engine, const std::string& folder, std::atomic<bool>& cancel,
                     TProgress& progress);

}  // namespace vexmoor::cli
