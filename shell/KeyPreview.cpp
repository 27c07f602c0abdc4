#include "shell/KeyPreview.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>

namespace vexmoor::shell {

TKeyPreview::TKeyPreview(QWidget* window, QAction* specialMenu)
    : QObject(window), window_(window), specialMenu_(specialMenu) {}

bool TKeyPreview::IsSpecialMenuKey(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  // Ctrl+Alt+F11, and Ctrl+Shift+F11 for desktops that take Ctrl+Alt+F11
  // for switching to a text console.
  return key == Qt::Key_F11 &&
         (held == (Qt::ControlModifier | Qt::AltModifier) || held == (Qt::ControlModifier | Qt::ShiftModifier));
}

bool TKeyPreview::eventFilter(QObject* watched, QEvent* event) {
  // A key press reaches the filter once per widget it is offered to (the
  // focused control, then its parents): the first sighting is enough.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == window_) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (IsSpecialMenuKey(key->key(), key->modifiers())) specialMenu_->setVisible(true);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vexmoor::shell
