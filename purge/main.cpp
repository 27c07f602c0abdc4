// moorpurge: prepares a clean upgrade of the auditor. It takes no arguments
// and has no main window; it talks to the user through two questions only.
#include <QApplication>
#include <QDir>

#include "purge/Purge.h"
#include "purge/PurgeSettings.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexmoor"));
  vexmoor::purge::TPurgeSettings settings;
  vexmoor::purge::RunPurge(settings, QDir::currentPath());
  return 0;
}
