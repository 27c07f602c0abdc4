// A folder of dumps (loose, zipped, in 7z and rar archives), the scan that
// finds them, and the rebuild of what it found, for the rebuild tests.
#pragma once

#include <filesystem>
#include <string>

#include "rebuild/RebuildPlan.h"
#include "rebuild/RebuildRun.h"
#include "support/ArchiveBuilder.h"
#include "support/SevenZipBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor::test {

class RebuildTest : public ScanTest {
 protected:
  // Adds a release and returns its dump's bytes.
  std::string Release(const std::string& index, const std::string& name, const std::string& data) {
    AddEntry(state_, index, name, CrcOf(data));
    return data;
  }
  std::string Roms() const { return dir_ / "roms"; }
  std::string Out() const { return dir_ / "out"; }
  std::string OutFile(const std::string& name) const { return Out() + "/" + name; }

  TRebuildPlan Plan(const TRebuildOptions& options = {}) {
    for (TRomItem& item : state_.Catalogue) {
      if (item.Status != StatusMissing) item.Status = StatusMissing;
    }
    Scan(Roms());
    TRebuildPlan plan = BuildRebuildPlan(state_.Catalogue, "nds", Out(), options);
    ProbeSources(plan);
    return plan;
  }
  TRebuildReport Rebuild(const TRebuildOptions& options = {}) {
    const TRebuildPlan plan = Plan(options);
    CheckFreeSpace(plan);
    return RunRebuild(plan);
  }
  static TRebuildOptions With(TRebuildAction action, bool zip = false) {
    TRebuildOptions options;
    options.Action = action;
    options.Zip = zip;
    return options;
  }
  static int Count(const TRebuildReport& report, TStepState state) {
    int count = 0;
    for (const TStepOutcome& outcome : report.Steps) count += outcome.State == state;
    return count;
  }
};

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace vexmoor::test
