#include "purge/PurgeSettings.h"

namespace vexmoor::purge {

#ifdef _WIN32
TPurgeSettings::TPurgeSettings()
    : settings_(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Vexmoor"), QSettings::NativeFormat) {}
#else
// $XDG_CONFIG_HOME/SOFTWARE/Vexmoor.conf: the key's path as folder and file.
TPurgeSettings::TPurgeSettings()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("SOFTWARE"),
                QStringLiteral("Vexmoor")) {}
#endif

QString TPurgeSettings::Value(const QString& name) const {
  return settings_.value(name).toString();
}

void TPurgeSettings::DeleteKey() {
  settings_.clear();
  settings_.sync();
}

}  // namespace vexmoor::purge
