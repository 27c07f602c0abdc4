#include "catalogue/General.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using Items = std::vector<std::string>;

TEST(Explode, KeepsEmptyItemsButNoTrailingOne) {
  EXPECT_EQ(Explode('|', "a|b|c"), (Items{"a", "b", "c"}));
  EXPECT_EQ(Explode('|', "a||c"), (Items{"a", "", "c"}));
  EXPECT_EQ(Explode('|', "|a"), (Items{"", "a"}));
  EXPECT_EQ(Explode('|', "a|"), (Items{"a"}));
  EXPECT_EQ(Explode('|', "|"), (Items{""}));
  EXPECT_EQ(Explode('|', "||"), (Items{"", ""}));
  EXPECT_EQ(Explode('|', ""), Items{});
  EXPECT_EQ(Explode(';', "*.zip;*.rar;*.001;"), (Items{"*.zip", "*.rar", "*.001"}));
  EXPECT_EQ(Explode('|', "0001|1A2B3C4D|Name|").size(), 3u);
  EXPECT_EQ(Explode('|', "0001|1A2B3C4D|").size(), 2u);
  EXPECT_EQ(Explode('|', "  a | b ").at(1), " b ");
}

TEST(SplitAt, CutsAndKeepsTheRest) {
  std::string text = "abcdef";
  EXPECT_EQ(SplitAt(text, 2), "ab");
  EXPECT_EQ(text, "cdef");
  EXPECT_EQ(SplitAt(text, 0), "");
  EXPECT_EQ(text, "cdef");
  EXPECT_EQ(SplitAt(text, 99), "cdef");
  EXPECT_EQ(text, "");
}

TEST(ChangeExt, ReplacesFromTheLastDotOfTheWholePath) {
  EXPECT_EQ(ChangeExt("C:\\dats\\set.qdat", ".qcache"), "C:\\dats\\set.qcache");
  EXPECT_EQ(ChangeExt("C:\\dats\\set", ".qcache"), "C:\\dats\\set.qcache");
  EXPECT_EQ(ChangeExt("C:\\dats.old\\set", ".qcache"), "C:\\dats.qcache");
  EXPECT_EQ(ChangeExt("/dats/set.tar.dat", ".qdat"), "/dats/set.tar.qdat");
  EXPECT_EQ(ChangeExt("", ".qdat"), ".qdat");
}

TEST(MatchesMask, StarAndQuestionMarkIgnoreCase) {
  EXPECT_TRUE(MatchesMask("GAME.NDS", "*.nds"));
  EXPECT_TRUE(MatchesMask("game.nds", "*.NDS"));
  EXPECT_TRUE(MatchesMask(".nds", "*.nds"));
  EXPECT_FALSE(MatchesMask("game.ndsx", "*.nds"));
  EXPECT_FALSE(MatchesMask("game.nd", "*.nds"));
  EXPECT_TRUE(MatchesMask("set.r00", "*.r??"));
  EXPECT_FALSE(MatchesMask("set.r0", "*.r??"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_TRUE(MatchesMask("", ""));
  EXPECT_FALSE(MatchesMask("a", ""));
  EXPECT_FALSE(MatchesMask("", "?"));
  EXPECT_TRUE(MatchesMask("abc", "a**c"));
  EXPECT_TRUE(MatchesMask("/roms/sub/x.nds", "*/sub/*.nds"));
  EXPECT_TRUE(MatchesMask("mississippi", "*sip*"));
  EXPECT_TRUE(MatchesMask("aaab", "*a?b"));
}

TEST(MatchesMask, SetsWithRangesAndNegation) {
  EXPECT_TRUE(MatchesMask("set.r05", "*.r[0-9][0-9]"));
  EXPECT_FALSE(MatchesMask("set.rx5", "*.r[0-9][0-9]"));
  EXPECT_TRUE(MatchesMask("B", "[a-c]"));
  EXPECT_TRUE(MatchesMask("b", "[A-C]"));
  EXPECT_FALSE(MatchesMask("d", "[a-c]"));
  EXPECT_TRUE(MatchesMask("x", "[!a-c]"));
  EXPECT_FALSE(MatchesMask("A", "[!a-c]"));
  EXPECT_TRUE(MatchesMask("q", "[xyzq]"));
  EXPECT_TRUE(MatchesMask("Q", "[xyzq]"));
  EXPECT_TRUE(MatchesMask("-", "[a-]"));
  EXPECT_FALSE(MatchesMask("", "[a]"));
  EXPECT_TRUE(MatchesMask("game (E).nds", "*([EU]).nds"));
  EXPECT_FALSE(MatchesMask("game (J).nds", "*([EU]).nds"));
}

TEST(MatchesMask, UnclosedSetIsAnError) {
  EXPECT_THROW(MatchesMask("a", "[a"), FormatError);
  EXPECT_THROW(MatchesMask("abc", "x*[!"), FormatError);
  EXPECT_THROW(MatchesMask("abc", "[a]["), FormatError);
}

TEST(MatchesMask, ManyStarsStayFast) {
  // A backtracking matcher takes exponential time here.
  const std::string name(4000, 'a');
  EXPECT_FALSE(MatchesMask(name, "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchesMask(name + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(MatchesMaskList, TriesEachMaskInOrder) {
  EXPECT_TRUE(MatchesMaskList("GAME.NDS", "*.nds"));
  EXPECT_FALSE(MatchesMaskList("GAME.NDS", ""));
  EXPECT_TRUE(MatchesMaskList("x.rar", "*.zip;*.rar;*.001;"));
  EXPECT_FALSE(MatchesMaskList("x.002", "*.zip;*.rar;*.001;"));
  // An empty mask between two separators matches only an empty name.
  EXPECT_FALSE(MatchesMaskList("x.nds", "*.zip;;*.rar"));
  // A later bad mask is never reached once an earlier one matched.
  EXPECT_TRUE(MatchesMaskList("x.zip", "*.zip;[bad"));
  EXPECT_THROW(MatchesMaskList("x.nds", "*.zip;[bad"), FormatError);
}

// The list a scan splits once answers every name as the list text does,
// the end-of-name shortcut for "*.ext" masks included.
TEST(MatchesMaskList, TheListSplitOnceAnswersAsTheText) {
  const std::vector<std::string> lists = {"*.nds", "*.zip;*.rar;*.7z;*.001;*.nds;*.bin",
                                          "*.NDS;*.r??;*]x", "*;", "", ";;", "game*.nds;*.n[a-d]s"};
  const std::vector<std::string> names = {"x.nds", "X.NDS", "nds", ".nds", "/a/b.Nds", "x.ndsx",
                                          "set.r00", "a]x", "]x", "", "x.zip", "game1.nds",
                                          "y.nbs", "y.nes"};
  for (const std::string& list : lists) {
    const TMaskList compiled(list);
    EXPECT_EQ(compiled.Text(), list);
    for (const std::string& name : names) {
      bool any = false;
      for (const std::string& mask : Explode(';', list)) any = any || MatchesMask(name, mask);
      EXPECT_EQ(compiled.Matches(name), any) << list << " / " << name;
    }
  }
  const TMaskList bad("*.zip;[bad");
  EXPECT_TRUE(bad.Matches("x.zip"));
  EXPECT_THROW(bad.Matches("x.nds"), FormatError);
}

class FileHasSignatureTest : public test::TempDirTest {};

TEST_F(FileHasSignatureTest, ComparesBytesAtTheOffset) {
  const std::string path = dir_.Write("f.bin", std::string("xxQDAT\0yy", 9));
  EXPECT_TRUE(FileHasSignature(path, "QDAT", 2));
  EXPECT_FALSE(FileHasSignature(path, "qdat", 2));
  EXPECT_FALSE(FileHasSignature(path, "QDAT", 0));
  EXPECT_TRUE(FileHasSignature(path, std::string("T\0yy", 4), 5));
  EXPECT_FALSE(FileHasSignature(path, "yyz", 7));
  EXPECT_FALSE(FileHasSignature(path, "y", 1000));
}

TEST_F(FileHasSignatureTest, ShortOrMissingFilesAreFalse) {
  EXPECT_FALSE(FileHasSignature(dir_.Write("two", "QD"), "QDAT", 0));
  EXPECT_FALSE(FileHasSignature(dir_ / "missing", "QDAT", 0));
}

TEST_F(FileHasSignatureTest, UnopenableFileThrows) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX mode bits: a Windows file has none to take away";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "root opens every file";
  const std::string path = dir_.Write("locked", "QDAT");
  ::chmod(path.c_str(), 0);
  EXPECT_THROW(FileHasSignature(path, "QDAT", 0), FileOpenError);
#endif
}

TEST(ErrorReportText, AddsAFullStopOnlyAfterACharacterThatSortsAfterIt) {
  EXPECT_EQ(ErrorReportText("Decompression error"), "Decompression error.");
  EXPECT_EQ(ErrorReportText("Unknown compression format."), "Unknown compression format.");
  EXPECT_EQ(ErrorReportText("Really?"), "Really?.");  // '?' sorts after '.'
  EXPECT_EQ(ErrorReportText("Failed!"), "Failed!");   // '!' sorts before it
  EXPECT_EQ(ErrorReportText("code 7"), "code 7.");
  EXPECT_EQ(ErrorReportText("(x)"), "(x)");
  EXPECT_EQ(ErrorReportText("caf\xE9"), "caf\xE9.");  // bytes above 0x7F count as large
  EXPECT_EQ(ErrorReportText(""), "");
}

}  // namespace
}  // namespace vexmoor
