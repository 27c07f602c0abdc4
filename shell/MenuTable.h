// The main window's menus as one table: every entry with its name, caption
// (accelerator letter after '&'), short-cut, icon and visibility at start,
// in menu order. Depth 0 is the menu bar, 1 a submenu of it, 2 a submenu of
// that. A check item is ticked or not from the option it is bound to
// (kOptionItems). Adding an entry is adding a row here and, for a command,
// its handler in formMain's handler table.
#pragma once

#include <string_view>

#include "scan/AuditState.h"

namespace vexmoor::shell {

enum class TMenuKind { Submenu, Command, Check, Separator };

struct TMenuEntry {
  int Depth;
  TMenuKind Kind;
  std::string_view Name;  // the entry's name in code ("PickItem"); "" for separators
  std::string_view Caption;
  std::string_view Shortcut;  // in QKeySequence's portable text ("F2", "Ctrl+C")
  int Icon;                   // MenuIcon index, -1 for none
  bool Visible;               // at start
};

inline constexpr TMenuEntry kMainMenu[] = {
    {0, TMenuKind::Submenu, "Menu", "&Menu", "", -1, true},
    {1, TMenuKind::Command, "PickItem", "&Pick Dat...", "F2", 0, true},
    {1, TMenuKind::Submenu, "RecentMenu", "&Recent Dats", "", -1, true},
    {1, TMenuKind::Command, "ScanItem", "&Scan...", "F3", 1, true},
    {1, TMenuKind::Separator, "", "", "", -1, true},
    {1, TMenuKind::Command, "SaveListItem", "Save Lists...", "", 2, false},
    {1, TMenuKind::Command, "FixDatItem", "Export Fix-Dat", "", 3, false},
    // Enabled after a scan that found dumps at known places (formMain).
    {1, TMenuKind::Command, "RebuildItem", "Rebuild Set...", "", -1, true},
    {1, TMenuKind::Separator, "", "", "", -1, true},
    {1, TMenuKind::Submenu, "OptionsMenu", "&Options", "", 4, true},
    {2, TMenuKind::Check, "CacheItem", "&Cache Results", "", 5, true},
    {2, TMenuKind::Check, "ChecksumItem", "Remember &Checksums", "", -1, true},
    {2, TMenuKind::Check, "TrimmedItem", "Match &Trimmed Dumps", "", -1, true},
    {2, TMenuKind::Check, "VerifyItem", "&Verify Archive Contents", "", -1, true},
    {1, TMenuKind::Separator, "", "", "", -1, true},
    {1, TMenuKind::Command, "UpdateItem", "&Update...", "F5", 6, true},
    {1, TMenuKind::Separator, "", "", "", -1, true},
    {1, TMenuKind::Command, "ExitItem", "E&xit", "Alt+F4", 7, true},
    {0, TMenuKind::Command, "CancelItem", "&Cancel", "", -1, false},
    {0, TMenuKind::Submenu, "SelectionMenu", "&Selection", "", -1, false},
    {1, TMenuKind::Command, "CopyItem", "&Copy", "Ctrl+C", 8, true},
    {0, TMenuKind::Submenu, "SpecialMenu", "&Special", "", -1, false},
    // Ctrl+Shift+F11 also shows the Special menu (TKeyPreview); once it is
    // there, the chord opens the encoder.
    {1, TMenuKind::Command, "DatEncoderItem", "Dat Encoder", "Ctrl+Shift+F11", 9, true},
    {0, TMenuKind::Submenu, "HelpMenu", "&Help", "", -1, true},
    {1, TMenuKind::Command, "HomepageItem", "&Homepage", "", 10, true},
    {1, TMenuKind::Command, "ForumItem", "&Forum", "", 11, true},
    {1, TMenuKind::Command, "IrcMenu", "&IRC", "", 12, true},
    {1, TMenuKind::Command, "EmailItem", "&Email", "", 13, true},
    {1, TMenuKind::Separator, "", "", "", -1, true},
    {1, TMenuKind::Command, "AboutItem", "&About...", "F1", 14, true},
};

// A check item of the Options menu, the audit-state option it shows and
// toggles, and the setting (platform/qt/Settings.h) that keeps it between
// runs: read at start, written at exit.
struct TOptionItem {
  std::string_view MenuName;
  std::string_view SettingName;
  bool TAuditState::*Option;
};

inline constexpr TOptionItem kOptionItems[] = {
    {"CacheItem", "CacheResults", &TAuditState::CacheResults},
    {"ChecksumItem", "ChecksumCache", &TAuditState::ChecksumCache},
    {"TrimmedItem", "MatchTrimmed", &TAuditState::MatchTrimmed},
    {"VerifyItem", "VerifyArchives", &TAuditState::VerifyArchives},
};

// The entries a running scan disables: they would replace or walk the
// catalogue under it, or (the options) change nothing until the next scan.
inline constexpr std::string_view kDisabledWhileScanning[] = {
    "PickItem", "RecentMenu", "ScanItem", "SaveListItem", "FixDatItem", "OptionsMenu", "UpdateItem",
};

}  // namespace vexmoor::shell
