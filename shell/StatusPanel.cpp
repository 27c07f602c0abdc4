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
  update();
}

QSize TStatusPanel::sizeHint() const { return {width_, fontMetrics().height() + 2 * kPadding}; }

QSize TStatusPanel::minimumSizeHint() const { return sizeHint(); }

void TStatusPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect room = rect().adjusted(kPadding, 0, -kPadding, 0);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text_, Qt::ElideMiddle, room.width()));
}

}  // namespace vexmoor::shell
