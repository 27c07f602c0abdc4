#include "shell/StatusPanel.h"

#include <QPainter>

namespace vexmoor::shell {

namespace {

constexpr int kPadding = 2;

}  // namespace

TStatusPanel::TStatusPanel(int width, QWidget* parent) : QWidget(parent), width_(width) {
  setSizePolicy(width > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void TStatusPanel::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  // A panel of fixed width grows (never shrinks) to show a count whole;
  // only then does the bar lay out again.
  if (width_ > 0) {
    const int needed = fontMetrics().horizontalAdvance(text_) + 2 * kPadding + 2;
    if (needed > fitted_) {
      fitted_ = needed;
      updateGeometry();
    }
  }
  update();
}

QSize TStatusPanel::sizeHint() const {
  return {width_ > 0 ? qMax(width_, fitted_) : width_, fontMetrics().height() + 2 * kPadding};
}

QSize TStatusPanel::minimumSizeHint() const { return sizeHint(); }

void TStatusPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect room = rect().adjusted(kPadding, 0, -kPadding, 0);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text_, Qt::ElideMiddle, room.width()));
}

}  // namespace vexmoor::shell
