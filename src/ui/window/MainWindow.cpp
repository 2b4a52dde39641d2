#include "ui/window/MainWindow.h"

#include "ui/kit/MenuStyle.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/window/ContentView.h"
#include "ui/window/KorvelSVNCommands.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWindow>

MainWindow::MainWindow(AppState &state, QWidget *parent) : QMainWindow(parent)
{
    initWindowSymbols();
    setWindowTitle(QStringLiteral("KorvelSVN"));

    // Linux has no application menu: Quit lives in a File menu, by the platform's convention.
    // Each title opens with Alt and its underlined letter; the title that has the keys is highlighted.
    MenuStyle::apply(menuBar());
    QMenu *file = menuBar()->addMenu(tr("&File"));
    QAction *quit = file->addAction(tr("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    KorvelSVNCommands::install(menuBar(), state);

    // Shift+F10 is the desktop's other key for the menu of what has the focus: handed to the window as
    // the Menu key is, so both open the same menu at the same place.
    auto *menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        if (!windowHandle())
            return;
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
        QCoreApplication::sendEvent(windowHandle(), &event);
    });

    m_content = new ContentView(state);
    m_content->setMinimumSize(1080, 680);
    setCentralWidget(m_content);
}
