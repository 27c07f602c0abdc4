#include "bench/SampleData.h"

#include <array>
#include <cstdio>
#include <random>
#include <vector>

namespace vexmoor::bench {

namespace {

constexpr std::array<const char*, 32> kWords = {
    "Super",  "Mario",   "Kart",    "Pokemon", "Dragon", "Quest",  "Legend", "of",
    "the",    "Zelda",   "Puzzle",  "League",  "Brain",  "Age",    "Racing", "World",
    "Star",   "Fox",     "Castle",  "Shadow",  "Tennis", "Golf",   "Party",  "Island",
    "Ninja",  "Academy", "Pinball", "Soccer",  "Quiz",   "Master", "Pet",    "Hotel"};
constexpr std::array<const char*, 6> kRegions = {"Europe", "USA", "Japan", "Germany", "France",
                                                 "Spain"};
// The languages a release for each region lists after it, as DS release
// names do ("Title (Europe) (En,Fr,De,Es,It)"); none for a single market.
constexpr std::array<const char*, 6> kLanguages = {" (En,Fr,De,Es,It)", "", "", " (De)", " (Fr)", " (Es)"};

}  // namespace

std::string GeneratedDatText(size_t lines, uint32_t seed, DatNames kind) {
  std::mt19937 random(seed);
  // The titles: a few dozen release names, each a title and a region, and
  // for releases the region's languages.
  std::vector<std::string> names;
  for (size_t i = 0; names.size() < 48; ++i) {
    std::string name = std::string(kWords[(i * 7) % kWords.size()]) + " " + kWords[(i * 13 + 5) % kWords.size()];
    if (i % 3 == 0) name += std::string(" ") + kWords[(i * 5 + 11) % kWords.size()];
    name += std::string(" (") + kRegions[i % kRegions.size()] + ")";
    if (kind == DatNames::kReleases) name += kLanguages[i % kLanguages.size()];
    names.push_back(name);
  }
  std::string text =
      "[INFO]\r\nNAME=Generated\r\nSYSTEM=Nintendo DS\r\nMASK=*.nds\r\n"
      "FIELDS=INDEX|CRC32|NAME\r\nSORT=INDEX\r\n[DAT]\r\n";
  std::uniform_int_distribution<size_t> pick(0, names.size() - 1);
  std::uniform_int_distribution<size_t> word(0, kWords.size() - 1), region(0, kRegions.size() - 1);
  std::uniform_int_distribution<int> wordCount(2, 4);
  char head[32];
  for (size_t line = 1; line <= lines; ++line) {
    std::snprintf(head, sizeof head, "%04zu|%08X|", line, static_cast<unsigned>(random()));
    text += head;
    if (kind != DatNames::kWords) {
      text += names[pick(random)] + "\r\n";
      continue;
    }
    for (int count = wordCount(random), i = 0; i < count; ++i) {
      text += kWords[word(random)];
      text += ' ';
    }
    text += std::string("(") + kRegions[region(random)] + ")\r\n";
  }
  return text;
}

std::string GeneratedBinary(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string data;
  data.reserve(size + 64);
  std::geometric_distribution<int> small(0.3);
  while (data.size() < size) {
    switch (random() % 4) {
      case 0:  // a little-endian 32-bit value of modest size
        for (uint32_t v = random() % 4096, i = 0; i < 4; ++i) data += char(v >> (8 * i));
        break;
      case 1:  // a run of small table entries
        for (int i = 0; i < 16; ++i) data += char(small(random));
        break;
      case 2:  // a record repeated from earlier, slightly changed
        if (data.size() > 256) {
          const size_t from = data.size() - 1 - random() % std::min<size_t>(data.size() - 64, 60000);
          std::string record = data.substr(from, 8 + random() % 48);
          record[random() % record.size()] = char(random());
          data += record;
        }
        break;
      default:  // noise
        for (int i = 0; i < 6; ++i) data += char(random());
    }
  }
  data.resize(size);
  return data;
}

}  // namespace vexmoor::bench
