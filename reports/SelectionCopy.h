// The selection copy: the names of the selected rows, in list order, for
// the clipboard.
#pragma once

#include <string>
#include <vector>

#include "catalogue/RomList.h"

namespace vexmoor {

// For every row whose flag in `selected` (by row position) is set, its name
// text and CR LF, top to bottom: one name a line, its control characters
// (CR, LF, ESC ...) as blanks. Rows beyond `selected` count as unselected.
std::string BuildSelectionCopy(const TRomList& list, const std::vector<bool>& selected);

}  // namespace vexmoor
