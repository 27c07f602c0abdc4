// The pipelined scan gives what the plain walk gives: the same statuses,
// texts, counters, callback sequence, cache file and errors, for any number
// of workers and any look-ahead limits.
#include "scan/ScanPipeline.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/FileSystem.h"
#include "scan/EndPass.h"
#include "tests/scan/store/ChecksumTestUtil.h"
#include "support/ArchiveBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::AddEntry;
using test::CrcOf;
using test::Dump;

// Everything a scan leaves behind, as text, for comparing two scans.
struct TScanRecord {
  std::vector<std::string> Calls;  // every callback, in order
  std::string Outcome;             // counters, or the error that ended it
  std::string Catalogue;           // Status and StatusText of every entry
  std::string StatusColumn;        // the list's Status column
  std::string Cache;               // the cache file, if written
};

void ExpectSameScan(const TScanRecord& plain, const TScanRecord& piped, const std::string& how) {
  EXPECT_EQ(plain.Calls, piped.Calls) << how;
  EXPECT_EQ(plain.Outcome, piped.Outcome) << how;
  EXPECT_EQ(plain.Catalogue, piped.Catalogue) << how;
  EXPECT_EQ(plain.StatusColumn, piped.StatusColumn) << how;
  EXPECT_EQ(plain.Cache, piped.Cache) << how;
}

class ScanPipelineTest : public test::TempDirTest {
 protected:
  // A collection with most of what a scan meets: nested folders, loose
  // dumps (one twice, in two folders), a bad dump, zips, a part-style rar
  // set of three volumes, an old-style rar set, a set whose second volume
  // cannot be opened (skipped), files the masks leave out, and an entry
  // that two catalogue entries share.
  void MakeCollection() {
    auto dump = [&](const std::string& where, const std::string& data, bool known = true) {
      dir_.Write("roms/" + where, data);
      if (known) dumps_.push_back(CrcOf(data));
    };
    for (int i = 0; i < 6; ++i)
      dump("top " + std::to_string(i) + ".nds", Dump("top" + std::to_string(i)));
    const std::string twice = Dump("twice");
    dump("Europe/A/twice.nds", twice);
    dump("USA/B/C/twice.nds", twice);
    dump("USA/B/bad.nds", test::BadDump("bad"));
    dump("USA/B/unknown.nds", Dump("nobody"), false);
    dump("Japan/big.nds", Dump("big", 3 << 20));
    for (int d = 0; d < 5; ++d) {
      std::string folder = "Deep";
      for (int level = 0; level <= d; ++level) folder += "/L" + std::to_string(level);
      dump(folder + "/d.nds", Dump("deep" + std::to_string(d)));
      dir_.Write("roms/" + folder + "/notes.txt", "left out");
    }
    for (int z = 0; z < 4; ++z) {
      std::vector<test::ZipMember> members;
      for (int m = 0; m < 3; ++m) {
        members.push_back({"dir/m" + std::to_string(z * 3 + m) + ".nds",
                           Dump("zip" + std::to_string(z * 3 + m))});
        dumps_.push_back(CrcOf(members.back().data));
      }
      dir_.Write("roms/Zips/pack" + std::to_string(z) + ".zip", test::BuildZip(members));
    }
    for (int v = 1; v <= 3; ++v) {
      const std::string data = Dump("rar" + std::to_string(v));
      dumps_.push_back(CrcOf(data));
      dir_.Write("roms/Rars/set.part" + std::to_string(v) + ".rar",
                 test::BuildRarVolume({{"Vol\\r" + std::to_string(v) + ".nds", data}}, 0x0011));
    }
    const std::string old = Dump("old");
    dumps_.push_back(CrcOf(old));
    dir_.Write("roms/Rars/old.rar", test::BuildRarVolume({{"old.nds", old}}));
    dir_.Write("roms/Rars/locked.rar", test::BuildRarVolume({{"l.nds", Dump("locked")}}));
    fs::create_directories(dir_ / "roms/Rars/locked.r00");  // cannot be opened
    fs::create_directories(dir_ / "roms/Empty");
    fs::create_directories(dir_ / "roms/looks.zip");  // a folder all the same
    dir_.Write("roms/looks.zip/inner.nds", Dump("inner"));
    dumps_.push_back(CrcOf(Dump("inner")));
#ifndef _WIN32  // mingw-w64 and wine make no symbolic links
    fs::create_directory_symlink(dir_ / "roms/USA", dir_ / "roms/Deep/L0/back");  // a loop
#endif
  }

  // A catalogue of every dump of the collection (the first twice), one
  // cached and one already found entry, and entries that are not there.
  void FillCatalogue(TAuditState& state) const {
    int index = 0;
    auto add = [&](uint32_t crc, int32_t status = StatusMissing) -> TRomItem& {
      ++index;
      return AddEntry(state, std::to_string(index), "Release " + std::to_string(index), crc, status);
    };
    add(dumps_[0]);
    for (const uint32_t crc : dumps_) add(crc);
    add(0x01020304, StatusCached);
    add(0x05060708).Status = StatusFound;
    add(CrcOf(Dump("elsewhere")));
  }

  // Scans roms/ with `limits`; `stopAt` cancels at the pump after that path
  // is shown.
  // With `waitPumping`, the walk also pumps while it waits for a worker (as
  // a window has it); those pumps depend on timing and are not recorded.
  TScanRecord Scan(const TPipelineLimits& limits, const std::string& stopAt = "",
                   bool waitPumping = false) {
    TAuditState state;
    state.DatMask = "*.nds";
    state.CacheResults = true;
    state.DatPath = dir_ / "dats/x.qdat";
    fs::create_directories(dir_ / "dats");
    fs::remove(dir_ / "dats/x.qcache");
    FillCatalogue(state);
    TRomList list;
    TSortState sort;
    std::atomic<bool> cancel{false};
    TScanRecord record;
    TScanCallbacks callbacks;
    std::string shown;
    callbacks.SetPanelText = [&](int panel, const std::string& text) {
      record.Calls.push_back(std::to_string(panel) + " " + text);
      if (panel == 2) shown = text;
    };
    callbacks.ProcessMessages = [&] {
      record.Calls.push_back("pump");
      if (!stopAt.empty() && shown == Root() + stopAt) cancel = true;
    };
    if (waitPumping) callbacks.ProcessMessagesWhileWaiting = [] {};
    TScanEngine engine(state, list, sort, cancel, callbacks);
    engine.SetPipeline(limits);
    engine.SetChecksumStore(store_);
    try {
      const TScanOutcome outcome = engine.Run(dir_ / "roms");
      record.Outcome = "matched " + std::to_string(outcome.Matched) + " skipped " +
                       std::to_string(outcome.Skipped) +
                       (outcome.Cancelled ? " cancelled" : "");
    } catch (const Error& error) {
      record.Outcome = std::string(typeid(error).name()) + ": " + error.what() + " matched " +
                       std::to_string(engine.Matched());
    }
    for (const TRomItem& item : state.Catalogue)
      record.Catalogue += std::to_string(item.Status) + " " + item.StatusText + "\n";
    for (const TListRow& row : list) record.StatusColumn += list.RowText(row, kSubItemStatus) + "\n";
    if (fs::exists(dir_ / "dats/x.qcache")) record.Cache = test::ReadFile(dir_ / "dats/x.qcache");
    EXPECT_FALSE(state.ScanRunning);
    return record;
  }

  // The plain walk and the pipeline with several worker counts and limits.
  void ExpectPipelineMatchesPlainWalk(const std::string& stopAt = "") {
    const TScanRecord plain = Scan({}, stopAt);
    ASSERT_GT(plain.Calls.size(), 10u);
    const std::vector<TPipelineLimits> settings = {
        {2, 64, uint64_t{1} << 30}, {3, 64, uint64_t{1} << 30}, {8, 64, uint64_t{1} << 30},
        {2, 1, uint64_t{1} << 30},  {4, 3, 100000},            {5, 64, 1},
        // Dumps summed in stripes that idle workers join.
        {2, 64, uint64_t{1} << 30, 4096}, {3, 2, 100000, 1000}};
    // A window's scan: the walk's thread only waits, also with one worker.
    for (const unsigned workers : {1u, 2u}) {
      ExpectSameScan(plain, Scan({workers}, stopAt, true),
                     std::to_string(workers) + " workers, pumping while waiting");
    }
    for (const TPipelineLimits& limits : settings) {
      ExpectSameScan(plain, Scan(limits, stopAt),
                     std::to_string(limits.Workers) + " workers, " +
                         std::to_string(limits.MaxFiles) + " files, " +
                         std::to_string(limits.MaxBytes) + " bytes, stripes of " +
                         std::to_string(limits.StripeBytes));
    }
  }

  std::string Root() const { return dir_.Path() + "/"; }

  std::vector<uint32_t> dumps_;
  TChecksumStore* store_ = nullptr;
};

TEST_F(ScanPipelineTest, AFullScanIsTheSameWithAnyNumberOfWorkers) {
  MakeCollection();
  ExpectPipelineMatchesPlainWalk();
  const TScanRecord plain = Scan({});
  // Each dump once (the rar set's members too: the set is read once), the
  // shared entry and the twice-found dump again.
  EXPECT_EQ(plain.Outcome, "matched " + std::to_string(dumps_.size() + 1 + 2) + " skipped 1");
  EXPECT_FALSE(plain.Cache.empty());
}

// Without a pump the walk reads small dumps itself and, after a run of
// them, measures only a sample: large dumps among them (found by a sample
// or not) still give what the plain walk gives.
TEST_F(ScanPipelineTest, LargeDumpsAmongManySmallOnesAreTheSameWithAnyNumberOfWorkers) {
  MakeCollection();
  for (size_t i = 0; i < kSmallRunLength + 2 * kSmallRunSample; ++i) {
    const bool large = i == kSmallRunLength + 3 || i == kSmallRunLength + kSmallRunSample;
    const std::string data = Dump("run" + std::to_string(i), large ? kWorkerMinBytes + 5 : 300);
    dir_.Write("roms/Run/" + std::to_string(1000 + i) + ".nds", data);
    dumps_.push_back(CrcOf(data));
  }
  ExpectPipelineMatchesPlainWalk();
}

TEST_F(ScanPipelineTest, ScansThatRecallChecksumsGiveWhatAFullScanGives) {
  MakeCollection();
  const TScanRecord full = Scan({});
  std::vector<std::string> notices;
  const auto store = test::AheadStore(dir_ / "cache/checksums.sqlite3", notices);
  store_ = store.get();
  for (const unsigned workers : {1u, 2u, 3u}) {
    const std::string how = std::to_string(workers) + " workers";
    ExpectSameScan(full, Scan({workers}), "first scan, " + how);
    test::TOpenCounter opened;
    ExpectSameScan(full, Scan({workers}), "recalled, " + how);
    EXPECT_EQ(opened.FilesEndingIn(".nds"), 0u) << how;
    EXPECT_GT(opened.Files(), 0u) << how;  // archives are read
  }
  EXPECT_TRUE(notices.empty());
}

TEST_F(ScanPipelineTest, ACancelStopsAtTheSamePathWithAnyNumberOfWorkers) {
  MakeCollection();
  ExpectPipelineMatchesPlainWalk("roms/Zips/pack1.zip");
  EXPECT_NE(Scan({2}, "roms/Zips/pack1.zip").Outcome.find("cancelled"), std::string::npos);
  // At the very first path: the root is listed, nothing else examined.
  ExpectPipelineMatchesPlainWalk("roms/");
}

TEST_F(ScanPipelineTest, ErrorsEndTheScanAtTheSamePathWithAnyNumberOfWorkers) {
  MakeCollection();
  // A damaged archive is named and passed over, whoever read it.
  dir_.Write("roms/USA/B/C/damaged.zip", "not a zip");
  ExpectPipelineMatchesPlainWalk();
  EXPECT_NE(Scan({}).Outcome.find(" skipped 2"), std::string::npos);

  fs::remove(dir_ / "roms/USA/B/C/damaged.zip");
  dir_.Write("roms/Japan/locked.nds", Dump("locked"));
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::Open, 1, EACCES, "locked.nds", true);
  ExpectPipelineMatchesPlainWalk();
  EXPECT_NE(Scan({}).Outcome.find("FileOpenError"), std::string::npos);
}

TEST(ScanPipeline, APathListedAsAFileThatIsAFolderRebuildsTheLookAhead) {
  // The look-ahead assumes a path without the separator adds nothing to the
  // work list and lists the folders behind it; when it turns out to be a
  // folder, its entries go before those of the folders behind it, as the
  // walk adds them.
  test::TempDir dir;
  dir.Write("turned.nds/inner.nds", Dump("inner"));
  const std::string after = dir.Write("after.nds", Dump("after"));
  dir.Write("sub/x.nds", Dump("x"));
  TPipelineLimits limits;
  limits.Workers = 2;
  TLookAhead ahead(TScanMasks("*.nds"), limits);
  ahead.Append(dir / "turned.nds");
  ahead.Append(after);
  ahead.Append(dir / "sub/");
  const TLookAhead::TTaken turned = ahead.Take();
  EXPECT_EQ(turned.Path, dir / "turned.nds");
  ASSERT_EQ(turned.Examined.Kind, TWorkKind::Folder);
  EXPECT_TRUE(turned.Listed);
  ASSERT_EQ(turned.Examined.Entries.size(), 1u);
  EXPECT_EQ(ahead.Waiting(), 3u);  // after.nds, sub/ and turned.nds/inner.nds
  EXPECT_EQ(ahead.Take().Examined.Crc, CrcOf(Dump("after")));
  EXPECT_EQ(ahead.Take().Path, dir / "sub/");
  EXPECT_EQ(ahead.Waiting(), 2u);
  const TLookAhead::TTaken inner = ahead.Take();
  EXPECT_EQ(inner.Path, dir / "turned.nds/inner.nds");
  EXPECT_EQ(inner.Examined.Crc, CrcOf(Dump("inner")));
  EXPECT_EQ(ahead.Take().Examined.Crc, CrcOf(Dump("x")));
  EXPECT_TRUE(ahead.Empty());
}

TEST(ScanPipeline, DiscardsWorkInFlightAndJoinsWhenDestroyed) {
  test::TempDir dir;
  TPipelineLimits limits;
  limits.Workers = 4;
  TScanMasks masks("*.nds");
  {
    TLookAhead ahead(masks, limits);
    for (int i = 0; i < 40; ++i)
      ahead.Append(dir.Write("f" + std::to_string(i) + ".nds", Dump("f", 1 << 20)));
    const TExamined first = ahead.Take().Examined;
    EXPECT_EQ(ahead.WorkerCount(), 4u);
    EXPECT_EQ(first.Kind, TWorkKind::LooseDump);
    EXPECT_EQ(first.Crc, CrcOf(Dump("f", 1 << 20)));
  }  // 39 paths handed out, some being checksummed: the workers stop and join
  TLookAhead idle(masks, limits);  // never used: joins at once
}

// Small files cost one worker's walk: no thread starts until a path is
// worth one, or a dump is summed in stripes the workers can help with.
TEST(ScanPipeline, TheWorkersStartOnlyWhenAPathPaysThem) {
  test::TempDir dir;
  TPipelineLimits limits;
  limits.Workers = 2;
  limits.StripeBytes = kWorkerMinBytes / 4;  // the small dump is one, the large four
  const TScanMasks masks("*.nds");
  const std::string small = dir.Write("small.nds", Dump("small"));
  const std::string large = dir.Write("large.nds", Dump("large", kWorkerMinBytes));
  {
    TLookAhead ahead(masks, limits);
    EXPECT_FALSE(ahead.PaysTheWorkers(small));
    EXPECT_FALSE(ahead.PaysTheWorkers(dir / ""));  // a folder the walk lists itself
    EXPECT_TRUE(ahead.PaysTheWorkers(large));
    ahead.Append(small);
    EXPECT_EQ(ahead.Take().Examined.Crc, CrcOf(Dump("small")));
    EXPECT_EQ(ahead.WorkerCount(), 0u);
    // The walk's own read of a large dump offers its stripes: the workers
    // start and help.
    EXPECT_EQ(ExamineWorkItem(large, masks, nullptr, &ahead.Helpers()).Crc,
              CrcOf(Dump("large", kWorkerMinBytes)));
    EXPECT_EQ(ahead.WorkerCount(), 2u);
  }
  // A walk taken over after a path paid: the folders it listed are not
  // listed again through a link, and what waits is counted.
  dir.Write("sub/x.nds", Dump("x"));  // would join the list were the folder listed again
  TLookAhead ahead(masks, limits);
  const TFileStat root = CurrentFileSystem().Stat(dir.Path());
  TWalkedFolders walked;
  walked.insert({root.Device, root.Node});
  ahead.Adopt({large, dir / ""}, walked);
  EXPECT_EQ(ahead.Waiting(), 2u);
  EXPECT_EQ(ahead.Take().Examined.Crc, CrcOf(Dump("large", kWorkerMinBytes)));
  EXPECT_GT(ahead.WorkerCount(), 0u);
  const TLookAhead::TTaken again = ahead.Take();
  EXPECT_EQ(again.Examined.Kind, TWorkKind::Folder);
  EXPECT_FALSE(again.Listed);
  EXPECT_TRUE(ahead.Empty());
}

TEST(ScanPipeline, AnAbandonedChecksumStopsBeforeTheNextBlock) {
  test::TempDir dir;
  const std::string path = dir.Write("big.nds", Dump("big", 3 << 20));
  std::atomic<bool> abandon{false};
  EXPECT_EQ(ExamineWorkItem(path, TScanMasks("*.nds"), &abandon).Crc, CrcOf(Dump("big", 3 << 20)));
  abandon = true;
  const TExamined given = ExamineWorkItem(path, TScanMasks("*.nds"), &abandon);
  EXPECT_EQ(given.Crc, 0u);  // not one block read
  EXPECT_FALSE(given.TestedForBadDump);
}

}  // namespace
}  // namespace vexmoor
