#include "purge/Purge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <deque>

#include "purge/PurgeSettings.h"

namespace vexmoor::purge {

namespace {

#ifdef _WIN32
const QString kAuditorFileName = QStringLiteral("moorscan.exe");
#else
const QString kAuditorFileName = QStringLiteral("moorscan");
#endif

struct TScript {
  bool Active = false;
  std::deque<bool> Answers;
  QStringList Asked;
};

TScript& ScriptState() {
  static TScript script;
  return script;
}

bool IsProgramFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable();
}

}  // namespace

bool TPurgeQuestions::Ask(const QString& text, QMessageBox::StandardButton defaultButton) {
  TScript& script = ScriptState();
  if (script.Active) {
    script.Asked << text;
    if (script.Answers.empty()) return false;
    const bool answer = script.Answers.front();
    script.Answers.pop_front();
    return answer;
  }
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kQuestionCaption), text,
                  QMessageBox::Yes | QMessageBox::No);
  box.setTextFormat(Qt::PlainText);  // the text names a folder, which may hold markup
  box.setDefaultButton(defaultButton);
  return box.exec() == QMessageBox::Yes;
}

void TPurgeQuestions::Tell(const QString& text) {
  TScript& script = ScriptState();
  if (script.Active) {
    script.Asked << text;
    return;
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral("moorpurge"), text, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void TPurgeQuestions::Script(std::vector<bool> answers) {
  TScript& script = ScriptState();
  script.Active = true;
  script.Answers.assign(answers.begin(), answers.end());
  script.Asked.clear();
}

QStringList TPurgeQuestions::Asked() { return ScriptState().Asked; }

QString ConfirmQuestion() {
  return QString::fromLatin1(kConfirmText) + QStringLiteral("\n\n") + QString::fromLatin1(kKeptText);
}

QStringList KeptSettings() { return {QStringLiteral("UpdateURL"), QStringLiteral("UpdatePublicKey")}; }

QString RunningAuditor(const QString& folder) {
  // Linux names each process's executable in /proc/PID/exe; a replaced
  // file reads with " (deleted)" after its path, and is no longer this one.
  const QString program = QFileInfo(QDir(folder).filePath(kAuditorFileName)).canonicalFilePath();
  const QDir processes(QStringLiteral("/proc"));
  if (program.isEmpty() || !processes.exists()) return QString();
  for (const QString& entry : processes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool isProcess = false;
    entry.toLongLong(&isProcess);
    if (!isProcess) continue;
    const QString executable =
        QFileInfo(processes.filePath(entry + QStringLiteral("/exe"))).symLinkTarget();
    if (executable == program) return QStringLiteral("process ") + entry;
  }
  return QString();
}

QString PurgeFolder(const QString& currentFolder, const TPurgeSettings& settings) {
  if (QFileInfo(QDir(currentFolder).filePath(kAuditorFileName)).isFile()) return QString();
  QString folder = settings.Value(QStringLiteral("ProgramDir"));
  if (folder.trimmed().isEmpty()) folder = settings.Value(QStringLiteral("InstallDir"));
  if (folder.trimmed().isEmpty()) return QString();
  if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator())) {
    folder += QLatin1Char('/');
  }
  return folder;
}

QString AuditorProgram(const QString& folder) {
  const QString inFolder = QDir(folder).filePath(kAuditorFileName);
  if (IsProgramFile(inFolder)) return inFolder;
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(kAuditorFileName);
  if (IsProgramFile(beside)) return beside;
  const QString onPath = QStandardPaths::findExecutable(kAuditorFileName);
  return onPath.isEmpty() ? kAuditorFileName : onPath;
}

namespace {

void DeleteDats(const QString& folder, TPurgeResult& result) {
  const QDir dir(folder);
  if (!dir.exists()) return;
  const QFileInfoList found =
      dir.entryInfoList({QStringLiteral("*.qdat")}, QDir::Files | QDir::Hidden | QDir::System);
  for (const QFileInfo& file : found) {
    if (file.isDir()) continue;
    QFile dat(file.filePath());
    if (dat.remove())
      result.Deleted << file.fileName();
    else
      result.Failures << QStringLiteral("Cannot delete \"%1\": %2")
                             .arg(file.filePath(), dat.errorString());
  }
}

}  // namespace

TPurgeResult RunPurge(TPurgeSettings& settings, const QString& currentFolder) {
  TPurgeResult result;
  const QString chosen = PurgeFolder(currentFolder, settings);
  const QString folder = chosen.isEmpty() ? currentFolder : chosen;
  const QString running = RunningAuditor(folder);
  if (!running.isEmpty()) {
    const QString refusal =
        QStringLiteral("Vexmoor is running from \"%1\" (%2). Close it first, then prepare the "
                       "clean upgrade again: it writes its settings back when it closes.")
            .arg(QDir::toNativeSeparators(folder), running);
    TPurgeQuestions::Tell(refusal);
    result.Failures << refusal;
    return result;
  }
  result.Confirmed = TPurgeQuestions::Ask(ConfirmQuestion(), QMessageBox::No);
  if (!result.Confirmed) return result;
  result.Folder = folder;
  const QString keyFailure = settings.DeleteKey(KeptSettings());
  if (!keyFailure.isEmpty()) result.Failures << keyFailure;
  DeleteDats(result.Folder, result);
  if (TPurgeQuestions::Ask(QString::fromLatin1(kLoadText), QMessageBox::Yes)) {
    result.Started = QProcess::startDetached(AuditorProgram(result.Folder),
                                             {QStringLiteral("-upgrade")}, result.Folder);
  }
  return result;
}

}  // namespace vexmoor::purge
