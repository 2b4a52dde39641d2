// The Incoming, History and Archives tabs of the real window over real repositories, light and dark.
#include "Pictures.h"
#include "ui/WorkflowRepositories.h"

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
#include <QTest>

void takeWorkflowPictures(Pictures &pictures)
{
    WorkflowRepositories repositories;
    QSettings settings(repositories.sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const Project svnProject{QUuid::createUuid(), "orbit-service", repositories.svn.workingCopy, RepositoryKind::svn};
    const Project gitProject{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
    ProjectStore(&settings).save({svnProject, gitProject});

    const QPalette lightPalette = QApplication::palette();

    for (const bool dark : {false, true}) {
        useLook(dark);
        AppState state(&settings);
        MainWindow window(state);
        if (!pictures.show(window))
            return;
        window.contentView()->setSidebarVisible(false);
        const QString mode = dark ? "dark" : "light";
        for (const Project &project : {svnProject, gitProject}) {
            selectProject(state, project);
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
                pictures.save(window.grab(), kind + "-" + rawValue(tab).toLower() + "-" + mode + ".png");
                if (tab == WorkflowTab::incoming && project.kind == RepositoryKind::svn) {
                    // The far end of the path strip, where the count of the other paths stands.
                    auto *incoming = qobject_cast<IncomingView *>(
                        window.contentView()->detailView()->tabView(WorkflowTab::incoming));
                    if (!pictures.expect(incoming, "incoming"))
                        return;
                    QScrollBar *bar = incoming->detailView()->pathStrip()->horizontalScrollBar();
                    bar->setValue(bar->maximum());
                    settle(state);
                    pictures.save(window.grab(), "svn-incoming-strip-end-" + mode + ".png");
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
        pictures.save(window.grab(), "svn-history-norevision-narrow-" + mode + ".png");
    }
    QApplication::setPalette(lightPalette);
}
