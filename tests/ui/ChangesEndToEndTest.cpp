// The main road over the real window and real tools: select the project in the sidebar, tick two of
// three changed files, write a message of two lines, press Commit, and see the list shrink to the one left over.
#include "RealWindow.h"
#include "support/TestSupport.h"

#include "state/AppState.h"
#include "ui/changes/ChangeListView.h"
#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/MainWindow.h"
#include "ui/window/SidebarOverlayView.h"
#include "ui/window/SidebarProjectRow.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

bool settled(const AppState &state)
{
    return state.runningTasks() == 0 && !state.busyMessage();
}

QStringList listedPaths(const ChangeListView *list)
{
    QStringList paths;
    for (const WorkingCopyItem &item : list->model()->items())
        paths << item.path;
    return paths;
}

} // namespace

TEST(ChangesEndToEnd, TickTwoFilesAndCommitOverSvnAndGit)
{
    Sandbox sandbox;
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    const GitFixture git = GitFixture::create(sandbox.filePath("git"), "repo");
    for (const QString &folder : {svn.workingCopy, git.path}) {
        for (const char *name : {"a.txt", "b.txt", "c.txt"})
            writeFile(folder + "/" + name, "one\n");
    }
    svn.commitAll("Initial import");
    git.commitAll("Initial import");
    for (const QString &folder : {svn.workingCopy, git.path}) {
        for (const char *name : {"a.txt", "b.txt", "c.txt"})
            writeFile(folder + "/" + name, "two\n");
    }

    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const Project svnProject{QUuid::createUuid(), "svn-wc", svn.workingCopy, RepositoryKind::svn};
    const Project gitProject{QUuid::createUuid(), "git-repo", git.path, RepositoryKind::git};
    ProjectStore(&settings).save({gitProject, svnProject});
    AppState state(&settings);
    MainWindow window(state);
    window.resize(1440, 900);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(state); }, 30000));

    for (const Project &project : {svnProject, gitProject}) {
        SCOPED_TRACE(project.name.toStdString());
        SidebarProjectRow *row = nullptr;
        for (SidebarProjectRow *candidate : window.contentView()->sidebar()->rows()) {
            if (candidate->project().id == project.id)
                row = candidate;
        }
        ASSERT_TRUE(row);
        QTest::mouseClick(row, Qt::LeftButton);
        auto *changes = qobject_cast<ChangesView *>(window.contentView()->detailView()->currentTabView());
        ASSERT_TRUE(changes);
        ChangeListView *list = changes->listView();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return settled(state) && listedPaths(list) == QStringList({"a.txt", "b.txt", "c.txt"});
            },
            30000));
        EXPECT_EQ(list->titleLabel()->text(), "3 Changed");

        // Modified files come ticked: clear all three, then tick two.
        ChangeRowsView *rows = list->list();
        const auto clickBox = [&](int row) {
            QTest::mouseClick(
                rows->viewport(), Qt::LeftButton, {}, rows->checkRect(rows->model()->index(row, 0)).center());
            QCoreApplication::processEvents();
        };
        for (int i = 0; i < 3; ++i)
            clickBox(i);
        ASSERT_TRUE(QTest::qWaitFor([&] { return state.selectedCommitPaths().isEmpty(); }, 5000));
        clickBox(0);
        clickBox(1);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return changes->commitPanel()->countLabel()->text() == "2 Selected"; }, 5000));
        EXPECT_EQ(state.selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt"}));

        CommitPanelView *panel = changes->commitPanel();
        panel->editor()->setFocus();
        QTest::keyClicks(panel->editor(), "Update a and b");
        QTest::keyClick(panel->editor(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(panel->editor(), "but not c");
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->commitButton()->isEnabled(); }, 5000));
        QTest::mouseClick(panel->commitButton(), Qt::LeftButton);

        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(state) && listedPaths(list) == QStringList{"c.txt"}; }, 30000))
            << listedPaths(list).join(", ").toStdString();
        EXPECT_FALSE(state.alert()) << state.alert()->message.toStdString();
        EXPECT_EQ(list->titleLabel()->text(), "1 Changed");
        EXPECT_EQ(panel->editor()->toPlainText(), "");
        EXPECT_FALSE(panel->commitButton()->isEnabled());
        ASSERT_TRUE(state.commandOutput());
        EXPECT_EQ(state.commandOutput()->title, "Commit");

        // The repository has the commit with exactly the two files.
        const QString log = project.kind == RepositoryKind::git
            ? QString::fromUtf8(git.git({"show", "--name-only", "--format=%B", "HEAD"}))
            : QString::fromUtf8(svn.svn({"log", "-v", "-l", "1", "-r", "HEAD:1", svn.repositoryUrl}));
        // Shift+Return made a line break of the message, not a character within its first line.
        EXPECT_TRUE(log.contains("Update a and b\nbut not c\n")) << log.toStdString();
        EXPECT_TRUE(log.contains("a.txt"));
        EXPECT_TRUE(log.contains("b.txt"));
        EXPECT_FALSE(log.contains("c.txt"));

        state.setCommandOutput(std::nullopt);
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(state); }, 5000));
    }
}

// A name from an old Latin-1 system is listed and titled with a replacement character where its byte
// stands, beside a plain name, under both of git's ways of printing it.
TEST(ChangesEndToEnd, ANameThatIsNotUTF8IsShownReadably)
{
    Sandbox sandbox;
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/plain.txt", "plain\n");
    git.commitAll("first");
    writeFile(git.path + "/plain.txt", "changed\n");
    printfFile(git.path, "caf\\351.txt", "new\n");
    for (const QString quoting : {"true", "false"}) {
        SCOPED_TRACE(quoting.toStdString());
        git.git({"config", "core.quotepath", quoting});
        const Project project{QUuid::createUuid(), "latin1", git.path, RepositoryKind::git};
        RealWindow real(sandbox.filePath("settings-" + quoting + ".ini"), {project});
        real.selectProject(project.id);
        auto *changes = qobject_cast<ChangesView *>(real.window().contentView()->detailView()->currentTabView());
        ASSERT_TRUE(changes);
        ChangeRowsView *rows = changes->listView()->list();
        ASSERT_EQ(rows->model()->rowCount(), 2);
        const QString shown = QString::fromUtf16(u"caf\uFFFD.txt");
        EXPECT_EQ(rows->model()->index(0, 0).data().toString(), shown);
        EXPECT_EQ(rows->model()->index(1, 0).data().toString(), "plain.txt");

        rows->setCurrentIndex(rows->model()->index(0, 0));
        ASSERT_TRUE(real.settle());
        EXPECT_EQ(changes->previewView()->titleLabel()->text(), shown);
        EXPECT_TRUE(real.state().diffText().contains("+new")) << real.state().diffText().toStdString();
    }
}
