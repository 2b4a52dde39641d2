// The real window over real repositories driven by the keyboard and the wheel: every stop of the focus
// chain shows its focus and none traps it, the tab picker follows the arrow keys, Space ticks changes,
// the sidebar's rows choose projects, Shift+F10 opens a row's menu, and Shift with the wheel scrolls a
// diff sideways.
#include "Contrast.h"
#include "RealWindow.h"
#include "WorkflowRepositories.h"

#include "ui/changes/ChangeListView.h"
#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/SidebarOverlayView.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/window/SidebarToggleButton.h"
#include "ui/workflow/FileHistoryDetailView.h"

#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>


using TestSupport::writeFile;

namespace {

// Pixels that change by at least 3:1 between two pictures of the same place: what a focus mark must do.
int markedPixels(const QImage &focused, const QImage &unfocused)
{
    int count = 0;
    for (int y = 0; y < std::min(focused.height(), unfocused.height()); ++y) {
        for (int x = 0; x < std::min(focused.width(), unfocused.width()); ++x)
            count += contrast(focused.pixelColor(x, y), unfocused.pixelColor(x, y)) >= 3;
    }
    return count;
}

std::string describe(const QWidget *widget)
{
    return std::string(widget->metaObject()->className()) + " '" + widget->objectName().toStdString() + "'";
}

struct Keyboard : ::testing::Test {
    WorkflowRepositories repositories;
    Project svnProject;
    std::unique_ptr<RealWindow> real;

    void SetUp() override
    {
        // Lines too long for a diff's width: one in an incoming revision, one in a local change.
        const QByteArray wide = "const char *banner = \"" + QByteArray(400, 'w') + "\";\n";
        writeFile(repositories.other.workingCopy + "/src/banner.c", wide);
        repositories.other.commitAll("Add the banner");
        writeFile(repositories.svn.workingCopy + "/src/util.c", wide);
        svnProject = {QUuid::createUuid(), "orbit-service", repositories.svn.workingCopy, RepositoryKind::svn};
        real = std::make_unique<RealWindow>(repositories.sandbox.filePath("settings.ini"), QList<Project>{svnProject});
        real->selectProject(svnProject.id);
        real->window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&real->window()));
    }

    void TearDown() override { real.reset(); }

    DetailView *detail() const { return real->window().contentView()->detailView(); }
    ChangesView *changes() const { return qobject_cast<ChangesView *>(detail()->tabView(WorkflowTab::changes)); }

    void showTab(WorkflowTab tab)
    {
        real->state().setSelectedTab(tab);
        real->settle();
    }

    // Presses a key where the keyboard focus is, as the keyboard does.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, key, modifiers);
        real->settle();
    }

    // The widget with its surroundings, where a ring around it would be drawn.
    QImage around(QWidget *widget) const
    {
        const QRect rect(widget->mapTo(&real->window(), QPoint(-8, -8)), widget->size() + QSize(16, 16));
        return real->window().grab(rect).toImage();
    }

    // Walks the focus chain with Tab from the window's content until it comes round, and expects every
    // stop to show its focus. Gives the stops in order.
    QList<QWidget *> walkTheChain(const std::string &where)
    {
        real->window().contentView()->setFocus(Qt::OtherFocusReason);
        QList<QWidget *> stops;
        for (int step = 0; step < 40; ++step) {
            press(Qt::Key_Tab);
            QWidget *stop = QApplication::focusWidget();
            if (!stop) {
                ADD_FAILURE() << where << ": Tab left no focus";
                break;
            }
            if (stops.contains(stop))
                return stops;
            const QImage focused = around(stop);
            stops.append(stop);
            // Seen unfocused: the window's own focus, as a click on a blank spot leaves it.
            real->window().contentView()->setFocus(Qt::OtherFocusReason);
            real->settle();
            EXPECT_GE(markedPixels(focused, around(stop)), 40) << where << ": " << describe(stop) << " hides its focus";
            stop->setFocus(Qt::TabFocusReason);
            real->settle();
        }
        ADD_FAILURE() << where << ": Tab never came round to its first stop";
        return stops;
    }
};

} // namespace

TEST_F(Keyboard, EveryStopOfEveryTabShowsItsFocusAndTabComesRound)
{
    auto *picker = real->find<SegmentedPicker>("tabPicker");
    ASSERT_TRUE(picker);
    CommitPanelView *panel = changes()->commitPanel();
    panel->editor()->setPlainText("Widen util");
    real->settle();
    ASSERT_TRUE(panel->commitButton()->isEnabled());

    // A change selected: its diff in the preview.
    const QList<QWidget *> changesStops = walkTheChain("Changes");
    for (QWidget *expected : {static_cast<QWidget *>(picker), real->find<QWidget>("changeList"),
             static_cast<QWidget *>(changes()->previewView()->diffView()->canvas()),
             static_cast<QWidget *>(panel->editor()), static_cast<QWidget *>(panel->commitButton())}) {
        EXPECT_TRUE(changesStops.contains(expected)) << describe(expected) << " is not a stop of the Changes tab";
    }
    // Nothing selected: the preview's placeholder text.
    real->state().setSelectedChangeID(std::nullopt);
    real->state().selectedChangeChanged();
    real->settle();
    ASSERT_FALSE(changes()->previewView()->diffView()->showsCards());
    walkTheChain("Changes without a selection");

    for (const WorkflowTab tab : {WorkflowTab::incoming, WorkflowTab::history, WorkflowTab::archives}) {
        showTab(tab);
        const QList<QWidget *> stops = walkTheChain(rawValue(tab).toStdString());
        EXPECT_TRUE(stops.contains(picker)) << rawValue(tab).toStdString();
    }
}

TEST_F(Keyboard, TheTabPickerFollowsTheArrowsHomeAndEnd)
{
    auto *picker = real->find<SegmentedPicker>("tabPicker");
    ASSERT_TRUE(picker);
    // Reached with Tab from the header's last button, as a keyboard user comes to it.
    real->find<QPushButton>("updateButton")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), picker);

    const struct {
        Qt::Key key;
        WorkflowTab shown;
    } steps[] = {
        {Qt::Key_Right, WorkflowTab::incoming},
        {Qt::Key_Right, WorkflowTab::history},
        {Qt::Key_Right, WorkflowTab::archives},
        {Qt::Key_Right, WorkflowTab::archives},
        {Qt::Key_Home, WorkflowTab::changes},
        {Qt::Key_Left, WorkflowTab::changes},
        {Qt::Key_End, WorkflowTab::archives},
        {Qt::Key_Left, WorkflowTab::history},
    };
    for (const auto &step : steps) {
        press(step.key);
        const std::string where = QKeySequence(step.key).toString().toStdString() + " to "
            + rawValue(step.shown).toStdString();
        EXPECT_EQ(real->state().selectedTab(), step.shown) << where;
        EXPECT_EQ(picker->currentIndex(), int(step.shown)) << where;
        EXPECT_EQ(detail()->currentTabView(), detail()->tabView(step.shown)) << where;
        EXPECT_EQ(QApplication::focusWidget(), picker) << where;
    }
    // The History tab loaded its log when the keyboard chose it.
    EXPECT_FALSE(real->state().logEntries().isEmpty());
}

TEST_F(Keyboard, TabMovesOnFromTheCommitMessageAndCtrlReturnStillCommits)
{
    CommitPanelView *panel = changes()->commitPanel();
    QTest::mouseClick(panel->editor()->viewport(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), panel->editor());
    QTest::keyClicks(panel->editor(), "Widen util");
    real->settle();

    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->commitButton());
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), panel->editor());
    EXPECT_EQ(panel->editor()->toPlainText(), "Widen util");

    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(real->outcome(), "output:Commit") << real->details();
    const QByteArray log = repositories.svn.svn({"log", "-l", "1", repositories.svn.repositoryUrl});
    EXPECT_TRUE(log.contains("Widen util")) << log.toStdString();
    EXPECT_TRUE(repositories.svn.svn({"status", "-q", repositories.svn.workingCopy}).isEmpty());
}

TEST_F(Keyboard, ShiftWithTheWheelScrollsTheDiffSideways)
{
    const auto wheel = [](DiffCanvas *canvas, int angle, Qt::KeyboardModifiers modifiers) {
        const QPointF at(canvas->viewport()->width() / 2.0, canvas->viewport()->height() / 2.0);
        QWheelEvent event(at, canvas->viewport()->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
            modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas->viewport(), &event);
    };
    const auto check = [&](DiffCanvas *canvas, const std::string &where) {
        ASSERT_TRUE(canvas->isVisible()) << where;
        QScrollBar *across = canvas->horizontalScrollBar();
        QScrollBar *down = canvas->verticalScrollBar();
        ASSERT_GT(across->maximum(), 0) << where << ": nothing to scroll sideways";
        across->setValue(0);
        down->setValue(0);
        wheel(canvas, -120, Qt::ShiftModifier);
        EXPECT_GT(across->value(), 0) << where << ": Shift and the wheel turned down";
        EXPECT_EQ(down->value(), 0) << where;
        const int moved = across->value();
        wheel(canvas, 120, Qt::ShiftModifier);
        EXPECT_LT(across->value(), moved) << where << ": Shift and the wheel turned up";
        // Without Shift the wheel still scrolls down, when there is room.
        if (down->maximum() > 0) {
            wheel(canvas, -120, Qt::NoModifier);
            EXPECT_GT(down->value(), 0) << where;
        }
    };

    real->state().setSelectedChangeID(QStringLiteral("src/util.c"));
    real->state().selectedChangeChanged();
    real->settle();
    DiffView *preview = changes()->previewView()->diffView();
    ASSERT_TRUE(preview->showsCards());
    check(preview->canvas(), "the preview");

    // The Incoming tab's diff of the revision that brings the banner, the newest one.
    showTab(WorkflowTab::incoming);
    ASSERT_FALSE(real->state().incomingEntries().isEmpty());
    real->state().setSelectedIncomingRevision(real->state().incomingEntries().first().revision);
    real->state().selectedIncomingRevisionChanged();
    real->settle();
    DiffCanvas *incoming = nullptr;
    for (DiffCanvas *canvas : detail()->tabView(WorkflowTab::incoming)->findChildren<DiffCanvas *>()) {
        if (canvas->isVisible())
            incoming = canvas;
    }
    ASSERT_TRUE(incoming);
    check(incoming, "the Incoming diff");
}

TEST_F(Keyboard, SpaceTicksTheCurrentChangeInPlaceAndTheCommitTakesOnlyTheTicked)
{
    writeFile(repositories.svn.workingCopy + "/docs/guide.md", "Start the service with make run.\n");
    real->state().refreshAll();
    real->settle();
    auto *list = real->find<ChangeRowsView>("changeList");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->model()->rowCount(), 2);
    ASSERT_EQ(real->state().selectedCommitPaths(), (QSet<QString>{"docs/guide.md", "src/util.c"}));
    list->setFocus(Qt::TabFocusReason);
    list->setCurrentIndex(list->model()->index(0, 0));
    real->settle();
    ASSERT_EQ(real->state().selectedChangeID(), "docs/guide.md");
    const QString guideDiff = real->state().diffText();

    const struct {
        Qt::Key key;
        QSet<QString> ticked;
        QString selected;
    } steps[] = {
        {Qt::Key_Space, {"src/util.c"}, "docs/guide.md"},
        {Qt::Key_Space, {"docs/guide.md", "src/util.c"}, "docs/guide.md"},
        {Qt::Key_Down, {"docs/guide.md", "src/util.c"}, "src/util.c"},
        {Qt::Key_Space, {"docs/guide.md"}, "src/util.c"},
    };
    for (const auto &step : steps) {
        press(step.key);
        const std::string where
            = "after " + QKeySequence(step.key).toString().toStdString() + " on " + step.selected.toStdString();
        EXPECT_EQ(real->state().selectedCommitPaths(), step.ticked) << where;
        EXPECT_EQ(real->state().selectedChangeID(), step.selected) << where;
        EXPECT_EQ(list->currentIndex().data().toString(), step.selected) << where;
        EXPECT_EQ(QApplication::focusWidget(), list) << where;
        if (step.selected == "docs/guide.md") {
            EXPECT_EQ(real->state().diffText(), guideDiff) << where;
        }
    }

    // The commit takes the ticked guide and leaves the unticked file modified.
    CommitPanelView *panel = changes()->commitPanel();
    panel->editor()->setFocus(Qt::TabFocusReason);
    panel->editor()->setPlainText("Say how to start");
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(real->outcome(), "output:Commit") << real->details();
    const QString status = QString::fromUtf8(repositories.svn.svn({"status", "-q", repositories.svn.workingCopy}));
    EXPECT_FALSE(status.contains("guide.md")) << status.toStdString();
    EXPECT_TRUE(status.contains("util.c")) << status.toStdString();
}

TEST_F(Keyboard, TabReachesTheSidebarsRowsAsOneStopAndSpaceOrReturnOnARowChoosesItsProject)
{
    const Project lantern{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
    const Project other{QUuid::createUuid(), "orbit-other", repositories.other.workingCopy, RepositoryKind::svn};
    real = std::make_unique<RealWindow>(
        repositories.sandbox.filePath("three.ini"), QList<Project>{svnProject, lantern, other});
    real->selectProject(lantern.id);
    real->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&real->window()));

    auto *sidebar = real->window().findChild<SidebarOverlayView *>();
    ASSERT_TRUE(sidebar);
    ASSERT_EQ(sidebar->rows().size(), 3);
    // Every stop shows its ring: the walk checks it. Of the rows only the selected one is a stop.
    const QList<QWidget *> stops = walkTheChain("with the sidebar");
    for (QWidget *widget : {static_cast<QWidget *>(sidebar->toggleButton()), static_cast<QWidget *>(sidebar->rows()[1]),
             static_cast<QWidget *>(sidebar->addButton()), static_cast<QWidget *>(sidebar->newButton()),
             static_cast<QWidget *>(sidebar->checkoutButton())})
        EXPECT_TRUE(stops.contains(widget)) << describe(widget) << " is not reached with Tab";
    EXPECT_FALSE(stops.contains(sidebar->rows()[0]));
    EXPECT_FALSE(stops.contains(sidebar->rows()[2]));
    // Top to bottom: the toggle, the row, then Add.
    const auto at = [&](QWidget *widget) { return stops.indexOf(widget); };
    EXPECT_EQ(at(sidebar->rows()[1]), at(sidebar->toggleButton()) + 1);
    EXPECT_EQ(at(sidebar->addButton()), at(sidebar->rows()[1]) + 1);

    const struct {
        int focusedRow;
        Qt::Key key;
        int chosenRow;
    } steps[] = {
        {1, Qt::Key_Space, 1},
        {1, Qt::Key_Down, 1},
        {2, Qt::Key_Return, 2},
        {2, Qt::Key_Up, 2},
        {1, Qt::Key_Up, 2},
        {0, Qt::Key_Enter, 0},
    };
    sidebar->rows()[1]->setFocus(Qt::TabFocusReason);
    for (const auto &step : steps) {
        const std::string where
            = QKeySequence(step.key).toString().toStdString() + " on row " + std::to_string(step.focusedRow);
        ASSERT_EQ(QApplication::focusWidget(), sidebar->rows()[step.focusedRow]) << where;
        press(step.key);
        const Project &chosen = sidebar->rows()[step.chosenRow]->project();
        EXPECT_EQ(real->state().selectedProjectID(), chosen.id) << where;
        EXPECT_EQ(real->state().selectedProjectKind(), chosen.kind) << where;
    }
    EXPECT_EQ(real->state().selectedProjectName(), "orbit-service");
}

TEST_F(Keyboard, ShiftF10OpensTheMenuOfTheCurrentRowOnItsFirstItemSoReturnRunsIt)
{
    auto *list = real->find<ChangeRowsView>("changeList");
    ASSERT_TRUE(list);
    list->setFocus(Qt::TabFocusReason);
    list->setCurrentIndex(list->model()->index(0, 0));
    real->settle();
    const QRect row(list->viewport()->mapToGlobal(list->visualRect(list->currentIndex()).topLeft()),
        list->visualRect(list->currentIndex()).size());
    QStringList items;
    QString active;
    QPoint shownAt;
    // The menu runs its own loop: looked at and answered from inside it.
    QTimer::singleShot(300, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                items << action->text();
            active = menu->activeAction() ? menu->activeAction()->text() : QString();
            shownAt = menu->pos();
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    // A Return that only highlights leaves the menu open.
    QTimer::singleShot(600, [] {
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    });
    // Through the window, as the key comes from the desktop.
    QTest::keyClick(real->window().windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
    QTest::qWait(700);
    real->settle();
    EXPECT_EQ(items, (QStringList{"Revert Path", "", "Ignore Path", "Include Path..."}));
    EXPECT_TRUE(row.contains(shownAt)) << shownAt.x() << "," << shownAt.y();
    EXPECT_EQ(active, "Revert Path");
    EXPECT_FALSE(QApplication::activePopupWidget());
    // Return ran Revert Path: it asked first, and the answer No left the change.
    EXPECT_EQ(real->dialogs.confirmations.size(), 1);
    EXPECT_TRUE(real->lists("src/util.c"));
}

TEST_F(Keyboard, HistoryTextsAreStopsWhoseRingKeepsClearOfTheLetters)
{
    showTab(WorkflowTab::history);
    auto *history = detail()->tabView(WorkflowTab::history);
    auto *detailPane = history->findChild<HistoryRevisionDetailView *>();
    ASSERT_TRUE(detailPane);
    ASSERT_FALSE(detailPane->summaryLabel()->fullText().isEmpty());
    const QList<QWidget *> stops = walkTheChain("History");
    for (LimitedLinesLabel *text : {detailPane->summaryLabel(), detailPane->pathLabel()}) {
        ASSERT_TRUE(text->isVisible());
        EXPECT_TRUE(stops.contains(text)) << text->fullText().toStdString() << " is not reached with Tab";
        // No pixel of a letter changes when the ring comes.
        real->window().contentView()->setFocus(Qt::OtherFocusReason);
        real->settle();
        const QImage plain = text->grab().toImage();
        text->setFocus(Qt::TabFocusReason);
        real->settle();
        const QImage ringed
            = real->window().grab(QRect(text->mapTo(&real->window(), QPoint()), text->size())).toImage();
        const QColor ground = plain.pixelColor(plain.width() - 1, plain.height() / 2);
        int covered = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const bool ink = contrast(plain.pixelColor(x, y), ground) >= 1.5;
                covered += ink && contrast(plain.pixelColor(x, y), ringed.pixelColor(x, y)) >= 1.5;
            }
        }
        EXPECT_EQ(covered, 0) << text->fullText().toStdString();
    }

    // At the smallest window the tab picker's titles keep clear of their segments' edges.
    real->window().resize(1, 1);
    real->settle();
    auto *picker = real->find<SegmentedPicker>("tabPicker");
    const QImage image = picker->grab().toImage();
    for (int segment = 0; segment < 4; ++segment) {
        const QRect rect = picker->segmentRect(segment);
        const QColor ground = image.pixelColor(rect.left() + 4, 4);
        int left = rect.right();
        int right = rect.left();
        for (int y = 5; y < rect.height() - 5; ++y) {
            for (int x = rect.left() + 3; x < rect.right() - 3; ++x) {
                if (contrast(image.pixelColor(x, y), ground) >= 2) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_LE(left, right) << "segment " << segment << " shows no title";
        EXPECT_GE(left - rect.left(), 8) << "segment " << segment;
        EXPECT_GE(rect.right() - right, 8) << "segment " << segment;
    }
}
