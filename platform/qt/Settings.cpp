#include "platform/qt/Settings.h"

#include <stdexcept>

namespace vexmoor {

namespace {

QString Key(std::string_view name) {
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::unique_ptr<QSettings> OpenKey() {
#ifdef _WIN32
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Vexmoor"),
                                     QSettings::NativeFormat);
#else
  // $XDG_CONFIG_HOME/SOFTWARE/Vexmoor.conf: the key's path as folder and file.
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("SOFTWARE"), QStringLiteral("Vexmoor"));
#endif
}

}  // namespace

const TSettingDef& SettingDef(std::string_view name) {
  for (const TSettingDef& def : kSettingsTable)
    if (def.Name == name) return def;
  throw std::logic_error("no setting named " + std::string(name));
}

TSettingsStore::TSettingsStore() : settings_(OpenKey()) {}

TSettingsStore::~TSettingsStore() = default;

std::string TSettingsStore::ReadText(std::string_view name) const {
  const TSettingDef& def = SettingDef(name);
  const QVariant value = settings_->status() == QSettings::NoError ? settings_->value(Key(name)) : QVariant();
  if (!value.isValid()) return std::string(def.Default);
  return value.toString().toUtf8().toStdString();
}

bool TSettingsStore::ReadFlag(std::string_view name) const {
  const TSettingDef& def = SettingDef(name);
  const bool fallback = def.Default == "1";
  if (settings_->status() != QSettings::NoError) return fallback;
  const QVariant value = settings_->value(Key(name));
  bool isNumber = false;
  const qlonglong number = value.toString().trimmed().toLongLong(&isNumber);
  return isNumber ? number != 0 : fallback;
}

void TSettingsStore::WriteText(std::string_view name, const std::string& value) {
  SettingDef(name);
  settings_->setValue(Key(name), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void TSettingsStore::WriteFlag(std::string_view name, bool value) {
  SettingDef(name);
  settings_->setValue(Key(name), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettingsStore::RemoveAll() { settings_->clear(); }

void TSettingsStore::Sync() { settings_->sync(); }

QString TSettingsStore::Location() const { return settings_->fileName(); }

}  // namespace vexmoor
