// The application itself on a desktop with a window manager, driven by the keyboard.
#include "X11Desktop.h"

#include "support/TestSupport.h"

#include "state/ProjectStore.h"

#include <QDir>
#include <QSettings>

using namespace TestSupport;

namespace {

// The program started from a terminal on its own desktop over the projects saved for it, ended by
// Ctrl+C when the test is done.
struct RealDesktop : ::testing::Test {
    X11Desktop desktop;
    Sandbox sandbox;
    QProcess application;
    qint64 pid = 0;
    QString mainWindow;

    ~RealDesktop() override { X11Desktop::stop(&application); }

    QString settingsFile() const { return sandbox.filePath(".home/.config/KorvelSVN/KorvelSVN.ini"); }

    void start(const QList<Project> &projects)
    {
        {
            QSettings settings(settingsFile(), QSettings::IniFormat);
            ProjectStore(&settings).save(projects);
        }
        application.setProcessEnvironment(desktop.environment());
        application.setStandardInputFile(QProcess::nullDevice());
        application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        application.start(QStringLiteral(KORVEL_APPLICATION_PATH), QStringList());
        ASSERT_TRUE(application.waitForStarted(10000));
        pid = application.processId();
        ASSERT_TRUE(shows(1)) << "the window did not open";
        mainWindow = windows().first();
        ASSERT_TRUE(X11Desktop::waitFor([&] { return desktop.activeWindow() == mainWindow; }));
    }

    // A working copy whose repository is gone: its status reads, its log cannot.
    void startOnAWorkingCopyWhoseRepositoryIsGone()
    {
        const SvnFixture svn = SvnFixture::create(sandbox.path());
        writeFile(svn.workingCopy + "/a.txt", "a\n");
        svn.commitAll();
        ASSERT_TRUE(QDir(svn.repositoryPath).removeRecursively());
        start({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
    }

    QStringList windows() const { return desktop.windowsOf(pid); }

    QStringList windowNames() const
    {
        QStringList names;
        for (const QString &id : windows())
            names << desktop.windowName(id);
        return names;
    }

    // Waits until the process shows that many windows, the same ones for most of a second: a load
    // that fails twice in a row replaces its alert and sheet.
    bool shows(qsizetype count, int timeoutMs = 10000) const
    {
        QStringList seen;
        int sameFor = 0;
        return X11Desktop::waitFor(
            [&] {
                const QStringList now = windows();
                sameFor = now == seen ? sameFor + 1 : 0;
                seen = now;
                return now.size() == count && sameFor >= 12;
            },
            timeoutMs);
    }
};

#define SKIP_WITHOUT_A_DESKTOP()                                                                                       \
    if (const QString reason = desktop.unavailable(); !reason.isEmpty()) {                                             \
        if (X11Desktop::required())                                                                                    \
            FAIL() << "no desktop for the real-desktop test: " << reason.toStdString();                                \
        GTEST_SKIP() << reason.toStdString();                                                                          \
    }

} // namespace

TEST_F(RealDesktop, ClosingAFailedLoadsAlertGivesTheWindowBackAndOnlyAReturnFromElsewhereReloads)
{
    SKIP_WITHOUT_A_DESKTOP();
    startOnAWorkingCopyWhoseRepositoryIsGone();

    // Show Log: the log fails, and its alert stands over the output sheet.
    desktop.key(QStringLiteral("ctrl+l"));
    ASSERT_TRUE(shows(3)) << windows().size() << " windows";
    EXPECT_TRUE(windowNames().contains("History Failed")) << windowNames().join(", ").toStdString();

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

// Alt+H opens History on its first item, Show Log, which Return runs: its failure shows that it ran.
TEST_F(RealDesktop, AltAndATitlesLetterOpenItsMenuOnItsFirstItem)
{
    SKIP_WITHOUT_A_DESKTOP();
    startOnAWorkingCopyWhoseRepositoryIsGone();

    desktop.key(QStringLiteral("alt+h"));
    QTest::qWait(500);
    desktop.key(QStringLiteral("Return"));
    ASSERT_TRUE(shows(3)) << windows().size() << " windows";
    EXPECT_TRUE(windowNames().contains("History Failed")) << windowNames().join(", ").toStdString();
}

TEST_F(RealDesktop, AfterAddingAProjectWithoutChangesTheFocusIsOnTheTabPicker)
{
    SKIP_WITHOUT_A_DESKTOP();
    // One project with a change, whose list takes the focus; one without, whose log cannot be read.
    ASSERT_TRUE(QDir().mkpath(sandbox.filePath("changed")) && QDir().mkpath(sandbox.filePath("clean")));
    const SvnFixture changed = SvnFixture::create(sandbox.filePath("changed"));
    writeFile(changed.workingCopy + "/a.txt", "a\n");
    changed.commitAll();
    writeFile(changed.workingCopy + "/a.txt", "a changed\n");
    const SvnFixture clean = SvnFixture::create(sandbox.filePath("clean"));
    writeFile(clean.workingCopy + "/b.txt", "b\n");
    clean.commitAll();
    ASSERT_TRUE(QDir(clean.repositoryPath).removeRecursively());
    start({Project{QUuid::createUuid(), "changed", changed.workingCopy, RepositoryKind::svn}});

    // A click on the list of changes, below its one row, as the user comes to it.
    desktop.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), mainWindow, QStringLiteral("520"),
        QStringLiteral("330"), QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(500);

    // Ctrl+O, the folder typed into the file dialog.
    desktop.key(QStringLiteral("ctrl+o"));
    ASSERT_TRUE(shows(2)) << windows().size() << " windows";
    desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("10"), clean.workingCopy});
    QTest::qWait(300);
    desktop.key(QStringLiteral("Return"));
    // A completion list may take the first Return.
    if (!shows(1, 3000))
        desktop.key(QStringLiteral("Return"));
    ASSERT_TRUE(shows(1)) << windows().size() << " windows";
    ASSERT_TRUE(X11Desktop::waitFor([&] {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        return ProjectStore(&settings).load().size() == 2;
    })) << "the project was not added";
    EXPECT_TRUE(X11Desktop::waitFor([&] { return desktop.activeWindow() == mainWindow; }));
    // Its status loaded: "No Changes" where the list was.
    QTest::qWait(1500);

    // End on the tab picker shows Archives, whose log fails: its alert shows that the picker had the keys.
    desktop.key(QStringLiteral("End"));
    EXPECT_TRUE(X11Desktop::waitFor([&] { return windows().size() > 1; }, 8000))
        << "End went to no control that takes it";
    QStringList names;
    for (const QString &id : windows())
        names << desktop.windowName(id);
    EXPECT_TRUE(names.contains("Archives Failed")) << names.join(", ").toStdString();
}
