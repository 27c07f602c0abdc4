// Copy, move, link and zip rebuilds of loose, zipped, 7z and rar sources.
#include <gtest/gtest.h>

#include <filesystem>

#include "rebuild/DumpCheck.h"
#include "scan/cmpread.h"
#include "tests/rebuild/RebuildTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

// Copies a shared fixture where a test may change or remove it: the
// fixtures are read-only, and Windows refuses to remove a read-only file.
void CopyWritable(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
}

using test::Dump;
using test::Exists;
using test::ReadFile;

class RebuildSetTest : public test::RebuildTest {
 protected:
  // Four releases: loose, zipped beside a text file, zipped alone, in a 7z.
  void MakeSet() {
    loose_ = Release("1", "Loose Game", Dump("loose"));
    zipped_ = Release("2", "Zipped Game", Dump("zipped"));
    alone_ = Release("3", "Alone Game", Dump("alone"));
    dir_.Write("roms/odd name.nds", loose_);
    dir_.Write("roms/pack.zip", test::BuildZip({{"in/z.nds", zipped_}, {"readme.txt", "hello"}}));
    dir_.Write("roms/alone.zip", test::BuildZip({{"a.nds", alone_}}));
    if (!test::HaveSevenZip()) return;
    seven_ = Release("4", "Seven Game", Dump("seven", 70000));
    dir_.Write("src7/s.nds", seven_);
    ASSERT_TRUE(test::RunSevenZip(dir_ / "src7", "a -m0=lzma2 " + test::ShellQuote(Roms() + "/s.7z") + " s.nds"));
  }
  std::string loose_, zipped_, alone_, seven_;
};

TEST_F(RebuildSetTest, CopyPutsEveryFoundDumpUnderItsDatNameAndLeavesTheSources) {
  MakeSet();
  const TRebuildReport report = Rebuild();
  EXPECT_EQ(Count(report, TStepState::Written), int(report.Steps.size()));
  EXPECT_EQ(ReadFile(OutFile("Loose Game.nds")), loose_);
  EXPECT_EQ(ReadFile(OutFile("Zipped Game.nds")), zipped_);
  EXPECT_EQ(ReadFile(OutFile("Alone Game.nds")), alone_);
  if (!seven_.empty()) {
    EXPECT_EQ(ReadFile(OutFile("Seven Game.nds")), seven_);
  }
  EXPECT_TRUE(Exists(Roms() + "/odd name.nds"));
  EXPECT_TRUE(Exists(Roms() + "/pack.zip"));
  EXPECT_TRUE(report.RemovedSources.empty());
  // Nothing but the targets: no temporary left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(Out()), fs::directory_iterator()),
            seven_.empty() ? 3 : 4);
}

TEST_F(RebuildSetTest, ASecondRunFindsEveryTargetPresent) {
  MakeSet();
  Rebuild();
  const TRebuildReport again = Rebuild();
  EXPECT_EQ(Count(again, TStepState::Present), int(again.Steps.size()));
  EXPECT_EQ(again.BytesWritten, 0u);
}

TEST_F(RebuildSetTest, MoveRemovesLooseDumpsAndArchivesWithNothingElseButKeepsOthers) {
  MakeSet();
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  EXPECT_EQ(Count(report, TStepState::Written), int(report.Steps.size()));
  EXPECT_FALSE(Exists(Roms() + "/odd name.nds"));
  EXPECT_FALSE(Exists(Roms() + "/alone.zip"));
  if (!seven_.empty()) {
    EXPECT_FALSE(Exists(Roms() + "/s.7z"));
  }
  // The readme in pack.zip is no release: the archive stays, its dump copied.
  EXPECT_TRUE(Exists(Roms() + "/pack.zip"));
  ASSERT_EQ(report.KeptSources.size(), 1u);
  EXPECT_EQ(report.KeptSources[0].Path, Roms() + "/pack.zip");
  EXPECT_EQ(report.KeptSources[0].Reason, "the archive holds other files");
  EXPECT_EQ(ReadFile(OutFile("Zipped Game.nds")), zipped_);
  EXPECT_EQ(ReadFile(OutFile("Loose Game.nds")), loose_);
}

TEST_F(RebuildSetTest, ZipWritesOneDeterministicZipPerRelease) {
  MakeSet();
  TRebuildOptions options;
  options.Zip = true;
  Rebuild(options);
  const std::string first = ReadFile(OutFile("Zipped Game.zip"));
  const TDumpSum sum = SumOnlyMember(OutFile("Zipped Game.zip"));
  EXPECT_EQ(sum.Crc, test::CrcOf(zipped_));
  TCmpRead directory;
  directory.SetFileName(OutFile("Zipped Game.zip"));
  ASSERT_EQ(directory.Entries().size(), 1u);
  EXPECT_EQ(directory.Entries()[0].Name, "Zipped Game.nds");
  fs::remove_all(Out());
  Rebuild(options);
  EXPECT_EQ(ReadFile(OutFile("Zipped Game.zip")), first);
  options.ZipStore = true;
  fs::remove_all(Out());
  Rebuild(options);
  EXPECT_GT(ReadFile(OutFile("Zipped Game.zip")).size(), zipped_.size());
  EXPECT_EQ(SumOnlyMember(OutFile("Alone Game.zip")).Crc, test::CrcOf(alone_));
}

TEST_F(RebuildSetTest, MoveIntoZipsRemovesTheSourcesOnceTheZipsReadBack) {
  MakeSet();
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move, true));
  EXPECT_EQ(Count(report, TStepState::Written), int(report.Steps.size()));
  EXPECT_FALSE(Exists(Roms() + "/odd name.nds"));
  EXPECT_EQ(SumOnlyMember(OutFile("Loose Game.zip")).Crc, test::CrcOf(loose_));
}

TEST_F(RebuildSetTest, LinksAreMadeForLooseDumpsAndMembersAreSkippedWithAReason) {
  MakeSet();
  const TRebuildReport hard = Rebuild(With(TRebuildAction::HardLink));
  EXPECT_TRUE(fs::equivalent(OutFile("Loose Game.nds"), Roms() + "/odd name.nds"));
  EXPECT_FALSE(Exists(OutFile("Zipped Game.nds")));
  EXPECT_EQ(hard.Steps[1].State, TStepState::Skipped);
  EXPECT_EQ(hard.Steps[1].Reason, "it lies inside an archive; only loose dumps can be linked");
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none";
#endif
  fs::remove_all(Out());
  Rebuild(With(TRebuildAction::SymbolicLink));
  ASSERT_TRUE(fs::is_symlink(OutFile("Loose Game.nds")));
  EXPECT_EQ(fs::read_symlink(OutFile("Loose Game.nds")).string(), Roms() + "/odd name.nds");
  // Again: the link is present, as the same release.
  const TRebuildReport again = Rebuild(With(TRebuildAction::SymbolicLink));
  EXPECT_EQ(again.Steps[0].State, TStepState::Present);
}

TEST_F(RebuildSetTest, AMoveOntoLinksOfItsSourcesRemovesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none that the rebuild can tell as links";
#endif
  MakeSet();
  Rebuild(With(TRebuildAction::SymbolicLink));
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  EXPECT_EQ(report.Steps[0].State, TStepState::Present);
  EXPECT_EQ(ReadFile(Roms() + "/odd name.nds"), loose_);
  EXPECT_EQ(ReadFile(OutFile("Loose Game.nds")), loose_);
  bool told = false;
  for (const TKeptSource& kept : report.KeptSources)
    told |= kept.Path == Roms() + "/odd name.nds" && kept.Reason == "it is the target itself";
  EXPECT_TRUE(told);
}

TEST_F(RebuildSetTest, RarMembersAreReadThroughLibarchive) {
  const std::string rar = test::SharedFixture("rar/test_read_format_rar.rar");
  if (rar.empty()) GTEST_SKIP() << "shared fixtures missing";
  fs::create_directories(Roms());
  CopyWritable(rar, Roms() + "/set.rar");
  TCmpRead directory;
  directory.SetFileName(Roms() + "/set.rar");
  const TCmpRecord* member = nullptr;
  for (const TCmpRecord& entry : directory.Entries())
    if (entry.UnpackedSize > 0 && (!member || entry.UnpackedSize > member->UnpackedSize)) member = &entry;
  ASSERT_NE(member, nullptr);
  test::AddEntry(state_, "1", "From Rar", member->Crc);
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  ASSERT_EQ(report.Steps.size(), 1u);
  EXPECT_EQ(report.Steps[0].State, TStepState::Written) << report.Steps[0].Reason;
  EXPECT_EQ(SumFile(OutFile("From Rar.nds")).Crc, member->Crc);
  if (directory.Entries().size() > 1) {
    EXPECT_TRUE(Exists(Roms() + "/set.rar"));
  }
}

// A rar set split over volumes: its member that spans them is read whole
// through libarchive, each release counts once, and a move removes no
// volume (other tools, and any member left, need every one of them).
TEST_F(RebuildSetTest, AMemberSpanningRarVolumesIsMovedWholeAndNoVolumeIsRemoved) {
  const char* volumes[] = {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"};
  fs::create_directories(Roms());
  for (const char* volume : volumes) {
    const std::string fixture = test::SharedFixture(std::string("rar/") + volume);
    if (fixture.empty()) GTEST_SKIP() << "shared fixtures missing";
    CopyWritable(fixture, Roms() + "/" + volume);
  }
  test::AddEntry(state_, "1", "Big", 0x509AD74C);  // 205000 bytes over all three volumes
  test::AddEntry(state_, "2", "Small", 0xD08A1F86);
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  ASSERT_EQ(report.Steps.size(), 2u);
  for (const TStepOutcome& outcome : report.Steps) EXPECT_EQ(outcome.State, TStepState::Written) << outcome.Reason;
  EXPECT_EQ(SumFile(OutFile("Big.nds")).Crc, 0x509AD74Cu);
  EXPECT_EQ(SumFile(OutFile("Big.nds")).Size, 205000u);
  EXPECT_EQ(SumFile(OutFile("Small.nds")).Crc, 0xD08A1F86u);
  for (const char* volume : volumes) EXPECT_TRUE(Exists(Roms() + "/" + volume)) << volume;
  EXPECT_TRUE(report.RemovedSources.empty());
  ASSERT_EQ(report.KeptSources.size(), 1u);
  EXPECT_EQ(report.KeptSources[0].Path, Roms() + "/rar3-old.rar");
  EXPECT_EQ(report.KeptSources[0].Reason, "the archive is one volume of a multi-volume set");
}

// One rar cut into six pieces by bytes: a member in the later pieces is
// found by the scan and moved whole; no piece is removed.
TEST_F(RebuildSetTest, AMemberOfARarCutIntoPiecesIsFoundAndMovedWhole) {
  fs::create_directories(Roms());
  for (int n = 1; n <= 6; ++n) {
    const std::string name = "Rar4.split.00" + std::to_string(n);
    const std::string fixture = test::SharedFixture("rar/" + name);
    if (fixture.empty()) GTEST_SKIP() << "shared fixtures missing";
    CopyWritable(fixture, Roms() + "/" + name);
  }
  test::AddEntry(state_, "1", "Picture", 0x088814E3);  // jpg\test.jpg, in the second to fifth piece
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move, true));
  ASSERT_EQ(report.Steps.size(), 1u);
  EXPECT_EQ(report.Steps[0].State, TStepState::Written) << report.Steps[0].Reason;
  EXPECT_EQ(SumOnlyMember(OutFile("Picture.zip")).Crc, 0x088814E3u);
  ASSERT_EQ(report.KeptSources.size(), 1u);
  EXPECT_EQ(report.KeptSources[0].Reason, "the archive is one volume of a multi-volume set");
  for (int n = 1; n <= 6; ++n) EXPECT_TRUE(Exists(Roms() + "/Rar4.split.00" + std::to_string(n))) << n;
}

// A volume gone between the scan and the rebuild: the spanning member
// cannot be read whole, so its step fails with libarchive's reason, nothing
// is written for it and no volume is removed. (Without the volume the scan
// finds nothing: only a member's last header holds the CRC of all of it.)
TEST_F(RebuildSetTest, AMemberWhoseVolumeIsGoneIsNeverWrittenPartly) {
  const char* volumes[] = {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"};
  test::AddEntry(state_, "1", "Big", 0x509AD74C);
  for (const bool zip : {false, true}) {
    SCOPED_TRACE(zip);
    fs::create_directories(Roms());
    for (const char* volume : volumes) {
      const std::string fixture = test::SharedFixture(std::string("rar/") + volume);
      if (fixture.empty()) GTEST_SKIP() << "shared fixtures missing";
      CopyWritable(fixture, Roms() + "/" + volume);
    }
    const TRebuildPlan plan = Plan(With(TRebuildAction::Move, zip));
    fs::remove(Roms() + "/rar3-old.r00");
    const TRebuildReport report = RunRebuild(plan);
    ASSERT_EQ(report.Steps.size(), 1u);
    EXPECT_EQ(report.Steps[0].State, TStepState::Failed);
    EXPECT_NE(report.Steps[0].Reason.find("rar3-old.rar"), std::string::npos) << report.Steps[0].Reason;
    EXPECT_TRUE(fs::is_empty(Out()));
    EXPECT_TRUE(Exists(Roms() + "/rar3-old.rar"));
    EXPECT_TRUE(Exists(Roms() + "/rar3-old.r01"));
  }
}

TEST_F(RebuildSetTest, TwoReleasesWithOneCrcBothGetTheDumpAndAMoveRemovesItOnce) {
  const std::string data = Dump("shared");
  Release("1", "First", data);
  Release("2", "Second", data);
  dir_.Write("roms/shared.nds", data);
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  EXPECT_EQ(Count(report, TStepState::Written), 2);
  EXPECT_EQ(ReadFile(OutFile("First.nds")), data);
  EXPECT_EQ(ReadFile(OutFile("Second.nds")), data);
  EXPECT_EQ(report.RemovedSources, std::vector<std::string>{Roms() + "/shared.nds"});
}

TEST_F(RebuildSetTest, AReleaseFoundTwiceIsWrittenOnceAndAMoveLeavesTheOtherCopy) {
  const std::string data = Release("1", "Twice", Dump("twice"));
  dir_.Write("roms/a.nds", data);
  dir_.Write("roms/b.nds", data);
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  ASSERT_EQ(report.Steps.size(), 1u);
  EXPECT_EQ(ReadFile(OutFile("Twice.nds")), data);
  EXPECT_EQ(Exists(Roms() + "/a.nds") + Exists(Roms() + "/b.nds"), 1);
}

TEST_F(RebuildSetTest, AnExistingTargetIsLeftWhenItIsTheReleaseAndSkippedWhenNot) {
  const std::string same = Release("1", "Same", Dump("same"));
  const std::string other = Release("2", "Other", Dump("other"));
  dir_.Write("roms/same.nds", same);
  dir_.Write("roms/other.nds", other);
  dir_.Write("out/Same.nds", same);
  dir_.Write("out/Other.nds", "a different file");
  const TRebuildReport report = Rebuild(With(TRebuildAction::Move));
  EXPECT_EQ(report.Steps[0].State, TStepState::Present);
  EXPECT_EQ(report.Steps[1].State, TStepState::Skipped);
  EXPECT_NE(report.Steps[1].Reason.find("another file is in the way"), std::string::npos);
  EXPECT_EQ(ReadFile(OutFile("Other.nds")), "a different file");
  // The present release's source goes (its target was read and checked);
  // the clashing one's stays.
  EXPECT_FALSE(Exists(Roms() + "/same.nds"));
  EXPECT_TRUE(Exists(Roms() + "/other.nds"));
}

TEST_F(RebuildSetTest, ANameWindowsRefusesIsWrittenSafe) {
  const std::string data = Release("1", "Zelda: Tracks?", Dump("zelda"));
  dir_.Write("roms/z.nds", data);
  const TRebuildPlan plan = Plan();
  ASSERT_EQ(plan.Steps.size(), 1u);
  EXPECT_EQ(plan.Steps[0].DatFileName, "Zelda: Tracks?.nds");
  RunRebuild(plan);
  EXPECT_EQ(ReadFile(OutFile("Zelda_ Tracks_.nds")), data);
}

TEST_F(RebuildSetTest, ASourceChangedSinceTheScanIsNotWritten) {
  const std::string data = Release("1", "Changed", Dump("changed"));
  dir_.Write("roms/c.nds", data);
  const TRebuildPlan plan = Plan(With(TRebuildAction::Move));
  dir_.Write("roms/c.nds", Dump("something else"));
  const TRebuildReport report = RunRebuild(plan);
  EXPECT_EQ(report.Steps[0].State, TStepState::Skipped);
  EXPECT_FALSE(Exists(OutFile("Changed.nds")));
  EXPECT_TRUE(Exists(Roms() + "/c.nds"));
}

// The rename race: another program puts a file at the target after the
// run saw it missing, while the dump is written. It is never replaced, on
// copy or move, and the move keeps the source.
TEST_F(RebuildSetTest, AFileThatAppearsAtTheTargetDuringTheWriteIsNeverReplaced) {
  for (const TRebuildAction action : {TRebuildAction::Copy, TRebuildAction::Move}) {
    fs::remove_all(Out());
    const std::string data = Release("1", "Raced Game", Dump("raced"));
    dir_.Write("roms/raced.nds", data);
    const TRebuildPlan plan = Plan(With(action));
    ASSERT_EQ(plan.Steps.size(), 1u);
    int pumps = 0;
    TRebuildCallbacks callbacks;
    // The first pump comes before the step looks at its target, the second
    // once the write has begun.
    callbacks.Pump = [&] {
      if (++pumps == 2) dir_.Write("out/Raced Game.nds", "theirs");
    };
    const TRebuildReport report = RunRebuild(plan, callbacks);
    ASSERT_GE(pumps, 2);
    EXPECT_EQ(report.Steps[0].State, TStepState::Skipped);
    EXPECT_EQ(report.Steps[0].Reason, "a file appeared at the target while it was written");
    EXPECT_EQ(ReadFile(OutFile("Raced Game.nds")), "theirs");
    EXPECT_EQ(ReadFile(Roms() + "/raced.nds"), data);
    EXPECT_EQ(std::distance(fs::directory_iterator(Out()), fs::directory_iterator()), 1);
    state_.Catalogue.Clear();
  }
}

}  // namespace
}  // namespace vexmoor
