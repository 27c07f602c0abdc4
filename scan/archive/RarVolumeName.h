// The names of the volumes of a rar set. Three naming styles, tried in this
// order (masks ignore letter case and apply to the file name):
//   part style    x.part1.rar, x.part2.rar ...  (x.part01.rar keeps 2 digits)
//   old style     x.rar, x.r00, x.r01 ... x.r99, x.r100
//   number style  x.000, x.001, x.002 ...      (the first one is x.000)
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexmoor {

enum class TVolumeDirection { First, Next };

// The name of the first volume of the set `path` belongs to, or of the
// volume after `path`, whether or not that file exists; nothing when the
// name fits no style (or the part number is not a number). Throws
// FormatError "Bad rar filename." for an old-style name whose last two
// characters are not digits (x.rab).
std::optional<std::string> RarVolumeCandidate(const std::string& path, TVolumeDirection direction);

// Replaces `path` with the neighbouring volume and returns true when that
// file exists; otherwise leaves `path` as it is and returns false.
bool RarVolumeName(std::string& path, TVolumeDirection direction);

// The volumes of the rar set `path` belongs to, in order: from the set's
// first volume (or `path` itself when that is absent) while the next one
// exists and starts with the rar marker, each once. A number-style first
// volume followed by files without the marker is one archive cut into
// pieces by bytes: the pieces follow it, up to the next file with a
// marker. `path` alone for a file that is no rar archive or whose set has
// no other volume. Throws what RarVolumeName and the reading of a volume's
// marker throw.
std::vector<std::string> RarSetVolumes(const std::string& path);

// When `first` is the first piece of one archive cut into pieces by bytes
// (a number-style name whose next file exists and lacks the rar marker):
// it and the pieces after it, up to the next file with a marker; else
// nothing. Throws what the reading of a piece's marker throws.
std::vector<std::string> RarBytePieces(const std::string& first);

}  // namespace vexmoor
