#include "state/AppState.h"
#include "ui/window/MainWindow.h"
#include "ui/window/QtDialogs.h"

#include <QApplication>
#include <QSettings>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

void forwardSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[1], &byte, 1);
}

// The tools run in sessions of their own, so a terminal's Ctrl+C or hang-up no longer reaches them.
// Such a signal quits the application the normal way instead, which ends them; a second one, while
// quitting, has its default effect.
void quitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [notifier] {
        notifier->setEnabled(false);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_DFL);
        QApplication::quit();
    });
    struct sigaction action { };
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KorvelSVN"));
    QApplication::setOrganizationName(QStringLiteral("KorvelSVN"));
    quitOnTerminationSignals();

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
