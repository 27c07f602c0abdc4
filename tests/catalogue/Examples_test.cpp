// The sample dats in examples/: they load, agree with each other, and list
// the CRCs of the dumps that scripts/make-sample-dats.py describes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "catalogue/DatContainer.h"
#include "catalogue/DatLoader.h"
#include "catalogue/TextLines.h"
#include "scan/AuditState.h"

namespace vexmoor {
namespace {

std::string Example(std::string_view name) {
  return std::string(VEXMOOR_SOURCE_DIR) + "/examples/" + std::string(name);
}

// Dump `id`: "VEXMOOR SAMPLE DUMP <id>\n" repeated, cut at 4096 bytes.
uint32_t SampleDumpCrc(const std::string& id) {
  const std::string line = "VEXMOOR SAMPLE DUMP " + id + "\n";
  std::string dump;
  while (dump.size() < 4096) dump += line;
  dump.resize(4096);
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(dump.data()), 4096));
}

TEST(Examples, ContainerHoldsTheNativeSampleText) {
  const auto text = ReadQuenDatText(Example("sample-ds.qdat"));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, ReadQuenDatText(Example("sample-ds.txt")));
  EXPECT_EQ(ReadDatTimeStamp(Example("sample-ds.qdat")), 46357.5);
}

TEST(Examples, NativeSampleListsTheSampleDumps) {
  TAuditState state;
  state.CacheResults = false;
  ASSERT_TRUE(LoadQuenDat(state, Example("sample-ds.qdat")));
  ASSERT_EQ(state.Catalogue.Count(), 40u);
  EXPECT_EQ(state.DatMask, "*.nds");
  EXPECT_EQ(state.DatHeader.ReadString("INFO", "EXT", ""), "nds");
  for (const TRomItem& entry : state.Catalogue) {
    // 0040 is a re-release on the cartridge image of 0017.
    const std::string dump = entry.Index == "0040" ? "0017" : entry.Index;
    EXPECT_EQ(entry.Crc, SampleDumpCrc(dump)) << entry.Index;
    EXPECT_EQ(entry.Country.size(), 1u);
  }
}

TEST(Examples, RomCenterSampleIsWindows1252) {
  TAuditState state;
  state.CacheResults = false;
  LoadRomCenter(state, Example("sample-rc.dat"));
  ASSERT_EQ(state.Catalogue.Count(), 6u);
  EXPECT_EQ(state.Catalogue[3].Name, "Brambleknot D\xE9tectives (France)");
  EXPECT_EQ(state.Catalogue[3].Crc, SampleDumpCrc("0006"));
  EXPECT_EQ(state.Catalogue[5].Index, "0006");
}

}  // namespace
}  // namespace vexmoor
