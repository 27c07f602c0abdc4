#include "rebuild/RebuildPlan.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TRomItem& Add(TCatalogue& catalogue, const std::string& index, const std::string& name, uint32_t crc,
              int32_t status = StatusFound, const std::string& location = "") {
  TRomItem& item = catalogue.Append();
  item.Index = index;
  item.Name = name;
  item.Crc = crc;
  item.Status = status;
  item.StatusText = location;
  return item;
}

TEST(RebuildPlan, TakesFoundReleasesWithLocationsNamedFromTheDat) {
  TCatalogue catalogue;
  Add(catalogue, "1", "Alpha", 1, StatusFound, "/roms/a.bin");
  Add(catalogue, "2", "Beta", 2, StatusMissing);
  Add(catalogue, "3", "Gamma", 3, StatusCached, "Cached");
  Add(catalogue, "4", "Delta", 4, StatusBad, "/roms/d.nds");
  TRomItem& member = Add(catalogue, "5", "Epsilon", 5, StatusFound, "/roms/x\\y.zip\\sub/e.nds");
  member.Member = "sub/e.nds";
  member.Trimmed = true;
  const TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", {});
  ASSERT_EQ(plan.Steps.size(), 2u);
  EXPECT_EQ(plan.Steps[0].Source.Path, "/roms/a.bin");
  EXPECT_EQ(plan.Steps[0].Target, "/out/Alpha.nds");
  // The archive's own name may hold the separator: the member name splits it.
  EXPECT_EQ(plan.Steps[1].Source.Path, "/roms/x\\y.zip");
  EXPECT_EQ(plan.Steps[1].Source.Member, "sub/e.nds");
  EXPECT_TRUE(plan.Steps[1].Source.Trimmed);
  EXPECT_EQ(plan.Steps[1].Entry, 4u);
}

// A dat that mixes extensions (.nds, .bin, .ids) names each rom itself: the
// target takes that name, not the release name and one extension for all.
TEST(RebuildPlan, TheRomsOwnFileNameWinsOverNameAndExtension) {
  TCatalogue catalogue;
  Add(catalogue, "1", "Alpha (Europe)", 1, StatusFound, "/roms/a.bin").RomName =
      "Alpha (Europe).bin";
  Add(catalogue, "2", "Beta", 2, StatusFound, "/roms/b.nds");
  const TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", {});
  ASSERT_EQ(plan.Steps.size(), 2u);
  EXPECT_EQ(plan.Steps[0].Target, "/out/Alpha (Europe).bin");
  EXPECT_EQ(plan.Steps[1].Target, "/out/Beta.nds");
}

TEST(RebuildPlan, ZipTargetsHoldTheFileNameAsTheirMember) {
  TCatalogue catalogue;
  Add(catalogue, "1", "Alpha", 1, StatusFound, "/roms/a.bin");
  TRebuildOptions options;
  options.Zip = true;
  const TRebuildPlan plan = BuildRebuildPlan(catalogue, "", "/out/", options);
  EXPECT_EQ(plan.Steps[0].Target, "/out/Alpha.zip");
  EXPECT_EQ(plan.Steps[0].FileName, "Alpha");
}

TEST(RebuildPlan, NamesWindowsRefusesAreMadeSafeAndTheDatNameKept) {
  TCatalogue catalogue;
  Add(catalogue, "1", "Zelda: Tracks?", 1, StatusFound, "/r/z");
  const TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", {});
  EXPECT_EQ(plan.Steps[0].FileName, "Zelda_ Tracks_.nds");
  EXPECT_EQ(plan.Steps[0].DatFileName, "Zelda: Tracks?.nds");
  EXPECT_EQ(plan.Steps[0].Target, "/out/Zelda_ Tracks_.nds");
}

TEST(RebuildPlan, TwoReleasesOfOneTargetNameGetTheirNumbers) {
  TCatalogue catalogue;
  Add(catalogue, "7", "Same", 1, StatusFound, "/r/a");
  Add(catalogue, "8", "same", 2, StatusFound, "/r/b");
  Add(catalogue, "9", "Same", 3, StatusFound, "/r/c");
  const TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", {});
  EXPECT_EQ(plan.Steps[0].Target, "/out/Same.nds");
  EXPECT_EQ(plan.Steps[1].Target, "/out/same (8).nds");
  EXPECT_EQ(plan.Steps[2].Target, "/out/Same (9).nds");
}

TEST(RebuildPlan, SubfoldersByRegionOrFirstLetter) {
  TCatalogue catalogue;
  Add(catalogue, "1", "alpha", 1, StatusFound, "/r/a").Country = "Europe";
  Add(catalogue, "2", "2 in 1", 2, StatusFound, "/r/b");
  Add(catalogue, "3", "\xC3\x89t\xC3\xA9", 3, StatusFound, "/r/c").Country = "A/B";
  TRebuildOptions options;
  options.Subfolder = TRebuildSubfolder::Region;
  TRebuildPlan plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
  EXPECT_EQ(plan.Steps[0].Target, "/out/Europe/alpha.nds");
  EXPECT_EQ(plan.Steps[1].Target, "/out/Unknown/2 in 1.nds");
  EXPECT_EQ(plan.Steps[2].Target, "/out/A_B/\xC3\x89t\xC3\xA9.nds");
  options.Subfolder = TRebuildSubfolder::FirstLetter;
  plan = BuildRebuildPlan(catalogue, "nds", "/out", options);
  EXPECT_EQ(plan.Steps[0].Target, "/out/A/alpha.nds");
  EXPECT_EQ(plan.Steps[1].Target, "/out/2/2 in 1.nds");
  EXPECT_EQ(plan.Steps[2].Target, "/out/#/\xC3\x89t\xC3\xA9.nds");
}

TEST(RebuildPlan, BytesToWriteCountsPaddingAndNothingForLinks) {
  TRebuildPlan plan;
  TRebuildStep step;
  step.SourceBytes = 100000;
  step.Source.Trimmed = true;
  EXPECT_EQ(BytesToWrite(plan, step), 100000u);
  plan.Options.PadTrimmed = true;
  EXPECT_EQ(BytesToWrite(plan, step), 128u * 1024);
  step.Size = 256u * 1024;
  EXPECT_EQ(BytesToWrite(plan, step), 256u * 1024);
  plan.Options.Action = TRebuildAction::SymbolicLink;
  EXPECT_EQ(BytesToWrite(plan, step), 0u);
}

}  // namespace
}  // namespace vexmoor
