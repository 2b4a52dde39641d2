// The whole program as a user meets it: the real window, driven through its widgets (found by object
// name), over repositories the test makes with the real tools, the modal questions answered from a
// script. Each step is checked in the window and with svn or git themselves.
#include "RealWindow.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/workflow/IncomingView.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

using namespace TestSupport;

namespace {

// Names that break weaker clients: an option, a peg revision, a space, a non-ASCII letter, a glob.
const QStringList awkwardNames{"-R", "a@2x.png", "sp ace.txt", "é.txt", "*.txt"};

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

struct WholeProgram : ::testing::Test {
    Sandbox sandbox;
    std::unique_ptr<RealWindow> app;

    void SetUp() override
    {
        // git commits made through the window need an identity.
        runTool("git", {"config", "--global", "user.name", "End To End"});
        runTool("git", {"config", "--global", "user.email", "e2e@example.com"});
        app = std::make_unique<RealWindow>(sandbox.filePath("settings.ini"), QList<Project>{});
    }

    void TearDown() override { app.reset(); }

    AppState &state() { return app->state(); }
    ScriptedDialogs &dialogs() { return app->dialogs; }

    template <typename T = QWidget> T *widget(const QString &name)
    {
        T *found = app->find<T>(name);
        if (!found)
            ADD_FAILURE() << "no widget named " << name.toStdString();
        return found;
    }

    // Clicks, then waits (bounded) until what the click started has ended.
    void click(QWidget *target, const QPoint &position = QPoint())
    {
        ASSERT_TRUE(target);
        // What the user sees is the last render.
        ASSERT_TRUE(app->settle());
        ASSERT_TRUE(target->isVisible()) << target->objectName().toStdString();
        ASSERT_TRUE(target->isEnabled()) << target->objectName().toStdString();
        QTest::mouseClick(target, Qt::LeftButton, {}, position.isNull() ? target->rect().center() : position);
        ASSERT_TRUE(app->settle());
        EXPECT_FALSE(state().busyMessage()) << state().busyMessage().value_or("").toStdString();
    }

    void clickNamed(const QString &name) { click(widget(name)); }

    // The output sheet is open with that title; its Done button closes it.
    void closeSheet(const QString &title)
    {
        ASSERT_FALSE(state().alert()) << state().alert()->title.toStdString() << ": "
                                      << state().alert()->message.toStdString();
        ASSERT_TRUE(state().commandOutput()) << "no output sheet for " << title.toStdString();
        EXPECT_EQ(state().commandOutput()->title, title) << app->details();
        auto *sheet = widget<QWidget>("commandOutputSheet");
        ASSERT_TRUE(sheet);
        click(sheet->findChild<QWidget *>("doneButton"));
        EXPECT_FALSE(state().commandOutput());
        EXPECT_FALSE(app->find<QWidget>("commandOutputSheet"));
    }

    void noAlert()
    {
        EXPECT_FALSE(state().alert()) << state().alert()->title.toStdString() << ": "
                                      << state().alert()->message.toStdString();
    }

    void chooseProjectRow(const QString &path)
    {
        for (auto *row : app->window().findChildren<SidebarProjectRow *>("projectRow")) {
            if (row->project().path == path) {
                click(row);
                EXPECT_EQ(state().selectedProjectPath(), path);
                return;
            }
        }
        ADD_FAILURE() << "no sidebar row for " << path.toStdString();
    }

    void showTab(WorkflowTab tab)
    {
        auto *picker = widget<SegmentedPicker>("tabPicker");
        ASSERT_TRUE(picker);
        click(picker, picker->segmentRect(int(tab)).center());
        EXPECT_EQ(state().selectedTab(), tab);
    }

    // The rows the list shows; none while its pane shows the empty state instead.
    QStringList rows(const QString &listName)
    {
        QStringList shown;
        auto *list = widget<QAbstractItemView>(listName);
        if (!list || !list->isVisible())
            return shown;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            shown << list->model()->index(row, 0).data(Qt::DisplayRole).toString();
        return shown;
    }

    QStringList changes() { return rows("changeList"); }

    QModelIndex rowIndex(QAbstractItemView *list, const QString &display)
    {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            if (index.data(Qt::DisplayRole).toString() == display)
                return index;
        }
        return {};
    }

    void clickRow(const QString &listName, const QString &display)
    {
        auto *list = widget<QAbstractItemView>(listName);
        ASSERT_TRUE(list);
        const QModelIndex index = rowIndex(list, display);
        ASSERT_TRUE(index.isValid()) << display.toStdString() << " is not in " << listName.toStdString();
        list->scrollTo(index);
        click(list->viewport(), list->visualRect(index).center());
    }

    // Opens the row's context menu as a right click does and chooses the entry.
    void chooseFromRowMenu(const QString &display, const QString &entry)
    {
        auto *list = widget<QAbstractItemView>("changeList");
        ASSERT_TRUE(list);
        const QModelIndex index = rowIndex(list, display);
        ASSERT_TRUE(index.isValid()) << display.toStdString();
        // The menu runs its own event loop: a timer inside it picks the entry, or closes the menu.
        bool chosen = false;
        QTimer picker;
        picker.setInterval(10);
        QObject::connect(&picker, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            picker.stop();
            for (QAction *action : menu->actions()) {
                if (action->text() == entry) {
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, Qt::Key_Return);
                    chosen = true;
                    return;
                }
            }
            menu->close();
        });
        picker.start();
        const QPoint position = list->visualRect(index).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, position, list->viewport()->mapToGlobal(position));
        QApplication::sendEvent(list->viewport(), &event);
        picker.stop();
        EXPECT_TRUE(chosen) << entry.toStdString();
        ASSERT_TRUE(app->settle());
    }

    void typeCommitMessageAndCommit(const QString &message)
    {
        auto *editor = widget<QPlainTextEdit>("commitMessage");
        ASSERT_TRUE(editor);
        editor->setFocus();
        QTest::keyClicks(editor, message);
        EXPECT_EQ(state().commitMessage(), message);
        clickNamed("commitButton");
        closeSheet("Commit");
        EXPECT_EQ(editor->toPlainText(), "");
    }

    void writeAwkwardFiles(const QString &folder)
    {
        for (const QString &name : awkwardNames)
            writeFile(folder + "/" + name, name.toUtf8() + "\n");
    }

    // Creates a zip of the archive entry through the Archives tab and gives what unzip lists.
    QString zipArchiveEntry(const QString &entry, const QString &zipName)
    {
        showTab(WorkflowTab::archives);
        EXPECT_TRUE(rows("archiveList").contains(entry)) << rows("archiveList").join(", ").toStdString();
        clickRow("archiveList", entry);
        const QString zip = sandbox.filePath(zipName);
        dialogs().savePanelAnswers = {zip};
        clickNamed("createZipButton");
        closeSheet("Create Archive Zip");
        return text(runTool("unzip", {"-l", zip}));
    }
};

} // namespace

TEST_F(WholeProgram, SubversionFromNewRepositoryToIgnoredFile)
{
    // No project yet: the sidebar's New creates a repository, which adds no project.
    QWidget *picker = widget("tabPicker");
    ASSERT_TRUE(picker);
    EXPECT_FALSE(picker->isVisible());
    const QString repository = sandbox.filePath("repositories/Team Repo");
    QDir().mkpath(sandbox.filePath("repositories"));
    dialogs().savePanelAnswers = {repository};
    clickNamed("sidebarNewButton");
    closeSheet("Create SVN Repository");
    EXPECT_EQ(text(runTool("svnlook", {"youngest", repository})).trimmed(), "0");
    EXPECT_TRUE(state().projects().isEmpty());

    // Check it out through the sidebar: the working copy becomes the selected project.
    const QString url = QUrl::fromLocalFile(repository).toString(QUrl::FullyEncoded);
    const QString parent = sandbox.filePath("work");
    QDir().mkpath(parent);
    dialogs().promptAnswers = {QStringList{url}, QStringList{"team"}};
    dialogs().openPanelAnswers = {parent};
    clickNamed("sidebarCheckoutButton");
    closeSheet("Checkout");
    const QString wc = parent + "/team";
    EXPECT_EQ(text(runTool("svn", {"info", "--show-item", "url"}, wc)).trimmed(), url);
    ASSERT_EQ(state().selectedProjectPath(), wc);
    EXPECT_EQ(state().selectedProjectKind(), RepositoryKind::svn);
    EXPECT_EQ(state().selectedTab(), WorkflowTab::changes);
    EXPECT_EQ(changes(), QStringList());

    // New files show in Changes after a refresh, ticked for commit.
    writeAwkwardFiles(wc);
    clickNamed("refreshButton");
    EXPECT_EQ(sorted(changes()), sorted(awkwardNames));
    EXPECT_EQ(state().selectedCommitPaths().size(), awkwardNames.size());
    typeCommitMessageAndCommit("Add awkward names");
    EXPECT_EQ(changes(), QStringList());
    EXPECT_EQ(text(runTool("svn", {"status"}, wc)), "");
    const QString log = text(runTool("svn", {"log", "-v", "-r", "1", url}));
    EXPECT_TRUE(log.contains("Add awkward names")) << log.toStdString();
    for (const QString &name : awkwardNames)
        EXPECT_TRUE(log.contains("   A /" + name + "\n")) << name.toStdString() << "\n" << log.toStdString();
    EXPECT_EQ(text(runTool("svn", {"cat", url + "/%C3%A9.txt"})), "é.txt\n");

    // svn log reads up to the working copy's own revision, which a commit leaves where it was: after
    // an Update, History lists the committed files and Archives lists r1, whose zip holds them.
    clickNamed("updateButton");
    closeSheet("Update");
    EXPECT_EQ(text(runTool("svn", {"info", "--show-item", "revision"}, wc)).trimmed(), "1");
    showTab(WorkflowTab::history);
    EXPECT_EQ(sorted(rows("historyFileList")), sorted(awkwardNames));
    clickRow("historyFileList", "é.txt");
    EXPECT_EQ(rows("historyRevisionList"), QStringList{"r1"});
    const QString listing = zipArchiveEntry("r1", "team-r1.zip");
    for (const QString &name : awkwardNames)
        EXPECT_TRUE(listing.contains("/" + name + "\n")) << name.toStdString() << "\n" << listing.toStdString();

    // A second working copy commits; Incoming shows it until the header's Update brings it.
    const QString other = sandbox.filePath("other");
    runTool("svn", {"checkout", "-q", url, other});
    writeFile(other + "/sp ace.txt", "changed elsewhere\n");
    runTool("svn", {"commit", "-q", "-m", "Change from elsewhere"}, other);
    showTab(WorkflowTab::incoming);
    EXPECT_EQ(rows("incomingList"), QStringList{"r2"});
    EXPECT_EQ(state().incomingEntries().value(0).message, "Change from elsewhere");
    clickNamed("updateButton");
    closeSheet("Update");
    EXPECT_EQ(text(runTool("svn", {"info", "--show-item", "revision"}, wc)).trimmed(), "2");
    EXPECT_EQ(readFile(wc + "/sp ace.txt"), "changed elsewhere\n");
    EXPECT_EQ(rows("incomingList"), QStringList());

    // Ignored through the row's menu, the file leaves the list; included again, it comes back.
    showTab(WorkflowTab::changes);
    writeFile(wc + "/build.log", "noise\n");
    clickNamed("refreshButton");
    EXPECT_EQ(changes(), QStringList{"build.log"});
    chooseFromRowMenu("build.log", "Ignore Path");
    noAlert();
    EXPECT_EQ(readFile(wc + "/.korvelignore"), "/build.log\n");
    EXPECT_EQ(changes(), QStringList{".korvelignore"});
    EXPECT_TRUE(text(runTool("svn", {"status", "build.log"}, wc)).startsWith("?"));
    dialogs().promptAnswers = {QStringList{"build.log"}};
    EXPECT_EQ(app->choose("Working Copy", "Include Ignored Path..."), "ok") << app->details();
    EXPECT_EQ(readFile(wc + "/.korvelignore"), "/build.log\n!/build.log\n");
    EXPECT_EQ(sorted(changes()), sorted({".korvelignore", "build.log"}));
}

TEST_F(WholeProgram, SubversionUpdateKilledHalfWayShowsUntilUpdateCompletesIt)
{
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"), "wc");
    const SvnFixture other = SvnFixture::create(sandbox.filePath("svn"), "other");
    const int fileCount = 600;
    for (int i = 0; i < fileCount; ++i)
        writeFile(other.workingCopy + QStringLiteral("/files/file-with-a-longer-name-%1.txt").arg(i), "content\n");
    other.commitAll("Many files");
    svn.interruptUpdate();
    const QString rootStatus = text(svn.svn({"status", "--depth", "empty"}));
    ASSERT_TRUE(rootStatus.startsWith("!")) << rootStatus.toStdString();
    const auto filesOnDisk = [&] { return QDir(svn.workingCopy + "/files").entryList(QDir::Files).size(); };
    ASSERT_LT(filesOnDisk(), fileCount);

    dialogs().openPanelAnswers = {svn.workingCopy};
    clickNamed("sidebarAddButton");
    ASSERT_EQ(state().selectedProjectPath(), svn.workingCopy);
    // The folder itself comes first, named so the user knows it.
    EXPECT_EQ(changes().value(0), ". (wc)");
    EXPECT_EQ(state().changes().value(0).kind, SVNStatusKind::incomplete);
    showTab(WorkflowTab::incoming);
    auto *incoming = app->window().findChild<IncomingRevisionListView *>();
    ASSERT_TRUE(incoming);
    EXPECT_EQ(incoming->emptyState()->textLabel()->fullText(), "Working Copy Incomplete");
    EXPECT_EQ(incoming->emptyState()->symbolName(), "arrow.down.circle");
    EXPECT_TRUE(incoming->subtitleLabel()->fullText().startsWith("Update did not finish, "))
        << incoming->subtitleLabel()->fullText().toStdString();

    clickNamed("updateButton");
    closeSheet("Update");
    EXPECT_EQ(text(svn.svn({"status"})), "");
    EXPECT_EQ(filesOnDisk(), fileCount);
    EXPECT_EQ(incoming->emptyState()->textLabel()->fullText(), "No Incoming Changes");
    showTab(WorkflowTab::changes);
    EXPECT_EQ(changes(), QStringList());
}

TEST_F(WholeProgram, GitFromCloneToBranchSwitch)
{
    // An origin with one commit on main and a branch "feature", pushed from a helper clone. Its
    // .gitignore is where the ignore actions write, and git reads it too.
    const QString origin = sandbox.filePath("remote/project.git");
    runTool("git", {"init", "-q", "--bare", "-b", "main", origin});
    const QString helper = sandbox.filePath("helper");
    runTool("git", {"clone", "-q", origin, helper});
    writeFile(helper + "/README", "readme\n");
    writeFile(helper + "/.gitignore", "*.tmp\n");
    runTool("git", {"add", "README", ".gitignore"}, helper);
    runTool("git", {"commit", "-q", "-m", "Start"}, helper);
    runTool("git", {"push", "-q", "origin", "HEAD:main", "HEAD:feature"}, helper);

    const QString url = QUrl::fromLocalFile(origin).toString(QUrl::FullyEncoded);
    const QString parent = sandbox.filePath("work");
    QDir().mkpath(parent);
    dialogs().promptAnswers = {QStringList{url}, QStringList{"project"}};
    dialogs().openPanelAnswers = {parent};
    clickNamed("sidebarCheckoutButton");
    closeSheet("Checkout");
    const QString repo = parent + "/project";
    ASSERT_EQ(state().selectedProjectPath(), repo);
    EXPECT_EQ(state().selectedProjectKind(), RepositoryKind::git);
    QWidget *branch = widget("branchButton");
    ASSERT_TRUE(branch);
    EXPECT_TRUE(branch->isVisible());

    // Someone pushes to main; the header's Update pulls it.
    writeFile(helper + "/README", "readme\nmore\n");
    runTool("git", {"commit", "-q", "-am", "More"}, helper);
    runTool("git", {"push", "-q", "origin", "HEAD:main"}, helper);
    clickNamed("updateButton");
    closeSheet("Pull");
    EXPECT_EQ(readFile(repo + "/README"), "readme\nmore\n");
    EXPECT_EQ(text(runTool("git", {"log", "-1", "--format=%s"}, repo)), "More\n");

    writeAwkwardFiles(repo);
    clickNamed("refreshButton");
    EXPECT_EQ(sorted(changes()), sorted(awkwardNames));
    typeCommitMessageAndCommit("Add awkward names");
    EXPECT_EQ(changes(), QStringList());
    EXPECT_EQ(text(runTool("git", {"status", "--porcelain"}, repo)), "");
    EXPECT_EQ(text(runTool("git", {"log", "-1", "--format=%s"}, repo)), "Add awkward names\n");
    const QString committed
        = text(runTool("git", {"diff-tree", "--no-commit-id", "--name-only", "-r", "-z", "HEAD"}, repo));
    EXPECT_EQ(sorted(committed.split(QChar(0), Qt::SkipEmptyParts)), sorted(awkwardNames));

    showTab(WorkflowTab::history);
    EXPECT_EQ(sorted(rows("historyFileList")), sorted(awkwardNames + QStringList{".gitignore", "README"}));
    clickRow("historyFileList", "README");
    const QStringList readmeCommits = text(runTool("git", {"log", "--format=%h", "--abbrev=7", "--", "README"}, repo))
                                          .split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(readmeCommits.size(), 2);
    EXPECT_EQ(rows("historyRevisionList"), readmeCommits);
    const QString head = text(runTool("git", {"rev-parse", "--short=7", "HEAD"}, repo)).trimmed();
    const QString listing = zipArchiveEntry(head, "project-head.zip");
    for (const QString &name : awkwardNames + QStringList{".gitignore", "README"})
        EXPECT_TRUE(listing.contains("/" + name + "\n")) << name.toStdString() << "\n" << listing.toStdString();

    // Ignored through the row's menu, the file leaves the list; included again, it comes back.
    showTab(WorkflowTab::changes);
    writeFile(repo + "/build.log", "noise\n");
    clickNamed("refreshButton");
    EXPECT_EQ(changes(), QStringList{"build.log"});
    chooseFromRowMenu("build.log", "Ignore Path");
    noAlert();
    EXPECT_EQ(readFile(repo + "/.gitignore"), "*.tmp\n/build.log\n");
    EXPECT_EQ(changes(), QStringList{".gitignore"});
    EXPECT_EQ(text(runTool("git", {"check-ignore", "build.log"}, repo)), "build.log\n");
    dialogs().promptAnswers = {QStringList{"build.log"}};
    EXPECT_EQ(app->choose("Working Copy", "Include Ignored Path..."), "ok") << app->details();
    EXPECT_EQ(readFile(repo + "/.gitignore"), "*.tmp\n/build.log\n!/build.log\n");
    int status = 0;
    runTool("git", {"check-ignore", "build.log"}, repo, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(sorted(changes()), sorted({".gitignore", "build.log"}));

    // The header's Branch switches to the remote branch by name; the header follows.
    dialogs().branchAnswers = {BranchChoiceAnswer{std::nullopt, "feature"}};
    clickNamed("branchButton");
    closeSheet("Switch Branch");
    EXPECT_EQ(text(runTool("git", {"branch", "--show-current"}, repo)).trimmed(), "feature");
    EXPECT_EQ(readFile(repo + "/README"), "readme\n");
    EXPECT_FALSE(QFileInfo::exists(repo + "/a@2x.png"));
    EXPECT_TRUE(state().repositoryInfo().revision.value_or("").startsWith("feature ")) << app->details();
    EXPECT_EQ(sorted(changes()), sorted({".gitignore", "build.log"}));
}
