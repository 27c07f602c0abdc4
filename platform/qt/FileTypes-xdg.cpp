#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/qt/FileTypes.h"

namespace vexmoor {

namespace {

const char kMimePackage[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-quen-dat">
    <comment>Quen Dat File</comment>
    <icon name="application-x-quen-dat"/>
    <glob pattern="*.qdat"/>
    <magic priority="50">
      <match type="string" offset="0" value="QDAT"/>
    </magic>
  </mime-type>
  <mime-type type="application/x-quen-cache">
    <comment>Quen Cache File</comment>
    <icon name="application-x-quen-cache"/>
    <glob pattern="*.qcache"/>
    <magic priority="50">
      <match type="string" offset="0" value="QCAC"/>
    </magic>
  </mime-type>
</mime-info>
)";

QString DataHome() {
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  if (QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.local/share");
}

// Writes `content` to `path` unless the file already holds exactly that.
bool WriteIfDifferent(const QString& path, const QByteArray& content) {
  QFile existing(path);
  if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) return false;
  existing.close();
  QDir().mkpath(QFileInfo(path).absolutePath());
  WriteFileAtomically(QFile::encodeName(path).toStdString(),
                      std::string_view(content.constData(), static_cast<size_t>(content.size())));
  return true;
}

}  // namespace

QByteArray FileTypesMimePackage() { return QByteArray(kMimePackage); }

bool RegisterFileTypes(const TFileTypeIcons& icons) {
  const QString home = DataHome();
  const QString iconFolder = home + QStringLiteral("/icons/hicolor/scalable/mimetypes/");
  bool wrote = WriteIfDifferent(home + QStringLiteral("/mime/packages/vexmoor.xml"), FileTypesMimePackage());
  wrote |= WriteIfDifferent(iconFolder + QStringLiteral("application-x-quen-dat.svg"), icons.DatIcon);
  wrote |= WriteIfDifferent(iconFolder + QStringLiteral("application-x-quen-cache.svg"), icons.CacheIcon);
  // In place of the settings-change broadcast: the desktop's MIME cache is
  // rebuilt in the background; a system without the tool keeps its old one.
  if (wrote) QProcess::startDetached(QStringLiteral("update-mime-database"), {home + QStringLiteral("/mime")});
  return wrote;
}

}  // namespace vexmoor
