// The application itself on a desktop with a window manager, driven by the keyboard.
#include "X11Desktop.h"

#include "support/TestSupport.h"

#include "state/ProjectStore.h"

#include <QDir>
#include <QSettings>

using namespace TestSupport;

namespace {

// The program started from a terminal, ended by Ctrl+C when the test is done.
struct Application {
    QProcess process;

    ~Application() { X11Desktop::stop(&process); }
};

} // namespace

TEST(RealDesktop, ClosingAFailedLoadsAlertGivesTheWindowBackAndOnlyAReturnFromElsewhereReloads)
{
    X11Desktop desktop;
    if (const QString reason = desktop.unavailable(); !reason.isEmpty()) {
        if (X11Desktop::required())
            FAIL() << "no desktop for the real-desktop test: " << reason.toStdString();
        GTEST_SKIP() << reason.toStdString();
    }
    Sandbox sandbox;
    // A working copy whose repository is gone: its status reads, its log cannot.
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    svn.commitAll();
    ASSERT_TRUE(QDir(svn.repositoryPath).removeRecursively());
    {
        QSettings settings(sandbox.filePath(".home/.config/KorvelSVN/KorvelSVN.ini"), QSettings::IniFormat);
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
    }

    Application application;
    application.process.setProcessEnvironment(desktop.environment());
    application.process.setStandardInputFile(QProcess::nullDevice());
    application.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    application.process.start(QStringLiteral(KORVEL_APPLICATION_PATH), QStringList());
    ASSERT_TRUE(application.process.waitForStarted(10000));
    const qint64 pid = application.process.processId();
    const auto windows = [&] { return desktop.windowsOf(pid); };
    // Waits until the process shows that many windows, the same ones for most of a second: a load
    // that fails twice in a row replaces its alert and sheet.
    const auto shows = [&](qsizetype count) {
        QStringList seen;
        int sameFor = 0;
        return X11Desktop::waitFor([&] {
            const QStringList now = windows();
            sameFor = now == seen ? sameFor + 1 : 0;
            seen = now;
            return now.size() == count && sameFor >= 12;
        });
    };
    ASSERT_TRUE(shows(1)) << "the window did not open";
    const QString mainWindow = windows().first();
    ASSERT_TRUE(X11Desktop::waitFor([&] { return desktop.activeWindow() == mainWindow; }));

    // Show Log: the log fails, and its alert stands over the output sheet.
    desktop.key(QStringLiteral("ctrl+l"));
    ASSERT_TRUE(shows(3)) << windows().size() << " windows";
    QStringList names;
    for (const QString &id : windows())
        names << desktop.windowName(id);
    EXPECT_TRUE(names.contains("History Failed")) << names.join(", ").toStdString();

    // OK on the alert, Return on the sheet: the window is the user's again, and stays so.
    desktop.key(QStringLiteral("Return"));
    ASSERT_TRUE(shows(2));
    desktop.key(QStringLiteral("Return"));
    ASSERT_TRUE(shows(1));
    EXPECT_TRUE(X11Desktop::waitFor([&] { return desktop.activeWindow() == mainWindow; }));
    EXPECT_FALSE(X11Desktop::waitFor([&] { return windows().size() > 1; }, 2500))
        << "the alert came back by itself";

    // Another application, then back to the window: that is a return, and it reloads (and fails again).
    QProcess other;
    other.setProcessEnvironment(desktop.environment());
    other.setStandardOutputFile(QProcess::nullDevice());
    other.start(QStringLiteral("xev"), {QStringLiteral("-name"), QStringLiteral("another application")});
    ASSERT_TRUE(other.waitForStarted(5000));
    EXPECT_TRUE(X11Desktop::waitFor([&] {
        const QString active = desktop.activeWindow();
        return !active.isEmpty() && active != mainWindow;
    }));
    EXPECT_EQ(windows().size(), 1);
    // Qt takes a moment (400 ms) before it believes the focus has left the program.
    QTest::qWait(1000);
    desktop.xdotool({QStringLiteral("windowactivate"), mainWindow});
    EXPECT_TRUE(shows(3)) << "coming back did not reload";
    X11Desktop::stop(&other);
}
