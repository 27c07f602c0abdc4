// moorpurge's own access to the auditor's settings key "SOFTWARE\Vexmoor":
// the same QSettings location the auditor uses, read and deleted, nothing
// else. moorpurge links no code of the auditor, so this mirrors its choice of
// location in a few lines.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace vexmoor::purge {

class TPurgeSettings {
 public:
  TPurgeSettings();
  ~TPurgeSettings();

  // The text of value `name`, "" when it is missing or the key's file
  // cannot be read.
  QString Value(const QString& name) const;

  // Deletes every value and subkey of the key but the values named in
  // `kept` (they keep their values) and writes the deletion out. "" when
  // done, else why the key is still there.
  QString DeleteKey(const QStringList& kept = {});

 private:
  std::unique_ptr<QSettings> settings_;  // none when a file is in the way
  QString blocked_;                      // the file in the way: a FIFO, a device
};

}  // namespace vexmoor::purge
