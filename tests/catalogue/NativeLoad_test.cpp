// The native loader reads its text in one pass (header keys found by
// searching, the data lines split together with their items); these tests
// hold it to a straightforward reading through the list of all lines on odd
// texts, and hold the catalogue's pooled texts to their lifetime rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/DatHeader.h"
#include "catalogue/DatLoader.h"
#include "catalogue/DatText.h"
#include "catalogue/LoadedDat.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"

namespace vexmoor {
namespace {

struct TReading {
  TDatHeader Header;
  std::string Mask, Fields, Error;
  std::vector<std::string> Rows;  // every entry's numbers and texts, one line each
};

std::string Row(const TRomItem& entry) {
  return entry.Index.str() + "|" + std::to_string(entry.Crc) + "|" + entry.Name.str() + "|" +
         entry.Country.str() + "|" + std::to_string(entry.Status) + "|" +
         std::to_string(entry.Name.c_str()[entry.Name.size()]);
}

// The reading through the list of all lines, as the loader used to do it.
TReading ReadByLines(std::string_view text) {
  TReading reading;
  text = WithoutByteOrderMark(text);
  const std::vector<std::string_view> lines = SplitLines(text);
  reading.Header.Rebuild(lines);
  reading.Mask = reading.Header.ReadString(kInfoSection, "MASK", "");
  reading.Fields = reading.Header.ReadString(kInfoSection, "FIELDS", kDefaultFields);
  TCatalogue catalogue;
  try {
    const size_t first = NativeDataStart(text, lines);
    try {
      AppendNativeEntries(catalogue, lines, first, NativeColumns(reading.Fields));
    } catch (const FormatError& error) {
      reading.Error = std::string("\"d.qdat\", ") + error.what();
    }
  } catch (const FormatError& error) {
    reading.Error = error.what();
  }
  for (const TRomItem& entry : catalogue) reading.Rows.push_back(Row(entry));
  return reading;
}

TReading ReadByLoader(std::string_view text) {
  TReading reading;
  TLoadedDat dat;
  try {
    LoadNativeText(dat, "d.qdat", text);
  } catch (const FormatError& error) {
    reading.Error = error.what();
  }
  reading.Header = dat.DatHeader;
  reading.Mask = dat.DatMask;
  reading.Fields = dat.DatFields;
  for (const TRomItem& entry : dat.Catalogue) reading.Rows.push_back(Row(entry));
  return reading;
}

// Shows the bytes of a failing text.
std::string Shown(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      shown += "\\x" + HexWord(static_cast<unsigned char>(c)).substr(2);
    } else {
      shown += c;
    }
  }
  return shown;
}

void ExpectSameReading(std::string_view text) {
  const TReading expected = ReadByLines(text);
  const TReading read = ReadByLoader(text);
  EXPECT_TRUE(read.Header == expected.Header) << Shown(text);
  EXPECT_EQ(read.Mask, expected.Mask) << Shown(text);
  EXPECT_EQ(read.Fields, expected.Fields) << Shown(text);
  EXPECT_EQ(read.Error, expected.Error) << Shown(text);
  EXPECT_EQ(read.Rows, expected.Rows) << Shown(text);
}

TEST(NativeLoad, OddTextsReadAsThroughTheListOfLines) {
  const std::string kBom = "\xEF\xBB\xBF";
  const std::vector<std::string> texts = {
      "",
      "\r\n",
      "[INFO]\r\nFIELDS=INDEX|CRC32|NAME\r\n[DAT]\r\n0001|0A1B2C3D|Name\r\n",
      // Line ends: bare CR, LF, CR LF, mixed, none at the end, empty lines.
      "[INFO]\rNAME=x\r[DAT]\r0001|0A1B2C3D|A long first name\r0002|11111111|B\r",
      "[INFO]\nNAME=x\n[DAT]\n0001|0A1B2C3D|A long first name\n\n\n0002|11111111|Bee",
      "[INFO]\r\n[DAT]\r\r\n\n\r0001|0A1B2C3D|Name one\n\r0002|1|Name two\r\n\r",
      "[DAT]\r\n0001|0A1B2C3D|No break after the last line",
      "[DAT]\r\n0001|0A1B2C3D|Ends with a CR\r",
      // Wrong item counts, empty items, a final '|'.
      "[DAT]\n0001|0A1B2C3D\n0002|0A1B2C3D|N|X\n0003|0A1B2C3D|N|\n|0A1B2C3D|\n||\n|||\n",
      "[DAT]\n0001||Empty CRC\n",
      "[DAT]\n0001|0A1B2C3D|First\n0002|0A1B2C3G|Bad digit\n0003|0A1B2C3D|Never\n",
      "[DAT]\n0001|0A1B2C3D|First\n\r\n\r0004|123456789|Nine digits too big\n",
      "[DAT]\n0001|000000000000A1B2|Leading zeros\n0002|a1b2c3d4|lower\n0003|F|one\n",
      "[DAT]\n0001| 0A1B2C3D|Blank\n",
      "[DAT]\n0001|0A1B2C3D0A1B2C3D0A1B2C3D0A1B2C3D0A1B2C3D0A1B2C3D|Long bad\n",
      // Header keys and sections after [DAT], in data lines, twice, in any case.
      "[INFO]\nFIELDS=NAME|CRC32\n[DAT]\nName=1|0A1B2C3D\n[INFO]\nMASK=*.x\nfields=CRC32\n",
      "[info]\n  Fields =  INDEX | CRC32|NAME  \n[ DAT ]\n[dat]\n0001|0A1B2C3D|x\n",
      "[INFO]\nMASK=a=b=c\n;MASK=commented\n [DAT] \n0001|0A1B2C3D|[Bracketed] name\n[x]=\n",
      "MASK=before any section\n[INFO]\nMASK=*.nds\n[DAT]\n=0001|0A1B2C3D|x\n",
      // "[DAT]" only inside other text, or only in another case.
      "[INFO]\nNAME=a [DAT] b\n0001|0A1B2C3D|x\n",
      "[INFO]\nNAME=x\n[dat]\n0001|0A1B2C3D|x\n",
      "0001|0A1B2C3D|No header at all\n0002|11111111|Second\n",
      // A byte order mark, and one that is not at the start.
      kBom + "[INFO]\r\nNAME=x\r\n[DAT]\r\n0001|0A1B2C3D|With BOM\r\n",
      "[INFO]\r\n" + kBom + "NAME=x\r\n[DAT]\r\n" + kBom + "0001|0A1B2C3D|x\r\n",
      // One column, no column, columns the loader does not read.
      "[INFO]\nFIELDS=NAME\n[DAT]\n\nA name\n|\nx|y\n\n",
      "[INFO]\nFIELDS=NAME\n0001\n",
      "[INFO]\nFIELDS=\n[DAT]\n\n\nx\n|\n",
      "[INFO]\nFIELDS=||\n[DAT]\na|b|c\n||\n|||\n",
      "[INFO]\nFIELDS=SIZE|NAME|CRC32|COUNTRY|INDEX\n[DAT]\n9|Name|0a1b2c3d|Europe|12345678\n",
      "[INFO]\nFIELDS=CRC32|CRC32\n[DAT]\n0A1B2C3D|ZZ\n",
      // NUL and high bytes are ordinary characters.
      std::string("[DAT]\n0001|0A1B2C3D|Nul\0inside\xFF\n", 31),
      std::string("[DAT]\n0001|0A1B2C3\0|x\n", 22),
  };
  for (const std::string& text : texts) ExpectSameReading(text);
}

// Random texts made of the pieces the grammar cares about.
TEST(NativeLoad, RandomTextsReadAsThroughTheListOfLines) {
  const std::vector<std::string> pieces = {
      "\r", "\n", "\r\n", "|", "[", "]", "=", ";", " ", "\t", "[DAT]", "[dat]", "[INFO]",
      "FIELDS=", "FIELDS=NAME", "FIELDS=INDEX|CRC32|NAME|COUNTRY", "MASK=", "INDEX", "CRC32",
      "NAME", "0A1B2C3D", "ffffffff", "1", "123456789", "G", "Some longer release name",
      "\xEF\xBB\xBF", std::string(1, '\0'), "\xAC",
  };
  std::mt19937 random(33);
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    const size_t count = random() % 40;
    for (size_t i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    ExpectSameReading(text);
    if (HasFailure()) break;
  }
}

TEST(NativeLoad, BadCrcNamesTheFileAndTheLineOfTheWholeText) {
  TLoadedDat dat;
  try {
    LoadNativeText(dat, "some/d.qdat",
                   "[INFO]\r\nNAME=x\r\n\r\n[DAT]\r\n0001|0A1B2C3D|First\r0002|0A1B2C3Z|Bad\r\n");
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_STREQ(error.what(), "\"d.qdat\", line 6: '0A1B2C3Z' is not a valid CRC32 value");
  }
  ASSERT_EQ(dat.Catalogue.Count(), 1u);
  EXPECT_EQ(dat.Catalogue[0].Name, "First");
}

TEST(NativeLoad, HeaderFromTextEqualsHeaderFromLines) {
  for (const std::string_view text :
       {"", "[A]", "[A]\rk=v\r\n[B]\nk = w\n[a]\nK=late\n", "x=y\n[S]\r\r\nz\r= \r==\r[]=\r[]\n",
        "[S]\nk=v[T]\n[ T ]\nk=1\n;k=2\n [u] x\nk=3", "\n\n[S]", "[S]\nkey=[value]\n"}) {
    TDatHeader fromText;
    fromText.RebuildFromText(text);
    EXPECT_TRUE(fromText == TDatHeader(SplitLines(text))) << Shown(text);
  }
}

// Eight-character CRC columns take a shorter road; every other length the
// long one. Both accept exactly the hex digits and give the same messages.
TEST(ParseCrc32, EightDigitsAcceptTheSameBytesAsAnyOtherLength) {
  const auto isDigit = [](unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  };
  for (int byte = 0; byte < 256; ++byte) {
    for (const size_t at : {size_t{0}, size_t{3}, size_t{7}}) {
      std::string eight = "0A1b2C3d";
      eight[at] = static_cast<char>(byte);
      std::string nine = "0" + eight;
      if (isDigit(static_cast<unsigned char>(byte))) {
        EXPECT_EQ(ParseCrc32(eight), ParseCrc32(nine));
      } else {
        try {
          ParseCrc32(eight);
          ADD_FAILURE() << "byte " << byte << " accepted";
        } catch (const FormatError& error) {
          // (what() ends at a NUL: that byte's message is shown cut short.)
          if (byte != 0) {
            EXPECT_EQ(error.what(), "'" + eight + "' is not a valid CRC32 value");
          }
        }
      }
    }
  }
  EXPECT_EQ(ParseCrc32("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseCrc32("12345678"), 0x12345678u);
  EXPECT_EQ(ParseCrc32("abcdef01"), 0xABCDEF01u);
}

// The pooled texts' lifetime rule: whatever leaves the catalogue owns its
// bytes; the sanitizer build shows any read of a dropped pool.
TCatalogue LoadedCatalogue(size_t entries) {
  std::string text = "[DAT]\n";
  for (size_t i = 0; i < entries; ++i) {
    text += std::to_string(1000000 + i) + "|0A1B2C3D|Release number " + std::to_string(i) +
            " with a name long enough for the pool" + (i % 7 == 0 ? std::string(20000, 'x') : "") +
            "\n";
  }
  TLoadedDat dat;
  LoadNativeText(dat, "d.qdat", text);
  return std::move(dat.Catalogue);
}

std::string NameOf(size_t i) {
  return "Release number " + std::to_string(i) + " with a name long enough for the pool" +
         (i % 7 == 0 ? std::string(20000, 'x') : "");
}

TEST(PooledText, EntriesCopiedOrMovedOutOutliveTheirCatalogue) {
  std::vector<TRomItem> copies, moved;
  TEntryText text, movedText;
  {
    TCatalogue catalogue = LoadedCatalogue(50);
    copies.push_back(catalogue[0]);
    copies.push_back(catalogue[1]);
    moved.push_back(std::move(catalogue[2]));
    moved.emplace_back(std::move(catalogue[3]));
    text = catalogue[4].Name;
    movedText = std::move(catalogue[5].Name);
    EXPECT_TRUE(catalogue[5].Name.empty());  // NOLINT: a moved-from text is empty
    catalogue.Clear();
    EXPECT_EQ(catalogue.Count(), 0u);
  }
  EXPECT_EQ(copies[0].Name, NameOf(0));
  EXPECT_EQ(copies[1].Name, NameOf(1));
  EXPECT_EQ(copies[1].Index, "1000001");
  EXPECT_EQ(moved[0].Name, NameOf(2));
  EXPECT_EQ(moved[1].Name, NameOf(3));
  EXPECT_EQ(text, NameOf(4));
  EXPECT_EQ(movedText, NameOf(5));
  EXPECT_EQ(movedText.c_str()[movedText.size()], '\0');
}

TEST(PooledText, TheCatalogueMovesReplacesAndCopiesWithItsTexts) {
  TCatalogue target;
  target.Append().Name = "an old entry with a heap text";
  {
    TCatalogue loaded = LoadedCatalogue(300);
    TCatalogue moved(std::move(loaded));
    TCatalogue assigned;
    assigned = std::move(moved);
    target.ReplaceWith(std::move(assigned));
    EXPECT_EQ(assigned.Count(), 0u);  // NOLINT: ReplaceWith leaves it empty
  }
  ASSERT_EQ(target.Count(), 300u);
  TCatalogue copy;
  {
    const TCatalogue original = LoadedCatalogue(20);
    copy = original;
  }
  for (size_t i = 0; i < target.Count(); ++i) ASSERT_EQ(target[i].Name, NameOf(i));
  ASSERT_EQ(copy.Count(), 20u);
  for (size_t i = 0; i < copy.Count(); ++i) ASSERT_EQ(copy[i].Name, NameOf(i));
  // Growing past the room the loader made moves the entries within the
  // catalogue; their texts stay whole, and a pooled text takes a new value.
  for (int i = 0; i < 1000; ++i) target.Append().Name = "appended entry number " + std::to_string(i);
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(target[i].Name, NameOf(i));
  target[1].Name = target[1].Name.View().substr(8);
  EXPECT_EQ(target[1].Name, NameOf(1).substr(8));
  target[2].Name = "short";
  EXPECT_EQ(target[2].Name, "short");
  target.Clear();
  target.Append().Name = "after the pool was dropped";
  EXPECT_EQ(target[0].Name, "after the pool was dropped");
}

TEST(PooledText, EveryLengthReadsBackWholeFromThePool) {
  TCatalogue catalogue;
  std::vector<std::string> texts;
  for (size_t length = 0; length <= 40; ++length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>(i % 3 == 1 ? '\0' : 0xA0 + i);
    texts.push_back(text);
  }
  texts.push_back(std::string(70000, 'y'));  // more than a chunk
  catalogue.Reserve(texts.size());
  for (const std::string& text : texts) catalogue.SetPooledText(catalogue.Append().Name, text);
  for (size_t i = 0; i < texts.size(); ++i) {
    const TEntryText& name = catalogue[i].Name;
    EXPECT_EQ(name.View(), texts[i]);
    EXPECT_EQ(name.size(), texts[i].size());
    EXPECT_EQ(name.c_str()[name.size()], '\0');
    EXPECT_EQ(TEntryText(name), name);
  }
}

}  // namespace
}  // namespace vexmoor
