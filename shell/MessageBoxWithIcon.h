// A message box that shows one of the program's own icons, after the
// matching system sound (QApplication::beep). The icons:
//   100  the program's information icon (About box)
//   932  the question icon (IRC prompt)
//   964  the update icon (no updates available)
// Goes through the dialog seam (shell/Dialogs.h), so tests can answer it.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace vexmoor::shell {

inline constexpr int kAboutIconId = 100;
inline constexpr int kQuestionIconId = 932;
inline constexpr int kUpdateIconId = 964;

// Returns the button pressed (QMessageBox::Yes for a Yes of Yes/No).
QMessageBox::StandardButton MessageBoxWithIcon(QWidget* owner, const QString& text,
                                               const QString& caption,
                                               QMessageBox::StandardButtons buttons, int iconId);

}  // namespace vexmoor::shell
