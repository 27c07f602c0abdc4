// Fits one column of a list to the room the others leave, with the style's
// scroll bar extent and frame width: the encoder and update windows' lists.
#pragma once

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>

#include "catalogue/ListLayout.h"

namespace vexmoor::shell {

inline void FitColumn(QTreeView* view, int column) {
  int others = 0;
  for (int other = 0; other < view->header()->count(); ++other)
    if (other != column) others += view->columnWidth(other);
  const QStyle* style = view->style();
  view->setColumnWidth(column, FittedColumnWidth(view->width(), others, style->pixelMetric(QStyle::PM_ScrollBarExtent),
                                                 style->pixelMetric(QStyle::PM_DefaultFrameWidth)));
}

}  // namespace vexmoor::shell
