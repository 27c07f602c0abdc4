#include "rebuild/SafeName.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TEST(SafeFileName, KeepsNamesEverySystemAccepts) {
  EXPECT_EQ(SafeFileName("Mario Kart DS (Europe) (En,Fr).nds"), "Mario Kart DS (Europe) (En,Fr).nds");
  EXPECT_EQ(SafeFileName("\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\xA2\xE3\x83\xB3.nds"),
            "\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\xA2\xE3\x83\xB3.nds");
}

TEST(SafeFileName, ReplacesWhatWindowsRefuses) {
  EXPECT_EQ(SafeFileName("Zelda: Spirit Tracks?.nds"), "Zelda_ Spirit Tracks_.nds");
  EXPECT_EQ(SafeFileName("a<b>c\"d/e\\f|g*h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(SafeFileName(std::string("tab\there\x01", 10)), "tab_here__");
  EXPECT_EQ(SafeFileName("Name. . "), "Name");
  EXPECT_EQ(SafeFileName("..."), "_");
  EXPECT_EQ(SafeFileName(""), "_");
}

TEST(SafeFileName, DeviceNamesGetAPrefixWithOrWithoutExtension) {
  EXPECT_EQ(SafeFileName("CON"), "_CON");
  EXPECT_EQ(SafeFileName("nul.nds"), "_nul.nds");
  EXPECT_EQ(SafeFileName("Com7.zip"), "_Com7.zip");
  EXPECT_EQ(SafeFileName("COM0.nds"), "COM0.nds");
  EXPECT_EQ(SafeFileName("CONSOLE.nds"), "CONSOLE.nds");
}

TEST(SafeFileName, LongNamesAreCutAtACharacterAndKeepTheirExtension) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += "\xC3\xA9";  // 200 bytes
  name += std::string(41, 'x') + ".nds";
  const std::string safe = SafeFileName(name);
  EXPECT_LE(safe.size(), 240u);
  EXPECT_EQ(safe.substr(safe.size() - 4), ".nds");
  const std::string body = safe.substr(0, safe.size() - 4);
  EXPECT_NE(static_cast<unsigned char>(body.back()) & 0xC0, 0xC0) << "a UTF-8 sequence was split";
}

}  // namespace
}  // namespace vexmoor
