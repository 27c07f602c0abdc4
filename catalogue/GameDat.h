// What the parsers of the game-based dats (Logiqx XML, clrmamepro text,
// OfflineList XML) hand to the loader, and the rules they share: release
// numbers, flags from region names, rom sizes and extensions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "catalogue/DatFormat.h"
#include "catalogue/RomItem.h"

namespace vexmoor {

struct TGameDat {
  TDatFormat Format = TDatFormat::None;
  // The header's name, description (shown as SYSTEM) and version.
  std::string Name;
  std::string System;
  std::string Version;
  // One entry per rom that has a CRC and is not a nodump, in dat order, with
  // Index, Crc, Name, Country and Size filled; Status is left to the loader.
  TCatalogue Entries;
  // The distinct extensions of those roms' names, dot included, each in the
  // spelling first met (compared without regard to ASCII case).
  std::vector<std::string> Extensions;
  // Set when one of those roms has a name without an extension.
  bool RomWithoutExtension = false;

  // Records the extension of a rom that gave an entry: `extension` with its
  // dot, or empty for none.
  void NoteExtension(std::string_view extension);
  // NoteExtension with what follows the last '.' of `romName`'s last path
  // part.
  void NoteRomName(std::string_view romName);
};

// The loose-dump mask of the rom names a dat lists: "*" and each of
// `dat`'s Extensions, ';'-separated ("*.nds;*.bin"); "" when it lists none.
std::string ExtensionMask(const TGameDat& dat);

// A release number for the ID column: `id` when it is not empty, else the
// game's 1-based `position`; digits-only numbers get zeros in front up to
// four digits (7 -> 0007, 12345 stays), other texts stay as they are.
std::string ReleaseIndexText(std::string_view id, size_t position);

// The flag letter of the first of the eleven regions ("USA", "Europe",
// "Japan", "France", "China", "Germany", "Italy", "Netherlands", "Spain",
// "Korea", "Australia") named as an item of a parenthesised group of
// `name`, items split at ','; "" when there is none. "Game (USA, Europe)"
// gives "U".
std::string CountryFromName(std::string_view name);

// The flag letter of a Logiqx release region: a region name as above or its
// three-letter code (USA, EUR, JPN, FRA, CHN, GER, ITA, HOL, SPA, KOR, AUS),
// any letter case; "" for anything else.
std::string CountryFromRegion(std::string_view region);

// `text` when it is exactly `digits` hexadecimal digits (40 for a SHA-1, 32
// for an MD5), else "": a digest is written into other files as a word.
std::string HexDigest(std::string_view text, size_t digits);

// The names that entries of more than one release number (Index) carry:
// games of one title that a dat lists apart (OfflineList repeats titles).
std::unordered_set<std::string> RepeatedNames(const TCatalogue& entries);

// A game name no other release shares: `name` + " (" + `index` + ")".
std::string UniqueGameName(std::string_view name, std::string_view index);

// A rom size: decimal digits only, fitting in 64 bits; nullopt otherwise.
std::optional<uint64_t> ParseRomSize(std::string_view text);

// The header keys the header view gets for a game-based dat.
inline constexpr std::string_view kGameDatFields = "INDEX|CRC32|NAME|COUNTRY";

}  // namespace vexmoor
