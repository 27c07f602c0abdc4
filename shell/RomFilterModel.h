// The rows the main list shows: the list model's rows that pass the status
// filter and whose name holds the filter text (catalogue/StatusCounts
// decides both). Sorting stays the list model's (a header click sorts the
// core's rows); this model only leaves rows out, in their order.
#pragma once

#include <QSortFilterProxyModel>
#include <string>

#include "catalogue/RomItem.h"
#include "catalogue/RomList.h"
#include "catalogue/StatusCounts.h"

namespace vexmoor::shell {

class TRomFilterModel : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  // `list` and `catalogue` must outlive the model.
  TRomFilterModel(const TRomList& list, const TCatalogue& catalogue, QObject* parent = nullptr);

  // The text typed into the filter box (as UTF-8) and the status filter;
  // each call filters the rows anew.
  void SetNameFilter(const QString& text);
  void SetStatusFilter(TStatusFilter filter);
  TStatusFilter StatusFilter() const { return status_; }
  // Filters the rows anew: after the rows' statuses changed (a scan's end).
  void Refilter() { invalidate(); }
  // No row is left out.
  bool Unfiltered() const { return needle_.empty() && status_ == TStatusFilter::All; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  const TRomList& list_;
  const TCatalogue& catalogue_;
  std::string needle_;
  TStatusFilter status_ = TStatusFilter::All;
};

}  // namespace vexmoor::shell
