// Builds a menu bar from a menu table (shell/MenuTable.h).
#pragma once

#include <QHash>
#include <QString>
#include <span>

#include "shell/MenuTable.h"

class QAction;
class QMenuBar;
class QStyle;

namespace vexmoor::shell {

// The actions of the built menus by entry name; a submenu's entry is its
// menu action (visibility, enabling). Separators are left out.
using TMenuActions = QHash<QString, QAction*>;

// Adds the entries of `table` to `bar`, each submenu drawn with `menuStyle`
// (which the caller keeps alive). Commands and check items get their
// short-cuts and icons; check items start unticked.
TMenuActions BuildMenus(QMenuBar* bar, std::span<const TMenuEntry> table, QStyle* menuStyle);

}  // namespace vexmoor::shell
