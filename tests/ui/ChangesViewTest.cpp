// The Changes tab over fake tools: the list's selection, check boxes and context menu with exact call
// counts, identical refreshes, the commit panel's button rule and editor, and Ctrl+Return.
#include "ModalAnswers.h"
#include "UiFixture.h"
#include "support/TestSupport.h"

#include "ui/changes/ChangeListView.h"
#include "ui/changes/ChangeRowDelegate.h"
#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PlainTextEditor.h"
#include "ui/kit/Theme.h"
#include "ui/window/CommandOutputView.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/MainWindow.h"
#include "ui/window/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

namespace {

QString statusXml(const QStringList &modifiedPaths)
{
    QString xml = R"(<?xml version="1.0"?><status><target path=".">)";
    for (const QString &path : modifiedPaths)
        xml += QStringLiteral("<entry path=\"%1\"><wc-status item=\"modified\" props=\"none\" revision=\"1\"/></entry>")
                   .arg(path);
    return xml + "</target></status>";
}

WorkingCopyItem modified(const QString &path)
{
    return WorkingCopyItem{path, SVNStatusKind::modified};
}

struct ChangesFixture : UiFixture {
    Project project{QUuid::createUuid(), "Alpha", QString(), RepositoryKind::svn};
    // What `svn status` lists; `svn diff` prints a two-line diff of the path.
    QStringList listed;
    std::unique_ptr<ChangesView> view;

    void SetUp() override
    {
        project.path = dir.filePath("wc");
        QDir().mkpath(project.path);
        makeState({project});
        fakes.svn->responder = [this](const FakeCall &call) {
            const QString command = call.arguments.value(0);
            if (command == "status")
                return okResult(statusXml(listed));
            if (command == "diff")
                return okResult("Index: " + call.arguments.last() + "\n===\n--- a\n+++ b\n@@ -1 +1 @@\n-x\n+y\n");
            return okResult(QString());
        };
    }

    void open()
    {
        view = std::make_unique<ChangesView>(*state);
        view->resize(1100, 700);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        settle(*state);
    }

    void list(const QStringList &paths, const std::optional<QString> &selected = std::nullopt)
    {
        listed = paths;
        QList<WorkingCopyItem> items;
        for (const QString &path : paths)
            items.push_back(modified(path));
        state->setChanges(items);
        state->setSelectedChangeID(selected);
        settle(*state);
    }

    ChangeRowsView *rows() const { return view->listView()->list(); }
    QModelIndex index(int row) const { return rows()->model()->index(row, 0); }
    QPoint rowPoint(int row) const { return rows()->visualRect(index(row)).center() + QPoint(60, 0); }
    QPoint boxPoint(int row) const { return rows()->checkRect(index(row)).center(); }
    QWidget *viewport() const { return rows()->viewport(); }

    // The view's change handler is the only caller of selectedChangeChanged() here, and each call with
    // a selected change runs one `svn diff`.
    int diffRuns() const { return svnRuns("diff"); }

    QStringList selectedRows() const
    {
        QStringList paths;
        for (const QModelIndex &selected : rows()->selectionModel()->selectedIndexes())
            paths << selected.data().toString();
        return paths;
    }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &point, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, point, target->mapToGlobal(point), button,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST_F(ChangesFixture, CountsReadPlainDecimalAndAnEmptyListShowsTheEmptyState)
{
    open();
    EXPECT_EQ(view->listView()->titleLabel()->text(), "0 Changed");
    EXPECT_FALSE(view->listView()->showsList());
    EXPECT_TRUE(view->listView()->emptyState()->isVisible());
    EXPECT_EQ(view->listView()->emptyState()->symbolName(), "checkmark.circle");
    EXPECT_EQ(view->listView()->emptyState()->textLabel()->fullText(), "No Changes");
    EXPECT_EQ(view->commitPanel()->countLabel()->text(), "0 Selected");
    EXPECT_EQ(view->previewView()->titleLabel()->text(), "Preview");
    EXPECT_EQ(view->previewView()->diffView()->plainTextView()->toPlainText(), "(select a changed file)");
    state->setProjectFolderProblem("The project folder /work/alpha does not exist.");
    settle(*state);
    EXPECT_EQ(view->listView()->emptyState()->symbolName(), "folder");
    EXPECT_EQ(
        view->listView()->emptyState()->textLabel()->fullText(), "The project folder /work/alpha does not exist.");
    state->setProjectFolderProblem(std::nullopt);

    list({"a"});
    EXPECT_EQ(view->listView()->titleLabel()->text(), "1 Changed");
    state->setSelectedCommitPaths({"a"});
    settle(*state);
    EXPECT_EQ(view->commitPanel()->countLabel()->text(), "1 Selected");

    QStringList many;
    QSet<QString> ticked;
    for (int i = 0; i < 12345; ++i) {
        many << QStringLiteral("f%1").arg(i, 5, 10, QLatin1Char('0'));
        ticked.insert(many.last());
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    list(many);
    state->setSelectedCommitPaths(ticked);
    settle(*state);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(view->listView()->titleLabel()->text(), "12345 Changed");
    EXPECT_EQ(view->commitPanel()->countLabel()->text(), "12345 Selected");
}

TEST_F(ChangesFixture, ClickingAndKeyboardCallTheHandlerOncePerRealChange)
{
    list({"a", "b", "c"}, "a");
    open();
    // The value that stands when the list is first shown makes no call.
    EXPECT_EQ(selectedRows(), QStringList{"a"});
    EXPECT_EQ(diffRuns(), 0);

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowPoint(1));
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), "b");
    EXPECT_EQ(diffRuns(), 1);
    EXPECT_EQ(view->previewView()->titleLabel()->text(), "b");
    EXPECT_TRUE(view->previewView()->diffView()->showsCards());

    // The selected row again: nothing.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowPoint(1));
    settle(*state);
    EXPECT_EQ(diffRuns(), 1);

    QTest::keyClick(rows(), Qt::Key_Down);
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), "c");
    EXPECT_EQ(diffRuns(), 2);

    // Ctrl+click clears the selection: the handler runs once and the preview falls back.
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(2));
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), std::nullopt);
    EXPECT_TRUE(selectedRows().isEmpty());
    EXPECT_EQ(state->diffText(), "");
    EXPECT_EQ(view->previewView()->titleLabel()->text(), "Preview");
    EXPECT_EQ(view->previewView()->diffView()->plainTextView()->toPlainText(), "(select a changed file)");

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowPoint(0));
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), "a");
    EXPECT_EQ(diffRuns(), 3);

    // A click below the last row clears it too.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(100, viewport()->height() - 5));
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), std::nullopt);
    EXPECT_EQ(diffRuns(), 3);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(100, viewport()->height() - 5));
    settle(*state);
    EXPECT_EQ(state->selectedChangeID(), std::nullopt);
    EXPECT_EQ(diffRuns(), 3);
}

TEST_F(ChangesFixture, ReloadsAndHiddenTabsFollowTheHandlerRules)
{
    list({"a", "b"}, "a");
    open();

    // A reload that re-picks another change: one call for the new value.
    state->setSelectedChangeID("b");
    settle(*state);
    EXPECT_EQ(diffRuns(), 1);

    // While the tab is hidden nothing is called, and showing it again makes no call either.
    view->hide();
    state->setSelectedChangeID("a");
    settle(*state);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    settle(*state);
    EXPECT_EQ(diffRuns(), 1);
    EXPECT_EQ(selectedRows(), QStringList{"a"});

    // The empty state drops the handler; the list that returns makes no call for the standing value.
    list({});
    EXPECT_FALSE(view->listView()->showsList());
    list({"x", "y"}, "y");
    EXPECT_TRUE(view->listView()->showsList());
    EXPECT_EQ(selectedRows(), QStringList{"y"});
    EXPECT_EQ(diffRuns(), 1);

    // A value that matches no row selects nothing.
    state->setSelectedChangeID("gone");
    settle(*state);
    EXPECT_TRUE(selectedRows().isEmpty());
    EXPECT_EQ(diffRuns(), 1);
}

TEST_F(ChangesFixture, CheckBoxesTickWithoutTouchingTheSelection)
{
    list({"a", "b", "c"}, "a");
    open();

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(1));
    settle(*state);
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>{"b"});
    EXPECT_EQ(state->selectedChangeID(), "a");
    EXPECT_EQ(selectedRows(), QStringList{"a"});
    EXPECT_EQ(index(1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_EQ(index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    // The selected row's own box unticks it without any call.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(0));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(0));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(1));
    settle(*state);
    EXPECT_TRUE(state->selectedCommitPaths().isEmpty());
    EXPECT_EQ(diffRuns(), 0);

    // A double-click on a box toggles once, whether the second press arrives before the double-click
    // event or not.
    for (const bool secondPress : {false, true}) {
        sendMouse(viewport(), QEvent::MouseButtonPress, boxPoint(2));
        sendMouse(viewport(), QEvent::MouseButtonRelease, boxPoint(2));
        if (secondPress)
            sendMouse(viewport(), QEvent::MouseButtonPress, boxPoint(2));
        sendMouse(viewport(), QEvent::MouseButtonDblClick, boxPoint(2));
        sendMouse(viewport(), QEvent::MouseButtonRelease, boxPoint(2));
        settle(*state);
        EXPECT_EQ(state->selectedCommitPaths().contains("c"), !secondPress);
    }

    // A press on a box that is released elsewhere, or dragged over rows, changes nothing.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, boxPoint(0));
    QTest::mouseMove(viewport(), rowPoint(2));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowPoint(2));
    settle(*state);
    EXPECT_TRUE(state->selectedCommitPaths().isEmpty());
    EXPECT_EQ(state->selectedChangeID(), "a");
    EXPECT_EQ(diffRuns(), 0);
}

TEST_F(ChangesFixture, RightClickThenEscapeSelectsNothingAndRunsNothing)
{
    list({"a", "b"}, "a");
    open();
    fakes.svn->calls.clear();

    QTest::mousePress(viewport(), Qt::RightButton, {}, rowPoint(1));
    QTest::mouseRelease(viewport(), Qt::RightButton, {}, rowPoint(1));
    EXPECT_EQ(selectedRows(), QStringList{"a"});

    QStringList shown;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction *action : menu->actions())
            shown << (action->isSeparator() ? "-" : action->text());
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    QContextMenuEvent request(QContextMenuEvent::Mouse, rowPoint(1), viewport()->mapToGlobal(rowPoint(1)));
    QApplication::sendEvent(viewport(), &request);
    settle(*state);

    EXPECT_EQ(shown, QStringList({"Revert Path", "-", "Ignore Path", "Include Path..."}));
    EXPECT_EQ(state->selectedChangeID(), "a");
    EXPECT_EQ(selectedRows(), QStringList{"a"});
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(dialogs.confirmations.isEmpty());
    EXPECT_FALSE(state->alert());
}

TEST_F(ChangesFixture, ContextActionsSelectTheirRowThenActOnItAlone)
{
    list({"a", "b", "c"}, "a");
    state->setSelectedCommitPaths({"a", "c"});
    open();
    ChangeListView *changes = view->listView();

    // Revert on an unselected row while two others are ticked: that row alone, after one handler call.
    dialogs.confirmAnswers.push_back(true);
    std::unique_ptr<QMenu> menu(changes->makeContextMenu(modified("b"), nullptr));
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    for (QAction *action : actions) {
        EXPECT_TRUE(action->isEnabled());
        EXPECT_TRUE(action->icon().isNull());
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    actions[0]->trigger();
    EXPECT_EQ(state->selectedChangeID(), "b");
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].second, "Revert 1 selected path(s)? Local changes will be discarded.");
    settle(*state);
    QList<QStringList> reverts;
    for (const FakeCall &call : fakes.svn->calls) {
        if (call.arguments.value(0) == "revert")
            reverts << call.arguments;
    }
    EXPECT_EQ(reverts, QList<QStringList>{QStringList({"revert", "b"})});
    EXPECT_EQ(selectedRows(), QStringList{"b"});
    // The view's call and the reload after the revert each load the diff once.
    int bDiffs = 0;
    for (const FakeCall &call : fakes.svn->calls)
        bDiffs += call.arguments == QStringList({"diff", "b"});
    EXPECT_EQ(bDiffs, 2);

    // Include Path... offers the row's path; cancelling runs nothing more.
    fakes.svn->calls.clear();
    menu.reset(changes->makeContextMenu(modified("c"), nullptr));
    menu->actions()[3]->trigger();
    settle(*state);
    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].title, "Include Ignored Path");
    EXPECT_EQ(dialogs.prompts[0].fields.value(0).value, "c");
    EXPECT_EQ(state->selectedChangeID(), "c");
    EXPECT_EQ(diffRuns(), 1);

    // Ignore Path writes that row's pattern only.
    fakes.svn->calls.clear();
    menu.reset(changes->makeContextMenu(modified("a"), nullptr));
    menu->actions()[2]->trigger();
    EXPECT_EQ(state->selectedChangeID(), "a");
    settle(*state);
    EXPECT_EQ(QString::fromUtf8(TestSupport::readFile(project.path + "/.korvelignore")), "/a\n");
    // The status reload hides the ignored path and re-picks the first listed change.
    EXPECT_EQ(view->listView()->model()->rowCount(), 2);
    EXPECT_EQ(state->selectedChangeID(), "b");
}

TEST_F(ChangesFixture, AnIdenticalRefreshKeepsRowsSelectionAndBothScrollPositions)
{
    QStringList paths;
    for (int i = 0; i < 300; ++i)
        paths << QStringLiteral("src/file%1.c").arg(i, 3, 10, QLatin1Char('0'));
    listed = paths;
    QString longDiff = "Index: src/file250.c\n===\n--- a\n+++ b\n@@ -1,400 +1,400 @@\n";
    for (int i = 0; i < 400; ++i)
        longDiff += QStringLiteral(" line %1\n").arg(i);
    fakes.svn->responder = [this, longDiff](const FakeCall &call) {
        const QString command = call.arguments.value(0);
        if (command == "status")
            return okResult(statusXml(listed));
        return okResult(command == "diff" ? longDiff : QString());
    };
    open();
    // The first load of the project; then the user picks a change far down the list.
    state->refreshAll();
    settle(*state);
    state->setSelectedChangeID("src/file250.c");
    settle(*state);
    ASSERT_EQ(state->diffText(), longDiff);

    rows()->scrollTo(index(250));
    const int listScroll = rows()->verticalScrollBar()->value();
    EXPECT_GT(listScroll, 0);
    QScrollBar *diffScroll = view->previewView()->diffView()->canvas()->verticalScrollBar();
    diffScroll->setValue(diffScroll->maximum() / 2);
    const int diffPosition = diffScroll->value();
    EXPECT_GT(diffPosition, 0);

    QSignalSpy resets(rows()->model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(rows()->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(rows()->model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changedRows(rows()->model(), &QAbstractItemModel::dataChanged);
    fakes.svn->calls.clear();

    // What every window activation does.
    state->refreshAll();
    settle(*state);
    EXPECT_EQ(svnRuns("status"), 1);
    // A fresh but equal list reaches the model too.
    view->listView()->model()->setItems(QList<WorkingCopyItem>(state->changes().begin(), state->changes().end()));

    EXPECT_EQ(resets.count() + inserted.count() + removed.count() + changedRows.count(), 0);
    EXPECT_EQ(rows()->verticalScrollBar()->value(), listScroll);
    EXPECT_EQ(selectedRows(), QStringList{"src/file250.c"});
    EXPECT_EQ(diffScroll->value(), diffPosition);
    EXPECT_EQ(diffRuns(), 1); // the reload's own diff load; the view adds none
    EXPECT_EQ(state->selectedCommitPaths().size(), paths.size());
}

TEST_F(ChangesFixture, TheCommitButtonFollowsTicksAndTheTrimmedMessage)
{
    EXPECT_FALSE(commitButtonEnabled({}, "message"));
    EXPECT_FALSE(commitButtonEnabled({"a"}, ""));
    EXPECT_FALSE(commitButtonEnabled({"a"}, QString::fromUtf16(u"\u00A0\u2028\t\n \u3000")));
    EXPECT_TRUE(commitButtonEnabled({"a"}, QString::fromUtf16(u"\u00A0x\n")));
    // Paths no longer listed still count; the action itself says "Nothing To Commit".
    EXPECT_TRUE(commitButtonEnabled({"gone"}, "x"));

    list({"a", "b"}, "a");
    open();
    CommitPanelView *panel = view->commitPanel();
    QPushButton *commit = panel->commitButton();
    EXPECT_FALSE(commit->isEnabled());
    EXPECT_TRUE(commit->toolTip().isEmpty());
    EXPECT_TRUE(commit->shortcut().isEmpty());
    EXPECT_EQ(commit->text(), "Commit");

    state->setCommitMessage("Fix the parser");
    settle(*state);
    EXPECT_FALSE(commit->isEnabled());
    QTest::mouseClick(commit, Qt::LeftButton);
    settle(*state);
    EXPECT_EQ(svnRuns("commit"), 0);
    EXPECT_FALSE(state->alert());

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(1));
    settle(*state);
    EXPECT_EQ(panel->countLabel()->text(), "1 Selected");
    ASSERT_TRUE(commit->isEnabled());
    QTest::mouseClick(commit, Qt::LeftButton);
    settle(*state);
    ASSERT_EQ(svnRuns("commit"), 1);
    for (const FakeCall &call : fakes.svn->calls) {
        if (call.arguments.value(0) == "commit") {
            EXPECT_TRUE(call.arguments.contains("Fix the parser"));
            EXPECT_TRUE(call.arguments.contains("b"));
            EXPECT_FALSE(call.arguments.contains("a"));
        }
    }
    // A successful commit empties the message, and the editor with it.
    EXPECT_EQ(state->commitMessage(), "");
    EXPECT_EQ(panel->editor()->toPlainText(), "");
    EXPECT_FALSE(commit->isEnabled());
}

TEST_F(ChangesFixture, TheEditorKeepsItsCursorUndoAndTypedCharacters)
{
    open();
    QPlainTextEdit *editor = view->commitPanel()->editor();
    editor->setFocus();
    QTest::keyClicks(editor, "abc");
    settle(*state);
    EXPECT_EQ(state->commitMessage(), "abc");

    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(1);
    editor->setTextCursor(cursor);
    QTest::keyClicks(editor, "X");
    // Renders in between, as any other change of the state brings.
    state->setBusyMessage("Loading status");
    settle(*state);
    state->setBusyMessage(std::nullopt);
    settle(*state);
    EXPECT_EQ(state->commitMessage(), "aXbc");
    EXPECT_EQ(editor->textCursor().position(), 2);
    EXPECT_TRUE(editor->document()->isUndoAvailable());

    QTest::keyClick(editor, Qt::Key_Return);
    editor->insertPlainText(QString::fromUtf16(u"\u00A0y\u2028z"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    settle(*state);
    EXPECT_EQ(state->commitMessage(), QString::fromUtf16(u"aX\n\u00A0y\nz\nbc")) << "every line break is a line feed";
    EXPECT_EQ(editor->textCursor().position(), 8) << "the editor keeps its own text and cursor";
    EXPECT_TRUE(editor->document()->isUndoAvailable());

    // A message set from elsewhere replaces the editor's text.
    state->setCommitMessage("other");
    settle(*state);
    EXPECT_EQ(editor->toPlainText(), "other");
    EXPECT_EQ(state->commitMessage(), "other");

    // The message survives a hidden tab.
    view->hide();
    view->show();
    settle(*state);
    EXPECT_EQ(editor->toPlainText(), "other");
}

TEST_F(ChangesFixture, TheLayoutKeepsItsPaneBoundsAndTheEditorItsHeight)
{
    list({"a"}, "a");
    open();
    QSplitter *split = view->splitter();
    EXPECT_EQ(split->widget(0), view->listView());
    EXPECT_EQ(view->listView()->width(), ChangesView::listIdealWidth);
    split->setSizes({100, 2000});
    EXPECT_GE(view->listView()->width(), ChangesView::listMinimumWidth);
    split->setSizes({2000, 100});
    EXPECT_LE(view->listView()->width(), ChangesView::listMaximumWidth);
    EXPECT_GE(view->previewView()->width(), ChangesView::previewMinimumWidth);

    QPlainTextEdit *editor = view->commitPanel()->editor();
    for (const int height : {500, 700, 1200}) {
        view->resize(1100, height);
        settle(*state);
        EXPECT_GE(editor->height(), 76);
        EXPECT_LE(editor->height(), 96);
    }
    EXPECT_EQ(editor->height(), 96);
    EXPECT_EQ(view->commitPanel()->editorField()->height(), 108);

    // A long path stays on one line, cut at its end.
    const QString longPath = "very/long/" + QString("segment/").repeated(40) + "tail.txt";
    list({longPath}, longPath);
    const QString shown = view->previewView()->titleLabel()->elidedText();
    EXPECT_TRUE(shown.startsWith("very/long/"));
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
}

TEST(ChangeRows, StatusColoursAndLettersFollowTheKind)
{
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    const QColor secondary = Theme::secondary(light);
    const std::map<SVNStatusKind, std::pair<QColor, QString>> expected{
        {SVNStatusKind::added, {Theme::green(light), "A"}},
        {SVNStatusKind::conflicted, {Theme::red(light), "C"}},
        {SVNStatusKind::deleted, {Theme::orange(light), "D"}},
        {SVNStatusKind::external, {secondary, "X"}},
        {SVNStatusKind::ignored, {secondary, "I"}},
        {SVNStatusKind::incomplete, {secondary, "!"}},
        {SVNStatusKind::merged, {Theme::blue(light), "G"}},
        {SVNStatusKind::missing, {Theme::orange(light), "!"}},
        {SVNStatusKind::modified, {Theme::blue(light), "M"}},
        {SVNStatusKind::none, {secondary, " "}},
        {SVNStatusKind::normal, {secondary, " "}},
        {SVNStatusKind::obstructed, {Theme::red(light), "~"}},
        {SVNStatusKind::replaced, {Theme::blue(light), "R"}},
        {SVNStatusKind::unversioned, {Theme::gray(light), "?"}},
        {SVNStatusKind::unknown, {Theme::gray(light), "?"}},
    };
    for (SVNStatusKind kind : allSVNStatusKinds) {
        EXPECT_EQ(statusColor(kind, light), expected.at(kind).first) << rawValue(kind).toStdString();
        EXPECT_EQ(shortName(kind), expected.at(kind).second);
    }
}

TEST_F(UiFixture, CtrlReturnInTheCommitEditorCommitsInsteadOfBreakingTheLine)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "status")
            return okResult(statusXml({"a.txt", "b.txt"}));
        return okResult(QString());
    };
    MainWindow window(*state);
    window.resize(1400, 900);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    settle(*state);
    ASSERT_TRUE(window.contentView()->detailView()->showsProject());
    auto *changes = qobject_cast<ChangesView *>(window.contentView()->detailView()->currentTabView());
    ASSERT_TRUE(changes) << window.contentView()->detailView()->currentTabView()->objectName().toStdString()
                         << int(state->selectedTab());
    ASSERT_EQ(changes->listView()->model()->rowCount(), 2);

    // Nothing ticked and no message: the button is off, but the key still reaches the action.
    state->setSelectedCommitPaths({});
    settle(*state);
    QPlainTextEdit *editor = changes->commitPanel()->editor();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Nothing To Commit");
    state->setAlert(std::nullopt);
    settle(*state);

    state->setSelectedCommitPaths({"a.txt"});
    editor->setFocus();
    QTest::keyClicks(editor, "Ship it");
    settle(*state);
    ASSERT_TRUE(changes->commitPanel()->commitButton()->isEnabled());
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    settle(*state);
    EXPECT_EQ(svnRuns("commit"), 1);
    EXPECT_FALSE(state->commitMessage().contains('\n'));
    EXPECT_EQ(editor->toPlainText(), "");
}

TEST_F(ChangesFixture, ARenamedRowShowsItsNewNameOnlyAndKeepsItsTickAndSelection)
{
    open();
    WorkingCopyItem renamed{"new.txt", SVNStatusKind::replaced};
    renamed.renamedFrom = "old.txt";
    state->setChanges({modified("a"), renamed});
    state->setSelectedChangeID("new.txt");
    state->setSelectedCommitPaths({"new.txt"});
    settle(*state);
    ASSERT_EQ(rows()->model()->rowCount(), 2);
    EXPECT_EQ(index(1).data().toString(), "new.txt");
    EXPECT_EQ(selectedRows(), QStringList{"new.txt"});

    // Another source for the same row is a changed row, not a new one.
    QSignalSpy resets(rows()->model(), &QAbstractItemModel::modelReset);
    QSignalSpy removes(rows()->model(), &QAbstractItemModel::rowsRemoved);
    renamed.renamedFrom = "elsewhere.txt";
    state->setChanges({modified("a"), renamed});
    settle(*state);
    EXPECT_EQ(resets.count() + removes.count(), 0);
    EXPECT_EQ(selectedRows(), QStringList{"new.txt"});
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>{"new.txt"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, boxPoint(1));
    settle(*state);
    EXPECT_TRUE(state->selectedCommitPaths().isEmpty());
}

// The commit message takes only text from the clipboard: data without any (a fresh session's empty
// clipboard) pastes nothing, and rich text or links paste their plain text.
TEST_F(UiFixture, PastingIntoTheCommitMessageTakesTextOnly)
{
    makeState({svnProject});
    MainWindow window(*state);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    settle(*state);
    auto *changes = qobject_cast<ChangesView *>(window.contentView()->detailView()->currentTabView());
    ASSERT_TRUE(changes);
    QPlainTextEdit *editor = changes->commitPanel()->editor();
    QTest::mouseClick(editor->viewport(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), editor);
    QTest::keyClicks(editor, "Fix ");
    const auto paste = [&](QMimeData *data, const QKeySequence &keys) {
        QApplication::clipboard()->setMimeData(data);
        QTest::keySequence(editor, keys);
        settle(*state);
        return state->commitMessage();
    };

    EXPECT_EQ(paste(new QMimeData, QKeySequence::Paste), "Fix ");
    EXPECT_EQ(paste(new QMimeData, QKeySequence(Qt::ShiftModifier | Qt::Key_Insert)), "Fix ");
    auto *image = new QMimeData;
    image->setImageData(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_EQ(paste(image, QKeySequence::Paste), "Fix ");

    auto *text = new QMimeData;
    text->setText("the\nlexer");
    EXPECT_EQ(paste(text, QKeySequence::Paste), "Fix the\nlexer");
    auto *html = new QMimeData;
    html->setHtml("<b>bold</b>");
    EXPECT_EQ(paste(html, QKeySequence::Paste), "Fix the\nlexer") << "rich text alone has no plain text";
    auto *rich = new QMimeData;
    rich->setHtml("<b>bold</b> move");
    rich->setText("bold move");
    EXPECT_EQ(paste(rich, QKeySequence(Qt::ShiftModifier | Qt::Key_Insert)), "Fix the\nlexerbold move");
    auto *link = new QMimeData;
    link->setUrls({QUrl("https://example.org/issue")});
    EXPECT_EQ(paste(link, QKeySequence::Paste), "Fix the\nlexerbold movehttps://example.org/issue");

    // Every other text field survives the empty clipboard too: the editable ones are the same editor,
    // the read-only ones (diffs, the output sheet) and the forms' line edits never paste.
    QApplication::clipboard()->setMimeData(new QMimeData);
    CommandOutputView sheet(CommandOutput{QUuid::createUuid(), "Update", "svn update", 0, "At revision 1.\n", ""}, {});
    sheet.show();
    QList<QPlainTextEdit *> fields = window.findChildren<QPlainTextEdit *>();
    fields.push_back(sheet.outputArea());
    ASSERT_GE(fields.size(), 3);
    EXPECT_TRUE(window.findChildren<QTextEdit *>().isEmpty());
    for (QPlainTextEdit *field : std::as_const(fields)) {
        EXPECT_TRUE(field->isReadOnly() || qobject_cast<PlainTextEditor *>(field)) << field->objectName().toStdString();
        const QString before = field->toPlainText();
        QTest::keySequence(field, QKeySequence::Paste);
        QTest::keySequence(field, QKeySequence(Qt::ShiftModifier | Qt::Key_Insert));
        EXPECT_EQ(field->toPlainText(), before);
    }
    QtDialogs dialogs;
    whenModal([](QWidget *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>();
        edit->end(false);
        QTest::keySequence(edit, QKeySequence::Paste);
        QTest::keySequence(edit, QKeySequence(Qt::ShiftModifier | Qt::Key_Insert));
        button(dialog, "OK")->click();
    });
    EXPECT_EQ(
        dialogs.prompt("Checkout", {{"url", "Repository URL", "svn://host/repo"}}), QStringList{"svn://host/repo"});
    QApplication::clipboard()->clear();
}
