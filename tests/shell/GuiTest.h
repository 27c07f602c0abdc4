// Shared pieces of the desktop program's tests: a main that gives every
// test program its own empty configuration and data folders and scripts the
// dialogs, and helpers for the sample files.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "shell/Dialogs.h"

namespace vexmoor::test {

// The repository's examples folder.
inline QString ExamplesFolder() { return QStringLiteral(VEXMOOR_SOURCE_DIR "/examples/"); }

// Runs `TestClass` with XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME in
// a fresh temporary folder and every dialog answered by the seam.
template <typename TestClass>
int RunGuiTest(int argc, char** argv) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The desktop's MIME cache tool, which registering the file types starts,
  // is a stand-in that does nothing: the tests' data folder is temporary.
  QDir().mkpath(home.filePath(QStringLiteral("bin")));
  QFile tool(home.filePath(QStringLiteral("bin/update-mime-database")));
  if (tool.open(QIODevice::WriteOnly)) tool.write("#!/bin/sh\nexit 0\n");
  tool.close();
  tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("PATH", home.filePath(QStringLiteral("bin")).toLocal8Bit() + ":" + qgetenv("PATH"));
  QApplication application(argc, argv);
  shell::TDialogs::Script();
  TestClass test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace vexmoor::test

#define VEXMOOR_GUI_TEST_MAIN(TestClass) \
  int main(int argc, char** argv) { return vexmoor::test::RunGuiTest<TestClass>(argc, argv); }
