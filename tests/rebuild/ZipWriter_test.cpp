#include "rebuild/ZipWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/File.h"
#include "rebuild/DumpCheck.h"
#include "scan/CRC32.h"
#include "scan/cmpread.h"
#include "support/RandomData.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::ShellQuote;

std::string WriteZip(const std::string& path, const std::string& name, const std::string& data,
                     bool deflate) {
  TPendingFile file(path);
  TZipWriter zip(file, deflate);
  zip.BeginMember(name);
  // In uneven pieces, as a source delivers them.
  for (size_t at = 0; at < data.size(); at += 70001) zip.Write(std::string_view(data).substr(at, 70001));
  zip.Finish();
  file.Commit();
  return test::ReadFile(path);
}

class ZipWriterTest : public test::TempDirTest {};

TEST_F(ZipWriterTest, StoredAndDeflatedZipsReadBackAndPassUnzip) {
  std::string data = test::RandomBytes(300000, 7) + std::string(200000, '\xFF');
  for (const bool deflate : {false, true}) {
    const std::string path = dir_ / (deflate ? "d.zip" : "s.zip");
    const std::string bytes = WriteZip(path, "Some Game \xC3\xA9.nds", data, deflate);
    const TDumpSum sum = SumOnlyMember(path);
    EXPECT_EQ(sum.Crc, Crc32(data.data(), data.size()));
    EXPECT_EQ(sum.Size, data.size());
    if (deflate) {
        EXPECT_LT(bytes.size(), data.size());
    }
    else EXPECT_GT(bytes.size(), data.size());
    TCmpRead directory;
    directory.SetFileName(path);
    ASSERT_EQ(directory.Entries().size(), 1u);
    EXPECT_EQ(directory.Entries()[0].Name, "Some Game \xC3\xA9.nds");
    EXPECT_EQ(directory.Entries()[0].Crc, sum.Crc);
    if (std::system("command -v unzip >/dev/null 2>&1") == 0) {
      EXPECT_EQ(std::system(("unzip -tqq " + ShellQuote(path) + " >/dev/null 2>&1").c_str()), 0);
    }
  }
}

TEST_F(ZipWriterTest, TheSameInputGivesTheSameBytes) {
  const std::string data = test::RandomBytes(100000, 3);
  for (const bool deflate : {false, true}) {
    const std::string first = WriteZip(dir_ / "1.zip", "a.nds", data, deflate);
    const std::string second = WriteZip(dir_ / "2.zip", "a.nds", data, deflate);
    EXPECT_EQ(first, second);
  }
}

TEST_F(ZipWriterTest, AnEmptyMemberIsAValidZip) {
  WriteZip(dir_ / "e.zip", "empty", "", true);
  const TDumpSum sum = SumOnlyMember(dir_ / "e.zip");
  EXPECT_EQ(sum.Size, 0u);
  EXPECT_EQ(sum.Crc, 0u);
}

}  // namespace
}  // namespace vexmoor
