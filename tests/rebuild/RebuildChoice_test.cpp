#include "rebuild/RebuildChoice.h"

#include <gtest/gtest.h>

#include "catalogue/LoadedDat.h"
#include "scan/EndPass.h"

namespace vexmoor {
namespace {

TRomItem& Add(TCatalogue& catalogue, const std::string& name, int32_t status, const std::string& location,
              const std::string& member = "") {
  TRomItem& item = catalogue.Append();
  item.Index = std::to_string(catalogue.Count());
  item.Name = name;
  item.Status = status;
  item.StatusText = location;
  item.Member = member;
  return item;
}

TEST(RebuildChoice, OfferCountsWhatTheScanFoundAtKnownPlaces) {
  TCatalogue catalogue;
  Add(catalogue, "Loose", StatusFound, "/roms/a.nds");
  Add(catalogue, "Trimmed", StatusFound, "/roms/b.nds").Trimmed = true;
  Add(catalogue, "Zipped", StatusFound, "/roms/c.zip\\c.nds", "c.nds");
  Add(catalogue, "Cached", StatusCached, "Cached");
  Add(catalogue, "Missing", StatusMissing, "");
  Add(catalogue, "Bad", StatusBad, "/roms/d.nds");
  const TRebuildOffer offer = RebuildOfferFor(catalogue);
  EXPECT_EQ(offer.Releases, 3u);
  EXPECT_EQ(offer.Loose, 2u);
  EXPECT_EQ(offer.Trimmed, 1u);
  EXPECT_EQ(offer.Cached, 1u);
  EXPECT_EQ(offer.Actions, (std::vector<TRebuildAction>{TRebuildAction::Copy, TRebuildAction::Move,
                                                        TRebuildAction::HardLink, TRebuildAction::SymbolicLink}));
  EXPECT_EQ(RebuildOfferText(offer),
            "3 releases found: 2 loose, 1 in archives, 1 trimmed.\n"
            "1 release known only from the cache file is left out: their place is not known. "
            "Scan again with Cache Results off to include it.");
  // The plan takes exactly the releases the offer counts.
  TLoadedDat dat;
  dat.Catalogue = catalogue;
  EXPECT_EQ(PlanRebuild(dat, "/out", {}).Steps.size(), offer.Releases);
}

// Only archive members found: a link has nothing it could take, so none is
// offered; a catalogue with nothing found offers nothing to rebuild.
TEST(RebuildChoice, LinksAreOfferedOnlyForLooseDumps) {
  TCatalogue catalogue;
  Add(catalogue, "Zipped", StatusFound, "/roms/c.zip\\c.nds", "c.nds");
  const TRebuildOffer offer = RebuildOfferFor(catalogue);
  EXPECT_EQ(offer.Actions, (std::vector<TRebuildAction>{TRebuildAction::Copy, TRebuildAction::Move}));
  EXPECT_EQ(RebuildOfferText(offer), "1 release found: 0 loose, 1 in archives.");
  EXPECT_EQ(RebuildOfferFor(TCatalogue()).Releases, 0u);
}

TEST(RebuildChoice, ALinkIsNeitherZippedNorPaddedAndAnOutputIsNeeded) {
  EXPECT_TRUE(ZipAllowed(TRebuildAction::Move));
  EXPECT_FALSE(ZipAllowed(TRebuildAction::HardLink));
  EXPECT_FALSE(PadAllowed(TRebuildAction::SymbolicLink));
  TRebuildOptions options;
  EXPECT_EQ(RebuildChoiceProblem("/out", options), "");
  EXPECT_EQ(RebuildChoiceProblem("  ", options), "Choose the folder to rebuild into.");
  options.Action = TRebuildAction::SymbolicLink;
  options.Zip = true;
  EXPECT_EQ(RebuildChoiceProblem("/out", options), "A link cannot be zipped.");
  options.Zip = false;
  options.PadTrimmed = true;
  EXPECT_EQ(RebuildChoiceProblem("/out", options), "A link cannot be padded.");
}

// The dat names its files with EXT when it names no rom.
TEST(RebuildChoice, PlanTakesTheDatsExtension) {
  TLoadedDat dat;
  dat.DatHeader.SetString("INFO", "EXT", "nds");
  Add(dat.Catalogue, "Alpha", StatusFound, "/roms/a.bin");
  EXPECT_EQ(PlanRebuild(dat, "/out", {}).Steps.at(0).Target, "/out/Alpha.nds");
}

// After a move the list showed the places the scan saw, whose files were
// gone: a moved release now lies at its target, loose or zipped.
TEST(RebuildChoice, AMovedReleaseTakesItsTargetAsItsPlace) {
  TCatalogue catalogue;
  Add(catalogue, "Alpha", StatusFound, "/roms/a.nds");
  Add(catalogue, "Beta", StatusFound, "/roms/pack.zip\\b.nds", "b.nds").Trimmed = true;
  Add(catalogue, "Gamma", StatusFound, "/roms/g.nds");
  Add(catalogue, "Delta", StatusFound, "/roms/set.rar\\d.nds", "d.nds");
  TRebuildOptions options;
  options.Action = TRebuildAction::Move;
  TRebuildReport report;
  report.Steps = {{TStepState::Written, ""},
                  {TStepState::Present, ""},
                  {TStepState::Failed, "No space left on device"},
                  {TStepState::Skipped, "another file is in the way"}};
  const TCatalogue before = catalogue;
  TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
  EXPECT_EQ(TakeMovedPlaces(catalogue, plan, report), (std::vector<size_t>{0, 1}));
  EXPECT_EQ(catalogue[0].StatusText, "/out/Alpha.nds");
  EXPECT_EQ(catalogue[0].Member, "");
  EXPECT_EQ(catalogue[1].StatusText, "/out/Beta.nds");
  EXPECT_TRUE(catalogue[1].Trimmed);  // moved as it was, unpadded
  EXPECT_EQ(EndPassStatusText(catalogue[0]).value(), "Found : \"Alpha.nds\"  ::  \"/out/\"");
  EXPECT_EQ(FoundDumpFile(catalogue[0]), "/out/Alpha.nds");
  // Not put in place: the source is kept, and so is the place.
  EXPECT_EQ(catalogue[2].StatusText, "/roms/g.nds");
  EXPECT_EQ(catalogue[3].StatusText, "/roms/set.rar\\d.nds");
  EXPECT_EQ(catalogue[3].Member, "d.nds");
  // Zipped and padded: the zip and its member, no longer trimmed.
  catalogue = before;
  options.Zip = options.PadTrimmed = true;
  plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
  EXPECT_EQ(TakeMovedPlaces(catalogue, plan, report).size(), 2u);
  EXPECT_EQ(catalogue[1].StatusText, "/out/Beta.zip\\Beta.nds");
  EXPECT_EQ(catalogue[1].Member, "Beta.nds");
  EXPECT_FALSE(catalogue[1].Trimmed);
  EXPECT_EQ(FoundDumpFile(catalogue[1]), "/out/Beta.zip");
  EXPECT_EQ(EndPassStatusText(catalogue[1]).value(), "Found : \"Beta.nds\"  ::  \"/out/Beta.zip\\\"");
  // A copy or a link leaves every source, and every place, as it was.
  for (const TRebuildAction action : {TRebuildAction::Copy, TRebuildAction::HardLink}) {
    catalogue = before;
    options = {};
    options.Action = action;
    plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
    EXPECT_TRUE(TakeMovedPlaces(catalogue, plan, report).empty());
    EXPECT_EQ(catalogue[0].StatusText, "/roms/a.nds");
  }
  // A catalogue that changed since the plan is left alone.
  catalogue = before;
  options.Action = TRebuildAction::Move;
  plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
  catalogue[0].Index = "99";
  EXPECT_EQ(TakeMovedPlaces(catalogue, plan, report), (std::vector<size_t>{1}));
  EXPECT_EQ(catalogue[0].StatusText, "/roms/a.nds");
}

TEST(RebuildChoice, SummaryCountsThenGivesEachReasonThenTheSources) {
  TRebuildPlan plan;
  TRebuildReport report;
  const char* names[] = {"A", "B", "C", "D", "E"};
  for (const char* name : names) {
    TRebuildStep step;
    step.Name = name;
    plan.Steps.push_back(step);
  }
  report.Steps = {{TStepState::Written, ""},
                  {TStepState::Present, ""},
                  {TStepState::Skipped, "another file is in the way"},
                  {TStepState::Skipped, "it lies inside an archive"},
                  {TStepState::Failed, "No space left on device"}};
  report.RemovedSources = {"/roms/a.nds"};
  report.KeptSources = {{"/roms/c.zip", "the archive holds other files"}};
  EXPECT_EQ(RebuildStatusText(report), " Rebuilt: 1 written, 1 already present, 2 skipped, 1 failed.");
  EXPECT_EQ(RebuildSummaryText(plan, report, 1),
            " Written : 1\n Already present : 1\n Skipped : 2\n Failed : 1\n"
            "\nFailed:\nE: No space left on device\n"
            "\nSkipped:\nC: another file is in the way\n... and 1 more\n"
            "\nSources removed: 1\n"
            "\nSources kept:\n/roms/c.zip: the archive holds other files");
  report.Cancelled = true;
  EXPECT_EQ(RebuildStatusText(report).rfind(" Rebuild cancelled: 1 written", 0), 0u);
  EXPECT_EQ(RebuildSummaryText(plan, report).rfind("The rebuild was cancelled", 0), 0u);
}

// A dat's Windows-1252 name beside a UTF-8 path: the summary once took the
// whole text as Windows-1252 and garbled the path.
TEST(RebuildChoice, SummaryShowsADatNameAndAUtf8PathEachAsItIs) {
  TRebuildPlan plan;
  TRebuildReport report;
  TRebuildStep step;
  step.Name = "Caf\xE9";
  plan.Steps.push_back(step);
  report.Steps = {{TStepState::Skipped, "another file is in the way"}};
  report.KeptSources = {{"/roms/R\xC3\xA9sum\xC3\xA9.zip", "the archive holds other files"}};
  const std::string text = RebuildSummaryText(plan, report);
  EXPECT_NE(text.find("Caf\xC3\xA9: another file"), std::string::npos) << text;
  EXPECT_NE(text.find("/roms/R\xC3\xA9sum\xC3\xA9.zip: the archive"), std::string::npos) << text;
}

}  // namespace
}  // namespace vexmoor
