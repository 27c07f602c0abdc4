// moorpurge: prepares a clean upgrade of the auditor. It takes no arguments
// and has no main window; it talks to the user through two questions only,
// so what it could not delete goes to the standard error, and the exit code
// is 1 then.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "purge/Purge.h"
#include "purge/PurgeSettings.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexmoor"));
  vexmoor::purge::TPurgeSettings settings;
  const vexmoor::purge::TPurgeResult result = vexmoor::purge::RunPurge(settings, QDir::currentPath());
  for (const QString& failure : result.Failures)
    std::fprintf(stderr, "moorpurge: %s\n", failure.toLocal8Bit().constData());
  return result.Failures.isEmpty() ? 0 : 1;
}
