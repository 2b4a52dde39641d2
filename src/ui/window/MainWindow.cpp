#include "ui/window/MainWindow.h"

#include "ui/kit/SymbolIcon.h"
#include "ui/window/ContentView.h"
#include "ui/window/KorvelSVNCommands.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

MainWindow::MainWindow(AppState &state, QWidget *parent) : QMainWindow(parent)
{
    initWindowSymbols();
    setWindowTitle(QStringLiteral("KorvelSVN"));

    // Linux has no application menu: Quit lives in a File menu, by the platform's convention.
    QMenu *file = menuBar()->addMenu(tr("File"));
    QAction *quit = file->addAction(tr("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    KorvelSVNCommands::install(menuBar(), state);

    m_content = new ContentView(state);
    m_content->setMinimumSize(1080, 680);
    setCentralWidget(m_content);
}
