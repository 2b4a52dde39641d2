// The Incoming tab over a real AppState with fake tools: placeholder by kind, header texts by count,
// rows, the path strip and the list's change handler.
#include "WorkflowTestSupport.h"

#include "ui/diff/DiffView.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/workflow/IncomingView.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/WorkflowListView.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

struct IncomingFixture : UiFixture {
    std::unique_ptr<IncomingView> view;

    void open(const QList<Project> &projects)
    {
        makeState(projects);
        state->setSelectedTab(WorkflowTab::incoming);
        view = std::make_unique<IncomingView>(*state);
        showView(*view, *state);
    }

    IncomingRevisionListView *list() const { return view->listView(); }
    IncomingRevisionDetailView *detail() const { return view->detailView(); }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

} // namespace

TEST_F(IncomingFixture, GitAndNoProjectShowOnlyThePlaceholder)
{
    open({gitProject, svnProject});
    EXPECT_FALSE(view->showsSplit());
    EXPECT_EQ(view->placeholder()->symbolName(), "arrow.down.circle");
    EXPECT_EQ(view->placeholder()->textLabel()->text(), "SVN Incoming Only");
    EXPECT_TRUE(view->placeholder()->isVisible());
    EXPECT_FALSE(list()->refreshButton()->isVisible());

    // Entries of a Git project (there are none, but the handler stays detached either way).
    state->setIncomingEntries({logEntry(5, "ann", "x", {})});
    state->setSelectedIncomingRevision(5);
    settle(*state);
    EXPECT_EQ(svnRuns("diff"), 0);

    state->setSelectedProjectID(svnProject.id);
    settle(*state);
    EXPECT_TRUE(view->showsSplit());
    EXPECT_TRUE(list()->refreshButton()->isVisible());
    EXPECT_EQ(list()->refreshButton()->text(), "Refresh");
    EXPECT_EQ(list()->refreshButton()->toolTip(), "Refresh Incoming Changes");

    state->setSelectedProjectID(std::nullopt);
    settle(*state);
    EXPECT_FALSE(view->showsSplit());
}

TEST_F(IncomingFixture, TitleAndSubtitleFollowTheCountsAndTheRange)
{
    open({svnProject});
    EXPECT_EQ(list()->titleLabel()->fullText(), "0 Incoming");
    EXPECT_FALSE(list()->showsList());
    EXPECT_EQ(list()->emptyState()->textLabel()->text(), "No Incoming Changes");
    EXPECT_EQ(list()->emptyState()->symbolName(), "checkmark.circle");
    EXPECT_TRUE(list()->subtitleLabel()->isHidden());
    EXPECT_EQ(detail()->placeholder()->text(), "(select an incoming revision)");
    EXPECT_FALSE(detail()->showsEntry());

    // Out-of-date paths without a range are never shown.
    state->setIncomingOutdatedItems({WorkingCopyItem{"a.c"}, WorkingCopyItem{"b.c"}});
    settle(*state);
    EXPECT_TRUE(list()->subtitleLabel()->isHidden());

    // The range shows with an empty list.
    state->setIncomingBaseRevision(3);
    state->setIncomingHeadRevision(9);
    settle(*state);
    EXPECT_FALSE(list()->subtitleLabel()->isHidden());
    EXPECT_EQ(list()->subtitleLabel()->fullText(), "r3 to r9, 2 paths");
    state->setIncomingOutdatedItems({WorkingCopyItem{"a.c"}});
    settle(*state);
    EXPECT_EQ(list()->subtitleLabel()->fullText(), "r3 to r9, 1 path");
    state->setIncomingOutdatedItems({});
    settle(*state);
    EXPECT_EQ(list()->subtitleLabel()->fullText(), "r3 to r9");

    state->setIncomingEntries({logEntry(4, "ann", "One", pathChanges(1))});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "1 Incoming");
    EXPECT_TRUE(list()->showsList());
    state->setIncomingEntries(
        {logEntry(12, "", "", {}), logEntry(11, "bo", "B", pathChanges(3)), logEntry(10, "  ", "C", pathChanges(1))});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "3 Incoming");
}

TEST_F(IncomingFixture, RowsShowRevisionAuthorPathCountDateAndSummary)
{
    open({svnProject});
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 30), Qt::UTC);
    state->setIncomingEntries({logEntry(12, "", "  \n ", {}), logEntry(11, "bo", "Fix it\n", pathChanges(1), when),
        logEntry(10, "  ", "Many", pathChanges(12))});
    settle(*state);

    const QAbstractItemModel &model = *list()->model();
    ASSERT_EQ(model.rowCount(), 3);
    const RevisionRow blank = revisionRow(model, 0);
    EXPECT_EQ(blank.revision, "r12");
    EXPECT_EQ(blank.author, "unknown");
    EXPECT_EQ(blank.pathCount, "0 paths");
    EXPECT_EQ(blank.summary, "(no message)");
    EXPECT_FALSE(blank.date.has_value());
    EXPECT_FALSE(blank.action.has_value());
    const RevisionRow dated = revisionRow(model, 1);
    EXPECT_EQ(dated.pathCount, "1 path");
    EXPECT_EQ(dated.summary, "Fix it");
    EXPECT_EQ(dated.date, when);
    // Spaces are an author like any other.
    EXPECT_EQ(revisionRow(model, 2).author, "  ");
    EXPECT_EQ(revisionRow(model, 2).pathCount, "12 paths");

    // A one-line summary gives a shorter row than a two-line one.
    state->setIncomingEntries({logEntry(2, "a", "Short", {}), logEntry(1, "a", "First line\nSecond line", {})});
    settle(*state);
    EXPECT_LT(
        list()->list()->visualRect(model.index(0, 0)).height(), list()->list()->visualRect(model.index(1, 0)).height());
}

TEST_F(IncomingFixture, DetailShowsTheSelectedRevisionWithTheFirstEightPaths)
{
    open({svnProject});
    QList<SVNPathChange> twice = {{"M", "/trunk/a.c", "file"}, {"M", "/trunk/a.c", "file"}, {"", "/trunk/b", {}}};
    state->setIncomingEntries(
        {logEntry(20, "", "Twenty\nlines", pathChanges(20)), logEntry(9, "x", "Nine", pathChanges(9)),
            logEntry(8, "x", "Eight", pathChanges(8)), logEntry(7, "x", "None", {}), logEntry(6, "x", "Twice", twice)});
    state->setIncomingDiffText(QByteArray());

    const auto select = [this](qint64 revision) {
        state->setSelectedIncomingRevision(revision);
        settle(*state);
    };
    select(20);
    ASSERT_TRUE(detail()->showsEntry());
    EXPECT_EQ(detail()->header()->revisionLabel()->text(), "r20");
    EXPECT_EQ(detail()->header()->authorLabel()->text(), "unknown");
    EXPECT_TRUE(detail()->header()->dateLabel()->isHidden());
    EXPECT_EQ(detail()->summaryLabel()->fullText(), "Twenty\nlines");
    EXPECT_TRUE(detail()->summaryLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    PathStrip *strip = detail()->pathStrip();
    EXPECT_EQ(strip->shownChanges(), pathChanges(20).mid(0, 8));
    EXPECT_EQ(strip->moreText(), "+12");
    EXPECT_EQ(strip->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(strip->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(strip->widget()->findChildren<ActionBadge *>().size(), 8);
    // No diff yet: the diff view's placeholder.
    EXPECT_FALSE(detail()->diffView()->showsCards());
    EXPECT_EQ(detail()->diffView()->plainTextView()->toPlainText(), "(no text diff)");

    select(9);
    EXPECT_EQ(strip->shownChanges().size(), 8);
    EXPECT_EQ(strip->moreText(), "+1");
    select(8);
    EXPECT_EQ(strip->shownChanges().size(), 8);
    EXPECT_EQ(strip->moreText(), "");
    select(7);
    EXPECT_TRUE(strip->shownChanges().isEmpty());
    EXPECT_EQ(strip->moreText(), "");
    EXPECT_TRUE(strip->widget()->findChildren<ActionBadge *>().isEmpty());

    // Repeated action and path: both items, by position; an empty action shows "?".
    select(6);
    const QList<ActionBadge *> badges = strip->widget()->findChildren<ActionBadge *>();
    ASSERT_EQ(badges.size(), 3);
    EXPECT_EQ(actionBadgeText(badges[2]->action()), "?");
    QStringList paths;
    for (QLabel *label : strip->widget()->findChildren<QLabel *>())
        paths << label->text();
    EXPECT_EQ(paths, QStringList({"/trunk/a.c", "/trunk/a.c", "/trunk/b"}));

    state->setIncomingDiffText("Index: a.c\n===\n--- a.c\n+++ a.c\n@@ -1 +1 @@\n-x\n+y\n");
    settle(*state);
    EXPECT_TRUE(detail()->diffView()->showsCards());

    // A selection that is not listed shows the placeholder.
    select(99);
    EXPECT_FALSE(detail()->showsEntry());
}

TEST_F(IncomingFixture, ThePathStripScrollsSidewaysWithTheWheel)
{
    open({svnProject});
    QList<SVNPathChange> longPaths;
    for (int i = 0; i < 8; ++i)
        longPaths.push_back(
            {"A", "/trunk/a/rather/long/path/to/some/deeply/nested/file" + QString::number(i) + ".c", {}});
    state->setIncomingEntries({logEntry(3, "x", "Wide", longPaths)});
    state->setSelectedIncomingRevision(3);
    settle(*state);
    PathStrip *strip = detail()->pathStrip();
    QScrollBar *bar = strip->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    const QPoint centre = strip->viewport()->rect().center();
    QWheelEvent wheel(centre, strip->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip->viewport(), &wheel);
    EXPECT_GT(bar->value(), 0);
}

TEST_F(IncomingFixture, TheListCallsTheHandlerOncePerRealChangeAfterItIsShown)
{
    makeState({svnProject});
    state->setSelectedTab(WorkflowTab::incoming);
    state->setIncomingEntries(
        {logEntry(3, "x", "Three", {}), logEntry(2, "x", "Two", {}), logEntry(1, "x", "One", {})});
    state->setSelectedIncomingRevision(3);
    view = std::make_unique<IncomingView>(*state);
    showView(*view, *state);
    // The value that stands when the list is first shown calls nothing.
    EXPECT_EQ(svnRuns("diff"), 0);
    WorkflowListView *rows = list()->list();
    ASSERT_EQ(rows->selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(rows->selectionModel()->selectedIndexes().first().row(), 0);

    clickRow(rows, 1);
    settle(*state);
    EXPECT_EQ(state->selectedIncomingRevision(), 2);
    EXPECT_EQ(svnRuns("diff"), 1);
    EXPECT_EQ(fakes.svn->calls.last().arguments.mid(0, 3), QStringList({"diff", "-c", "2"}));

    // The selected row again: nothing.
    clickRow(rows, 1);
    settle(*state);
    EXPECT_EQ(svnRuns("diff"), 1);

    // A change the state makes counts as well; setting the same value again does not.
    state->setSelectedIncomingRevision(1);
    settle(*state);
    EXPECT_EQ(svnRuns("diff"), 2);
    EXPECT_EQ(rows->selectionModel()->selectedIndexes().first().row(), 2);
    state->setSelectedIncomingRevision(1);
    settle(*state);
    EXPECT_EQ(svnRuns("diff"), 2);

    // Keyboard navigation is a change like a click.
    rows->setFocus();
    QTest::keyClick(rows, Qt::Key_Up);
    settle(*state);
    EXPECT_EQ(state->selectedIncomingRevision(), 2);
    EXPECT_EQ(svnRuns("diff"), 3);

    // While another tab shows, changes call nothing, and coming back does not count as a change.
    state->setSelectedTab(WorkflowTab::history);
    settle(*state);
    state->setSelectedIncomingRevision(3);
    settle(*state);
    state->setSelectedTab(WorkflowTab::incoming);
    settle(*state);
    EXPECT_EQ(svnRuns("diff"), 3);
}

// A long list is shown as the state holds it and finds a revision's row by a search of the revisions
// when they come newest first, by a table otherwise; either way the selection follows the state's.
TEST_F(IncomingFixture, ALongListFindsTheSelectedRevisionInEitherOrder)
{
    for (const bool newestFirst : {true, false}) {
        SCOPED_TRACE(newestFirst);
        open({svnProject});
        QList<LogEntry> entries;
        for (qint64 revision = 1000; revision > 400; --revision)
            entries.push_back(logEntry(revision, "x", "Change", {}));
        if (!newestFirst)
            std::swap(entries[10], entries[11]);
        state->setIncomingEntries(entries);
        state->setSelectedIncomingRevision(700);
        settle(*state);
        WorkflowListView *rows = list()->list();
        EXPECT_EQ(list()->model()->items().constData(), state->incomingEntries().constData());
        // So long a list needs its scroll bar: it is on from the start.
        EXPECT_EQ(rows->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        ASSERT_EQ(rows->selectionModel()->selectedIndexes().size(), 1);
        EXPECT_EQ(rows->selectionModel()->selectedIndexes().first().row(), 300);
        EXPECT_EQ(list()->model()->rowOf(1000), 0);
        EXPECT_EQ(list()->model()->rowOf(400), -1);

        // A reload with a newer revision keeps the selection on its revision.
        entries.prepend(logEntry(1001, "x", "Newer", {}));
        state->setIncomingEntries(entries);
        settle(*state);
        EXPECT_EQ(rows->selectionModel()->selectedIndexes().first().row(), 301);
        EXPECT_EQ(list()->model()->rowOf(1001), 0);

        state->setIncomingEntries(entries.mid(0, 3));
        settle(*state);
        EXPECT_EQ(rows->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        view.reset();
    }
}

TEST_F(IncomingFixture, RefreshReloadsTheIncomingChanges)
{
    open({svnProject});
    state->setSelectedTab(WorkflowTab::changes);
    list()->refreshButton()->click();
    EXPECT_EQ(state->selectedTab(), WorkflowTab::incoming);
    settle(*state);
    EXPECT_GT(svnRuns("status"), 0);
}
