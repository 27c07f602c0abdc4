// Fits one column of a list to the room the others leave, with the style's
// scroll bar extent and frame width: the encoder and update windows' lists.
#pragma once

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QStyle>
#include <QTreeView>
#include <span>

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

// Sets `view` up as such a list over `model`: whole rows selected, nothing
// edited, fixed columns at their design `widths` whose headers do not react
// to clicks; a resize of any column but `fitted` calls `refit`, which gives
// `fitted` the room left.
template <typename Refit>
void SetUpFittedList(QTreeView* view, QAbstractItemModel* model,
                     QAbstractItemView::SelectionMode selection, std::span<const int> widths,
                     int fitted, const QObject* context, Refit refit) {
  view->setObjectName(QStringLiteral("ListView"));
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setSelectionMode(selection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->header()->setSectionsClickable(false);
  view->header()->setSectionsMovable(false);
  view->header()->setStretchLastSection(false);
  for (size_t column = 0; column < widths.size(); ++column)
    view->setColumnWidth(static_cast<int>(column), widths[column]);
  QObject::connect(view->header(), &QHeaderView::sectionResized, context,
                   [fitted, refit](int column) {
                     if (column != fitted) refit();
                   });
}

}  // namespace vexmoor::shell
