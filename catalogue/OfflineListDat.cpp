#include "catalogue/OfflineListDat.h"

#include <array>

#include "catalogue/DatText.h"
#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

// OfflineList's standard locations 0-25, as flag letters: a location that
// names several regions gets the flag of the first; a country without a
// flag of its own (England, Denmark, Finland, Norway, Poland, Portugal,
// Sweden, North Korea, Brazil) gets none.
constexpr std::array<char, 26> kLocationFlags = {
    'E', 'U', 'G', 'C', 'S', 'F', 'I', 'J', 'N', 0,   0,   0,   0,
    0,   0,   0,   'E', 'E', 'U', 'A', 0,   0,   'K', 'E', 'E', 'U',
};

}  // namespace

std::string CountryFromLocation(std::string_view location) {
  location = TrimBlanks(location);
  if (location.empty() || location.size() > 2) return {};
  size_t number = 0;
  for (const char c : location) {
    if (c < '0' || c > '9') return {};
    number = number * 10 + static_cast<size_t>(c - '0');
  }
  if (number >= kLocationFlags.size() || kLocationFlags[number] == 0) return {};
  return {kLocationFlags[number]};
}

void TOfflineListReader::Start(std::string_view element, const char* const* attributes,
                               size_t depth) {
  if (depth == 1) {
    section_ = element == "configuration" ? TSection::Configuration
               : element == "games"       ? TSection::Games
                                          : TSection::Other;
  } else if (depth == 2 && section_ == TSection::Games && element == "game") {
    inGame_ = true;
    ++games_;
    title_.clear();
    releaseNumber_.clear();
    location_.clear();
    romSize_.clear();
    roms_.clear();
  } else if (depth == 4 && inGame_ && element == "romCRC") {
    extension_ = XmlAttribute(attributes, "extension");
  }
}

void TOfflineListReader::End(std::string_view element, std::string_view text, size_t depth) {
  if (depth == 2 && section_ == TSection::Configuration) {
    if (element == "datName") Dat.Name = text;
    if (element == "datVersion") Dat.Version = text;
    if (element == "system") {
      Dat.System = text;
      hasSystem_ = true;
    }
  } else if (depth == 2 && inGame_) {
    EndGame();
  } else if (depth == 3 && inGame_) {
    if (element == "title") title_ = text;
    if (element == "releaseNumber") releaseNumber_ = TrimBlanks(text);
    if (element == "location") location_ = text;
    if (element == "romSize") romSize_ = TrimBlanks(text);
  } else if (depth == 4 && inGame_ && element == "romCRC") {
    const std::string_view crc = TrimBlanks(text);
    if (!crc.empty()) roms_.push_back({ParseCrc32(crc), extension_});
  } else if (depth == 1 && section_ == TSection::Configuration && !hasSystem_) {
    Dat.System = Dat.Name;
  } else if (depth == 0) {
    NameRepeatedTitlesApart();
  }
}

void TOfflineListReader::NameRepeatedTitlesApart() {
  const std::unordered_set<std::string> repeated = RepeatedNames(Dat.Entries);
  if (repeated.empty()) return;
  for (TRomItem& entry : Dat.Entries) {
    if (repeated.count(entry.Name) == 0) continue;
    const size_t title = entry.Name.size();
    entry.RomName = UniqueGameName(entry.Name, entry.Index) + entry.RomName.substr(title);
  }
}

void TOfflineListReader::EndGame() {
  inGame_ = false;
  const std::string index = ReleaseIndexText(releaseNumber_, games_);
  const std::string country = CountryFromLocation(location_);
  for (const TRom& rom : roms_) {
    TRomItem& entry = Dat.Entries.Append();
    entry.Index = index;
    entry.Crc = rom.Crc;
    entry.Name = title_;
    entry.Country = country;
    entry.Size = ParseRomSize(romSize_);
    entry.RomName = title_ + rom.Extension;
    Dat.NoteExtension(rom.Extension);
  }
}

}  // namespace vexmoor
