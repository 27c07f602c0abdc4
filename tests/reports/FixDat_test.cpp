#include "reports/FixDat.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/TempDir.h"
#include "support/WriteFaults.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::AddEntry;

class FixDatTest : public test::TempDirTest, protected test::TListedCatalogue {};

TEST_F(FixDatTest, ByteForByteInListOrderSkippingFound) {
  AddEntry(state_, "1", "Zed \"Quoted\"", 0x0123ABCD, StatusMissing);
  AddEntry(state_, "2", "Found One", 0xFFFFFFFF, StatusFound);
  AddEntry(state_, "3", "Example", 0x00000042, StatusCached);
  AddEntry(state_, "4", "Bad One", 0xDEADBEEF, StatusBad);
  Fill({"[INFO]", "NAME=Test", "SYSTEM=Nintendo DS", "EXT=nds", "SORT=NAME"});
  const std::string expected =
      "clrmamepro (\r\n"
      "  name \"Nintendo DS Fix Dat\"\r\n"
      "  description \"Nintendo DS Fix Dat\"\r\n"
      ")\r\n"
      "\r\n"
      "game (\r\n"
      "  name \"Bad One\"\r\n"
      "  description \"Bad One\"\r\n"
      "  rom ( name \"Bad One.nds\" crc DEADBEEF )\r\n"
      ")\r\n"
      "\r\n"
      "game (\r\n"
      "  name \"Example\"\r\n"
      "  description \"Example\"\r\n"
      "  rom ( name \"Example.nds\" crc 00000042 )\r\n"
      ")\r\n"
      "\r\n"
      "game (\r\n"
      "  name \"Zed \"Quoted\"\"\r\n"
      "  description \"Zed \"Quoted\"\"\r\n"
      "  rom ( name \"Zed \"Quoted\".nds\" crc 0123ABCD )\r\n"
      ")\r\n"
      "\r\n";
  const std::string path = dir_ / "out.dat";
  SaveFixDat(state_, list_, path);
  EXPECT_EQ(test::ReadFile(path), expected);
  EXPECT_EQ(FixDatFileName(state_), "Test-fix.dat");
}

TEST_F(FixDatTest, NoSystemNoExtAndEverythingFound) {
  AddEntry(state_, "1", "A", 1, StatusMissing);
  Fill({"[INFO]"});
  EXPECT_EQ(BuildFixDat(state_, list_),
            "clrmamepro (\r\n  name \" Fix Dat\"\r\n  description \" Fix Dat\"\r\n)\r\n\r\n"
            "game (\r\n  name \"A\"\r\n  description \"A\"\r\n  rom ( name \"A.\" crc 00000001 "
            ")\r\n)\r\n\r\n");
  state_.Catalogue[0].Status = StatusFound;
  EXPECT_EQ(BuildFixDat(state_, list_),
            "clrmamepro (\r\n  name \" Fix Dat\"\r\n  description \" Fix Dat\"\r\n)\r\n\r\n");
}

class FixDatFaultTest : public FixDatTest,
                        public ::testing::WithParamInterface<test::TWriteFault> {};

TEST_P(FixDatFaultTest, AFailedWriteKeepsTheOldFixDatAndNamesIt) {
  AddEntry(state_, "1", "Lost", 0x0123ABCD, StatusMissing);
  Fill({"[INFO]", "NAME=Test", "SYSTEM=Nintendo DS", "EXT=nds"});
  const std::string path = dir_.Write("Test-fix.dat", "the old fix dat\r\n");
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  test::Inject(faults, GetParam(), "Test-fix.dat");
  try {
    SaveFixDat(state_, list_, path);
    FAIL() << "the fix dat was written";
  } catch (const IoError& error) {
    EXPECT_EQ(error.what(), test::WriteFailure(path, GetParam()));
  }
  EXPECT_EQ(test::FolderFiles(dir_.Path()),
            (std::map<std::string, std::string>{{"Test-fix.dat", "the old fix dat\r\n"}}));
}

INSTANTIATE_TEST_SUITE_P(Faults, FixDatFaultTest, ::testing::ValuesIn(test::kWriteFaults),
                         test::WriteFaultName);

}  // namespace
}  // namespace vexmoor
