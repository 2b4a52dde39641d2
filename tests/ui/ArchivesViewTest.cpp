// The Archives tab over a real AppState with fake tools: titles and subtitles by kind and count, the
// entry detail, the path list (repeated rows, copying) and Create Zip.
#include "WorkflowTestSupport.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/workflow/ArchivesView.h"
#include "ui/workflow/RevisionHeaderRow.h"

#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {

struct ArchivesFixture : UiFixture {
    std::unique_ptr<ArchivesView> view;

    void open(const QList<Project> &projects)
    {
        makeState(projects);
        state->setSelectedTab(WorkflowTab::archives);
        view = std::make_unique<ArchivesView>(*state);
        showView(*view, *state);
    }

    ArchiveEntryListView *list() const { return view->listView(); }
    ArchiveEntryDetailView *detail() const { return view->detailView(); }

    void expectNoSelection() const
    {
        EXPECT_EQ(detail()->titleLabel()->text(), "Archive");
        EXPECT_EQ(detail()->subtitleLabel()->text(), "Select a revision or commit");
        EXPECT_FALSE(detail()->createZipButton()->isEnabled());
        EXPECT_FALSE(detail()->showsEntry());
        EXPECT_EQ(detail()->placeholder()->text(), "(select a revision or commit)");
    }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

} // namespace

TEST_F(ArchivesFixture, TitlesCountRevisionsOrCommitsByTheProjectsKind)
{
    open({svnProject, gitProject});
    EXPECT_EQ(list()->titleLabel()->fullText(), "0 Revisions");
    EXPECT_FALSE(list()->showsList());
    EXPECT_EQ(list()->emptyState()->textLabel()->fullText(), "No Archives");
    EXPECT_EQ(list()->emptyState()->symbolName(), "archivebox");
    EXPECT_EQ(list()->refreshButton()->toolTip(), "Refresh Archives");
    expectNoSelection();

    state->setArchiveEntries({logEntry(4, "ann", "One", pathChanges(1))});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "1 Revision");
    EXPECT_TRUE(list()->showsList());

    // The words follow the project, not the entries.
    state->setSelectedProjectID(gitProject.id);
    state->setArchiveEntries({logEntry(4, "ann", "One", pathChanges(1))});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "1 Commit");
    state->setArchiveEntries({logEntry(5, "a", "x", {}, std::nullopt, "abcdef0123"), logEntry(4, "a", "y", {})});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "2 Commits");
    state->setArchiveEntries({});
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "0 Commits");
    state->setSelectedProjectID(std::nullopt);
    settle(*state);
    EXPECT_EQ(list()->titleLabel()->fullText(), "0 Revisions");
}

TEST_F(ArchivesFixture, DetailDescribesTheSelectedEntry)
{
    open({gitProject});
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 15), Qt::UTC);
    state->setArchiveEntries({logEntry(9, "", "One\ntwo\nthree\nfour", {{"A", "/lib/util.js", {}}}, when, "a00edc1f99"),
        logEntry(8, "bo", " ", {})});
    state->setSelectedArchiveEntryID(9);
    settle(*state);

    EXPECT_EQ(detail()->titleLabel()->text(), "a00edc1");
    EXPECT_EQ(detail()->subtitleLabel()->text(), "1 path in this commit");
    EXPECT_TRUE(detail()->createZipButton()->isEnabled());
    ASSERT_TRUE(detail()->showsEntry());
    RevisionHeaderRow *header = detail()->header();
    EXPECT_EQ(header->revisionLabel()->text(), "a00edc1");
    EXPECT_EQ(header->authorLabel()->text(), "unknown");
    EXPECT_FALSE(header->dateLabel()->isHidden());
    EXPECT_FALSE(header->dateLabel()->text().isEmpty());
    // At most three lines.
    EXPECT_EQ(detail()->summaryLabel()->text().count(u'\n'), 2);
    EXPECT_TRUE(detail()->summaryLabel()->text().endsWith(QChar(0x2026)));
    ASSERT_TRUE(detail()->showsPaths());
    EXPECT_EQ(detail()->pathList()->model()->rowCount(), 1);

    const RevisionRow row = revisionRow(*list()->model(), 0);
    EXPECT_EQ(row.revision, "a00edc1");
    EXPECT_EQ(row.author, "unknown");
    EXPECT_EQ(row.pathCount, "1 path");

    state->setSelectedArchiveEntryID(8);
    settle(*state);
    EXPECT_EQ(detail()->subtitleLabel()->text(), "0 paths in this commit");
    EXPECT_EQ(detail()->summaryLabel()->fullText(), "(no message)");
    EXPECT_TRUE(header->dateLabel()->isHidden());
    EXPECT_FALSE(detail()->showsPaths());
    EXPECT_EQ(detail()->noPathsPlaceholder()->text(), "(no changed paths listed)");

    // An id that no entry has counts as no selection.
    state->setSelectedArchiveEntryID(77);
    settle(*state);
    expectNoSelection();
    EXPECT_TRUE(list()->list()->selectionModel()->selectedIndexes().isEmpty());
}

TEST_F(ArchivesFixture, SubtitleSaysRevisionForSubversion)
{
    open({svnProject});
    state->setArchiveEntries({logEntry(5, "a", "x", pathChanges(5)), logEntry(4, "a", "y", {})});
    state->setSelectedArchiveEntryID(5);
    settle(*state);
    EXPECT_EQ(detail()->titleLabel()->text(), "r5");
    EXPECT_EQ(detail()->subtitleLabel()->text(), "5 paths in this revision");
    state->setSelectedArchiveEntryID(4);
    settle(*state);
    EXPECT_EQ(detail()->subtitleLabel()->text(), "0 paths in this revision");
}

TEST_F(ArchivesFixture, RepeatedPathsAllShowAndCanBeCopied)
{
    open({svnProject});
    const QString longPath = "/trunk/" + QString("nested/").repeated(30) + "file.c";
    state->setArchiveEntries(
        {logEntry(3, "a", "x", {{"M", "/trunk/a.c", "file"}, {"M", "/trunk/a.c", "file"}, {"", longPath, "file"}})});
    state->setSelectedArchiveEntryID(3);
    settle(*state);
    ChangedPathList *paths = detail()->pathList();
    ASSERT_EQ(paths->model()->rowCount(), 3);
    EXPECT_EQ(paths->model()->index(0, 0).data().toString(), "/trunk/a.c");
    EXPECT_EQ(paths->model()->index(1, 0).data().toString(), "/trunk/a.c");

    // Ctrl+C copies the selected row's whole path.
    QApplication::clipboard()->clear();
    clickRow(paths, 2);
    QTest::keyClick(paths, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), longPath);

    // "Copy Path" on the row under the pointer, which a right click does not select.
    QString offered;
    QTimer::singleShot(0, [&offered] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                offered += action->text();
            menu->actions().first()->trigger();
            menu->close();
        }
    });
    const QPoint point = paths->visualRect(paths->model()->index(0, 0)).center();
    QTest::mouseClick(paths->viewport(), Qt::RightButton, {}, point);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, point, paths->viewport()->mapToGlobal(point));
    QApplication::sendEvent(paths->viewport(), &menuEvent);
    EXPECT_EQ(offered, "Copy Path");
    EXPECT_EQ(QApplication::clipboard()->text(), "/trunk/a.c");
    EXPECT_EQ(paths->selectionModel()->selectedIndexes().first().row(), 2);

    // Choosing an entry loads nothing and shows no busy message.
    const qsizetype runs = fakes.svn->calls.size();
    state->setArchiveEntries({logEntry(3, "a", "x", {}), logEntry(2, "a", "y", {})});
    settle(*state);
    clickRow(list()->list(), 1);
    EXPECT_EQ(state->selectedArchiveEntryID(), 2);
    EXPECT_FALSE(state->busyMessage().has_value());
    settle(*state);
    EXPECT_EQ(fakes.svn->calls.size(), runs);
}

TEST_F(ArchivesFixture, CreateZipAsksForTheDestinationOfTheSelectedEntry)
{
    open({svnProject});
    EXPECT_EQ(detail()->createZipButton()->text(), "Create Zip");
    EXPECT_EQ(detail()->createZipButton()->toolTip(), "Create Zip Archive");
    state->setArchiveEntries({logEntry(3, "a", "x", {})});
    state->setSelectedArchiveEntryID(3);
    settle(*state);
    detail()->createZipButton()->click();
    ASSERT_EQ(dialogs.savePanels.size(), 1);
    EXPECT_EQ(dialogs.savePanels[0].title, "Create Archive Zip");

    state->setSelectedTab(WorkflowTab::changes);
    list()->refreshButton()->click();
    EXPECT_EQ(state->selectedTab(), WorkflowTab::archives);
    settle(*state);
    EXPECT_GT(svnRuns("log"), 0);
}
