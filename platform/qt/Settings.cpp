#include "platform/qt/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#include "platform/Errors.h"

namespace vexmoor {

namespace {

QString Key(std::string_view name) {
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::string FileBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

#ifndef _WIN32
// The folder QSettings keeps a user's files of the native format in (its
// set path, else the XDG config folder), told by a settings object of a
// name no file has: opening the key itself reads its files at once.
QString UserSettingsFolder() {
  const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("vexmoor-settings-folder"));
  return QFileInfo(probe.fileName()).path();
}

// The key's file, or the organisation's file QSettings also reads, when one
// of them is there but is no regular file: reading a FIFO or a device would
// wait for ever. "" when both are fine.
QString BlockingSettingsFile(const QString& folder) {
  for (const QString& name :
       {QStringLiteral("/SOFTWARE/Vexmoor.conf"), QStringLiteral("/SOFTWARE.conf")}) {
    const QFileInfo file(folder + name);
    if (file.exists() && !file.isFile() && !file.isDir()) return file.filePath();
  }
  return QString();
}
#endif

}  // namespace

const TSettingDef& SettingDef(std::string_view name) {
  for (const TSettingDef& def : kSettingsTable)
    if (def.Name == name) return def;
  throw std::logic_error("no setting named " + std::string(name));
}

TSettingsStore::TSettingsStore() {
#ifdef _WIN32
  settings_ = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Vexmoor"),
                                          QSettings::NativeFormat);
#else
  // $XDG_CONFIG_HOME/SOFTWARE/Vexmoor.conf: the key's path as folder and file.
  const QString folder = UserSettingsFolder();
  blocked_ = BlockingSettingsFile(folder);
  if (blocked_.isEmpty()) {
    settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("SOFTWARE"), QStringLiteral("Vexmoor"));
  }
#endif
}

TSettingsStore::~TSettingsStore() = default;

bool TSettingsStore::Readable() const {
  return settings_ && settings_->status() == QSettings::NoError;
}

std::string TSettingsStore::ReadText(std::string_view name) const {
  const TSettingDef& def = SettingDef(name);
  const QVariant value = Readable() ? settings_->value(Key(name)) : QVariant();
  if (!value.isValid()) return std::string(def.Default);
  return value.toString().toUtf8().toStdString();
}

bool TSettingsStore::ReadFlag(std::string_view name) const {
  const TSettingDef& def = SettingDef(name);
  const bool fallback = def.Default == "1";
  if (!Readable()) return fallback;
  const QVariant value = settings_->value(Key(name));
  bool isNumber = false;
  const qlonglong number = value.toString().trimmed().toLongLong(&isNumber);
  return isNumber ? number != 0 : fallback;
}

void TSettingsStore::WriteText(std::string_view name, const std::string& value) {
  SettingDef(name);
  if (settings_)
    settings_->setValue(Key(name),
                        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void TSettingsStore::WriteFlag(std::string_view name, bool value) {
  SettingDef(name);
  if (settings_) settings_->setValue(Key(name), value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TSettingsStore::Holds(std::string_view name) const {
  SettingDef(name);
  return Readable() && settings_->contains(Key(name));
}

void TSettingsStore::RemoveAll() {
  if (settings_) settings_->clear();
}

void TSettingsStore::Sync() {
  if (!settings_) {
    throw IoError("Cannot write file \"" + FileBytes(blocked_) + "\". It is not a regular file");
  }
  settings_->sync();
  // The status keeps the first problem met since the file was opened: a
  // file damaged when it was read stays a FormatError after it was written
  // again, so only an access error tells of a write that failed (the folder
  // or the file cannot be written, the disk is full). QSettings then keeps
  // the old file as it was.
  if (settings_->status() == QSettings::AccessError) {
    throw IoError("Cannot write file \"" + FileBytes(Location()) +
                  "\". The settings were not saved");
  }
}

QString TSettingsStore::Location() const { return settings_ ? settings_->fileName() : blocked_; }

}  // namespace vexmoor
