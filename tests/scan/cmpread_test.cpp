#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "platform/Errors.h"
#include "scan/archive/ArchiveTestUtil.h"
#include "scan/cmpread.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

class CmpReadTest : public test::TempDirTest {};

TEST_F(CmpReadTest, AssignmentReplacesEntriesAndMissingFilesAreIgnored) {
  TCmpRead reader;
  EXPECT_EQ(reader.FileName(), "");
  EXPECT_EQ(reader.Count(), 0u);
  const std::string zip = dir_.Write("a.zip", test::BuildZip({{"x.nds", "x"}, {"y.nds", "yy"}}));
  reader.SetFileName(zip);
  ASSERT_EQ(reader.Count(), 2u);
  EXPECT_EQ(reader.Items(1), (TCmpRecord{"y.nds", 0x96FD19D8, 2, 2}));
  EXPECT_THROW(reader.Items(2), std::out_of_range);
  reader.SetFileName(dir_ / "missing.zip");
  EXPECT_EQ(reader.FileName(), zip);
  EXPECT_EQ(reader.Count(), 2u);
  // Assigning the name already held reads the archive again.
  reader.SetFileName(reader.FileName());
  EXPECT_EQ(reader.Count(), 2u);
  const std::string rar = dir_.Write("b.rar", test::BuildRarVolume({{"z.nds", "z"}}));
  reader.SetFileName(rar);
  EXPECT_EQ(reader.FileName(), rar);
  EXPECT_EQ(test::Listing(reader.Entries()), std::vector<std::string>{"62D277AF  1  1  z.nds"});
}

TEST_F(CmpReadTest, UnknownContentRaisesAndLeavesNoEntries) {
  TCmpRead reader;
  reader.SetFileName(dir_.Write("a.zip", test::BuildZip({{"x", "x"}})));
  for (const char* content : {"", "PK", "PK\x05\x06 and more", "7z\xBC"}) {
    const std::string path = dir_.Write("odd.zip", content);
    try {
      reader.SetFileName(path);
      ADD_FAILURE() << "read \"" << content << "\"";
    } catch (const FormatError& error) {
      EXPECT_STREQ(error.what(), "Unknown compression format.");
    }
    EXPECT_EQ(reader.Count(), 0u);
    EXPECT_EQ(reader.FileName(), path);
  }
  EXPECT_THROW(reader.SetFileName(dir_.Write("x.rab", "Rar!\x1A\x07")), FormatError);
  // A 7z signature is enough to be read as 7z: a damaged one lists nothing.
  reader.SetFileName(dir_.Write("cut.7z", "7z\xBC\xAF\x27\x1C"));
  EXPECT_EQ(reader.Count(), 0u);
}

TEST_F(CmpReadTest, FolderNamedLikeAnArchiveRaisesTheFileOpenError) {
  TCmpRead reader;
  std::filesystem::create_directory(dir_ / "folder.zip");
  EXPECT_THROW(reader.SetFileName(dir_ / "folder.zip"), FileOpenError);
}

TEST_F(CmpReadTest, VolumeChainThatLoopsIsReadOnce) {
  // x.999 is followed by x.1000, whose last three digits lead back to x.001.
  for (int n = 1; n <= 1000; ++n) {
    const std::string digits = std::to_string(n);
    const std::string name = "x." + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
    dir_.Write(name, test::BuildRarVolume({{name, "v"}}));
  }
  TCmpRead reader;
  reader.SetFileName(dir_ / "x.001");
  EXPECT_EQ(reader.Count(), 1000u);
  EXPECT_EQ(reader.FileName(), dir_ / "x.001");
}

}  // namespace
}  // namespace vexmoor
