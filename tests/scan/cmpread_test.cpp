#include "scan/cmpread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "platform/Errors.h"
#include "scan/archive/ArchiveTestUtil.h"
#include "support/ArchiveBuilder.h"
#include "support/SevenZipBuilder.h"
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
  // A 7z signature is enough to be read as 7z: a damaged one lists nothing
  // and says why.
  reader.SetFileName(dir_.Write("cut.7z", "7z\xBC\xAF\x27\x1C"));
  EXPECT_EQ(reader.Count(), 0u);
  EXPECT_EQ(reader.Damage(), "Damaged 7z archive: the signature header is cut short.");
}

// Regression: damaged archives passed as empty. A truncated zip or 7z, a 7z
// with encrypted headers and a zip with AES-encrypted members listed what
// they could, and nothing told them from an empty archive.
TEST_F(CmpReadTest, DamagedArchivesAreToldFromEmptyOnes) {
  TCmpRead reader;
  reader.SetFileName(dir_.Write("empty.zip", test::BuildZip({})));
  EXPECT_EQ(reader.Count(), 0u);
  EXPECT_EQ(reader.Damage(), "");
  const std::string whole = test::BuildZip({{"a.nds", "aaaa"}, {"b.nds", "bbbb"}});
  reader.SetFileName(dir_.Write("cut.zip", whole.substr(0, whole.size() / 2)));
  EXPECT_EQ(reader.Damage(),
            "Damaged zip archive: no end record leads to its directory (is it cut short?).");
  // A directory cut short before the count its end record gives keeps the
  // members read.
  std::string fewer = whole;
  const size_t second = fewer.rfind("PK\x01\x02");
  fewer.replace(second, 4, "PK\x09\x09");
  reader.SetFileName(dir_.Write("fewer.zip", fewer));
  EXPECT_EQ(test::Listing(reader.Entries()), std::vector<std::string>{"AD98E545  4  4  a.nds"});
  EXPECT_EQ(reader.Damage(), "Damaged zip archive: its directory ends after 1 of 2 members.");
  reader.SetFileName(dir_.Write("whole.zip", whole));
  EXPECT_EQ(reader.Damage(), "");  // each assignment says afresh
  reader.SetFileName(dir_.Write("locked.rar", test::BuildRarVolume({{"a.nds", "a"}}, 0x0080)));
  EXPECT_EQ(reader.Damage(), "Encrypted rar archive: its headers are encrypted.");
  const std::string rar = test::BuildRarVolume({{"a.nds", "a"}, {"b.nds", "b"}});
  reader.SetFileName(dir_.Write("cut.rar", rar.substr(0, rar.size() - 12)));
  EXPECT_EQ(reader.Count(), 1u);
  EXPECT_FALSE(reader.Damage().empty());
  reader.SetFileName(dir_.Write("five.rar", test::Rar5Marker() + std::string(40, '\0')));
  EXPECT_EQ(reader.Damage(), "Unsupported rar archive: only rar 1.5 to 4.x headers are read.");
}

TEST_F(CmpReadTest, EncryptedAndCutShortArchivesOfTheRealToolAreNamed) {
  if (!test::HaveSevenZip()) GTEST_SKIP() << "7z is not installed";
  dir_.Write("a.nds", std::string(300000, 'a') + "end");
  dir_.Write("b.nds", "b");
  ASSERT_TRUE(test::RunSevenZip(dir_.Path(), "a -tzip -mem=AES256 -pX aes.zip a.nds b.nds"));
  ASSERT_TRUE(test::RunSevenZip(dir_.Path(), "a -t7z -mhe=on -pX headers.7z a.nds b.nds"));
  ASSERT_TRUE(test::RunSevenZip(dir_.Path(), "a -t7z -mx=0 plain.7z a.nds b.nds"));
  TCmpRead reader;
  reader.SetFileName(dir_ / "aes.zip");
  EXPECT_EQ(reader.Count(), 0u);  // AE-2 stores no CRC: nothing to match
  EXPECT_EQ(reader.Damage(), "Encrypted zip archive: 2 AES-encrypted members store no CRC.");
  reader.SetFileName(dir_ / "headers.7z");
  EXPECT_EQ(reader.Damage(), "Encrypted 7z archive: its headers are encrypted.");
  const std::string plain = test::ReadFile(dir_ / "plain.7z");
  reader.SetFileName(dir_.Write("cut.7z", plain.substr(0, plain.size() / 2)));
  EXPECT_EQ(reader.Count(), 0u);
  EXPECT_EQ(reader.Damage(), "Damaged 7z archive: a header lies beyond the end.");
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
