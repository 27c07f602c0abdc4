// The Logiqx XML dat (root <datafile>): <header> with name, description and
// version, then <game> (or <machine>) elements with their <rom> lines.
// docs/formats/logiqx-dat.md describes the rules.
#pragma once

#include <cstddef>
#include <string>

#include "catalogue/XmlDat.h"

namespace vexmoor {

// Fills Dat with one entry per rom of each game: Name from game@name, Index
// from game@id or the game's 1-based position, Country from the game's name
// or else its first <release region>, Crc and Size from the rom; roms with
// status="nodump" or without a crc give none. A crc that is not hexadecimal
// throws FormatError.
class TLogiqxReader final : public TXmlDatReader {
 public:
  TLogiqxReader() { Dat.Format = TDatFormat::Logiqx; }
  void Start(std::string_view element, const char* const* attributes, size_t depth) override;
  void End(std::string_view element, std::string_view text, size_t depth) override;

 private:
  void StartGame(const char* const* attributes);
  void AddRom(const char* const* attributes);
  void EndGame();

  bool inHeader_ = false;
  bool inGame_ = false;
  size_t games_ = 0;
  size_t firstEntry_ = 0;  // the current game's first entry
  std::string name_;
  std::string index_;
  std::string country_;
  std::string releaseRegion_;
};

}  // namespace vexmoor
