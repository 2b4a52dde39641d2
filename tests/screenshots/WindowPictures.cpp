// The real window over a real svn working copy and a real Git repository, light and dark, with the
// sidebar shown, hidden and with a row reached by Tab; the output sheet, an alert, the Switch Branch
// form, the keys on the tab picker after adding a project without changes, and the empty window.
#include "Pictures.h"
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include "state/AppState.h"
#include "ui/ModalAnswers.h"
#include "ui/window/ContentView.h"
#include "ui/window/MainWindow.h"
#include "ui/window/QtDialogs.h"
#include "ui/window/SidebarProjectRow.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QTest>

using namespace TestSupport;

void takeWindowPictures(Pictures &pictures)
{
    Sandbox sandbox;
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("projects/Client Work/orbit-service"), "trunk");
    writeFile(svn.workingCopy + "/README.md", "# Orbit\n");
    writeFile(svn.workingCopy + "/src/main.c", "int main(void) { return 0; }\n");
    svn.commitAll("Initial import");
    writeFile(svn.workingCopy + "/src/main.c", "int main(void) { return 1; }\n");
    writeFile(svn.workingCopy + "/notes.txt", "todo\n");

    const GitFixture git = GitFixture::create(sandbox.filePath("projects"), "lantern");
    writeFile(git.path + "/index.js", "console.log('hi')\n");
    git.commitAll("First commit");
    writeFile(git.path + "/index.js", "console.log('hello')\n");

    const SvnFixture clean = SvnFixture::create(sandbox.filePath("projects/atlas"), "atlas");
    writeFile(clean.workingCopy + "/README.md", "# Atlas\n");
    clean.commitAll("Initial import");

    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const Project svnProject{QUuid::createUuid(), "orbit-service", svn.workingCopy, RepositoryKind::svn};
    const Project gitProject{QUuid::createUuid(), "lantern", git.path, RepositoryKind::git};
    ProjectStore(&settings).save({gitProject, svnProject});

    const QPalette lightPalette = QApplication::palette();

    for (const bool dark : {false, true}) {
        useLook(dark);
        AppState state(&settings);
        MainWindow window(state);
        if (!pictures.show(window))
            return;
        const QString mode = dark ? "dark" : "light";
        for (const Project &project : {svnProject, gitProject}) {
            selectProject(state, project);
            const QString kind = project.kind == RepositoryKind::svn ? "svn" : "git";
            window.contentView()->setSidebarVisible(true);
            settle(state);
            pictures.save(window.grab(), kind + "-" + mode + "-sidebar.png");
            // The other project's row reached with Tab.
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window))
                qWarning("The window did not become active: the sidebar focus picture may show no ring.");
            for (SidebarProjectRow *row : window.findChildren<SidebarProjectRow *>()) {
                if (!row->isSelected())
                    row->setFocus(Qt::TabFocusReason);
            }
            settle(state);
            pictures.save(window.grab(), kind + "-" + mode + "-sidebar-focus.png");
            window.contentView()->setFocus(Qt::OtherFocusReason);
            window.contentView()->setSidebarVisible(false);
            settle(state);
            pictures.save(window.grab(), kind + "-" + mode + "-hidden.png");
        }
        // The first window size with the sidebar shown: the Changes and History tabs of the svn project.
        window.resize(1280, 800);
        window.contentView()->setSidebarVisible(true);
        state.setSelectedProjectID(svnProject.id);
        state.projectSelectionChanged();
        for (const WorkflowTab tab : {WorkflowTab::changes, WorkflowTab::history}) {
            state.setSelectedTab(tab);
            settle(state);
            pictures.save(window.grab(), "svn-" + rawValue(tab).toLower() + "-" + mode + "-1280.png");
        }
        state.setSelectedTab(WorkflowTab::changes);
        window.resize(1440, 900);
        settle(state);

        // The sheet over the window, as after a command that printed something.
        CommandOutput output;
        output.title = "Update";
        output.commandLine = "svn update '" + svn.workingCopy + "'";
        output.stdout = "Updating '.':\nAt revision 1.\n";
        state.setCommandOutput(output);
        settle(state);
        CommandOutputSheet *sheet = window.contentView()->outputSheet();
        if (!pictures.expect(sheet, "sheet"))
            return;
        pictures.save(overWindow(window, sheet), "sheet-" + mode + ".png");

        // A failed command: the alert on top of its sheet.
        output.id = QUuid::createUuid();
        output.title = "Update Failed";
        output.status = 1;
        output.stdout.clear();
        output.stderr = "svn: E155004: Run 'svn cleanup' to remove locks (type 'svn help cleanup' for details)\n";
        state.setCommandOutput(output);
        state.setAlert(AppAlert{QUuid::createUuid(), "Update Failed", output.stderr});
        settle(state);
        QMessageBox *alert = window.contentView()->alertBox();
        if (!pictures.expect(alert, "alert"))
            return;
        QImage withSheet = overWindow(window, window.contentView()->outputSheet());
        {
            QPainter painter(&withSheet);
            const QRect box((withSheet.width() - alert->width()) / 2, 120, alert->width(), alert->height());
            painter.drawPixmap(box.topLeft(), alert->grab());
            painter.setPen(QColor(0x80, 0x80, 0x80));
            painter.drawRect(box.adjusted(-1, -1, 0, 0));
        }
        pictures.save(withSheet, "alert-" + mode + ".png");
        state.setAlert(std::nullopt);
        state.setCommandOutput(std::nullopt);
        settle(state);

        // The Switch Branch form as it opens: the pop-up focused, the free field showing its placeholder.
        QtDialogs forms(&window);
        whenModal([&](QWidget *form) {
            pictures.save(overWindow(window, form), "switch-branch-" + mode + ".png");
            button(form, QStringLiteral("Cancel"))->click();
        });
        forms.chooseBranch(BranchChoiceRequest{{"main", "feature/login (current)", "origin/main (remote)"}, 1, {}});

        // A project without changes added while the list of changes had the keys: they go to the picker.
        ScriptedDialogs dialogs;
        state.setDialogs(&dialogs);
        dialogs.openPanelAnswers = {clean.workingCopy};
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("The window did not become active: the picture after an add may show no ring.");
        if (QWidget *list = window.findChild<QWidget *>(QStringLiteral("changeList")))
            list->setFocus(Qt::TabFocusReason);
        state.addExistingWorkingCopy();
        settle(state);
        pictures.save(window.grab(), "added-focus-" + mode + ".png");
        state.setDialogs(nullptr);
        ProjectStore(&settings).save({gitProject, svnProject});
    }

    // No project at all: the empty view.
    QSettings emptySettings(sandbox.filePath("empty.ini"), QSettings::IniFormat);
    for (const bool dark : {false, true}) {
        useLook(dark);
        AppState emptyState(&emptySettings);
        MainWindow emptyWindow(emptyState);
        if (!pictures.show(emptyWindow))
            return;
        settle(emptyState);
        pictures.save(emptyWindow.grab(), "empty-" + QString(dark ? "dark" : "light") + ".png");
    }
    QApplication::setPalette(lightPalette);
}
