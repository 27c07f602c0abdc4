#include "catalogue/LogiqxDat.h"

#include "catalogue/DatText.h"

namespace vexmoor {

void TLogiqxReader::Start(std::string_view element, const char* const* attributes,
                          size_t depth) {
  if (depth == 1) {
    inHeader_ = element == "header";
    if (element == "game" || element == "machine") StartGame(attributes);
  } else if (depth == 2 && inGame_) {
    if (element == "rom") AddRom(attributes);
    if (element == "release" && releaseRegion_.empty()) {
      releaseRegion_ = XmlAttribute(attributes, "region");
    }
  }
}

void TLogiqxReader::End(std::string_view element, std::string_view text, size_t depth) {
  if (depth == 1) {
    if (inGame_) EndGame();
    inHeader_ = false;
  } else if (depth == 2 && inHeader_) {
    if (element == "name") Dat.Name = text;
    if (element == "description") Dat.System = text;
    if (element == "version") Dat.Version = text;
  }
}

void TLogiqxReader::StartGame(const char* const* attributes) {
  inGame_ = true;
  firstEntry_ = Dat.Entries.Count();
  name_ = XmlAttribute(attributes, "name");
  index_ = ReleaseIndexText(XmlAttribute(attributes, "id"), ++games_);
  country_ = CountryFromName(name_);
  releaseRegion_.clear();
}

void TLogiqxReader::AddRom(const char* const* attributes) {
  const std::string_view crc = XmlAttribute(attributes, "crc");
  if (crc.empty() || XmlAttribute(attributes, "status") == "nodump") return;
  const uint32_t value = ParseCrc32(crc);
  TRomItem& entry = Dat.Entries.Append();
  entry.Index = index_;
  entry.Crc = value;
  entry.Name = name_;
  entry.Country = country_;
  entry.Size = ParseRomSize(XmlAttribute(attributes, "size"));
  entry.RomName = XmlAttribute(attributes, "name");
  entry.Sha1 = HexDigest(XmlAttribute(attributes, "sha1"), 40);
  entry.Md5 = HexDigest(XmlAttribute(attributes, "md5"), 32);
  entry.Sha256 = HexDigest(XmlAttribute(attributes, "sha256"), 64);
  Dat.NoteRomName(entry.RomName);
}

void TLogiqxReader::EndGame() {
  inGame_ = false;
  if (!country_.empty()) return;
  const std::string country = CountryFromRegion(releaseRegion_);
  for (size_t at = firstEntry_; at < Dat.Entries.Count(); ++at) Dat.Entries[at].Country = country;
}

}  // namespace vexmoor
