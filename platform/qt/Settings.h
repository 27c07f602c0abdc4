// The program's settings: named values under the key "SOFTWARE\Vexmoor",
// kept by QSettings in the platform's native format (the registry on
// Windows, an INI file under the XDG config folder elsewhere). Every value
// the programs keep is a row of kSettingsTable, with its stored type and the
// default a missing or unreadable value gives.
#pragma once

#include <QSettings>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vexmoor {

enum class TSettingType {
  Text,  // a string, as it stands
  Flag,  // "0" or "1", read as a number: non-zero is true
};

struct TSettingDef {
  std::string_view Name;
  TSettingType Type;
  std::string_view Default;  // the text or "0"/"1"; "" for values without one
};

// Every value the programs read or write.
inline constexpr TSettingDef kSettingsTable[] = {
    {"ProgramDir", TSettingType::Text, ""},  // written at every start
    {"ScanFolder", TSettingType::Text, ""},
    {"CacheResults", TSettingType::Flag, "1"},
    {"ChecksumCache", TSettingType::Flag, "1"},
    {"MatchTrimmed", TSettingType::Flag, "1"},
    {"VerifyArchives", TSettingType::Flag, "0"},
    {"QuenDat", TSettingType::Text, "Quen-NDS.qdat"},
    {"InstallDir", TSettingType::Text, ""},  // read by moorpurge only
    {"UpdateURL", TSettingType::Text, ""},   // the update service; "" is the compiled default
    {"UpdatePublicKey", TSettingType::Text, ""},  // a minisign key line trusted for update lists
    // The main window's layout and menu, kept between runs.
    {"WindowGeometry", TSettingType::Text, ""},  // size, place and maximised state (base64)
    {"ColumnWidths", TSettingType::Text, ""},    // the first four columns' widths, ','-separated
    {"RecentDats", TSettingType::Text, ""},      // the last dats loaded, newest first, one a line
};

// The definition of `name`; throws std::logic_error for a name not in the table.
const TSettingDef& SettingDef(std::string_view name);

// The settings key. A store is opened for a stretch of work and written back
// when Sync runs or it is destroyed. A settings file that cannot be read or
// is damaged gives every value its default; so does one that is no regular
// file (a FIFO or a device is never read, so it cannot block the program).
class TSettingsStore {
 public:
  TSettingsStore();
  ~TSettingsStore();
  TSettingsStore(const TSettingsStore&) = delete;
  TSettingsStore& operator=(const TSettingsStore&) = delete;

  // The value's text (bytes as stored), or its default when missing.
  std::string ReadText(std::string_view name) const;
  // A Flag value: a stored number or numeric text, non-zero is true; missing
  // or not a number gives the default.
  bool ReadFlag(std::string_view name) const;

  void WriteText(std::string_view name, const std::string& value);
  // Stored as the text "1" or "0".
  void WriteFlag(std::string_view name, bool value);

  // True when the value is stored (not just defaulted), as read when the
  // store was made.
  bool Holds(std::string_view name) const;

  // Removes every value of the key (moorpurge's clean upgrade).
  void RemoveAll();
  // Writes the values out. Throws IoError naming the settings file when they
  // could not be written; the file then keeps its old contents. (A file
  // found damaged when it was read cannot tell a failed write apart: it is
  // written again as well as it can be, without an error.)
  void Sync();

  // Where the values live: the registry path or the file's path.
  QString Location() const;

 private:
  // The values can be read: the file was there and whole, or absent.
  bool Readable() const;

  std::unique_ptr<QSettings> settings_;  // null when blocked_ is set
  QString blocked_;                      // the settings file that is no regular file
};

}  // namespace vexmoor
