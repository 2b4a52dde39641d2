// The History tab over a real AppState with fake tools: the file list and its rows, the header's
// texts and button rules, the revision list's change handler and the revision detail.
#include "WorkflowTestSupport.h"

#include "ui/diff/DiffView.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/SplitPane.h"
#include "ui/workflow/FileHistoryDetailView.h"
#include "ui/workflow/HistoryView.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/WorkflowListView.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

struct HistoryFixture : UiFixture {
    std::unique_ptr<HistoryView> view;

    void open(const QList<Project> &projects, const QList<LogEntry> &log = {})
    {
        makeState(projects);
        state->setSelectedTab(WorkflowTab::history);
        state->setLogEntries(log);
        view = std::make_unique<HistoryView>(*state);
        showView(*view, *state);
    }

    HistoryFileListView *files() const { return view->fileList(); }
    FileHistoryDetailView *detail() const { return view->detailView(); }

    int diffLoads() const { return svnRuns("diff"); }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

// a.c in r3 (modified) and r1 (added); b.c in r2 with an empty action; the folder is no file.
QList<LogEntry> sampleLog()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 15), Qt::UTC);
    return {logEntry(3, "", "Change a", {{"M", "/a.c", "file"}}, when),
        logEntry(2, "bo", "Add b", {{"", "/b.c", "file"}, {"A", "/dir", "dir"}}),
        logEntry(1, "ann", "Start", {{"A", "/a.c", "file"}}, when)};
}

HistoryFileRow fileRow(const QAbstractItemModel &model, int row)
{
    return model.index(row, 0).data(HistoryFileRow::role).value<HistoryFileRow>();
}

} // namespace

TEST_F(HistoryFixture, EmptyHistoryShowsZeroFilesAndThePlaceholders)
{
    open({gitProject});
    EXPECT_EQ(files()->titleLabel()->fullText(), "0 Files");
    EXPECT_FALSE(files()->showsList());
    EXPECT_EQ(files()->emptyState()->textLabel()->fullText(), "No File History");
    EXPECT_EQ(files()->emptyState()->symbolName(), "doc.text.magnifyingglass");
    EXPECT_TRUE(files()->refreshButton()->isVisible());
    EXPECT_EQ(files()->refreshButton()->toolTip(), "Refresh File History");
    EXPECT_EQ(detail()->titleLabel()->text(), "File History");
    EXPECT_EQ(detail()->subtitleLabel()->text(), "No revisions");
    EXPECT_FALSE(detail()->showsSplit());
    EXPECT_EQ(detail()->placeholder()->text(), "(select a file)");
}

TEST_F(HistoryFixture, RowsShowTheNewestRevisionAndTheCountOfAll)
{
    open({svnProject}, sampleLog());
    const QAbstractItemModel &model = *files()->model();
    // "Files" for every count.
    EXPECT_EQ(files()->titleLabel()->fullText(), "2 Files");
    ASSERT_EQ(model.rowCount(), 2);
    const HistoryFileRow a = fileRow(model, 0);
    EXPECT_EQ(a.path, "a.c");
    EXPECT_EQ(a.action, "M");
    EXPECT_EQ(a.revision, "r3");
    EXPECT_EQ(a.revisionCount, "2 revisions");
    EXPECT_TRUE(a.date.has_value());
    const HistoryFileRow b = fileRow(model, 1);
    EXPECT_EQ(b.action, "");
    EXPECT_EQ(actionBadgeText(*b.action), "?");
    EXPECT_EQ(b.revisionCount, "1 revision");
    EXPECT_FALSE(b.date.has_value());

    state->setLogEntries({logEntry(1, "x", "Only", {{"A", "/one.c", "file"}})});
    settle(*state);
    EXPECT_EQ(files()->titleLabel()->fullText(), "1 Files");

    // Git rows show seven characters of the hash.
    state->setLogEntries({logEntry(1, "x", "Git", {{"M", "/g.js", "file"}}, std::nullopt, "0123456789abcdef")});
    settle(*state);
    EXPECT_EQ(fileRow(model, 0).revision, "0123456");
    // An item without revisions has no second line.
    EXPECT_FALSE(HistoryFileRow::fromItem(FileHistoryItem{"lonely.c", {}}).action.has_value());
}

TEST_F(HistoryFixture, PullFileAndRollbackFollowOnlyTheTwoSelections)
{
    open({svnProject}, sampleLog());
    QPushButton *pull = detail()->pullFileButton();
    QPushButton *rollback = detail()->rollbackButton();
    EXPECT_EQ(pull->text(), "Pull File");
    EXPECT_EQ(pull->toolTip(), "Pull File At Revision");
    EXPECT_EQ(rollback->text(), "Rollback");
    EXPECT_EQ(rollback->toolTip(), "Rollback Selected Revision");

    // The path first: choosing a file re-picks the revision, which is then set as the case needs.
    const auto set = [this](std::optional<QString> path, std::optional<qint64> revision) {
        state->setSelectedHistoryPath(path);
        settle(*state);
        state->setSelectedRevision(revision);
        settle(*state);
    };
    // Neither: both disabled.
    set(std::nullopt, std::nullopt);
    EXPECT_FALSE(pull->isEnabled());
    EXPECT_FALSE(rollback->isEnabled());
    EXPECT_EQ(detail()->titleLabel()->text(), "File History");
    EXPECT_FALSE(detail()->showsSplit());

    // A revision alone: Rollback only.
    set(std::nullopt, 3);
    EXPECT_FALSE(pull->isEnabled());
    EXPECT_TRUE(rollback->isEnabled());

    // A file alone: neither, and no revision shown.
    set("a.c", std::nullopt);
    EXPECT_FALSE(pull->isEnabled());
    EXPECT_FALSE(rollback->isEnabled());
    EXPECT_TRUE(detail()->showsSplit());
    EXPECT_TRUE(detail()->revisionList()->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_FALSE(detail()->revisionDetail()->showsRevision());
    EXPECT_EQ(detail()->revisionDetail()->placeholder()->text(), "(select a revision)");

    // Both, even when the revision is not one of the file's.
    set("a.c", 2);
    EXPECT_TRUE(pull->isEnabled());
    EXPECT_TRUE(rollback->isEnabled());
    EXPECT_FALSE(detail()->revisionDetail()->showsRevision());

    set("a.c", 1);
    EXPECT_TRUE(detail()->revisionDetail()->showsRevision());
}

TEST_F(HistoryFixture, HeaderAndRevisionDetailDescribeTheSelectedFile)
{
    QList<LogEntry> log = sampleLog();
    log[0].message = "First line\nsecond line\nthird line";
    open({svnProject}, log);
    state->setSelectedHistoryPath("a.c");
    state->setSelectedRevision(3);
    state->setHistoryDiffText(QByteArray());
    settle(*state);
    EXPECT_EQ(detail()->titleLabel()->text(), "a.c");
    EXPECT_EQ(detail()->subtitleLabel()->text(), "2 revisions");
    EXPECT_EQ(detail()->titleLabel()->font().pixelSize(), 13);

    const QAbstractItemModel &revisions = *detail()->model();
    ASSERT_EQ(revisions.rowCount(), 2);
    const RevisionRow newest = revisionRow(revisions, 0);
    EXPECT_EQ(newest.action, "M");
    EXPECT_EQ(newest.revision, "r3");
    EXPECT_EQ(newest.author, "unknown");
    EXPECT_TRUE(newest.pathCount.isEmpty());
    EXPECT_EQ(revisionRow(revisions, 1).action, "A");

    HistoryRevisionDetailView *lower = detail()->revisionDetail();
    ASSERT_TRUE(lower->showsRevision());
    EXPECT_EQ(lower->header()->revisionLabel()->text(), "r3");
    EXPECT_EQ(lower->header()->authorLabel()->text(), "unknown");
    EXPECT_TRUE(lower->header()->dateLabel()->isHidden());
    // Two lines at most, the rest behind an ellipsis; copying everything shown copies the whole text.
    EXPECT_EQ(lower->summaryLabel()->fullText(), "First line\nsecond line\nthird line");
    EXPECT_EQ(lower->summaryLabel()->text().count(u'\n'), 1);
    EXPECT_TRUE(lower->summaryLabel()->text().endsWith(QChar(0x2026)));
    EXPECT_FALSE(lower->pathRow()->isHidden());
    EXPECT_EQ(lower->pathBadge()->action(), "M");
    EXPECT_EQ(lower->pathLabel()->fullText(), "a.c");
    EXPECT_EQ(lower->diffView()->plainTextView()->toPlainText(), "(no text diff)");

    // A long path keeps its start and its file name.
    const QString longPath = "src/" + QString("very/").repeated(40) + "deep.c";
    state->setLogEntries({logEntry(7, "x", "Deep", {{"A", "/" + longPath, "file"}})});
    state->setSelectedHistoryPath(longPath);
    state->setSelectedRevision(7);
    settle(*state);
    EXPECT_TRUE(detail()->titleLabel()->elidedText().startsWith("src/very/"));
    EXPECT_TRUE(detail()->titleLabel()->elidedText().endsWith("deep.c"));
    EXPECT_TRUE(lower->pathLabel()->text().startsWith("src/very/"));
    EXPECT_TRUE(lower->pathLabel()->text().endsWith("deep.c"));
    EXPECT_EQ(lower->pathLabel()->text().count(u'\n'), 0);
}

TEST_F(HistoryFixture, ChoosingAFileRepicksTheRevisionAndEachListCallsOncePerChange)
{
    open({svnProject}, sampleLog());
    // The split's first showing calls nothing.
    state->setSelectedHistoryPath("a.c");
    state->setSelectedRevision(3);
    settle(*state);
    fakes.svn->calls.clear();
    ASSERT_TRUE(detail()->showsSplit());

    // The state re-picks the revision; the revision list's handler fires for the new value.
    clickRow(files()->list(), 1);
    settle(*state);
    EXPECT_EQ(state->selectedHistoryPath(), "b.c");
    EXPECT_EQ(state->selectedRevision(), 2);
    EXPECT_EQ(diffLoads(), 2);

    // Choosing the row already chosen calls nothing.
    clickRow(files()->list(), 1);
    settle(*state);
    EXPECT_EQ(diffLoads(), 2);

    // The same revision set again calls nothing; a click on another revision once.
    state->setSelectedHistoryPath("a.c");
    settle(*state);
    EXPECT_EQ(state->selectedRevision(), 3);
    const int afterFile = diffLoads();
    state->setSelectedRevision(3);
    settle(*state);
    EXPECT_EQ(diffLoads(), afterFile);
    clickRow(detail()->revisionList(), 1);
    settle(*state);
    EXPECT_EQ(state->selectedRevision(), 1);
    EXPECT_EQ(diffLoads(), afterFile + 1);
    clickRow(detail()->revisionList(), 1);
    settle(*state);
    EXPECT_EQ(diffLoads(), afterFile + 1);

    // A file whose revisions hold the selected one keeps it: only the file list's call.
    state->setLogEntries({logEntry(3, "x", "Both", {{"M", "/a.c", "file"}, {"M", "/c.c", "file"}}),
        logEntry(1, "x", "Start", {{"A", "/a.c", "file"}})});
    state->setSelectedRevision(3);
    settle(*state);
    const int beforeKeep = diffLoads();
    state->setSelectedHistoryPath("c.c");
    settle(*state);
    EXPECT_EQ(state->selectedRevision(), 3);
    EXPECT_EQ(diffLoads(), beforeKeep + 1);
}

TEST_F(HistoryFixture, PanesKeepTheirSizes)
{
    open({svnProject}, sampleLog());
    state->setSelectedHistoryPath("a.c");
    settle(*state);
    EXPECT_EQ(files()->minimumWidth(), 280);
    EXPECT_EQ(files()->maximumWidth(), 540);
    EXPECT_EQ(detail()->minimumWidth(), 420);
    EXPECT_EQ(view->split()->sizes().value(0), 380);
    SplitPane *vertical = detail()->split();
    EXPECT_EQ(vertical->orientation(), Qt::Vertical);
    EXPECT_EQ(vertical->sizes().value(0), 240);
    EXPECT_EQ(detail()->revisionList()->minimumHeight(), 170);
    EXPECT_EQ(detail()->revisionDetail()->minimumHeight(), 170);
}

TEST_F(HistoryFixture, ButtonsCallTheirActions)
{
    open({svnProject}, sampleLog());
    state->setSelectedHistoryPath("a.c");
    state->setSelectedRevision(3);
    settle(*state);
    detail()->pullFileButton()->click();
    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].title, "Pull File");
    detail()->rollbackButton()->click();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].first, "Rollback Revision");

    state->setSelectedTab(WorkflowTab::changes);
    files()->refreshButton()->click();
    EXPECT_EQ(state->selectedTab(), WorkflowTab::history);
    settle(*state);
    EXPECT_GT(svnRuns("log"), 0);
}
