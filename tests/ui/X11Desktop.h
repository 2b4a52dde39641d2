#pragma once

// A desktop of its own for driving the real program as a user does: Xvfb on a free display with the
// openbox window manager on it (activation moves between windows only where a window manager hands it
// over), and xdotool for keys and window queries. Every wait is bounded.
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class X11Desktop {
public:
    X11Desktop()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        // Two Xvfb started at once with -displayfd can both settle on one display, and the second then
        // serves nothing: one desktop at a time on this machine, whichever test program wants it.
        m_lock = ::open(QFile::encodeName(QDir::tempPath() + QStringLiteral("/korvel-real-desktop.lock")).constData(),
            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        const bool locked = m_lock >= 0 && waitFor([this] { return ::flock(m_lock, LOCK_EX | LOCK_NB) == 0; }, 240000);
        EXPECT_TRUE(locked) << "another real-desktop test held the desktop for four minutes";
        if (!locked)
            return;
        // Xvfb picks a free display itself and prints its number once it takes connections.
        auto server = std::make_unique<QProcess>();
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->setStandardInputFile(QProcess::nullDevice());
        server->start(xvfb,
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server->waitForStarted(5000))
            return;
        QByteArray number;
        waitFor([&] {
            number += server->readAllStandardOutput();
            return number.contains('\n') || server->state() != QProcess::Running;
        });
        if (!number.contains('\n') || server->state() != QProcess::Running) {
            stop(server.get());
            return;
        }
        m_server = std::move(server);
        m_display = u':' + QString::fromLatin1(number.trimmed());
        m_windowManager = std::make_unique<QProcess>();
        m_windowManager->setProcessEnvironment(environment());
        m_windowManager->setStandardOutputFile(QProcess::nullDevice());
        m_windowManager->setStandardErrorFile(QProcess::nullDevice());
        m_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        const bool managed = m_windowManager->waitForStarted(5000)
            && waitFor(
                [this] {
                    return run(
                        QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                        .contains("window id");
                },
                30000);
        EXPECT_TRUE(managed) << "openbox did not start on " << m_display.toStdString();
    }

    ~X11Desktop()
    {
        stop(m_windowManager.get());
        stop(m_server.get());
        if (m_lock >= 0)
            ::close(m_lock);
    }

    X11Desktop(const X11Desktop &) = delete;
    X11Desktop &operator=(const X11Desktop &) = delete;

    // False only when Xvfb itself could not start.
    bool started() const { return m_server != nullptr; }

    // Why no desktop can be driven here: the programs it needs that PATH lacks, or Xvfb not starting.
    // Empty when it can.
    QString unavailable() const
    {
        QStringList missing;
        for (const char *program : {"Xvfb", "openbox", "xdotool", "xprop", "xev"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                missing << QString::fromLatin1(program);
        }
        if (!missing.isEmpty())
            return QStringLiteral("not on PATH: ") + missing.join(QStringLiteral(", "));
        return started() ? QString() : QStringLiteral("Xvfb cannot start here");
    }

    // Under CI (CI=true, or KORVEL_REQUIRE_DESKTOP=1 as .ci/run sets) a desktop test that cannot run
    // fails: a skip there would prove nothing.
    static bool required()
    {
        return qEnvironmentVariable("CI") == u"true" || qEnvironmentVariable("KORVEL_REQUIRE_DESKTOP") == u"1";
    }

    // The calling environment (HOME and all) on this display, for Qt programs through xcb.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return environment;
    }

    // Runs an X client on this display to its end (at most 10 seconds) and gives its output.
    QByteArray run(const QString &program, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(10000)) {
            ADD_FAILURE() << program.toStdString() << " " << arguments.join(u' ').toStdString() << " did not end";
            process.kill();
            process.waitForFinished(1000);
            return {};
        }
        return process.readAllStandardOutput();
    }

    QByteArray xdotool(const QStringList &arguments) const { return run(QStringLiteral("xdotool"), arguments); }

    // Types keys into whatever window has the focus, as a keyboard does.
    void key(const QString &keys) const { xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys}); }

    // The mapped top-level windows of a process, by X window id.
    QStringList windowsOf(qint64 pid) const
    {
        const QByteArray ids = xdotool(
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)});
        return QString::fromLatin1(ids).split(u'\n', Qt::SkipEmptyParts);
    }

    QString activeWindow() const { return QString::fromLatin1(xdotool({QStringLiteral("getactivewindow")})).trimmed(); }
    QString windowName(const QString &id) const
    {
        return QString::fromUtf8(xdotool({QStringLiteral("getwindowname"), id})).trimmed();
    }

    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    static void stop(QProcess *process)
    {
        if (!process || process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }

private:
    int m_lock = -1;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
    QString m_display;
};
