// The three workflow tabs in the detail pane over real repositories and the real tools: what the tabs
// show is what svn and git say.
#include "WorkflowRepositories.h"
#include "WorkflowTestSupport.h"

#include "ui/diff/DiffView.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/window/DetailView.h"
#include "ui/workflow/ArchivesView.h"
#include "ui/workflow/FileHistoryDetailView.h"
#include "ui/workflow/HistoryView.h"
#include "ui/workflow/IncomingView.h"
#include "ui/workflow/WorkflowListView.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

using TestSupport::runTool;

namespace {

QStringList outputLines(const QByteArray &output)
{
    return QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
}

// The changed paths `svn log -v -q` lists for one revision.
int svnChangedPaths(const TestSupport::SvnFixture &svn, qint64 revision)
{
    int count = 0;
    for (const QString &line :
        outputLines(svn.svn({"log", "-v", "-q", "-r", QString::number(revision), svn.repositoryUrl})))
        count += line.startsWith("   ");
    return count;
}

int rowOf(const QAbstractItemModel &model, const QString &display)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, 0).data().toString() == display)
            return row;
    }
    return -1;
}

struct EndToEnd : ::testing::Test {
    WorkflowRepositories repositories;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<AppState> state;
    std::unique_ptr<DetailView> view;
    Project svnProject;
    Project gitProject;

    void SetUp() override
    {
        settings = std::make_unique<QSettings>(repositories.sandbox.filePath("settings.ini"), QSettings::IniFormat);
        svnProject = {QUuid::createUuid(), "orbit", repositories.svn.workingCopy, RepositoryKind::svn};
        gitProject = {QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
        ProjectStore(settings.get()).save({svnProject, gitProject});
        state = std::make_unique<AppState>(settings.get());
        view = std::make_unique<DetailView>(*state);
        showView(*view, *state, QSize(1300, 800));
        state->refreshAll();
        settle(*state);
    }

    void show(WorkflowTab tab)
    {
        state->setSelectedTab(tab);
        settle(*state);
        settle(*state);
    }

    void TearDown() override
    {
        view.reset();
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

} // namespace

TEST_F(EndToEnd, IncomingShowsTheRevisionsAnUpdateWouldBring)
{
    show(WorkflowTab::incoming);
    auto *incoming = qobject_cast<IncomingView *>(view->tabView(WorkflowTab::incoming));
    ASSERT_TRUE(incoming);
    ASSERT_TRUE(incoming->showsSplit());
    IncomingRevisionListView *list = incoming->listView();

    // Newest first, as svn logs them from HEAD down to the revision after the working copy's.
    QStringList revisions;
    for (const QString &line :
        outputLines(repositories.svn.svn({"log", "-q", "-r", "HEAD:4", repositories.svn.repositoryUrl}))) {
        if (line.startsWith(u'r'))
            revisions << line.section(u' ', 0, 0);
    }
    ASSERT_EQ(revisions, QStringList({"r6", "r5", "r4"}));
    EXPECT_EQ(list->titleLabel()->fullText(), QString::number(revisions.size()) + " Incoming");
    const QAbstractItemModel &model = *list->model();
    ASSERT_EQ(model.rowCount(), revisions.size());
    for (int row = 0; row < model.rowCount(); ++row) {
        const RevisionRow shown = revisionRow(model, row);
        EXPECT_EQ(shown.revision, revisions[row]);
        const int paths = svnChangedPaths(repositories.svn, revisions[row].mid(1).toLongLong());
        EXPECT_EQ(shown.pathCount, QString::number(paths) + (paths == 1 ? " path" : " paths"));
        EXPECT_TRUE(shown.date.has_value());
    }

    // The out-of-date paths are the rows `svn status -u` marks with "*".
    int outdated = 0;
    for (const QString &line : outputLines(runTool("svn", {"status", "-u"}, repositories.svn.workingCopy)))
        outdated += line.size() > 8 && line[8] == u'*';
    ASSERT_GT(outdated, 1);
    EXPECT_EQ(list->subtitleLabel()->fullText(), QStringLiteral("r3 to r6, %1 paths").arg(outdated));

    // The protocol handlers: thirteen paths, the first eight in the strip, and their diff.
    clickRow(list->list(), 1);
    settle(*state);
    settle(*state);
    IncomingRevisionDetailView *detail = incoming->detailView();
    ASSERT_TRUE(detail->showsEntry());
    EXPECT_EQ(detail->summaryLabel()->fullText(), "Add the protocol handlers");
    EXPECT_EQ(detail->pathStrip()->shownChanges().size(), 8);
    EXPECT_EQ(detail->pathStrip()->moreText(), QStringLiteral("+%1").arg(svnChangedPaths(repositories.svn, 5) - 8));
    EXPECT_TRUE(detail->diffView()->showsCards());
    EXPECT_TRUE(state->incomingDiffText().contains("handler01.c"));

    // A Git project has no incoming changes.
    state->setSelectedProjectID(gitProject.id);
    state->projectSelectionChanged();
    settle(*state);
    EXPECT_FALSE(incoming->showsSplit());
}

TEST_F(EndToEnd, HistoryAndArchivesShowTheLogOfTheWorkingCopy)
{
    show(WorkflowTab::history);
    auto *history = qobject_cast<HistoryView *>(view->tabView(WorkflowTab::history));
    ASSERT_TRUE(history);

    // Every file the working copy's log names.
    QSet<QString> files;
    static const QRegularExpression filePath(QStringLiteral("kind=\"file\"[^>]*>/?([^<]+)</path>"));
    const QString log = QString::fromUtf8(runTool("svn", {"log", "-v", "--xml"}, repositories.svn.workingCopy));
    for (auto match = filePath.globalMatch(log); match.hasNext();)
        files.insert(match.next().captured(1));
    ASSERT_EQ(files.size(), 5);
    HistoryFileListView *list = history->fileList();
    EXPECT_EQ(list->titleLabel()->fullText(), QString::number(files.size()) + " Files");

    const int row = rowOf(*list->model(), "src/main.c");
    ASSERT_GE(row, 0);
    clickRow(list->list(), row);
    settle(*state);
    settle(*state);
    FileHistoryDetailView *detail = history->detailView();
    int mainRevisions = 0;
    for (const QString &line : outputLines(runTool("svn", {"log", "-q", "src/main.c"}, repositories.svn.workingCopy)))
        mainRevisions += line.startsWith(u'r');
    EXPECT_EQ(detail->titleLabel()->text(), "src/main.c");
    EXPECT_EQ(detail->subtitleLabel()->text(), QString::number(mainRevisions) + " revisions");
    EXPECT_TRUE(detail->pullFileButton()->isEnabled());
    EXPECT_TRUE(detail->rollbackButton()->isEnabled());
    ASSERT_TRUE(detail->revisionDetail()->showsRevision());
    EXPECT_TRUE(detail->revisionDetail()->diffView()->showsCards());
    EXPECT_TRUE(state->historyDiffText().contains("return run();"));

    show(WorkflowTab::archives);
    auto *archives = qobject_cast<ArchivesView *>(view->tabView(WorkflowTab::archives));
    ASSERT_TRUE(archives);
    int logged = 0;
    for (const QString &line : outputLines(runTool("svn", {"log", "-q"}, repositories.svn.workingCopy)))
        logged += line.startsWith(u'r');
    EXPECT_EQ(archives->listView()->titleLabel()->fullText(), QString::number(logged) + " Revisions");
    EXPECT_EQ(archives->detailView()->titleLabel()->text(), "r3");
    EXPECT_EQ(archives->detailView()->subtitleLabel()->text(),
        QString::number(svnChangedPaths(repositories.svn, 3)) + " paths in this revision");

    // The Git repository: commits and files as git counts them.
    state->setSelectedProjectID(gitProject.id);
    state->projectSelectionChanged();
    settle(*state);
    settle(*state);
    const QString commits = QString::fromUtf8(repositories.git.git({"rev-list", "--count", "HEAD"})).trimmed();
    EXPECT_EQ(archives->listView()->titleLabel()->fullText(), commits + " Commits");
    const QString head = QString::fromUtf8(repositories.git.git({"rev-parse", "--short=7", "HEAD"})).trimmed();
    EXPECT_EQ(archives->detailView()->titleLabel()->text(), head);
    EXPECT_EQ(archives->detailView()->subtitleLabel()->text(), "1 path in this commit");

    show(WorkflowTab::history);
    const QSet<QString> gitFiles = [this] {
        QSet<QString> names;
        for (const QString &line : outputLines(repositories.git.git({"log", "--name-only", "--format="})))
            names.insert(line);
        return names;
    }();
    EXPECT_EQ(list->titleLabel()->fullText(), QString::number(gitFiles.size()) + " Files");
    EXPECT_EQ(revisionRow(*detail->model(), 0).revision.size(), 7);
}
