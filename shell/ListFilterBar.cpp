#include "shell/ListFilterBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace vexmoor::shell {

namespace {

struct TStatusChoice {
  const char* Caption;
  TStatusFilter Filter;
};

constexpr TStatusChoice kStatusChoices[] = {
    {"All", TStatusFilter::All},
    {"Have", TStatusFilter::Have},
    {"Missing", TStatusFilter::Missing},
    {"Bad", TStatusFilter::Bad},
};

}  // namespace

TListFilterBar::TListFilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FilterBar"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 4, 2);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("FilterBox"));
  name_->setPlaceholderText(QStringLiteral("Filter by name"));
  name_->setClearButtonEnabled(true);
  status_ = new QComboBox(this);
  status_->setObjectName(QStringLiteral("StatusFilter"));
  for (const TStatusChoice& choice : kStatusChoices)
    status_->addItem(QString::fromLatin1(choice.Caption), static_cast<int>(choice.Filter));
  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("CountsLabel"));
  counts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(name_, 1);
  layout->addWidget(status_);
  layout->addSpacing(6);
  layout->addWidget(counts_);
  connect(name_, &QLineEdit::textChanged, this, &TListFilterBar::nameChanged);
  connect(status_, &QComboBox::currentIndexChanged, this, [this] { emit statusChanged(Status()); });
  SetCounts({});
}

void TListFilterBar::SetCounts(const TStatusCounts& counts) {
  counts_->setText(QString::fromStdString(StatusCountsText(counts)));
}

TStatusFilter TListFilterBar::Status() const { return static_cast<TStatusFilter>(status_->currentData().toInt()); }

}  // namespace vexmoor::shell
