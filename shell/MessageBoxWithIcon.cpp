#include "shell/MessageBoxWithIcon.h"

#include <QApplication>

#include "shell/Dialogs.h"

namespace vexmoor::shell {

QMessageBox::StandardButton MessageBoxWithIcon(QWidget* owner, const QString& text,
                                               const QString& caption,
                                               QMessageBox::StandardButtons buttons, int iconId) {
  QApplication::beep();
  TMessage message;
  message.Text = text;
  message.Caption = caption;
  message.IconId = iconId;
  message.Buttons = buttons;
  return TDialogs::Message(owner, message);
}

}  // namespace vexmoor::shell
