// The clrmamepro dat text: blocks "word ( key value ... )" where a value is
// a word, a quoted text or a nested block. "clrmamepro ( ... )" holds the
// header, each "game ( ... )" a game with its "rom ( ... )" lines; the fix
// dat Vexmoor exports is one. docs/formats/clrmamepro-dat.md has the rules.
#pragma once

#include <string_view>

#include "catalogue/GameDat.h"

namespace vexmoor {

// One entry per rom of each game: Name from the game's name, Index its
// 1-based position among the games, Country from the name, Crc and Size
// from the rom; a rom without a crc, or flagged nodump ("flags nodump" or
// "status nodump"), gives none. The header's name, description and version
// fill Name, System and Version. Blocks other than "clrmamepro" and "game"
// are skipped.
//
// A quoted text ends at the first '"' on its line that is followed by a
// blank, ')' or the end of the line and leaves an even number of quotes
// after it on the line, so the names with quotes inside that the fix dat
// writes unescaped read back whole.
//
// Throws FormatError "The clrmamepro dat is malformed at line N: WHY" for a
// block left open at the end of the text, a ')' or value where a key must
// stand, a quoted text without its end, or a crc that is not hexadecimal.
TGameDat ParseClrMameProDat(std::string_view text);

}  // namespace vexmoor
