// Shared pieces of the desktop program's tests: a main that gives every
// test program its own empty configuration and data folders and scripts the
// dialogs, and helpers for the sample files.
#pragma once

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "platform/ProgramFolder.h"
#include "platform/qt/Settings.h"
#include "shell/Dialogs.h"
#include "shell/formMain.h"

namespace vexmoor::test {

// A program folder of its own for one test function: Start() makes it
// current and opens the main window over it; the settings file is gone
// before and after, and the folder current before comes back.
class TWindowFolder {
 public:
  TWindowFolder() : start_(CurrentFolder()) {
    QFile::remove(TSettingsStore().Location());
    shell::TDialogs::ClearShown();
  }
  ~TWindowFolder() {
    SetCurrentFolder(start_);
    QFile::remove(TSettingsStore().Location());
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  std::unique_ptr<shell::TMainForm> Start() const {
    const std::string folder = QFile::encodeName(dir_.path()).toStdString();
    SetCurrentFolder(folder);
    auto form = std::make_unique<shell::TMainForm>(folder + "/");
    form->show();
    return form;
  }

 private:
  QTemporaryDir dir_;
  std::string start_;
};

// The repository's examples folder.
inline QString ExamplesFolder() { return QStringLiteral(VEXMOOR_SOURCE_DIR "/examples/"); }

// Writes the sample rom folder for examples/sample-ds.qdat into `folder`
// (scripts/make-sample-roms.py); false when python3 cannot.
inline bool WriteSampleRoms(const QString& folder) {
  QProcess generator;
  generator.start(QStringLiteral("python3"), {QStringLiteral(VEXMOOR_SOURCE_DIR "/scripts/make-sample-roms.py"), folder});
  return generator.waitForFinished(60000) && generator.exitCode() == 0;
}

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
