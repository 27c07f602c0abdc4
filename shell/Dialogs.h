// The one way the desktop program shows a message box or a file or folder
// dialog. Every window goes through TDialogs, so a test can answer the
// dialogs in advance and no test ever waits on a modal dialog:
//
//   TDialogs::Script();                                // no dialog is shown from now on
//   TDialogs::Answer(TDialogAnswer::File(path, 1));     // the next file dialog picks
//                                                      // `path` through filter entry 1
//   window.PickItemClick();
//   TDialogs::Shown();                                 // what was asked, in order
//
//   TDialogs::Answer(TDialogAnswer::Form([](QDialog& d) { ... }));
//                                                      // the next form of our own is
//                                                      // filled in by the test, then OK'd
//
// While scripted, each dialog takes the next queued answer; with none
// queued, a message box answers its first button (OK) and a file or folder
// dialog or a form is cancelled. Answers are taken in order, whatever the dialog
// (a queued folder answer given to a message box counts as its default).
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace vexmoor::shell {

// ShowFolder: a folder handed to the desktop's file manager (no answer).
enum class TDialogKind { Message, OpenFile, SaveFile, Folder, ShowFolder, Form };

// A message box: text, caption, buttons, and either a standard icon or one of
// the program's own icons (IconId: 100, 932, 964, see MessageBoxWithIcon).
struct TMessage {
  QString Text;
  QString Caption;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  int IconId = 0;
  QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
};

// What a dialog asked, as a test sees it.
struct TDialogRequest {
  TDialogKind Kind = TDialogKind::Message;
  QString Caption;
  QString Text;         // a message box's text
  QString StartPath;    // the folder or file name a file dialog starts with
  QStringList Filters;  // a file dialog's filter entries
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  int IconId = 0;
};

struct TDialogAnswer {
  QString Path;         // empty: cancelled
  int FilterIndex = 0;  // 0-based entry of the filter list
  QMessageBox::StandardButton Button = QMessageBox::NoButton;
  // A form's answer: sets the form's widgets as a user would; the form is
  // then accepted (Button Ok) or rejected (Cancel).
  std::function<void(QDialog&)> Fill;

  static TDialogAnswer File(const QString& path, int filterIndex = 0) { return {path, filterIndex, {}, {}}; }
  static TDialogAnswer Folder(const QString& path) { return {path, 0, {}, {}}; }
  static TDialogAnswer Cancel() { return {}; }
  static TDialogAnswer Press(QMessageBox::StandardButton button) { return {{}, 0, button, {}}; }
  static TDialogAnswer Form(std::function<void(QDialog&)> fill, QMessageBox::StandardButton button = QMessageBox::Ok) {
    return {{}, 0, button, std::move(fill)};
  }
};

// A chosen file and the filter entry (0-based) it was chosen through.
struct TChosenFile {
  QString Path;
  int FilterIndex = 0;
};

class TDialogs {
 public:
  // A message box owned by `owner`; returns the button pressed.
  static QMessageBox::StandardButton Message(QWidget* owner, const TMessage& message);
  // The box Message shows (unscripted): its text is always plain text, so a
  // name from outside never renders as a heading, colour or link.
  static std::unique_ptr<QMessageBox> MessageBox(QWidget* owner, const TMessage& message);

  // The open dialog with `filters` ("Quen Dat Files (*.qdat)", ...), starting
  // in the current folder. Nothing when cancelled.
  static std::optional<TChosenFile> OpenFile(QWidget* owner, const QString& caption,
                                             const QStringList& filters);

  // The save dialog, suggesting `fileName`; a name typed without an
  // extension gets `defaultSuffix`; an existing file is replaced without a
  // question. Empty when cancelled.
  static QString SaveFile(QWidget* owner, const QString& caption, const QString& fileName,
                          const QString& filter, const QString& defaultSuffix);

  // The folder chooser with an edit box for typing a path, starting in
  // `startFolder`. Empty when cancelled.
  static QString ChooseFolder(QWidget* owner, const QString& caption, const QString& startFolder);

  // Runs a form of our own (a QDialog) modally; true when it was accepted.
  // While scripted, the next answer fills the form in and accepts it (Ok)
  // or rejects it; a form whose own checks refuse the answer (it stays
  // open: not accepted) counts as cancelled.
  static bool ExecForm(QDialog& form);

  // Opens `folder` in the desktop's file manager (QDesktopServices). While
  // scripted nothing opens: the request is recorded (its StartPath is the
  // folder) and no queued answer is taken.
  static void ShowFolder(const QString& folder);

  // Test hooks (see the top of this file).
  static void Script();
  static void Answer(const TDialogAnswer& answer);
  static const std::vector<TDialogRequest>& Shown();
  static void ClearShown();
  static size_t PendingAnswers();
};

}  // namespace vexmoor::shell
