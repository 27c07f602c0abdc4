#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "scan/archive/ArchiveTestUtil.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::BuildZip;
using test::ListArchive;
using Lines = std::vector<std::string>;

class ZipDirectoryTest : public test::TempDirTest {};

TEST(ZipFixtures, ListTheCentralDirectoryAsStored) {
  const struct {
    const char* file;
    Lines expected;
  } cases[] = {
      {"zip/test_read_format_zip.zip",
       {"00000000  0  0  dir/", "3D66373A  10  18  file1", "78787878  10  18  file2"}},
      {"zip/testfile-long-comment.zip", {"00000000  0  0  testfile.txt"}},
      {"zip/test_read_format_zip_padded2.zip", {"FB32C645  6  6  file0", "E229F704  6  6  file1"}},
      {"zip/test_read_format_zip_filename_cp866.zip",
       {"1481E1CC  6  6  \x8F\x90\x88\x82\x85\x92", "1481E1CC  6  6  \xAF\xE0\xA8\xA2\xA5\xE2"}},
      // Zip64: offsets and sizes from the zip64 end record and extra fields.
      {"zip/Zip.zip64.zip",
       {"9BD160FA  2741  15498  \xD1\x82\xD0\xB5\xD1\x81\xD1\x82.txt", "CFB109C8  19002  45056  exe/test.exe",
        "088814E3  38922  40372  jpg/test.jpg"}},
      {"zip/test_read_format_zip_with_invalid_traditional_eocd.zip",
       {"00000000  0  0  test1.txt", "00000000  0  0  test2.txt"}},
      {"zip/test_read_format_zip_uncompressed_size_off_by_4gib.zip", {"3610A686  5  4294967301  hello.txt"}},
  };
  for (const auto& c : cases) {
    const std::string path = test::SharedFixture(c.file);
    if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
    EXPECT_EQ(ListArchive(path), c.expected) << c.file;
  }
}

TEST(ZipFixtures, EmptyZipAndSelfExtractorAreNotRecognised) {
  for (const char* file : {"zip/testempty.zip", "zip/test_read_format_zip_sfx"}) {
    const std::string path = test::SharedFixture(file);
    if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
    TCmpRead reader;
    try {
      reader.SetFileName(path);
      ADD_FAILURE() << file << " was read";
    } catch (const FormatError& error) {
      EXPECT_STREQ(error.what(), "Unknown compression format.");
    }
    EXPECT_EQ(reader.Count(), 0u);
    EXPECT_EQ(reader.FileName(), path);
  }
}

TEST_F(ZipDirectoryTest, EndRecordIsFoundAnywhereInTheLastBytes) {
  const std::vector<test::ZipMember> members = {{"a.nds", "alpha"}, {"folder/", ""}, {"folder/b.nds", "beta"}};
  const Lines expected = {"D0E0396A  5  5  a.nds", "00000000  0  0  folder/", "8F910463  4  4  folder/b.nds"};
  const std::string longest(65535, 'c');
  EXPECT_EQ(ListArchive(dir_.Write("plain.zip", BuildZip(members))), expected);
  EXPECT_EQ(ListArchive(dir_.Write("comment.zip", BuildZip(members, {longest}))), expected);
  // One byte more and the end record lies just outside the search span.
  EXPECT_EQ(ListArchive(dir_.Write("beyond.zip", BuildZip(members, {longest}) + "x")), Lines{});
  EXPECT_EQ(ListArchive(dir_.Write("zip64.zip", BuildZip(members, {"", true}))), expected);
}

TEST_F(ZipDirectoryTest, DamagedDirectoriesEndTheReadQuietly) {
  const std::string zip = BuildZip({{"a", "1"}, {"b", "22"}, {"c", "333"}});
  const size_t directory = zip.find("PK\x01\x02");
  const size_t second = zip.find("PK\x01\x02", directory + 4);
  // Cut inside the second central header: the end record is gone as well.
  EXPECT_EQ(ListArchive(dir_.Write("cut.zip", zip.substr(0, second + 20))), Lines{});
  EXPECT_EQ(ListArchive(dir_.Write("short.zip", "PK\x03\x04 tiny")), Lines{});
  // Directory offset beyond the end of the file.
  std::string far = zip;
  far[far.size() - 3] = '\x7F';
  EXPECT_EQ(ListArchive(dir_.Write("far.zip", far)), Lines{});
  // A directory offset that points at the end record itself: no entries.
  std::string self = zip;
  const uint32_t end = uint32_t(zip.size() - 22);
  for (int i = 0; i < 4; ++i) self[self.size() - 6 + i] = char(end >> (8 * i));
  EXPECT_EQ(ListArchive(dir_.Write("self.zip", self)), Lines{});
}

TEST_F(ZipDirectoryTest, EndRecordInsideTheArchiveCommentIsPassedOver) {
  const std::vector<test::ZipMember> members = {{"a.nds", "alpha"}, {"b.nds", "beta"}};
  const Lines expected = {"D0E0396A  5  5  a.nds", "8F910463  4  4  b.nds"};
  // An end record in the comment whose directory offset (0) is the first
  // local header, and one whose offset lies beyond the file.
  for (const uint32_t offset : {0u, 0x7FFFFFFFu}) {
    std::string fake("PK\x05\x06", 4);
    fake += std::string(12, '\0');
    test::PutU32(fake, offset);
    fake += std::string(2, '\0');
    EXPECT_EQ(ListArchive(dir_.Write("comment.zip", BuildZip(members, {fake + "tail"}))), expected) << offset;
  }
  // A comment record with an empty directory of its own still names one.
  const std::string zip = BuildZip(members);
  std::string empty("PK\x05\x06", 4);
  empty += std::string(12, '\0');
  test::PutU32(empty, uint32_t(zip.size()));
  empty += std::string(2, '\0');
  EXPECT_EQ(ListArchive(dir_.Write("empty.zip", BuildZip(members, {empty}))), expected);
}

TEST_F(ZipDirectoryTest, HeaderCutByTheEndOfFileIsDropped) {
  // The end record stays, but the second central header is cut short: the
  // walk reads the first entry and runs into the end of the file.
  const std::string zip = BuildZip({{"a", "1"}, {"b", "22"}});
  const size_t second = zip.find("PK\x01\x02", zip.find("PK\x01\x02") + 4);
  const std::string cut = zip.substr(0, second + 16) + zip.substr(zip.size() - 22);
  EXPECT_EQ(ListArchive(dir_.Write("cut.zip", cut)), Lines{"83DCEFB7  1  1  a"});
}

}  // namespace
}  // namespace vexmoor
