#pragma once

#include <QKeySequence>
#include <QList>

class AppState;
class QMenuBar;

// The six menus of repository actions. Every item calls one state method; the menus read no state,
// so nothing in them is ever disabled, hidden or retitled.
class KorvelSVNCommands {
public:
    struct Item {
        // Null for a divider.
        const char *title = nullptr;
        QKeySequence shortcut;
        void (*call)(AppState &) = nullptr;

        bool isDivider() const { return title == nullptr; }
    };
    struct Menu {
        // "&" marks the letter that opens the menu with Alt; it is not shown.
        const char *title;
        QList<Item> items;
    };

    static const QList<Menu> &menus();
    // Adds the menus to the bar after whatever it holds.
    static void install(QMenuBar *bar, AppState &state);
};
