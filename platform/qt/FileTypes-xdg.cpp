#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/qt/FileTypes.h"
#include "platform/qt/MimePackage.h"

namespace vexmoor {

namespace {

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
