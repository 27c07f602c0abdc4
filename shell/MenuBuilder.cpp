#include "shell/MenuBuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "shell/Images.h"

namespace vexmoor::shell {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TMenuActions BuildMenus(QMenuBar* bar, std::span<const TMenuEntry> table, QStyle* menuStyle) {
  TMenuActions actions;
  std::vector<QMenu*> open;  // open[d] receives the entries of depth d + 1
  for (const TMenuEntry& entry : table) {
    open.resize(static_cast<size_t>(entry.Depth));
    QMenu* parent = entry.Depth == 0 ? nullptr : open.back();
    QAction* action = nullptr;
    if (entry.Kind == TMenuKind::Separator) {
      if (parent != nullptr) parent->addSeparator()->setVisible(entry.Visible);
      continue;
    }
    if (entry.Kind == TMenuKind::Submenu) {
      QMenu* menu = parent != nullptr ? parent->addMenu(Text(entry.Caption)) : bar->addMenu(Text(entry.Caption));
      menu->setStyle(menuStyle);
      menu->setObjectName(Text(entry.Name));
      open.push_back(menu);
      action = menu->menuAction();
    } else {
      action = parent != nullptr ? parent->addAction(Text(entry.Caption)) : bar->addAction(Text(entry.Caption));
      action->setCheckable(entry.Kind == TMenuKind::Check);
      if (!entry.Shortcut.empty()) action->setShortcut(QKeySequence(Text(entry.Shortcut)));
    }
    if (entry.Icon >= 0) action->setIcon(MenuIcon(entry.Icon));
    action->setObjectName(Text(entry.Name));
    action->setVisible(entry.Visible);
    actions.insert(Text(entry.Name), action);
  }
  return actions;
}

}  // namespace vexmoor::shell
