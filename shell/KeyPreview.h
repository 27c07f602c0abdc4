// The main window's keyboard preview: sees every key press of the
// application before the focused control does. It handles one key only,
// F11 with exactly Ctrl and Alt held, or with exactly Ctrl and Shift held
// (X and Wayland desktops take Ctrl+Alt+F11 for their text console 11),
// which shows the Special menu for the rest of the run; every key goes on
// to its control unchanged.
#pragma once

#include <QObject>

class QAction;
class QWidget;

namespace vexmoor::shell {

class TKeyPreview : public QObject {
  Q_OBJECT

 public:
  // `specialMenu` is the Special menu's action of `window`; only key presses
  // aimed at `window` or a control inside it count. Both must outlive the
  // filter.
  TKeyPreview(QWidget* window, QAction* specialMenu);

  // True for F11 with exactly Ctrl and Alt, or exactly Ctrl and Shift.
  static bool IsSpecialMenuKey(int key, Qt::KeyboardModifiers modifiers);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QAction* specialMenu_;
};

}  // namespace vexmoor::shell
