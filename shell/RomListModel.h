// The main list's item model: a view of the core's TRomList (the rows, in
// their current order, with their texts) and of the catalogue entries behind
// them. It holds no copy of the rows; whoever changes the list or the
// catalogue tells the model (BeginRebuild/EndRebuild around a refill,
// StatusTextsChanged after the scan's end pass, ColumnClick for a sort).
#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include "catalogue/RomItem.h"
#include "catalogue/RomList.h"

namespace vexmoor::shell {

// The list's columns: flag (caption), "ID", "Release Name", "CRC32", "Status".
inline constexpr int kColumnCount = 5;

class TRomListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `list` and `catalogue` must outlive the model.
  TRomListModel(TRomList& list, TCatalogue& catalogue, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Around any change of the row set (a list fill, a load).
  void BeginRebuild();
  void EndRebuild();
  // The Status texts (and so the row colours) of every row changed in place.
  void StatusTextsChanged();
  // A click on header `column`: TRomList::ColumnClick with the shared sort
  // state. Selected and current rows stay selected and current in their
  // new places.
  void ColumnClick(int column, TSortState& sort);

  // The background a row of an entry with `status` gets: the tool-tip base
  // colour for a missing entry, the window's base colour for all others.
  static QColor RowColor(int32_t status);

 private:
  TRomList& list_;
  TCatalogue& catalogue_;
};

}  // namespace vexmoor::shell
