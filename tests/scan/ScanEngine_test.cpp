#include "scan/ScanEngine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/DatLoader.h"
#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/Folder.h"
#include "scan/EndPass.h"
#include "support/ArchiveBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::AddEntry;
using test::CrcOf;
using test::Dump;

class ScanEngineTest : public test::ScanTest {};

TEST_F(ScanEngineTest, FolderEntriesJoinTheWorkListInterleavedInListingOrder) {
  TScanEngine engine(state_, list_, sort_, cancel_, Recording());
  TWorkList work("/r/a/");
  TExamined folder;
  folder.Kind = TWorkKind::Folder;
  folder.Identity = TFolderIdentity{1, 2};
  folder.Entries = {
      {"x.zip", false}, {"sub", true}, {"y.nds", false}, {"notes.txt", false}, {"d.zip", true}};
  engine.Apply("/r/a/", folder, &work);
  EXPECT_EQ(
      std::vector<std::string>(work.Paths().begin(), work.Paths().end()),
      (std::vector<std::string>{"/r/a/", "/r/a/x.zip", "/r/a/sub/", "/r/a/y.nds", "/r/a/d.zip/"}));
  EXPECT_EQ(pumps_, 5);  // once per folder entry
}

TEST_F(ScanEngineTest, WalksBreadthFirstAndPumpsOncePerPathAndEntry) {
  dir_.Write("a/y.nds", Dump("y"));
  dir_.Write("a/sub/deep/z.nds", Dump("z"));
  dir_.Write("a/sub/w.nds", Dump("w"));
  dir_.Write("a/x.zip", test::BuildZip({{"m.nds", "m"}}));
  dir_.Write("a/readme.txt", "not listed");
  Scan(dir_ / "a");
  // Expected order: each folder's kept entries in listing order, a
  // folder's contents only after everything already waiting.
  std::vector<std::string> expected{Root() + "a/"};
  int entries = 0;
  for (size_t next = 0; next < expected.size(); ++next) {
    if (expected[next].back() != '/') continue;
    for (const std::string& name : ListFolder(expected[next])) {
      ++entries;
      if (fs::is_directory(expected[next] + name))
        expected.push_back(expected[next] + name + "/");
      else if (name != "readme.txt")
        expected.push_back(expected[next] + name);
    }
  }
  expected.push_back(kScanCompleteText);
  EXPECT_EQ(shown_, expected);
  EXPECT_EQ(pumps_, static_cast<int>(expected.size()) - 1 + entries);
}

TEST_F(ScanEngineTest, OneFileMarksEveryEntryWithItsCrcAndCountsEach) {
  const std::string data = Dump("shared");
  AddEntry(state_, "1", "First", CrcOf(data));
  AddEntry(state_, "2", "Other", 0x12345678);
  AddEntry(state_, "3", "Second", CrcOf(data));
  const std::string path = dir_.Write("s.nds", data);
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Matched, 2);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[0].StatusText, path);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[2].StatusText, path);
  EXPECT_EQ(state_.FoundCount, 2);
  EXPECT_EQ(panels_[0], " Found : 2");
  EXPECT_EQ(panels_[1], " Missing : 1");
}

TEST_F(ScanEngineTest, BadDumpOnlyForMatchingLooseNdsFiles) {
  state_.DatMask = "*.nds;*.bin";
  const std::string bad = test::BadDump("bad"), binBad = test::BadDump("bin"),
                    zipped = test::BadDump("zip");
  const std::string shortFile = Dump("short", 0x7E00 + 511);
  AddEntry(state_, "1", "Loose nds", CrcOf(bad));
  AddEntry(state_, "2", "Loose bin", CrcOf(binBad));
  AddEntry(state_, "3", "Zipped", CrcOf(zipped));
  AddEntry(state_, "4", "Short", CrcOf(shortFile));
  dir_.Write("bad.nds", bad);
  dir_.Write("bad.bin", binBad);
  dir_.Write("z.zip", test::BuildZip({{"bad.nds", zipped}}));
  dir_.Write("short.nds", shortFile);
  dir_.Write("unmatched.nds", test::BadDump("nobody"));
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusBad);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[2].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[3].Status, StatusFound);
  EXPECT_EQ(outcome.Matched, 4);
  EXPECT_EQ(state_.FoundCount, 3);  // the bad dump is not found
}

TEST_F(ScanEngineTest, DatMaskTestsTheFullPathAndAnEmptyMaskReadsArchivesOnly) {
  const std::string loose = Dump("loose"), member = Dump("member");
  AddEntry(state_, "1", "Loose", CrcOf(loose));
  AddEntry(state_, "2", "Member", CrcOf(member));
  dir_.Write("game1.nds", loose);
  dir_.Write("set.zip", test::BuildZip({{"m.nds", member}}));
  state_.DatMask = "game*.nds";  // the name matches, the full path does not
  Scan(dir_.Path());
  EXPECT_NE(std::find(shown_.begin(), shown_.end(), Root() + "game1.nds"), shown_.end());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusFound);

  state_.Catalogue[1].Status = StatusMissing;
  state_.DatMask.clear();  // a Rom Center dat
  shown_.clear();
  Scan(dir_.Path());
  EXPECT_EQ(shown_, (std::vector<std::string>{Root(), Root() + "set.zip", kScanCompleteText}));
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  EXPECT_EQ(state_.Catalogue[1].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[1].StatusText, Root() + "set.zip\\m.nds");
}

// Regression: one damaged archive ended the whole audit. A 0-byte zip, a
// text file named .zip, random bytes named .rar or .001 threw "Unknown
// compression format." and nothing else came out; a zip cut short passed
// as empty and counted nothing skipped.
TEST_F(ScanEngineTest, OneDamagedArchiveNeverEndsTheAudit) {
  state_.CacheResults = true;
  state_.DatPath = dir_ / "x.qdat";
  const std::string early = Dump("early"), late = Dump("late"), zipped = Dump("zipped");
  AddEntry(state_, "1", "Early", CrcOf(early));
  AddEntry(state_, "2", "Late", CrcOf(late));
  AddEntry(state_, "3", "Zipped", CrcOf(zipped));
  dir_.Write("early.nds", early);
  dir_.Write("b/a-empty.zip", "");
  dir_.Write("b/b-text.zip", "not an archive at all\n");
  dir_.Write("b/c-random.rar", std::string("\x93\x11\xfe\x07random", 10));
  dir_.Write("b/d-random.001", std::string("\x01\x02\x03\x04\x05", 5));
  const std::string whole = test::BuildZip({{"z.nds", zipped}, {"y.nds", "y"}});
  dir_.Write("b/e-cut.zip", whole.substr(0, whole.size() - 30));
  dir_.Write("b/f-members.zip", whole);
  dir_.Write("b/c/late.nds", late);
  const TScanOutcome outcome = Scan(dir_.Path());
  for (const TRomItem& item : state_.Catalogue) EXPECT_EQ(item.Status, StatusFound) << item.Name;
  EXPECT_EQ(state_.FoundCount, 3);
  EXPECT_EQ(outcome.Skipped, 5);
  const std::string unknown = "\". Unknown compression format.";
  std::vector<std::string> named = outcome.Unexamined;
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, (std::vector<std::string>{
                       "Cannot read the archive \"" + Root() + "b/a-empty.zip" + unknown,
                       "Cannot read the archive \"" + Root() + "b/b-text.zip" + unknown,
                       "Cannot read the archive \"" + Root() + "b/c-random.rar" + unknown,
                       "Cannot read the archive \"" + Root() + "b/d-random.001" + unknown,
                       "Cannot read the archive \"" + Root() +
                           "b/e-cut.zip\". Damaged zip archive: no end record leads to its "
                           "directory (is it cut short?).",
                   }));
  EXPECT_TRUE(fs::exists(dir_ / "x.qcache"));
  EXPECT_EQ(panels_[2], " Scanning complete.");
}

TEST_F(ScanEngineTest, ADamagedArchiveKeepsItsReadableMembersAndIsNamed) {
  const std::string member = Dump("member");
  AddEntry(state_, "1", "Member", CrcOf(member));
  std::string zip = test::BuildZip({{"m.nds", member}});
  zip[zip.size() - 12] = 2;  // the end record announces two members
  zip[zip.size() - 14] = 2;
  dir_.Write("two.zip", zip);
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(outcome.Skipped, 1);
  ASSERT_EQ(outcome.Unexamined.size(), 1u);
  EXPECT_EQ(outcome.Unexamined[0],
            "Cannot read the archive \"" + Root() +
                "two.zip\". Damaged zip archive: its directory ends after 1 of 2 members.");
}

// Regression: rar part-volume sets cost N²: every .partK.rar re-read the
// whole set. The set is read once, from its first volume.
TEST_F(ScanEngineTest, ARarSetIsReadOnceFromItsFirstVolume) {
  std::vector<std::string> members;
  for (int v = 1; v <= 4; ++v) {
    members.push_back(Dump("member " + std::to_string(v)));
    AddEntry(state_, std::to_string(v), "M" + std::to_string(v), CrcOf(members.back()));
  }
  // The walk meets the later volumes first (a folder's entries in any
  // order); the set counts once and is placed at its first volume.
  for (int v = 4; v >= 1; --v)
    dir_.Write("set.part" + std::to_string(v) + ".rar",
               test::BuildRarVolume({{"m" + std::to_string(v) + ".nds", members[size_t(v - 1)]}}));
  dir_.Write("old.rar", test::BuildRarVolume({{"o.nds", "o"}}));
  dir_.Write("old.r00", test::BuildRarVolume({{"p.nds", "p"}}));
  for (const unsigned workers : {0u, 4u}) {
    SCOPED_TRACE(workers);
    const TScanOutcome outcome = Scan(dir_.Path(), workers);
    EXPECT_EQ(outcome.Matched, 4);
    EXPECT_TRUE(outcome.Unexamined.empty());
    for (int v = 1; v <= 4; ++v)
      EXPECT_EQ(state_.Catalogue[size_t(v - 1)].StatusText,
                Root() + "set.part1.rar\\m" + std::to_string(v) + ".nds");
  }
  // Without its first volume a set is read from the volume the walk meets.
  fs::remove(dir_ / "set.part1.rar");
  EXPECT_EQ(ExamineWorkItem(dir_ / "set.part3.rar", TScanMasks("*.nds")).Kind, TWorkKind::Archive);
  EXPECT_EQ(ExamineWorkItem(dir_ / "set.part3.rar", TScanMasks("*.nds")).Members.size(), 2u);
}

TEST_F(ScanEngineTest, CancelStopsAfterTheCurrentPathAndStillRunsTheEndPass) {
  state_.CacheResults = true;
  state_.DatPath = dir_ / "dats/x.qdat";
  fs::create_directories(dir_ / "dats");
  const std::string first = Dump("first");
  AddEntry(state_, "1", "First", CrcOf(first));
  AddEntry(state_, "2", "Never", 0x11111111);
  dir_.Write("roms/first.nds", first);
  dir_.Write("roms/more/second.nds", Dump("second"));
  onPump_ = [this] {
    if (!shown_.empty() && shown_.back() == Root() + "roms/first.nds") cancel_ = true;
  };
  const TScanOutcome outcome = Scan(dir_ / "roms");
  EXPECT_TRUE(outcome.Cancelled);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);  // the current path was finished
  EXPECT_EQ(std::count(shown_.begin(), shown_.end(), Root() + "roms/more/second.nds"), 0);
  EXPECT_EQ(panels_[0], " Found : 1");
  EXPECT_EQ(panels_[1], " Missing : 1");
  EXPECT_EQ(panels_[2], " Scanning complete.");
  EXPECT_EQ(test::ReadFile(dir_ / "dats/x.qcache"),
            std::string("QCAC\xE8\x03\x01\0\0\0", 10) +
                std::string(reinterpret_cast<const char*>(&state_.Catalogue[0].Crc), 4) + '\x01');
}

TEST_F(ScanEngineTest, TenEntriesWithThreeFoundOneCachedOneBad) {
  std::vector<std::string> dumps;
  for (int i = 0; i < 10; ++i) dumps.push_back(Dump("entry " + std::to_string(i)));
  dumps[4] = test::BadDump("entry 4");
  for (int i = 0; i < 10; ++i)
    AddEntry(state_, std::to_string(i), "N" + std::to_string(i), CrcOf(dumps[i]));
  state_.Catalogue[3].Status = StatusCached;
  for (int i : {0, 1, 2, 4}) dir_.Write("d" + std::to_string(i) + ".nds", dumps[i]);
  Scan(dir_.Path());
  EXPECT_EQ(panels_[0], " Found : 3");
  // Counted by status: the cached and the bad entry are not missing (the
  // count once took every entry that was not found).
  EXPECT_EQ(panels_[1], " Missing : 5");
  EXPECT_EQ(state_.Catalogue[3].Status, StatusCached);
  EXPECT_EQ(state_.Catalogue[4].Status, StatusBad);
}

TEST_F(ScanEngineTest, AFolderLinkBackIntoTheTreeIsWalkedOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none";
#else
  const std::string data = Dump("once");
  AddEntry(state_, "1", "Once", CrcOf(data));
  dir_.Write("top/a/once.nds", data);
  fs::create_directory_symlink(dir_ / "top", dir_ / "top/a/loop");
  fs::create_directory_symlink(dir_ / "top/a", dir_ / "top/again");
  const TScanOutcome outcome = Scan(dir_ / "top");
  EXPECT_FALSE(outcome.Cancelled);
  EXPECT_EQ(outcome.Matched, 1);
#endif
}

// A name is bytes: Latin-1, a stray continuation byte, a sequence cut
// short, or the 255 bytes a folder entry holds at most, in a folder whose
// name is as odd, is found and shown under its own bytes.
TEST_F(ScanEngineTest, NamesThatAreNotUtf8OrAre255BytesLongAreFoundAsTheyAre) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names are UTF-16: a name whose bytes are not UTF-8 cannot be made";
#else
  const std::string folder = "caf\xe9 \x80" + std::string(240, 'f');
  const std::vector<std::string> names = {"\xe9t\xe9.nds", "stray \x80\x81.nds", "cut \xe2\x82.nds",
                                          std::string(251, 'L') + ".nds"};
  ASSERT_EQ(folder.size(), 246u);
  ASSERT_EQ(names.back().size(), 255u);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string data = Dump("odd name " + std::to_string(i));
    AddEntry(state_, std::to_string(i + 1), names[i], CrcOf(data));
    dir_.Write(folder + "/" + names[i], data);
  }
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_FALSE(outcome.Cancelled);
  EXPECT_EQ(outcome.Matched, static_cast<int>(names.size()));
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(state_.Catalogue[i].Status, StatusFound);
    EXPECT_EQ(state_.Catalogue[i].StatusText, Root() + folder + "/" + names[i]);
  }
#endif
}

TEST_F(ScanEngineTest, AnUnreadableLooseDumpEndsTheScan) {
  AddEntry(state_, "1", "Gone", 0x22222222);
  dir_.Write("locked.nds", Dump("locked"));
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::Open, 1, EACCES, "locked.nds", true);
  EXPECT_THROW(Scan(dir_.Path()), FileOpenError);
  EXPECT_EQ(panels_[2], Root() + "locked.nds");
}

TEST_F(ScanEngineTest, ADumpThatFailsToReadHalfWayEndsTheScanNamingIt) {
  const std::string data = Dump("half", 1 << 20);
  AddEntry(state_, "1", "Half", CrcOf(data));
  const std::string path = dir_.Write("half.nds", data);
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailReadsAfter(300000, EIO, "half.nds");
  try {
    Scan(dir_.Path());
    FAIL() << "the scan ran to its end";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
  }
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
}

TEST_F(ScanEngineTest, ADanglingLinkOrFifoNamedLikeADumpNeitherHangsNorEndsTheScan) {
#ifdef _WIN32
  GTEST_SKIP() << "a FIFO in a folder exists on POSIX systems only";
#else
  const std::string data = Dump("real");
  AddEntry(state_, "1", "Real", CrcOf(data));
  dir_.Write("real.nds", data);
  fs::create_symlink(dir_ / "nowhere.bin", dir_ / "dangling.nds");
  ASSERT_EQ(::mkfifo((dir_ / "fifo.nds").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir_ / "fifo.zip").c_str(), 0600), 0);
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Matched, 1);
  EXPECT_EQ(outcome.Skipped, 0);
  EXPECT_EQ(shown_, (std::vector<std::string>{Root(), Root() + "real.nds", kScanCompleteText}));
#endif
}

TEST_F(ScanEngineTest, AFileThatVanishesBetweenListingAndReadingIsPassedOver) {
  AddEntry(state_, "1", "Gone", CrcOf(Dump("gone")));
  dir_.Write("sub/gone.nds", Dump("gone"));
  dir_.Write("sub/gone.zip", test::BuildZip({{"m.nds", "m"}}));
  onPump_ = [this] {  // listed, then gone before its turn
    if (!shown_.empty() && shown_.back() == Root() + "sub/gone.nds") fs::remove(dir_ / "sub/gone.nds");
    if (!shown_.empty() && shown_.back() == Root() + "sub/gone.zip") fs::remove(dir_ / "sub/gone.zip");
  };
  TScanEngine engine(state_, list_, sort_, cancel_, Recording());
  engine.SetPipeline({1});
  const TScanOutcome outcome = engine.Run(dir_.Path());
  EXPECT_EQ(outcome.Matched, 0);
  EXPECT_EQ(std::count(shown_.begin(), shown_.end(), Root() + "sub/gone.nds"), 1);
  EXPECT_EQ(panels_[2], " Scanning complete.");
}

TEST_F(ScanEngineTest, AWindowIsPumpedWhileOneSlowDumpIsRead) {
  const std::string data = Dump("slow", 3 << 20);  // 12 blocks of 256 KiB
  AddEntry(state_, "1", "Slow", CrcOf(data));
  dir_.Write("slow.nds", data);
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.SlowReads(std::chrono::milliseconds(30), "slow.nds");
  for (const unsigned workers : {1u, 2u}) {
    int waitPumps = 0;
    TScanCallbacks callbacks = Recording();
    callbacks.ProcessMessagesWhileWaiting = [&] { ++waitPumps; };
    TScanEngine engine(state_, list_, sort_, cancel_, callbacks);
    engine.SetPipeline({workers});
    EXPECT_EQ(engine.Run(dir_.Path()).Matched, 1);
    // About 360 ms of reading in slices of 20 ms; a loaded machine may
    // stretch a slice, never remove all of them.
    EXPECT_GE(waitPumps, 3) << workers << " workers";
  }
}

TEST_F(ScanEngineTest, AnArchiveThatCannotBeOpenedIsSkippedKeepingWhatWasRead) {
  // The set's second volume x.r00 is a folder: it exists but cannot be
  // opened as a file. The set is skipped and named; the member of its first
  // volume, read before, still counts.
  const std::string member = Dump("member");
  AddEntry(state_, "1", "Member", CrcOf(member));
  dir_.Write("x.rar", test::BuildRarVolume({{"m.nds", member}}));
  fs::create_directory(dir_ / "x.r00");
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(outcome.Skipped, 1);
  ASSERT_EQ(outcome.Unexamined.size(), 1u);
  EXPECT_NE(outcome.Unexamined[0].find(Root() + "x.r00"), std::string::npos);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(panels_[2], " Scanning complete.");
}

TEST_F(ScanEngineTest, AVanishedArchiveIsIgnoredNotReadAsTheLastOne) {
  EXPECT_EQ(ExamineWorkItem(dir_ / "gone.zip", TScanMasks("*.nds")).Kind, TWorkKind::Ignored);
}

TEST_F(ScanEngineTest, NoSecondScanAndNoLoadWhileOneRuns) {
  const std::string dat =
      dir_.Write("x.qdat", "[INFO]\r\nMASK=*.nds\r\n[DAT]\r\n0001|00000001|A\r\n");
  bool refusedScan = false, refusedLoad = false, tried = false;
  state_.DatLoader = TDatLoader::QuenDat;
  TScanEngine engine(state_, list_, sort_, cancel_, Recording());
  onPump_ = [&] {
    if (std::exchange(tried, true)) return;
    try {
      engine.Run(dir_.Path());
    } catch (const Error&) {
      refusedScan = true;
    }
    try {
      RunDatLoader(state_, dat);
    } catch (const Error&) {
      refusedLoad = true;
    }
  };
  engine.Run(dir_.Path());
  EXPECT_TRUE(refusedScan);
  EXPECT_TRUE(refusedLoad);
  EXPECT_EQ(state_.Catalogue.Count(), 0u);
  EXPECT_TRUE(RunDatLoader(state_, dat));  // allowed again afterwards
}

TEST_F(ScanEngineTest, TellsWhenItRebuildsTheListAndWhenItWritesTheStatusTexts) {
  const std::string data = Dump("told");
  AddEntry(state_, "1", "Told", CrcOf(data));
  dir_.Write("told.nds", data);
  std::vector<std::string> events;
  TScanCallbacks callbacks = Recording();
  callbacks.SetPanelText = [&](int panel, const std::string& text) {
    if (panel == 2) events.push_back(text);
  };
  callbacks.ListRebuilt = [&] { events.push_back("rebuilt " + std::to_string(list_.Count())); };
  callbacks.StatusTextsWritten = [&] {
    events.push_back("written " + list_.Text(0, kSubItemStatus).substr(0, 5));
  };
  TScanEngine engine(state_, list_, sort_, cancel_, callbacks);
  const TScanOutcome outcome = engine.Run(dir_.Path());
  EXPECT_EQ(events, (std::vector<std::string>{"rebuilt 1", Root(), Root() + "told.nds",
                                              "written Found", kScanCompleteText}));
  EXPECT_FALSE(outcome.Cancelled);
  EXPECT_TRUE(cancel_);  // the engine sets the flag itself when the work runs out
}

TEST_F(ScanEngineTest, ALargeListIsRebuiltAndEndPassedWithPumpsBetweenItsSteps) {
  for (uint32_t i = 0; i < 3000; ++i) AddEntry(state_, std::to_string(i), "Entry", 0x40000000 + i);
  const std::string data = Dump("stepped");
  AddEntry(state_, "3001", "Stepped", CrcOf(data));
  dir_.Write("stepped.nds", data);
  std::vector<std::string> events;
  TScanCallbacks callbacks = Recording();
  callbacks.SetPanelText = [&](int panel, const std::string& text) {
    if (panel == 2) events.push_back(text);
  };
  callbacks.ProcessMessagesBetweenChunks = [&] {
    events.push_back("step " + std::to_string(list_.Count()));
  };
  callbacks.ListRebuilt = [&] { events.push_back("rebuilt"); };
  callbacks.StatusTextsWritten = [&] { events.push_back("written"); };
  TScanEngine engine(state_, list_, sort_, cancel_, callbacks);
  EXPECT_EQ(engine.Run(dir_.Path()).Matched, 1);
  // 3001 rows: a pump after rows 1024 and 2048 of each loop; the old, empty
  // list stays in place until the rebuild is over.
  EXPECT_EQ(events,
            (std::vector<std::string>{"step 0", "step 0", "rebuilt", Root(), Root() + "stepped.nds",
                                      "step 3001", "step 3001", "written", kScanCompleteText}));
  EXPECT_EQ(pumps_, 3);  // the walk's own pumps are as before: two paths, one entry
}

TEST_F(ScanEngineTest, ACacheFileThatCannotBeWrittenKeepsTheFinishedResults) {
  state_.CacheResults = true;
  state_.DatPath = dir_ / "no such folder/x.qdat";
  const std::string data = Dump("kept");
  AddEntry(state_, "1", "Kept", CrcOf(data));
  AddEntry(state_, "2", "Missing", 0x33333333);
  dir_.Write("roms/kept.nds", data);
  bool written = false;
  TScanCallbacks callbacks = Recording();
  callbacks.StatusTextsWritten = [&] { written = true; };
  TScanEngine engine(state_, list_, sort_, cancel_, callbacks);
  const TScanOutcome outcome = engine.Run(dir_ / "roms");
  ASSERT_TRUE(outcome.CacheWriteError);
  EXPECT_THROW(std::rethrow_exception(outcome.CacheWriteError), IoError);
  EXPECT_TRUE(written);
  EXPECT_EQ(outcome.Matched, 1);
  EXPECT_EQ(state_.FoundCount, 1);
  EXPECT_EQ(panels_[0], " Found : 1");
  EXPECT_EQ(panels_[1], " Missing : 1");
  EXPECT_EQ(panels_[2], " Scanning complete.");
}

TEST_F(ScanEngineTest, AThrowLeavesTheStatusTextsUnwritten) {
  AddEntry(state_, "1", "Gone", 0x22222222);
  dir_.Write("b/locked.nds", Dump("locked"));
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  faults.FailCall(TFileOp::Open, 1, EACCES, "locked.nds", true);
  bool rebuilt = false, written = false;
  TScanCallbacks callbacks = Recording();
  callbacks.ListRebuilt = [&] { rebuilt = true; };
  callbacks.StatusTextsWritten = [&] { written = true; };
  TScanEngine engine(state_, list_, sort_, cancel_, callbacks);
  EXPECT_THROW(engine.Run(dir_.Path()), FileOpenError);
  EXPECT_TRUE(rebuilt);
  EXPECT_FALSE(written);
  EXPECT_FALSE(cancel_);
  EXPECT_EQ(list_.Text(0, kSubItemStatus), "");
}

}  // namespace
}  // namespace vexmoor
