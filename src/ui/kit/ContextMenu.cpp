#include "ui/kit/ContextMenu.h"

#include <QMenu>

namespace ContextMenu {

void exec(QMenu &menu, const QPoint &globalPosition, QContextMenuEvent::Reason reason)
{
    if (reason == QContextMenuEvent::Keyboard) {
        for (QAction *action : menu.actions()) {
            if (action->isEnabled() && action->isVisible() && !action->isSeparator()) {
                menu.setActiveAction(action);
                break;
            }
        }
    }
    menu.exec(globalPosition);
}

} // namespace ContextMenu
