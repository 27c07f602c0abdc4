#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/ArchiveBuilder.h"
#include "support/SevenZipBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

class LsTest : public test::TempDirTest {};

TEST_F(LsTest, PrintsOneLinePerEntryAndReportsErrors) {
  const std::string zip = dir_.Write("a b.zip", test::BuildZip({{"game one.nds", "123456789"}, {"dir/", ""}}));
  const auto listing = RunCli("ls " + ShellQuote(zip));
  EXPECT_EQ(listing.exitCode, 0);
  EXPECT_EQ(listing.out, "CBF43926  9  9  game one.nds\n00000000  0  0  dir/\n");
  const auto usage = RunCli("ls");
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(usage.err, "usage: vexmoor ls ARCHIVE\n");
  const auto unknown = RunCli("ls " + ShellQuote(dir_.Write("x.zip", "not an archive")));
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.err, "vexmoor: Cannot read the archive \"" + (dir_ / "x.zip") +
                             "\". Unknown compression format.\n");
  const auto missing = RunCli("ls " + ShellQuote(dir_ / "missing.zip"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find(dir_ / "missing.zip"), std::string::npos);
  const auto badName = RunCli("ls " + ShellQuote(dir_.Write("x.rab", test::BuildRarVolume({}))));
  EXPECT_EQ(badName.exitCode, 1);
  EXPECT_EQ(badName.err,
            "vexmoor: Cannot read the archive \"" + (dir_ / "x.rab") + "\". Bad rar filename.\n");
}

// Regression: damaged archives passed as empty: a zip cut short listed 0
// members and exited 0.
TEST_F(LsTest, ADamagedArchiveExitsOneSayingWhyAfterItsReadableMembers) {
  const std::string whole = test::BuildZip({{"a.nds", "aaaa"}});
  const auto cut =
      RunCli("ls " + ShellQuote(dir_.Write("cut.zip", whole.substr(0, whole.size() - 1))));
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(cut.out, "");
  EXPECT_EQ(
      cut.err,
      "vexmoor: Cannot read the archive \"" + (dir_ / "cut.zip") +
          "\". Damaged zip archive: no end record leads to its directory (is it cut short?).\n");
  const std::string rar = test::BuildRarVolume({{"a.nds", "a"}, {"b.nds", "b"}});
  const auto partly =
      RunCli("ls " + ShellQuote(dir_.Write("cut.rar", rar.substr(0, rar.size() - 12))));
  EXPECT_EQ(partly.exitCode, 1);
  EXPECT_EQ(partly.out, "E8B7BE43  1  1  a.nds\n");
  EXPECT_NE(partly.err.find("Damaged rar archive"), std::string::npos);
  const auto empty = RunCli("ls " + ShellQuote(dir_.Write("empty.zip", test::BuildZip({}))));
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out + empty.err, "");
}

TEST_F(LsTest, ControlCharactersInMemberNamesAreEscaped) {
  const std::string zip = dir_.Write("c.zip", test::BuildZip({{"line\nfeed\t\x1B\x7F.nds", "1"}, {"dir\\\xC3\xA9.nds", "2"}}));
  const auto listing = RunCli("ls " + ShellQuote(zip));
  EXPECT_EQ(listing.exitCode, 0);
  EXPECT_EQ(listing.out, "83DCEFB7  1  1  line\\x0Afeed\\x09\\x1B\\x7F.nds\n1AD5BE0D  1  1  dir\\\xC3\xA9.nds\n");
}

TEST_F(LsTest, ListsSevenZipArchives) {
  const std::string archive = dir_.Write("a.7z", test::BuildSevenZip({{"game.nds", "123456789"}, {"d/x.nds", "x"}}));
  const auto listing = RunCli("ls " + ShellQuote(archive));
  EXPECT_EQ(listing.exitCode, 0);
  EXPECT_EQ(listing.out, "CBF43926  0  9  game.nds\n8CDC1683  0  1  d/x.nds\n");
}

// One member as both tools list it.
struct Member {
  std::string crc, packed, size, name;
  bool operator==(const Member&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Member& m) {
  return out << m.crc << " " << m.packed << " " << m.size << " " << m.name;
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    }
    i += length;
  }
  return true;
}

// `vexmoor ls` as 7-Zip shows it: folders without their final '/'; names
// that are not UTF-8 are not compared (7-Zip converts them).
std::vector<Member> VexmoorMembers(const std::string& path) {
  const auto result = RunCli("ls " + ShellQuote(path));
  EXPECT_EQ(result.exitCode, 0) << path << ": " << result.err;
  std::vector<Member> members;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    Member m;
    const size_t a = line.find("  "), b = line.find("  ", a + 2), c = line.find("  ", b + 2);
    m.crc = line.substr(0, a), m.packed = line.substr(a + 2, b - a - 2), m.size = line.substr(b + 2, c - b - 2);
    m.name = line.substr(c + 2);
    if (!m.name.empty() && m.name.back() == '/') m.name.pop_back();
    if (!IsUtf8(m.name)) m.name = "(not UTF-8)";
    members.push_back(m);
  }
  return members;
}

std::vector<Member> SevenZipMembers(const std::string& path, const test::TempDir& scratch) {
  const std::string out = scratch / "7z.txt";
  const std::string command = "LC_ALL=C.UTF-8 7z l -slt " + ShellQuote(path) + " >" + ShellQuote(out) + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << path;
  std::istringstream text(test::ReadFile(out));
  std::vector<Member> members;
  bool inEntries = false, folder = false;
  Member m;
  for (std::string line; std::getline(text, line);) {
    if (line == "----------") inEntries = true;
    if (!inEntries) continue;
    const auto value = [&line](const char* key) { return line.substr(std::string(key).size()); };
    if (line.rfind("Path = ", 0) == 0) m = Member{}, m.name = value("Path = "), folder = false;
    if (line == "Folder = +") folder = true;
    if (line.rfind("Size = ", 0) == 0) m.size = value("Size = ");
    if (line.rfind("Packed Size = ", 0) == 0) m.packed = value("Packed Size = ");
    if (line.rfind("CRC = ", 0) == 0) {
      m.crc = folder ? "" : value("CRC = ");
      members.push_back(m);
    }
  }
  return members;
}

void ExpectAgreement(const std::string& path, const test::TempDir& scratch) {
  std::vector<Member> ours = VexmoorMembers(path), theirs = SevenZipMembers(path, scratch);
  for (size_t i = 0; i < ours.size() && i < theirs.size(); ++i) {
    if (ours[i].name == "(not UTF-8)") theirs[i].name = ours[i].name;
    // A folder's stored CRC, normally 0, is not shown by 7-Zip.
    if (theirs[i].crc.empty() && ours[i].crc == "00000000") ours[i].crc.clear();
  }
  EXPECT_EQ(ours, theirs) << path;
  EXPECT_FALSE(ours.empty()) << path;
}

bool HaveTools() {
  return std::system("command -v 7z >/dev/null 2>&1 && command -v zip >/dev/null 2>&1 && "
                     "command -v python3 >/dev/null 2>&1") == 0;
}

TEST_F(LsTest, AgreesWithSevenZipOnTheZipFixtures) {
  if (!HaveTools()) GTEST_SKIP() << "7z, zip or python3 missing";
  const char* fixtures[] = {
      "ZiNc v0.9 (rc).zip", "Zip.none.datadescriptors.zip", "Zip.zip64.zip", "test_read_format_zip.zip",
      "test_read_format_zip_comment_stored_1.zip", "test_read_format_zip_comment_stored_2.zip",
      "test_read_format_zip_filename_cp866.zip", "test_read_format_zip_filename_utf8_jp.zip",
      "test_read_format_zip_msdos.zip", "test_read_format_zip_padded2.zip",
      "test_read_format_zip_uncompressed_size_off_by_4gib.zip",
      "test_read_format_zip_with_invalid_traditional_eocd.zip", "testfile-long-comment.zip",
      "testfile-torrentzip.zip", "zip64-3mf.zip", "zip64.zip",
  };
  for (const char* name : fixtures) {
    const std::string path = test::SharedFixture(std::string("zip/") + name);
    if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
    ExpectAgreement(path, dir_);
  }
}

TEST_F(LsTest, AgreesWithSevenZipOnGeneratedZips) {
  if (!HaveTools()) GTEST_SKIP() << "7z, zip or python3 missing";
  dir_.Write("src/a.nds", "alpha");
  dir_.Write("src/folder/b.nds", std::string(70000, 'b'));
  dir_.Write("src/folder/empty/.keep", "");
  const std::string src = ShellQuote(dir_ / "src");
  const std::string comment(65535, 'c');
  dir_.Write("comment.txt", comment);
  ASSERT_EQ(std::system(("cd " + src + " && zip -qr ../info.zip a.nds folder && zip -qr -fz ../zip64.zip a.nds folder"
                         " && zip -qr -z ../comment.zip a.nds < ../comment.txt"
                         " && 7z a -tzip -bd ../seven.zip a.nds folder >/dev/null")
                            .c_str()),
            0);
  const std::string script =
      "import zipfile, sys\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  z.writestr('x/', b'')\n"
      "  z.writestr('x/y.nds', b'y' * 1000)\n"
      "  with z.open('big.nds', 'w', force_zip64=True) as f: f.write(b'z' * 3000)\n"
      "  z.comment = b'k' * 65535\n";
  ASSERT_EQ(std::system(("python3 -c " + ShellQuote(script) + " " + ShellQuote(dir_ / "python.zip")).c_str()), 0);
  dir_.Write("built64.zip", test::BuildZip({{"m.nds", "m"}, {"n/", ""}}, {"", true}));
  for (const char* name : {"info.zip", "zip64.zip", "comment.zip", "seven.zip", "python.zip", "built64.zip"}) {
    ExpectAgreement(dir_ / name, dir_);
  }
}

}  // namespace
}  // namespace vexmoor
