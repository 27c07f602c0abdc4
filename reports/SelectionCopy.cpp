#include "reports/SelectionCopy.h"

#include "catalogue/TextLines.h"

namespace vexmoor {

std::string BuildSelectionCopy(const TRomList& list, const std::vector<bool>& selected) {
  std::string text;
  for (size_t row = 0; row < list.Count() && row < selected.size(); ++row) {
    if (selected[row]) text += OneLineText(list.Text(row, kSubItemName)) + "\r\n";
  }
  return text;
}

}  // namespace vexmoor
