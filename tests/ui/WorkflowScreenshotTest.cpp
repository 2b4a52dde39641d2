// Pictures of the Incoming, History and Archives tabs of the real window over real repositories, light
// and dark. Written only when KORVEL_SCREENSHOT_DIR names a folder; run under a display
// (xvfb-run -s "-screen 0 1600x1000x24", QT_QPA_PLATFORM=xcb) to see what a user sees.
#include "ScreenshotPalette.h"
#include "WorkflowRepositories.h"

#include "support/FakeClients.h"

#include "state/AppState.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/MainWindow.h"
#include "ui/workflow/IncomingView.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void settle(AppState &state)
{
    EXPECT_TRUE(waitUntilIdle(state));
    QTest::qWait(300);
    EXPECT_TRUE(waitUntilIdle(state));
    QTest::qWait(100);
}

} // namespace

TEST(WorkflowScreenshots, IncomingHistoryAndArchivesOverRealRepositoriesInLightAndDark)
{
    const QString folder = qEnvironmentVariable("KORVEL_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "KORVEL_SCREENSHOT_DIR is not set";
    QDir().mkpath(folder);

    WorkflowRepositories repositories;
    QSettings settings(repositories.sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const Project svnProject{QUuid::createUuid(), "orbit-service", repositories.svn.workingCopy, RepositoryKind::svn};
    const Project gitProject{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
    ProjectStore(&settings).save({svnProject, gitProject});

    const QPalette lightPalette = QApplication::palette();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? screenshotDarkPalette() : QApplication::style()->standardPalette());
        AppState state(&settings);
        MainWindow window(state);
        window.resize(1440, 900);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.contentView()->setSidebarVisible(false);
        const QString mode = dark ? "dark" : "light";
        for (const Project &project : {svnProject, gitProject}) {
            if (state.selectedProjectID() != project.id) {
                state.setSelectedProjectID(project.id);
                state.projectSelectionChanged();
            }
            settle(state);
            const QString kind = project.kind == RepositoryKind::svn ? "svn" : "git";
            for (const WorkflowTab tab : {WorkflowTab::incoming, WorkflowTab::history, WorkflowTab::archives}) {
                state.setSelectedTab(tab);
                settle(state);
                if (tab == WorkflowTab::history && !state.fileHistoryItems().isEmpty()) {
                    // The second file, to show the list's highlight away from the top.
                    state.setSelectedHistoryPath(state.fileHistoryItems().value(1).path);
                    settle(state);
                }
                if (tab == WorkflowTab::incoming && state.incomingEntries().size() > 1) {
                    state.setSelectedIncomingRevision(state.incomingEntries().value(1).revision);
                    settle(state);
                }
                EXPECT_TRUE(
                    window.grab().save(folder + "/" + kind + "-" + rawValue(tab).toLower() + "-" + mode + ".png"));
                if (tab == WorkflowTab::incoming && project.kind == RepositoryKind::svn) {
                    // The far end of the path strip, where the count of the other paths stands.
                    auto *incoming = qobject_cast<IncomingView *>(
                        window.contentView()->detailView()->tabView(WorkflowTab::incoming));
                    ASSERT_TRUE(incoming);
                    QScrollBar *bar = incoming->detailView()->pathStrip()->horizontalScrollBar();
                    bar->setValue(bar->maximum());
                    settle(state);
                    EXPECT_TRUE(window.grab().save(folder + "/svn-incoming-strip-end-" + mode + ".png"));
                }
            }
        }
        // No revision picked for the selected file, and a narrow window.
        state.setSelectedProjectID(svnProject.id);
        state.projectSelectionChanged();
        state.setSelectedTab(WorkflowTab::history);
        settle(state);
        state.setSelectedRevision(std::nullopt);
        window.resize(1080, 680);
        settle(state);
        EXPECT_TRUE(window.grab().save(folder + "/svn-history-norevision-narrow-" + mode + ".png"));
    }
    QApplication::setPalette(lightPalette);
}
