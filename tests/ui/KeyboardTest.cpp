// The real window over real repositories driven by the keyboard and the wheel: every stop of the focus
// chain shows its focus and none traps it, the tab picker follows the arrow keys, and Shift with the
// wheel scrolls a diff sideways.
#include "Contrast.h"
#include "RealWindow.h"
#include "WorkflowRepositories.h"

#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
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
