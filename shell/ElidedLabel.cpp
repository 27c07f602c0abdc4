#include "shell/ElidedLabel.h"

#include <QFontMetrics>

namespace vexmoor::shell {

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

void TElidedLabel::SetFullText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  Elide();
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void TElidedLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin() - 2 * indent();
  setText(fontMetrics().elidedText(text_, Qt::ElideMiddle, qMax(room, 0)));
}

}  // namespace vexmoor::shell
