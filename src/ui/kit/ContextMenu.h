#pragma once

#include <QContextMenuEvent>

class QMenu;

namespace ContextMenu {

// Runs the menu at `globalPosition`. Opened from the keyboard (the Menu key, Shift+F10) it starts on
// its first enabled item, as the menu bar's menus do, so that Return runs that item at once.
void exec(QMenu &menu, const QPoint &globalPosition, QContextMenuEvent::Reason reason);

} // namespace ContextMenu
