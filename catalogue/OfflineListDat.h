// The OfflineList XML dat (root <dat>): <configuration> with datName,
// datVersion and system, then <games><game> elements with releaseNumber,
// title, romSize, location and <files><romCRC extension="..."> lines.
// docs/formats/offlinelist-dat.md describes the rules and the location table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "catalogue/XmlDat.h"

namespace vexmoor {

// The flag letter OfflineList's standard location number `location` stands
// for, or "" for a location without one of the eleven flags (and for text
// that is not a location number).
std::string CountryFromLocation(std::string_view location);

// Fills Dat with one entry per romCRC of each game: Name from title, Index
// from releaseNumber (or the game's 1-based position when it has none),
// Country from location, Size from romSize, RomName the title and the
// romCRC's extension; an empty romCRC gives none. A title that games of
// several release numbers share gets the unique game name in its RomName
// ("Title (0123).nds"), so that no two releases name the same file.
class TOfflineListReader final : public TXmlDatReader {
 public:
  TOfflineListReader() { Dat.Format = TDatFormat::OfflineList; }
  void Start(std::string_view element, const char* const* attributes, size_t depth) override;
  void End(std::string_view element, std::string_view text, size_t depth) override;

 private:
  void EndGame();
  void NameRepeatedTitlesApart();

  struct TRom {
    uint32_t Crc = 0;
    std::string Extension;
  };
  enum class TSection { Other, Configuration, Games };

  TSection section_ = TSection::Other;
  bool inGame_ = false;
  bool hasSystem_ = false;
  size_t games_ = 0;
  std::string title_, releaseNumber_, location_, romSize_, extension_;
  std::vector<TRom> roms_;
};

}  // namespace vexmoor
