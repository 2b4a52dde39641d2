#include "state/AppState.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KorvelSVN"));
    QApplication::setOrganizationName(QStringLiteral("KorvelSVN"));

    // Declared in this order so the window goes before the state, and the state before its settings
    // and dialogs.
    QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KorvelSVN"), QStringLiteral("KorvelSVN"));
    QtDialogs dialogs;
    AppState state(&settings);
    state.setDialogs(&dialogs);
    MainWindow window(state);
    dialogs.setWindow(&window);
    window.resize(1280, 800);
    window.show();
    return application.exec();
}
