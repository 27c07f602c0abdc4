#include "encoder/DatEncoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "catalogue/DatContainer.h"
#include "catalogue/DatLoader.h"
#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "scan/AuditState.h"
#include "support/TempDir.h"
#include "support/WriteFaults.h"

namespace vexmoor {
namespace {

// 2026-12-07 07:00 in a zone one hour east of UTC: T is 46363.25.
TLocalClock FixedClock() {
  TLocalClock clock;
  clock.Year = 2026;
  clock.Month = 12;
  clock.Day = 7;
  clock.Hour = 7;
  clock.BiasMinutes = -60;
  return clock;
}
constexpr double kT = 46363.25;

constexpr std::string_view kDatA =
    "[INFO]\r\nNAME=Alpha "
    "Set\r\nVERSION=1.0\r\nTIMESTAMP=40000.5\r\nFIELDS=INDEX|CRC32|NAME|COUNTRY\r\n"
    "[DAT]\r\n0001|0A1B2C3D|Alpha One|E\r\n0002|11111111|Alpha Two|U\r\n";
constexpr std::string_view kDatB =
    "[info]\nVERSION=7\n\n[DAT]\n0001|22222222|Beta One\n0002|33333333|Beta Two\n";

class DatEncoderTest : public test::TempDirTest {
 protected:
  TEncodeOptions Options(bool stamps = true, bool keys = true) const {
    TEncodeOptions options;
    options.UpdateTimeStamps = stamps;
    options.CreateUpdateKeysFile = keys;
    options.Clock = FixedClock;
    return options;
  }

  TEncodeResult Encode(const std::vector<std::string>& sources, const TEncodeOptions& options) {
    statuses_.clear();
    return EncodeDats(sources, options, [this](size_t row, std::string_view status) {
      statuses_.emplace_back(row, std::string(status));
    });
  }

  std::vector<std::pair<size_t, std::string>> statuses_;
};

std::vector<TRomItem> CatalogueOf(const std::string& path) {
  TAuditState state;
  state.CacheResults = false;
  EXPECT_TRUE(LoadQuenDat(state, path));
  std::vector<TRomItem> items;
  for (size_t i = 0; i < state.Catalogue.Count(); ++i) items.push_back(state.Catalogue[i]);
  return items;
}

void ExpectSameCatalogue(const std::string& source, const std::string& output) {
  const std::vector<TRomItem> expected = CatalogueOf(source);
  const std::vector<TRomItem> actual = CatalogueOf(output);
  ASSERT_EQ(actual.size(), expected.size());
  ASSERT_FALSE(expected.empty());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].Index, expected[i].Index);
    EXPECT_EQ(actual[i].Crc, expected[i].Crc);
    EXPECT_EQ(actual[i].Name, expected[i].Name);
    EXPECT_EQ(actual[i].Country, expected[i].Country);
  }
}

TEST_F(DatEncoderTest, TwoDatsFromOneFolderShareTheRunsTime) {
  const std::string a = dir_.Write("A.dat", kDatA);
  const std::string b = dir_.Write("B.dat", kDatB);
  const TEncodeResult result = Encode({a, b}, Options());
  EXPECT_EQ(result.EncodeTime, kT);
  EXPECT_EQ(result.Outputs, (std::vector<std::string>{dir_ / "A.qdat", dir_ / "B.qdat"}));
  for (const std::string& output : result.Outputs) EXPECT_EQ(ReadDatTimeStamp(output), kT);
  EXPECT_NE(test::ReadFile(a).find("\r\nTIMESTAMP=46363.25\r\n"), std::string::npos);
  EXPECT_EQ(test::ReadFile(b),
            "[info]\nVERSION=7\nTIMESTAMP=46363.25\n\n[DAT]\n"
            "0001|22222222|Beta One\n0002|33333333|Beta Two\n");
  EXPECT_EQ(result.KeysFile, dir_ / "update_keys.txt");
  const std::vector<TUpdateKey> keys = ParseUpdateKeys(test::ReadFile(result.KeysFile));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0], (TUpdateKey{"A.qdat", "1.0", "46363.25", "Alpha Set"}));
  EXPECT_EQ(keys[1], (TUpdateKey{"B.qdat", "7", "46363.25", ""}));  // no NAME: empty field 4
  EXPECT_EQ(keys[2], ProgramUpdateKey(kT));
  EXPECT_EQ(statuses_,
            (std::vector<std::pair<size_t, std::string>>{{0, "Encoded"}, {1, "Encoded"}}));
}

TEST_F(DatEncoderTest, EncodedFilesLoadToTheSourcesCatalogue) {
  const std::string a = dir_.Write("A.dat", kDatA);
  const std::string b = dir_.Write("B.dat", kDatB);
  const std::string sample = dir_.Write(
      "sample.dat", test::ReadFile(std::string(VEXMOOR_SOURCE_DIR) + "/examples/sample-ds.txt"));
  const TEncodeResult result = Encode({a, b, sample}, Options());
  ExpectSameCatalogue(a, result.Outputs[0]);
  ExpectSameCatalogue(b, result.Outputs[1]);
  ExpectSameCatalogue(sample, result.Outputs[2]);
}

TEST_F(DatEncoderTest, LfSourcesArePackedWithCrLf) {
  const std::string b = dir_.Write("B.dat", kDatB);
  Encode({b}, Options(false, false));
  EXPECT_EQ(
      ReadQuenDatText(dir_ / "B.qdat"),
      "[info]\r\nVERSION=7\r\n\r\n[DAT]\r\n0001|22222222|Beta One\r\n0002|33333333|Beta Two\r\n");
  const std::string noEnd = dir_.Write("C.dat", "[INFO]\rNAME=C\r[DAT]\r0001|44444444|C");
  Encode({noEnd}, Options(false, false));
  EXPECT_EQ(ReadQuenDatText(dir_ / "C.qdat"), "[INFO]\r\nNAME=C\r\n[DAT]\r\n0001|44444444|C\r\n");
}

TEST_F(DatEncoderTest, ClearedOptionsLeaveSourcesAndWriteNoKeysFile) {
  const std::string a = dir_.Write("A.dat", kDatA);
  const std::string b = dir_.Write("B.dat", kDatB);
  const TEncodeResult result = Encode({a, b}, Options(false, false));
  EXPECT_EQ(test::ReadFile(a), kDatA);
  EXPECT_EQ(test::ReadFile(b), kDatB);
  EXPECT_EQ(ReadDatTimeStamp(dir_ / "A.qdat"), kT);
  EXPECT_EQ(ReadDatTimeStamp(dir_ / "B.qdat"), kT);
  EXPECT_FALSE(PathExists(dir_ / "update_keys.txt"));
  EXPECT_EQ(result.KeysFile, "");
  // Field 3 carries the dat's old value, or nothing.
  EXPECT_EQ(result.Keys[0].TimeStamp, "40000.5");
  EXPECT_EQ(result.Keys[1].TimeStamp, "");
  EXPECT_EQ(statuses_.size(), 2u);
}

TEST_F(DatEncoderTest, NothingToEncodeWritesNothing) {
  const TEncodeResult result = Encode({}, Options());
  EXPECT_TRUE(result.Keys.empty());
  EXPECT_EQ(result.KeysFile, "");
  EXPECT_FALSE(PathExists(dir_ / "update_keys.txt"));
  EXPECT_TRUE(statuses_.empty());
}

TEST_F(DatEncoderTest, KeysFileGoesBesideTheFirstSource) {
  const std::string b = dir_.Write("two/B.dat", kDatB);
  const std::string a = dir_.Write("one/A.dat", kDatA);
  const TEncodeResult result = Encode({b, a}, Options(false, true));
  EXPECT_EQ(result.KeysFile, dir_ / "two/update_keys.txt");
  EXPECT_FALSE(PathExists(dir_ / "one/update_keys.txt"));
  EXPECT_TRUE(PathExists(dir_ / "one/A.qdat"));
  const std::vector<TUpdateKey> keys = ParseUpdateKeys(test::ReadFile(result.KeysFile));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].File, "B.qdat");
  EXPECT_EQ(keys[1].File, "A.qdat");
}

// A failing source stops the run there: earlier dats stay encoded, the
// failing dat's existing container is kept whole, and no keys file appears.
TEST_F(DatEncoderTest, FailureStopsTheRunAndKeepsTheOldContainer) {
  const std::string a = dir_.Write("A.dat", kDatA);
  const std::string empty = dir_.Write("E.dat", "");
  const std::string b = dir_.Write("B.dat", kDatB);
  const std::string oldContainer = MakeDatContainer("[INFO]\r\nNAME=Old\r\n", 1.0);
  dir_.Write("E.qdat", oldContainer);
  try {
    Encode({a, empty, b}, Options(false, true));
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Compression error");
  }
  EXPECT_TRUE(PathExists(dir_ / "A.qdat"));
  EXPECT_EQ(test::ReadFile(dir_ / "E.qdat"), oldContainer);
  EXPECT_FALSE(PathExists(dir_ / "B.qdat"));
  EXPECT_FALSE(PathExists(dir_ / "update_keys.txt"));
  EXPECT_EQ(statuses_, (std::vector<std::pair<size_t, std::string>>{{0, "Encoded"}}));
  EXPECT_THROW(Encode({dir_ / "missing.dat"}, Options()), FileOpenError);
}

// A container that cannot be put in place leaves no temporary file behind.
TEST_F(DatEncoderTest, FailedContainerWriteLeavesNoPartialFile) {
  const std::string a = dir_.Write("A.dat", kDatA);
  dir_.Write("A.qdat/inside", "kept");
  EXPECT_THROW(Encode({a}, Options(false, true)), IoError);
  EXPECT_EQ(test::ReadFile(dir_ / "A.qdat/inside"), "kept");
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    ++entries;
    EXPECT_TRUE(entry.path().filename() == "A.dat" || entry.path().filename() == "A.qdat")
        << entry.path();
  }
  EXPECT_EQ(entries, 2u);
  EXPECT_EQ(test::ReadFile(a), kDatA);
}

TEST_F(DatEncoderTest, AContainerThatCannotBeWrittenLeavesTheSourceUnstamped) {
  const std::string a = dir_.Write("A.dat", kDatA);
  for (const TFileOp op : {TFileOp::Rename, TFileOp::Write}) {
    TFaultFileSystem faults;
    const TFileSystemOverride installed(faults);
    faults.FailCall(op, 1, ENOSPC, "A.qdat");
    EXPECT_THROW(Encode({a}, Options(true, false)), IoError);
    EXPECT_EQ(test::ReadFile(a), kDatA);
    EXPECT_FALSE(PathExists(dir_ / "A.qdat"));
  }
}

// A write that fails anywhere in a run keeps every old file of the failing
// step byte for byte, leaves no temporary, and names the file it could not
// write. The keys file comes last: the containers before it stay written.
class EncodeFaultTest
    : public DatEncoderTest,
      public ::testing::WithParamInterface<std::tuple<test::TWriteFault, const char*>> {};

TEST_P(EncodeFaultTest, AFailedWriteKeepsTheOldFiles) {
  const auto& [fault, failing] = GetParam();
  const std::map<std::string, std::string> before = {
      {"A.dat", std::string(kDatA)},
      {"A.qdat", MakeDatContainer("[INFO]\r\nNAME=Old\r\n", 1.0)},
      {"update_keys.txt", "A.qdat|0.9|40000.5|Alpha Set\r\n"}};
  for (const auto& [name, bytes] : before) dir_.Write(name, bytes);
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  test::Inject(faults, fault, std::string("/") + failing);
  try {
    Encode({dir_ / "A.dat"}, Options());
    FAIL() << "the run ended well";
  } catch (const IoError& error) {
    EXPECT_EQ(error.what(), test::WriteFailure(dir_ / failing, fault));
  }
  std::map<std::string, std::string> after = test::FolderFiles(dir_.Path());
  if (std::string_view(failing) == "update_keys.txt") {
    EXPECT_EQ(after["update_keys.txt"], before.at("update_keys.txt"));
    EXPECT_EQ(ReadDatTimeStamp(dir_ / "A.qdat"), kT);
    EXPECT_EQ(after.size(), 3u);
  } else {
    EXPECT_EQ(after, before);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, EncodeFaultTest,
                         ::testing::Combine(::testing::ValuesIn(test::kWriteFaults),
                                            ::testing::Values("A.qdat", "A.dat",
                                                              "update_keys.txt")),
                         [](const auto& info) {
                           std::string name = std::string(std::get<0>(info.param).Name) + "_" +
                                              std::get<1>(info.param);
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST_F(DatEncoderTest, RefusesSourcesItWouldDestroy) {
  const std::string container = dir_.Write("packed.dat", MakeDatContainer(kDatA, 1.0));
  EXPECT_THROW(Encode({container}, Options()), FormatError);
  EXPECT_EQ(test::ReadFile(container), MakeDatContainer(kDatA, 1.0));
  EXPECT_FALSE(PathExists(dir_ / "packed.qdat"));
  const std::string plainQdat = dir_.Write("plain.QDAT", kDatA);
  EXPECT_THROW(Encode({plainQdat}, Options()), FormatError);
  EXPECT_EQ(test::ReadFile(plainQdat), kDatA);
}

// A '|' in NAME would shift the fields of the keys line: refused before the
// source or its container is touched, unless no keys file is wanted.
TEST_F(DatEncoderTest, BarInAKeysFieldIsRefusedWhenKeysAreWritten) {
  const std::string bar = dir_.Write("bar.dat", "[INFO]\nNAME=A|B\n[DAT]\n0001|00000000|x\n");
  try {
    Encode({bar}, Options());
    FAIL();
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), ("The NAME of \"" + bar +
                                "\" holds a '|', which the update keys file cannot carry")
                                   .c_str());
  }
  EXPECT_EQ(test::ReadFile(bar), "[INFO]\nNAME=A|B\n[DAT]\n0001|00000000|x\n");
  EXPECT_FALSE(PathExists(dir_ / "bar.qdat"));
  Encode({bar}, Options(true, false));
  EXPECT_TRUE(PathExists(dir_ / "bar.qdat"));
}

TEST_F(DatEncoderTest, ContainerPathChangesOnlyTheFileNamesExtension) {
  EXPECT_EQ(EncodedDatPath("/dats/Quen-NDS.dat"), "/dats/Quen-NDS.qdat");
  EXPECT_EQ(EncodedDatPath("/my.dats/Quen-NDS"), "/my.dats/Quen-NDS.qdat");
  EXPECT_EQ(EncodedDatPath("a.b.txt"), "a.b.qdat");
}

TEST_F(DatEncoderTest, RowNameIsNameOrFileName) {
  EXPECT_EQ(EncoderRowName(dir_.Write("A.dat", kDatA)), "Alpha Set");
  EXPECT_EQ(EncoderRowName(dir_.Write("B.dat", kDatB)), "B.dat");
  EXPECT_EQ(EncoderRowName(dir_ / "absent.dat"), "absent.dat");
}

}  // namespace
}  // namespace vexmoor
