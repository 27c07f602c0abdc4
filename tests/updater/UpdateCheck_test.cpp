// The offer decision, the records and the file names an entry may write.
#include "updater/UpdateCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "catalogue/DatContainer.h"
#include "platform/Folder.h"
#include "updater/UpdateConfig.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

constexpr const char* kProgram = "/opt/vexmoor/MoorScan";
constexpr double kMs = kOneMillisecondInDays;

// A container header with `stamp`, as the check reads it; no block needed.
std::string ContainerHeader(double stamp) {
  std::string bytes = "QDAT";
  char raw[8];
  std::memcpy(raw, &stamp, sizeof raw);
  return bytes + std::string(raw, sizeof raw);
}

class UpdateCheck : public test::TempDirTest {
 protected:
  std::vector<TUpdateRecord> Offered(const std::string& list) {
    return OfferedUpdates(ParseUpdateList(list), kProgram, dir_.Path());
  }
  bool OfferedDat(const std::string& section, const std::string& timestamp) {
    return !Offered("[" + section + "]\nTimestamp=" + timestamp + "\n").empty();
  }
};

TEST_F(UpdateCheck, ProgramEntryComparesVersionAgainstOurs) {
  EXPECT_EQ(ProgramVersionValue(), 0.642);
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6420\n").empty());
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6419\n").empty());
  EXPECT_TRUE(Offered("[moorscan]\nVersion=garbage\n").empty());
  const std::string verified = "\nSize=1\nSha256=" + std::string(64, '0') + "\n";
  const auto offered = Offered("[MOORSCAN]\nVersion=6421\nTimestamp=99999" + verified);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_TRUE(offered[0].IsProgram);
  EXPECT_EQ(offered[0].Version, 6421);
  // The program's entry ignores Timestamp, and a section matching the path
  // through wildcards is the program's too.
  EXPECT_EQ(Offered("[m??r*]\nVersion=0x1AF5" + verified).size(), 1u);
}

TEST_F(UpdateCheck, AProgramThatCannotBeReplacedIsNeverOffered) {
  const TUpdateList list = ParseUpdateList("[moorscan]\nVersion=9999\n[a.qdat]\nTimestamp=5\n");
  const auto offered = OfferedUpdates(list, kProgram, dir_.Path(), false);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].Section, "a.qdat");
  EXPECT_TRUE(CanReplaceProgram(dir_ / "moorscan"));
  EXPECT_FALSE(CanReplaceProgram(dir_ / "absent/moorscan"));
  EXPECT_FALSE(CanReplaceProgram(""));
  EXPECT_TRUE(ListFolder(dir_.Path()).empty());  // the probe is gone again
}

TEST_F(UpdateCheck, BaseUrlFromTheSetting) {
  EXPECT_EQ(UpdateBaseUrl(""), kDefaultUpdateBaseUrl);
  EXPECT_EQ(UpdateBaseUrl(" \t"), kDefaultUpdateBaseUrl);
  EXPECT_EQ(UpdateBaseUrl(" http://127.0.0.1:8080/update/ "), "http://127.0.0.1:8080/update/");
}

TEST_F(UpdateCheck, ProgramMatchIsAgainstTheWholePath) {
  EXPECT_TRUE(IsProgramEntry(kProgram, "moorscan"));
  EXPECT_TRUE(IsProgramEntry(kProgram, "vexmoor/moorscan"));
  EXPECT_TRUE(IsProgramEntry(kProgram, ""));  // "*" matches every path
  EXPECT_FALSE(IsProgramEntry(kProgram, "moorscan.exe"));
  EXPECT_FALSE(IsProgramEntry(kProgram, "moors"));
  EXPECT_FALSE(IsProgramEntry(kProgram, "[moorscan"));  // no valid mask: no match
}

TEST_F(UpdateCheck, MissingOrForeignLocalDatCountsAsZero) {
  EXPECT_TRUE(OfferedDat("absent.qdat", "0.0000000116"));  // just over 1 ms
  EXPECT_FALSE(OfferedDat("absent.qdat", "0.000000011"));  // just under
  EXPECT_FALSE(OfferedDat("absent.qdat", "0"));
  EXPECT_FALSE(OfferedDat("absent.qdat", "-5"));
  dir_.Write("plain.qdat", "[INFO]\r\nNAME=plain\r\n");
  dir_.Write("short.qdat", "QDAT\x01\x02");
  EXPECT_TRUE(OfferedDat("plain.qdat", "46000"));
  EXPECT_TRUE(OfferedDat("short.qdat", "46000"));
  EXPECT_EQ(IsNewer(0, kMs), true);
}

TEST_F(UpdateCheck, LocalStampWithinOneMillisecondCountsAsEqual) {
  const double local = 46363.3042589815;
  dir_.Write("Quen.qdat", ContainerHeader(local));
  EXPECT_EQ(LocalDatTimeStamp(dir_.Path(), "Quen.qdat"), local);
  EXPECT_FALSE(IsNewer(local, local));
  EXPECT_FALSE(IsNewer(local, local + 0.9 * kMs));
  EXPECT_TRUE(IsNewer(local, local + 1.1 * kMs));
  EXPECT_FALSE(IsNewer(local, local - 5));
  EXPECT_FALSE(OfferedDat("Quen.qdat", "46363.3042589815"));
  EXPECT_FALSE(OfferedDat("Quen.qdat", "46363.30425899"));  // 0.7 ms later
  EXPECT_TRUE(OfferedDat("Quen.qdat", "46363.30425901"));   // 2.4 ms later
  EXPECT_FALSE(OfferedDat("Quen.qdat", "46363.2"));
}

TEST_F(UpdateCheck, ARealContainerIsReadByItsClearStamp) {
  WriteDatContainer(dir_ / "Real.qdat", "[INFO]\r\nNAME=Real\r\n", 46000.25);
  EXPECT_FALSE(OfferedDat("Real.qdat", "46000.25"));
  EXPECT_TRUE(OfferedDat("Real.qdat", "46000.26"));
}

TEST_F(UpdateCheck, SectionsThatAreNoPlainNameAreNotOpened) {
  // A container outside the folder must not be consulted: these count as 0.
  test::TempDir outside;
  outside.Write("Quen.qdat", ContainerHeader(50000));
  const std::string escape =
      "../" + outside.Path().substr(outside.Path().rfind('/') + 1) + "/Quen.qdat";
  EXPECT_EQ(LocalDatTimeStamp(dir_.Path(), outside / "Quen.qdat"), 0.0);
  EXPECT_EQ(LocalDatTimeStamp(dir_.Path(), escape), 0.0);
  // A folder where a dat is expected cannot be read: offered, not an error.
  dir_.Write("Folder.qdat/x", "x");
  EXPECT_TRUE(OfferedDat("Folder.qdat", "1"));
}

TEST_F(UpdateCheck, RecordsCarryValuesOrDefaultsInListOrder) {
  const auto offered = Offered(
      "[b.qdat]\nTimestamp=2\n"
      "[old.qdat]\nTimestamp=0\n"
      "[a.qdat]\nName=A dats\nFile=a.qdat\nVersion=$10\nSize=1234\nTimestamp=3,5\n");
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].Section, "b.qdat");
  EXPECT_EQ(offered[0].Name, "#ERROR#");
  EXPECT_EQ(offered[0].File, "#ERROR#");
  EXPECT_EQ(offered[0].Version, 0);
  EXPECT_EQ(offered[0].Size, 0);
  EXPECT_EQ(offered[1].Name, "A dats");
  EXPECT_EQ(offered[1].File, "a.qdat");
  EXPECT_EQ(offered[1].Version, 16);
  EXPECT_EQ(offered[1].Size, 1234);
  EXPECT_EQ(offered[1].Timestamp, 3.5);
  EXPECT_FALSE(offered[1].IsProgram);
}

TEST_F(UpdateCheck, ProgramBuildIsOfferedOnlyWithSha256AndSize) {
  const std::string sha(64, 'A');
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6421\nSize=10\n").empty());
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6421\nSha256=" + sha + "\n").empty());
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6421\nSize=-1\nSha256=" + sha + "\n").empty());
  EXPECT_TRUE(Offered("[moorscan]\nVersion=6421\nSize=10\nSha256=" + sha + "0\n").empty());
  const auto offered = Offered("[moorscan]\nVersion=6421\nSize=10\nSha256=" + sha + "\n");
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_TRUE(offered[0].IsProgram);
  EXPECT_EQ(offered[0].Sha256, std::string(64, 'a'));
  EXPECT_EQ(offered[0].ExactSize, 10);
  // A dat without them is offered; its download is refused with a reason.
  const auto dat = Offered("[a.qdat]\nFile=a.qdat\nTimestamp=5\nSha256=xyz\n");
  ASSERT_EQ(dat.size(), 1u);
  EXPECT_EQ(dat[0].Sha256, "");
  EXPECT_EQ(dat[0].ExactSize, -1);
  EXPECT_NE(RefusedDownloadReason(dat[0], kProgram, dir_.Path())->find("no Sha256 and Size"),
            std::string::npos);
}

// What a hostile list may name: only *.qdat files that are plain files (or
// missing) in the folder, and the program entry only "upd-" + the program.
TEST_F(UpdateCheck, DatEntriesWriteOnlyQdatFilesNeverLinksOrExecutables) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none";
#else
  const std::string sha(64, '0');
  auto dat = [&](const std::string& file) {
    return TUpdateRecord{file, file, 1, 0, 10, file, false, sha, 10};
  };
  dir_.Write("plain.qdat", "x");
  dir_.Write("outside", "secret");
  std::filesystem::create_symlink(dir_ / "outside", dir_ / "link.qdat");
  std::filesystem::create_symlink(dir_ / "missing", dir_ / "dangling.qdat");
  std::filesystem::create_directory(dir_ / "folder.qdat");
  dir_.Write("tool.qdat", "#!/bin/sh\n");
  std::filesystem::permissions(dir_ / "tool.qdat", std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  for (const char* good : {"plain.qdat", "new.QDAT"})
    EXPECT_EQ(RefusedDownloadReason(dat(good), kProgram, dir_.Path()), std::nullopt) << good;
  const std::pair<const char*, const char*> refused[] = {
      {"vexmoor", ".qdat"},          {"moorpurge", ".qdat"},     {"MoorScan", ".qdat"},
      {"moorscan.exe", ".qdat"},     {"Vexmoor.conf", ".qdat"},  {"Quen.qcache", ".qdat"},
      {".", ".qdat"},                {".qdat", ".qdat"},         {"..", "\"..\""},
      {"link.qdat", "is a link"},    {"dangling.qdat", "is a link"},
      {"folder.qdat", "not a regular file"},                    {"tool.qdat", "an executable"},
  };
  for (const auto& [file, reason] : refused) {
    const auto found = RefusedDownloadReason(dat(file), kProgram, dir_.Path());
    ASSERT_TRUE(found.has_value()) << file;
    EXPECT_NE(found->find(reason), std::string::npos) << file << ": " << *found;
  }
  TUpdateRecord huge = dat("huge.qdat");
  huge.ExactSize = static_cast<int64_t>(kMaxUpdateFileSize) + 1;
  EXPECT_NE(RefusedDownloadReason(huge, kProgram, dir_.Path())->find("over the 256 MB"),
            std::string::npos);
  // The program entry writes "upd-MoorScan", never through a link.
  const TUpdateRecord program{"Vexmoor", "moorscan", 0, 6421, 10, "moorscan", true, sha, 10};
  const std::string programPath = dir_ / "MoorScan";
  EXPECT_EQ(RefusedDownloadReason(program, programPath, dir_.Path()), std::nullopt);
  std::filesystem::create_symlink(dir_ / "outside", dir_ / "upd-MoorScan");
  EXPECT_NE(RefusedDownloadReason(program, programPath, dir_.Path())->find("is a link"),
            std::string::npos);
#endif
}

TEST(UpdateFileNames, UnsafeNamesAreRefusedWithAReason) {
  for (const char* safe :
       {"Quen-NDS.qdat", "a.b.qdat", "moorscan", "name with spaces.qdat", "#x"}) {
    EXPECT_EQ(UnsafeFileNameReason(safe), std::nullopt) << safe;
  }
  const std::pair<const char*, const char*> unsafe[] = {
      {"#ERROR#", "no File value"},
      {"", "empty"},
      {"/etc/passwd", "absolute"},
      {"\\Windows\\x.dll", "absolute"},
      {"C:\\x.qdat", "absolute"},
      {"c:x.qdat", "absolute"},
      {"dats/x.qdat", "path separator"},
      {"dats\\x.qdat", "path separator"},
      {"x.qdat:stream", "':'"},
      {"..", "\"..\""},
      {"..qdat", "\"..\""},
      {"x\tz.qdat", "control character"},
  };
  for (const auto& [name, reason] : unsafe) {
    const auto found = UnsafeFileNameReason(name);
    ASSERT_TRUE(found.has_value()) << name;
    EXPECT_NE(found->find(reason), std::string::npos) << name << ": " << *found;
  }
}

TEST(UpdateFileNames, ProgramDownloadsGoToTheUpdNameOfTheRunningProgram) {
  TUpdateRecord dat{"Dats", "Quen.qdat", 1, 0, 0, "Quen.qdat", false, "", -1};
  TUpdateRecord program{"Vexmoor", "moorscan", 0, 6421, 0, "moorscan", true, "", -1};
  TUpdateRecord renamed{"Vexmoor", "../x", 0, 6421, 0, "moorscan", true, "", -1};
  EXPECT_EQ(LocalUpdateName(dat, kProgram), "Quen.qdat");
  // The local name is the program's own, whatever the list calls the file.
  EXPECT_EQ(LocalUpdateName(program, kProgram), "upd-MoorScan");
  EXPECT_EQ(LocalUpdateName(renamed, kProgram), "upd-MoorScan");
  // A dat entry whose File names the program is no program download: the
  // dat rules refuse it.
  TUpdateRecord disguised{"Dats", "MOORSCAN", 1, 0, 0, "x.qdat", false, "", -1};
  EXPECT_FALSE(IsProgramDownload(disguised, kProgram));
  EXPECT_EQ(LocalUpdateName(disguised, kProgram), "MOORSCAN");
}

TEST(UpdateFileNames, UrlsAndFolders) {
  EXPECT_EQ(UpdateFileUrl("http://h/update/", "Quen-NDS_1.qdat"),
            "http://h/update/Quen-NDS_1.qdat");
  EXPECT_EQ(UpdateFileUrl("http://h/update/", "#ERROR# 100%?.qdat"),
            "http://h/update/%23ERROR%23%20100%25%3F.qdat");
  EXPECT_EQ(UpdateFileUrl("http://h/update/", "\xe9.qdat"), "http://h/update/%E9.qdat");
  EXPECT_EQ(JoinFolder("", "a"), "a");
  EXPECT_EQ(JoinFolder("d", "a"), "d/a");
  EXPECT_EQ(JoinFolder("d/", "a"), "d/a");
}

}  // namespace
}  // namespace vexmoor
