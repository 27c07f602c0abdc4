// moorpurge's own access to the auditor's settings key "SOFTWARE\Vexmoor":
// the same QSettings location the auditor uses, read and deleted, nothing
// else. moorpurge links no code of the auditor, so this mirrors its choice of
// location in a few lines.
#pragma once

#include <QSettings>
#include <QString>

namespace vexmoor::purge {

class TPurgeSettings {
 public:
  TPurgeSettings();

  // The text of value `name`, "" when it is missing.
  QString Value(const QString& name) const;

  // Deletes every value and subkey of the key and writes the deletion out.
  void DeleteKey();

 private:
  QSettings settings_;
};

}  // namespace vexmoor::purge
