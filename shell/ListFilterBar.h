// The bar above the main list: a box to type part of a name into, the
// status filter (all, have, missing, bad) and the counts of every status,
// which stay visible whatever the filter shows.
#pragma once

#include <QWidget>

#include "catalogue/StatusCounts.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vexmoor::shell {

class TListFilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit TListFilterBar(QWidget* parent = nullptr);

  // Shows CountByStatus's counts (StatusCountsText), in full.
  void SetCounts(const TStatusCounts& counts);

  QLineEdit* NameBox() const { return name_; }
  QComboBox* StatusBox() const { return status_; }
  QLabel* CountsLabel() const { return counts_; }
  TStatusFilter Status() const;

 signals:
  void nameChanged(const QString& text);
  void statusChanged(TStatusFilter filter);

 private:
  QLineEdit* name_ = nullptr;
  QComboBox* status_ = nullptr;
  QLabel* counts_ = nullptr;
};

}  // namespace vexmoor::shell
