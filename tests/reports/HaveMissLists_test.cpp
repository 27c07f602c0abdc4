#include "reports/HaveMissLists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "support/TempDir.h"
#include "support/WriteFaults.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::AddEntry;

class HaveMissListsTest : public test::TempDirTest {
 protected:
  void Header(std::vector<std::string_view> lines) { state_.DatHeader.Rebuild(lines); }
  TAuditState state_;
};

TEST_F(HaveMissListsTest, TenEntriesSixFoundTwoMissingOneCachedOneBad) {
  Header({"[INFO]", "NAME=Test DS", "SYSTEM=Nintendo DS"});
  const char* found[] = {"zeta", "Alpha", "beta", "Gamma", "alpha", "Delta"};
  for (const char* name : found) AddEntry(state_, "", name, 0, StatusFound);
  AddEntry(state_, "", "Missing Two", 0, StatusMissing);
  AddEntry(state_, "", "missing one", 0, StatusMissing);
  AddEntry(state_, "", "Cached", 0, StatusCached);
  AddEntry(state_, "", "Bad", 0, StatusBad);
  state_.FoundCount = 6;
  SaveHaveMissLists(state_, dir_.Path());
  const std::string have = test::ReadFile(dir_ / "Test DS-Have.txt");
  // Case is ignored: "Alpha" and "alpha" sit together, in either order.
  const bool alphaFirst = have.find("Alpha\r\nalpha") != std::string::npos;
  const std::string alphas = alphaFirst ? "Alpha\r\nalpha\r\n" : "alpha\r\nAlpha\r\n";
  EXPECT_EQ(have, "You have 6 of 10 Nintendo DS roms.\r\n\r\n" + alphas +
                      "beta\r\nDelta\r\nGamma\r\nzeta\r\n");
  EXPECT_EQ(test::ReadFile(dir_ / "Test DS-Miss.txt"),
            "You are missing 4 of 10 Nintendo DS roms.\r\n\r\nmissing one\r\nMissing Two\r\n");
}

TEST_F(HaveMissListsTest, NoNameNoSystemAndEmptyLists) {
  AddEntry(state_, "", "Cached", 0, StatusCached);
  dir_.Write("-Have.txt", "old contents are replaced");
  SaveHaveMissLists(state_, dir_.Path() + "/");
  EXPECT_EQ(test::ReadFile(dir_ / "-Have.txt"), "You have 0 of 1  roms.\r\n\r\n");
  EXPECT_EQ(test::ReadFile(dir_ / "-Miss.txt"), "You are missing 1 of 1  roms.\r\n\r\n");
}

TEST_F(HaveMissListsTest, ANameWithSeparatorsStaysInTheFolder) {
  Header({"[INFO]", "NAME=../up/x\\y"});
  const THaveMissLists lists = BuildHaveMissLists(state_);
  EXPECT_EQ(lists.HaveFileName, ".._up_x_y-Have.txt");
  EXPECT_EQ(lists.MissFileName, ".._up_x_y-Miss.txt");
}

TEST_F(HaveMissListsTest, AFolderThatCannotBeWrittenThrows) {
  EXPECT_THROW(SaveHaveMissLists(state_, dir_ / "no/such/folder"), IoError);
}

// The miss list is replaced after the have list: whatever stops it, the
// have list keeps its old bytes (or stays absent), so the two never disagree.
TEST_F(HaveMissListsTest, AFailedMissListLeavesBothOldListsAsTheyWere) {
  Header({"[INFO]", "NAME=Set"});
  AddEntry(state_, "1", "Found Game", 1).Status = StatusFound;
  AddEntry(state_, "2", "Missing Game", 2);
  for (const bool oldLists : {true, false}) {
    std::map<std::string, std::string> before;
    if (oldLists) before = {{"Set-Have.txt", "old have"}, {"Set-Miss.txt", "old miss"}};
    for (const test::TWriteFault& fault : test::kWriteFaults) {
      for (const auto& [name, bytes] : test::FolderFiles(dir_.Path()))
        std::filesystem::remove(dir_ / name);
      for (const auto& [name, bytes] : before) dir_.Write(name, bytes);
      TFaultFileSystem faults;
      const TFileSystemOverride installed(faults);
      test::Inject(faults, fault, "Set-Miss.txt");
      try {
        SaveHaveMissLists(state_, dir_.Path());
        ADD_FAILURE() << fault.Name << ": the lists were written";
      } catch (const IoError& error) {
        EXPECT_EQ(error.what(), test::WriteFailure(dir_ / "Set-Miss.txt", fault));
      }
      EXPECT_EQ(test::FolderFiles(dir_.Path()), before) << fault.Name;
    }
  }
  const THaveMissLists lists = BuildHaveMissLists(state_);
  SaveHaveMissLists(state_, dir_.Path());
  EXPECT_EQ(test::FolderFiles(dir_.Path()),
            (std::map<std::string, std::string>{{"Set-Have.txt", lists.HaveText},
                                                {"Set-Miss.txt", lists.MissText}}));
}

}  // namespace
}  // namespace vexmoor
