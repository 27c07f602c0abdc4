#include "shell/StartHook.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include "shell/Dialogs.h"

namespace vexmoor::shell {

void PrepareStartedHook() {
  if (!qEnvironmentVariableIsEmpty(kStartedFileVariable)) TDialogs::Script();
}

void ArmStartedHook(const QStringList& arguments) {
  const QString path = qEnvironmentVariable(kStartedFileVariable);
  if (path.isEmpty()) return;
  QTimer::singleShot(0, qApp, [path, arguments] {
    QFile file(path);
    if (file.open(QIODevice::Append)) {
      file.write((QStringList{QStringLiteral("started")} + arguments).join(QLatin1Char('|')).toUtf8() + '\n');
    }
    QCoreApplication::quit();
  });
}

}  // namespace vexmoor::shell
