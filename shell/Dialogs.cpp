#include "shell/Dialogs.h"

#include <QDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>
#include <deque>

#include "shell/Images.h"

namespace vexmoor::shell {

namespace {

struct TScript {
  bool On = false;
  std::deque<TDialogAnswer> Answers;
  std::vector<TDialogRequest> Shown;
};

TScript& Scripted() {
  static TScript script;
  return script;
}

// Records the request; while scripted, gives the next answer (or the
// default one when none is queued).
std::optional<TDialogAnswer> TakeScripted(const TDialogRequest& request) {
  TScript& script = Scripted();
  if (!script.On) return std::nullopt;
  script.Shown.push_back(request);
  if (script.Answers.empty()) return TDialogAnswer::Cancel();
  TDialogAnswer answer = script.Answers.front();
  script.Answers.pop_front();
  return answer;
}

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons) {
  for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
    if (buttons.testFlag(QMessageBox::StandardButton(bit))) return QMessageBox::StandardButton(bit);
  return QMessageBox::Ok;
}

}  // namespace

QMessageBox::StandardButton TDialogs::Message(QWidget* owner, const TMessage& message) {
  TDialogRequest request{TDialogKind::Message, message.Caption, message.Text, {}, {}, message.Icon,
                         message.IconId};
  if (const auto answer = TakeScripted(request)) {
    if (answer->Button != QMessageBox::NoButton) return answer->Button;
    // The default answer: Ok where there is one, else the first button.
    return message.Buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : FirstButton(message.Buttons);
  }
  return QMessageBox::StandardButton(MessageBox(owner, message)->exec());
}

std::unique_ptr<QMessageBox> TDialogs::MessageBox(QWidget* owner, const TMessage& message) {
  auto box = std::make_unique<QMessageBox>(message.Icon, message.Caption, message.Text,
                                           message.Buttons, owner);
  // Texts carry names from dats, lists and servers: markup in them is shown
  // as it is, never rendered.
  box->setTextFormat(Qt::PlainText);
  if (message.IconId != 0) box->setIconPixmap(ProgramIcon(message.IconId).pixmap(32, 32));
  return box;
}

std::optional<TChosenFile> TDialogs::OpenFile(QWidget* owner, const QString& caption,
                                              const QStringList& filters) {
  TDialogRequest request{TDialogKind::OpenFile, caption, {}, {}, filters, {}, 0};
  if (const auto answer = TakeScripted(request)) {
    if (answer->Path.isEmpty()) return std::nullopt;
    return TChosenFile{answer->Path, answer->FilterIndex};
  }
  QFileDialog dialog(owner, caption);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // a typed name that does not exist reaches the loader
  dialog.setNameFilters(filters);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return TChosenFile{dialog.selectedFiles().first(),
                     static_cast<int>(filters.indexOf(dialog.selectedNameFilter()))};
}

QString TDialogs::SaveFile(QWidget* owner, const QString& caption, const QString& fileName,
                           const QString& filter, const QString& defaultSuffix) {
  TDialogRequest request{TDialogKind::SaveFile, caption, {}, fileName, {filter}, {}, 0};
  if (const auto answer = TakeScripted(request)) return answer->Path;
  QFileDialog dialog(owner, caption, fileName, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString TDialogs::ChooseFolder(QWidget* owner, const QString& caption, const QString& startFolder) {
  TDialogRequest request{TDialogKind::Folder, caption, {}, startFolder, {}, {}, 0};
  if (const auto answer = TakeScripted(request)) return answer->Path;
  // Qt's own dialog: it has the edit box for typing a path, and its OK
  // button accepts whatever the box holds.
  return QFileDialog::getExistingDirectory(owner, caption, startFolder,
                                           QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

bool TDialogs::ExecForm(QDialog& form) {
  TDialogRequest request{TDialogKind::Form, form.windowTitle(), {}, {}, {}, {}, 0};
  if (const auto answer = TakeScripted(request)) {
    if (!answer->Fill) return false;
    form.setResult(QDialog::Rejected);
    answer->Fill(form);
    if (answer->Button == QMessageBox::Ok) form.accept();
    return form.result() == QDialog::Accepted;
  }
  return form.exec() == QDialog::Accepted;
}

void TDialogs::ShowFolder(const QString& folder) {
  TScript& script = Scripted();
  if (script.On) {
    script.Shown.push_back({TDialogKind::ShowFolder, {}, {}, folder, {}, {}, 0});
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TDialogs::Script() { Scripted().On = true; }

void TDialogs::Answer(const TDialogAnswer& answer) { Scripted().Answers.push_back(answer); }

const std::vector<TDialogRequest>& TDialogs::Shown() { return Scripted().Shown; }

void TDialogs::ClearShown() { Scripted().Shown.clear(); }

size_t TDialogs::PendingAnswers() { return Scripted().Answers.size(); }

}  // namespace vexmoor::shell
