// What a rebuild does when things go wrong: a full disk, a source that
// cannot be removed, a run killed half-way and started again, trimmed
// dumps, too little free space, a cancel.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "rebuild/DumpCheck.h"
#include "support/RandomData.h"
#include "tests/rebuild/RebuildTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::Dump;
using test::Exists;
using test::ReadFile;

class RebuildFaultTest : public test::RebuildTest {};

TEST_F(RebuildFaultTest, AFullDiskDuringAZipWriteLeavesNoTargetAndKeepsTheSource) {
  const std::string data = Release("1", "Big", test::RandomBytes(300000, 5));
  Release("2", "Small", Dump("small"));
  dir_.Write("roms/big.nds", data);
  dir_.Write("roms/small.nds", Dump("small"));
  TRebuildOptions options = With(TRebuildAction::Move, true);
  options.ZipStore = true;
  const TRebuildPlan plan = Plan(options);
  TFaultFileSystem faults;
  faults.FailWritesAfter(100000, ENOSPC, "/out/");
  TRebuildReport report;
  {
    TFileSystemOverride installed(faults);
    report = RunRebuild(plan);
  }
  ASSERT_EQ(report.Steps.size(), 2u);
  EXPECT_EQ(report.Steps[0].State, TStepState::Failed);
  EXPECT_NE(report.Steps[0].Reason.find("Big.zip"), std::string::npos) << report.Steps[0].Reason;
  EXPECT_TRUE(Exists(Roms() + "/big.nds"));
  EXPECT_EQ(ReadFile(Roms() + "/big.nds"), data);
  // Nothing half-written in the output: no target, no temporary.
  for (const auto& entry : fs::directory_iterator(Out()))
    EXPECT_NE(entry.path().filename().string().rfind("Big", 0), 0u) << entry.path();
}

TEST_F(RebuildFaultTest, ASourceThatCannotBeRemovedIsReportedAndItsReleaseCopied) {
  const std::string data = Release("1", "Read Only", Dump("ro"));
  dir_.Write("roms/ro.nds", data);
  const TRebuildPlan plan = Plan(With(TRebuildAction::Move));
  TFaultFileSystem faults;
  faults.FailCall(TFileOp::Remove, 1, EROFS, "/roms/", true);
  TRebuildReport report;
  {
    TFileSystemOverride installed(faults);
    report = RunRebuild(plan);
  }
  EXPECT_EQ(report.Steps[0].State, TStepState::Written);
  EXPECT_EQ(ReadFile(OutFile("Read Only.nds")), data);
  ASSERT_EQ(report.KeptSources.size(), 1u);
  EXPECT_NE(report.KeptSources[0].Reason.find("Read-only file system"), std::string::npos)
      << report.KeptSources[0].Reason;
  EXPECT_TRUE(Exists(Roms() + "/ro.nds"));
}

TEST_F(RebuildFaultTest, ARunKilledAfterATargetWasPlacedFinishesTheMoveWhenStartedAgain) {
  const std::string data = Release("1", "Half Moved", Dump("half"));
  dir_.Write("roms/h.nds", data);
  // What a kill between the rename and the removal leaves: both in place.
  dir_.Write("out/Half Moved.nds", data);
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  EXPECT_EQ(report.Steps[0].State, TStepState::Present);
  EXPECT_FALSE(Exists(Roms() + "/h.nds"));
  // A third run finds nothing to do and removes nothing.
  const TRebuildReport third = Rebuild(With(TRebuildAction::Move));
  EXPECT_TRUE(third.Steps.empty());
  EXPECT_EQ(ReadFile(OutFile("Half Moved.nds")), data);
}

TEST_F(RebuildFaultTest, TemporariesAKilledRunLeftBesideTargetsAreRemoved) {
  const std::string data = Release("1", "Left", Dump("left"));
  dir_.Write("roms/l.nds", data);
  dir_.Write("out/Left.nds.vexmoor-a1B2c3", "half");
  dir_.Write("out/Left.nds.a1B2c3", "kept");
  dir_.Write("out/Other.nds.vexmoor-a1B2c3", "kept");
  Rebuild();
  EXPECT_FALSE(Exists(OutFile("Left.nds.vexmoor-a1B2c3")));
  EXPECT_TRUE(Exists(OutFile("Left.nds.a1B2c3")));
  EXPECT_TRUE(Exists(OutFile("Other.nds.vexmoor-a1B2c3")));
  EXPECT_EQ(ReadFile(OutFile("Left.nds")), data);
}

TEST_F(RebuildFaultTest, AMoveNeverRemovesASourceThatIsItsOwnTarget) {
  const std::string data = Release("1", "InPlace", Dump("inplace"));
  dir_.Write("roms/InPlace.nds", data);
  TRebuildOptions options = With(TRebuildAction::Move);
  for (TRomItem& item : state_.Catalogue) item.Status = StatusMissing;
  Scan(Roms());
  TRebuildPlan plan = BuildRebuildPlan(state_.Catalogue, "nds", Roms(), options);
  ProbeSources(plan);
  const TRebuildReport report = RunRebuild(plan);
  EXPECT_EQ(report.Steps[0].State, TStepState::Present);
  EXPECT_EQ(ReadFile(Roms() + "/InPlace.nds"), data);
}

class TrimmedRebuildTest : public test::RebuildTest {
 protected:
  void SetUp() override {
    state_.MatchTrimmed = true;
    image_ = test::RandomBytes(100000, 9);
    image_.back() = 'x';
    trimmed_ = image_;
    image_ += std::string(128 * 1024 - image_.size(), '\xFF');
    Release("1", "Trim", image_);
    dir_.Write("roms/t.nds", trimmed_);
    dir_.Write("src/t.nds", trimmed_);
    if (test::HaveSevenZip())
      test::RunSevenZip(dir_ / "src", "a " + test::ShellQuote(Roms() + "/t.7z") + " t.nds");
  }
  std::string image_, trimmed_;
};

TEST_F(TrimmedRebuildTest, ATrimmedDumpIsKeptAsItIsOrPaddedToItsFullImage) {
  Rebuild();
  EXPECT_EQ(ReadFile(OutFile("Trim.nds")), trimmed_);
  fs::remove_all(Out());
  TRebuildOptions options;
  options.PadTrimmed = true;
  Rebuild(options);
  EXPECT_EQ(ReadFile(OutFile("Trim.nds")), image_);
  fs::remove_all(Out());
  options.Zip = true;
  Rebuild(options);
  const TDumpSum sum = SumOnlyMember(OutFile("Trim.zip"));
  EXPECT_EQ(sum.Crc, test::CrcOf(image_));
  EXPECT_EQ(sum.Size, image_.size());
}

TEST_F(TrimmedRebuildTest, ATrimmedTargetCountsAsPresentWhetherPaddedOrNot) {
  dir_.Write("out/Trim.nds", trimmed_);
  TRebuildOptions options;
  options.PadTrimmed = true;
  EXPECT_EQ(Rebuild(options).Steps[0].State, TStepState::Present);
  dir_.Write("out/Trim.nds", image_);
  EXPECT_EQ(Rebuild().Steps[0].State, TStepState::Present);
}

TEST_F(TrimmedRebuildTest, APaddedDumpCannotBeLinked) {
  fs::remove(Roms() + "/t.7z");  // the loose copy is then the one found
  TRebuildOptions options = With(TRebuildAction::HardLink);
  options.PadTrimmed = true;
  const TRebuildReport report = Rebuild(options);
  EXPECT_EQ(report.Steps[0].State, TStepState::Skipped);
  EXPECT_EQ(report.Steps[0].Reason, "it is trimmed, and a link cannot pad it");
}

TEST_F(RebuildFaultTest, TooLittleFreeSpaceIsToldBeforeAnythingIsWritten) {
  Release("1", "Huge", Dump("huge"));
  dir_.Write("roms/huge.nds", Dump("huge"));
  TRebuildPlan plan = Plan();
  plan.Steps[0].SourceBytes = uint64_t{1} << 62;
  EXPECT_THROW(CheckFreeSpace(plan), Error);
  EXPECT_FALSE(Exists(Out()));
}

TEST_F(RebuildFaultTest, ACancelLeavesNoHalfTargetAndSkipsTheRest) {
  Release("1", "A", Dump("a"));
  Release("2", "B", Dump("b"));
  dir_.Write("roms/a.nds", Dump("a"));
  dir_.Write("roms/b.nds", Dump("b"));
  const TRebuildPlan plan = Plan(With(TRebuildAction::Move));
  std::atomic<bool> cancel{false};
  TRebuildCallbacks callbacks;
  callbacks.Cancel = &cancel;
  callbacks.StepStarted = [&](size_t position, size_t, const TRebuildStep&) {
    if (position == 1) cancel = true;
  };
  const TRebuildReport report = RunRebuild(plan, callbacks);
  EXPECT_TRUE(report.Cancelled);
  EXPECT_EQ(report.Steps[0].State, TStepState::Written);
  EXPECT_EQ(report.Steps[1].Reason, "cancelled");
  EXPECT_FALSE(Exists(OutFile("B.nds")));
  EXPECT_TRUE(Exists(Roms() + "/b.nds"));
  EXPECT_FALSE(Exists(Roms() + "/a.nds"));
}

// Targets are flushed and renamed together, many at a time: one that cannot
// be flushed fails alone, and only its source stays.
TEST_F(RebuildFaultTest, AFailedFlushAmongTargetsPutInPlaceTogetherFailsOnlyItsStep) {
  std::map<std::string, std::string> dumps;  // target name -> bytes
  for (int i = 0; i < 40; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    const std::string data = Release(std::to_string(i + 1), "Game " + number, Dump("game " + number));
    dir_.Write("roms/" + number + ".nds", data);
    dumps["Game " + number + ".nds"] = data;
  }
  const TRebuildPlan plan = Plan(With(TRebuildAction::Move));
  TFaultFileSystem faults;
  faults.FailCall(TFileOp::Flush, 1, EIO, "Game 05.nds");
  TRebuildReport report;
  {
    TFileSystemOverride installed(faults);
    report = RunRebuild(plan);
  }
  ASSERT_EQ(report.Steps.size(), 40u);
  for (size_t i = 0; i < plan.Steps.size(); ++i) {
    const std::string name = fs::path(plan.Steps[i].Target).filename().string();
    if (name == "Game 05.nds") {
      EXPECT_EQ(report.Steps[i].State, TStepState::Failed);
      EXPECT_NE(report.Steps[i].Reason.find("Game 05.nds"), std::string::npos) << report.Steps[i].Reason;
      EXPECT_FALSE(Exists(plan.Steps[i].Target));
      EXPECT_EQ(ReadFile(plan.Steps[i].Source.Path), dumps[name]);
      continue;
    }
    EXPECT_EQ(report.Steps[i].State, TStepState::Written) << name << ": " << report.Steps[i].Reason;
    EXPECT_EQ(ReadFile(plan.Steps[i].Target), dumps[name]) << name;
    EXPECT_FALSE(Exists(plan.Steps[i].Source.Path)) << name;
  }
  EXPECT_EQ(report.RemovedSources.size(), 39u);
  ASSERT_EQ(report.KeptSources.size(), 1u);
  EXPECT_EQ(fs::path(report.KeptSources[0].Path).filename(), "05.nds");
  for (const auto& entry : fs::directory_iterator(Out()))
    EXPECT_FALSE(IsOwnTemporaryName(entry.path().filename().string())) << entry.path();
}

}  // namespace
}  // namespace vexmoor
