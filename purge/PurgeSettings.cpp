#include "purge/PurgeSettings.h"

#include <QFileInfo>

namespace vexmoor::purge {

namespace {

#ifndef _WIN32
// The key's file, or the organisation's file QSettings also reads, when one
// of them is there but is no regular file: QSettings reads them as soon as
// it is made, and reading a FIFO or a device would wait for ever. The folder
// is told by a settings object of a name no file has.
QString BlockingSettingsFile() {
  const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("moorpurge-settings-folder"));
  const QString folder = QFileInfo(probe.fileName()).path();
  for (const QString& name :
       {QStringLiteral("/SOFTWARE/Vexmoor.conf"), QStringLiteral("/SOFTWARE.conf")}) {
    const QFileInfo file(folder + name);
    if (file.exists() && !file.isFile() && !file.isDir()) return file.filePath();
  }
  return QString();
}
#endif

}  // namespace

#ifdef _WIN32
TPurgeSettings::TPurgeSettings()
    : settings_(std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Vexmoor"),
                                            QSettings::NativeFormat)) {}
#else
// $XDG_CONFIG_HOME/SOFTWARE/Vexmoor.conf: the key's path as folder and file.
TPurgeSettings::TPurgeSettings() : blocked_(BlockingSettingsFile()) {
  if (blocked_.isEmpty()) {
    settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("SOFTWARE"), QStringLiteral("Vexmoor"));
  }
}
#endif

TPurgeSettings::~TPurgeSettings() = default;

QString TPurgeSettings::Value(const QString& name) const {
  return settings_ ? settings_->value(name).toString() : QString();
}

QString TPurgeSettings::DeleteKey(const QStringList& kept) {
  if (!settings_) {
    return QStringLiteral("Cannot delete the settings in \"%1\": it is not a regular file")
        .arg(blocked_);
  }
  QList<std::pair<QString, QVariant>> keptValues;
  for (const QString& name : kept)
    if (settings_->contains(name)) keptValues.append({name, settings_->value(name)});
  settings_->clear();
  for (const auto& [name, value] : keptValues) settings_->setValue(name, value);
  settings_->sync();
  if (settings_->status() == QSettings::AccessError) {
    return QStringLiteral("Cannot delete the settings in \"%1\"").arg(settings_->fileName());
  }
  return QString();
}

}  // namespace vexmoor::purge
