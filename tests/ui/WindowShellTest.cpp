// The window shell: first-show and focus refreshes, the sliding sidebar, the alert and the sheet.
#include "UiFixture.h"

#include "support/TestSupport.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/window/CommandOutputView.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/MainWindow.h"
#include "ui/window/ProjectHeaderView.h"
#include "ui/window/SidebarOverlayView.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/window/SidebarToggleButton.h"
#include "ui/window/WindowFocusRefreshObserver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWindow>

namespace {

void activate(QWidget *window)
{
    QEvent event(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &event);
}

} // namespace

TEST(WindowFocusRefreshObserver, CallsOncePerActivationOfItsCurrentWindowOnly)
{
    QWidget first;
    QWidget second;
    auto *observer = new WindowFocusRefreshObserver(&first);
    EXPECT_EQ(observer->size(), QSize(0, 0));
    activate(&first); // no callback yet: nothing happens
    int calls = 0;
    observer->setOnFocus([&calls] { ++calls; });

    activate(&first);
    EXPECT_EQ(calls, 1);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&first, &deactivate);
    QEvent activation(QEvent::ActivationChange);
    QCoreApplication::sendEvent(&first, &activation);
    EXPECT_EQ(calls, 1);

    // A new callback replaces the old one without watching twice.
    int newCalls = 0;
    observer->setOnFocus([&newCalls] { ++newCalls; });
    activate(&first);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(newCalls, 1);

    // Moved to another window: only that one counts.
    observer->setParent(&second);
    EXPECT_EQ(observer->observedWindow(), &second);
    activate(&first);
    activate(&second);
    EXPECT_EQ(newCalls, 2);

    // Taken out of every window, then gone.
    observer->setParent(nullptr);
    EXPECT_EQ(observer->observedWindow(), nullptr);
    activate(&second);
    EXPECT_EQ(newCalls, 2);
    observer->setParent(&first);
    delete observer;
    activate(&first);
    EXPECT_EQ(newCalls, 2);
}

TEST(ActivationHistory, OnlyAReturnFromAnotherApplicationIsNotHandedOver)
{
    QWindow window;
    QWindow alert;
    QWindow sheet;
    for (QWindow *shown : {&window, &alert, &sheet})
        shown->show();
    // The focus windows Qt reports in turn (null: none of the program's); on each report of the main
    // window, whether its activation counts as handed over by the program, asked both before and after
    // the report because Qt delivers the activation on either side of it.
    struct Step {
        const char *what;
        QWindow *focus;
        QWindow *closedFirst;
        bool handedOver;
    };
    const Step steps[] = {
        {"first showing", &window, nullptr, false},
        {"an alert over the window", &alert, nullptr, true},
        {"the alert closed, the window manager hands back at once", &window, nullptr, true},
        {"the user turns to another application", nullptr, nullptr, false},
        {"the user comes back", &window, nullptr, false},
        {"a sheet", &sheet, nullptr, true},
        {"an alert on the sheet", &alert, nullptr, true},
        {"the alert closed", &sheet, &alert, true},
        {"the sheet closed, nothing focused for a moment", nullptr, &sheet, true},
        {"the window manager hands back late", &window, nullptr, true},
    };
    ActivationHistory history;
    for (const Step &step : steps) {
        if (step.closedFirst)
            step.closedFirst->hide();
        if (step.focus == &window) {
            EXPECT_EQ(history.handedOver(&window), step.handedOver) << step.what << ", asked before the report";
        }
        history.focusWindowChanged(step.focus);
        if (step.focus == &window) {
            EXPECT_EQ(history.handedOver(&window), step.handedOver) << step.what;
        }
    }

    // An alert closed and deleted before the window gets the activation back.
    auto *gone = new QWindow;
    gone->show();
    history.focusWindowChanged(gone);
    delete gone;
    history.focusWindowChanged(nullptr);
    history.focusWindowChanged(&window);
    EXPECT_TRUE(history.handedOver(&window));
    history.focusWindowChanged(nullptr);
    history.focusWindowChanged(&window);
    EXPECT_FALSE(history.handedOver(&window));
}

struct ShellFixture : UiFixture {
    std::unique_ptr<MainWindow> window;

    void open(const QList<Project> &projects)
    {
        makeState(projects);
        window = std::make_unique<MainWindow>(*state);
        window->resize(1280, 800);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle(*state);
    }

    ContentView *content() const { return window->contentView(); }

    void TearDown() override
    {
        window.reset();
        UiFixture::TearDown();
    }
};

TEST_F(ShellFixture, EachReturnFromAnotherApplicationRefreshesOnceButAClosedAlertHandsBackWithout)
{
    open({svnProject});
    // start() on the first showing (the platform may add an activation of its own).
    const int afterShow = svnRuns("status");
    EXPECT_GE(afterShow, 1);
    ASSERT_EQ(QGuiApplication::focusWindow(), window->windowHandle());

    // The platform reports that the user went to another application and came back.
    const auto comeBack = [this] {
        content()->focusObserver()->focusWindowChanged(nullptr);
        activate(window.get());
        content()->focusObserver()->focusWindowChanged(window->windowHandle());
        settle(*state);
    };
    comeBack();
    EXPECT_EQ(svnRuns("status"), afterShow + 1);
    comeBack();
    comeBack();
    EXPECT_EQ(svnRuns("status"), afterShow + 3);

    // An alert over the window, closed with OK: the window takes the activation back from it.
    state->setAlert(AppAlert{QUuid::createUuid(), "History Failed", "svn: E170013"});
    settle(*state);
    ASSERT_TRUE(content()->alertBox());
    ASSERT_TRUE(QTest::qWaitForWindowActive(content()->alertBox()));
    QTest::mouseClick(content()->alertBox()->buttons()[0], Qt::LeftButton);
    settle(*state);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    settle(*state);
    EXPECT_EQ(svnRuns("status"), afterShow + 3);
    EXPECT_FALSE(state->alert());
}

TEST_F(ShellFixture, WithoutProjectsTheWindowOpensOnTheEmptyViewAndActivationRunsNothing)
{
    open({});
    EXPECT_FALSE(content()->detailView()->showsProject());
    EXPECT_TRUE(content()->detailView()->emptyView()->isVisible());
    activate(window.get());
    settle(*state);
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(ShellFixture, ContentCannotBeSmallerThanTheScene)
{
    open({});
    EXPECT_EQ(content()->minimumSize(), QSize(1080, 680));
    EXPECT_GE(window->minimumSizeHint().width(), 1080);
    EXPECT_GE(window->minimumSizeHint().height(), 680);
    window->resize(600, 400);
    QCoreApplication::processEvents();
    EXPECT_GE(content()->width(), 1080);
    EXPECT_GE(content()->height(), 680);
}

TEST_F(ShellFixture, SidebarSlidesAwayAndBackWithTheShowButtonInItsPlace)
{
    open({svnProject});
    SidebarOverlayView *sidebar = content()->sidebar();
    SidebarToggleButton *showButton = content()->showSidebarButton();
    const int height = content()->height();
    EXPECT_EQ(sidebar->geometry(), QRect(10, 10, 292, height - 20));
    EXPECT_FALSE(showButton->isVisible());
    EXPECT_EQ(sidebar->toggleButton()->toolTip(), "Hide Sidebar");
    // The pane's content starts beside the panel.
    EXPECT_EQ(content()->detailView()->x(), 312);

    QTest::mouseClick(sidebar->toggleButton(), Qt::LeftButton);
    EXPECT_FALSE(content()->isSidebarVisible());
    EXPECT_TRUE(sidebar->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(showButton->isVisible());
    QTest::qWait(ContentView::animationMilliseconds + 150);
    EXPECT_EQ(sidebar->pos(), QPoint(10 - 316, 10));
    EXPECT_FALSE(sidebar->isVisible());
    EXPECT_EQ(showButton->geometry(), QRect(14, 12, 30, 28));
    EXPECT_EQ(showButton->toolTip(), "Show Sidebar");
    EXPECT_EQ(content()->detailView()->x(), 0);
    // Where the panel was, clicks now reach the pane; the button is on top in its corner.
    QWidget *under = content()->childAt(150, 400);
    ASSERT_TRUE(under);
    EXPECT_TRUE(content()->detailView()->isAncestorOf(under));
    EXPECT_EQ(content()->childAt(20, 20), showButton);

    QTest::mouseClick(showButton, Qt::LeftButton);
    EXPECT_TRUE(content()->isSidebarVisible());
    EXPECT_TRUE(sidebar->isVisible());
    EXPECT_FALSE(sidebar->testAttribute(Qt::WA_TransparentForMouseEvents));
    QTest::qWait(ContentView::animationMilliseconds + 150);
    EXPECT_EQ(sidebar->pos(), QPoint(10, 10));
    EXPECT_FALSE(showButton->isVisible());
    EXPECT_EQ(content()->detailView()->x(), 312);
}

TEST_F(ShellFixture, AlertShowsItsTextsVerbatimWithOneOKButton)
{
    open({svnProject});
    state->setAlert(AppAlert{QUuid::createUuid(), "Commit Failed", "<b>svn: E155011</b>"});
    settle(*state);
    QMessageBox *box = content()->alertBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), "Commit Failed");
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->informativeText(), "<b>svn: E155011</b>");
    auto *informative = box->findChild<QLabel *>("qt_msgbox_informativelabel");
    ASSERT_TRUE(informative);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "OK");

    // Another alert replaces the box.
    const QUuid second = QUuid::createUuid();
    state->setAlert(AppAlert{second, "Nothing To Commit", ""});
    settle(*state);
    ASSERT_TRUE(content()->alertBox());
    EXPECT_EQ(content()->alertBox()->text(), "Nothing To Commit");
    EXPECT_EQ(content()->alertBox()->informativeText(), "");
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->id, second);

    QTest::mouseClick(content()->alertBox()->buttons()[0], Qt::LeftButton);
    EXPECT_FALSE(state->alert());
    settle(*state);
    EXPECT_FALSE(content()->alertBox());
}

TEST_F(ShellFixture, AnAlertIsWideEnoughForAPathWithItsTitleInBoldAndWrapsOnlyLongTexts)
{
    open({svnProject});
    const QString path = "/tmp/korvel-1a2b3c/projects/orbit-service/trunk/.korvelignore";
    const QString sentence = "svn: E155010: The node '" + path + "' was not found. ";
    const struct {
        QString message;
        bool oneLine;
    } cases[] = {
        {QString(), true},
        {"Could not write '" + path + "'.", true},
        {sentence + sentence + sentence, false},
    };
    for (const auto &alert : cases) {
        state->setAlert(AppAlert{QUuid::createUuid(), "Could Not Ignore", alert.message});
        settle(*state);
        QMessageBox *box = content()->alertBox();
        ASSERT_TRUE(box);
        const std::string where = std::to_string(alert.message.size()) + " characters";
        EXPECT_GE(box->width(), 420) << where;
        EXPECT_LE(box->width(), 720) << where;
        EXPECT_EQ(box->windowTitle(), QApplication::applicationDisplayName());
        auto *title = box->findChild<QLabel *>("qt_msgbox_label");
        ASSERT_TRUE(title);
        EXPECT_GE(title->font().weight(), QFont::Bold) << where;
        auto *message = box->findChild<QLabel *>("qt_msgbox_informativelabel");
        if (!alert.message.isEmpty()) {
            ASSERT_TRUE(message);
            // Unwrapped, the text is as high as it is given all the width in the world.
            const bool wrapped = message->heightForWidth(message->width()) > message->heightForWidth(100000);
            EXPECT_EQ(wrapped, !alert.oneLine) << where;
            // Every line of the text is in the box: nothing is cut at its edge.
            EXPECT_GE(message->height(), message->heightForWidth(message->width())) << where;
        }
        QTest::mouseClick(box->buttons()[0], Qt::LeftButton);
        settle(*state);
    }
}

TEST_F(ShellFixture, SheetClosesWithDoneReturnEnterOrEscapeFromAnywhereInItAndClearsTheOutput)
{
    open({svnProject});
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // How the sheet is closed, and whether the output text has the focus first (as it has once the
    // user scrolls or selects in it from the keyboard).
    const struct {
        int key;
        bool inText;
    } closings[]
        = {{0, false}, {Qt::Key_Return, false}, {Qt::Key_Return, true}, {Qt::Key_Enter, true}, {Qt::Key_Escape, true}};
    for (const auto &closing : closings) {
        CommandOutput output{QUuid::createUuid(), "Update", "svn update", 0, "At revision 3.\n", QString()};
        state->setCommandOutput(output);
        settle(*state);
        CommandOutputSheet *sheet = content()->outputSheet();
        ASSERT_TRUE(sheet);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->outputID(), output.id);
        EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
        const std::string where = std::to_string(closing.key) + (closing.inText ? " in the text" : "");
        if (closing.inText) {
            QTest::mouseClick(sheet->view()->outputArea()->viewport(), Qt::LeftButton);
            ASSERT_EQ(QApplication::focusWidget(), sheet->view()->outputArea()) << where;
        }
        if (closing.key == 0)
            QTest::mouseClick(sheet->view()->doneButton(), Qt::LeftButton);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(closing.key));
        EXPECT_FALSE(state->commandOutput()) << where;
        settle(*state);
        EXPECT_FALSE(content()->outputSheet()) << where;
        state->setCommandOutput(std::nullopt);
        settle(*state);
    }
}

TEST_F(ShellFixture, ALongCommandLineIsCutWithoutWideningTheSheet)
{
    open({svnProject});
    const auto sheetWidth = [this](const QString &commandLine) {
        state->setCommandOutput(CommandOutput{QUuid::createUuid(), "Run svn Command", commandLine, 0, "", ""});
        settle(*state);
        CommandOutputSheet *sheet = content()->outputSheet();
        EXPECT_TRUE(sheet);
        const int width = sheet ? sheet->sizeHint().width() : 0;
        state->setCommandOutput(std::nullopt);
        settle(*state);
        return width;
    };
    const int ordinary = sheetWidth("svn info");
    EXPECT_GE(ordinary, 720);
    for (const QString &commandLine :
        {"svn " + QString(1500, u'x'), "svn changelist " + QString(300, u'c') + " src/main.c"})
        EXPECT_EQ(sheetWidth(commandLine), ordinary) << commandLine.size() << " characters";
}

TEST_F(ShellFixture, FailedCommandShowsTheSheetWithTheAlertOnTopOfIt)
{
    open({svnProject});
    state->setCommandOutput(CommandOutput{QUuid::createUuid(), "Update Failed", "svn update", 1, "", "E1\n"});
    state->setAlert(AppAlert{QUuid::createUuid(), "Update Failed", "E1\n"});
    settle(*state);
    CommandOutputSheet *sheet = content()->outputSheet();
    QMessageBox *box = content()->alertBox();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->parentWidget(), sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(box->isVisible());

    QTest::mouseClick(box->buttons()[0], Qt::LeftButton);
    settle(*state);
    EXPECT_FALSE(state->alert());
    EXPECT_TRUE(state->commandOutput());
    ASSERT_TRUE(content()->outputSheet());
    EXPECT_TRUE(content()->outputSheet()->isVisible());

    // Cleared from the state while an alert stands on it: the alert moves to the window.
    state->setAlert(AppAlert{QUuid::createUuid(), "Later", "x"});
    settle(*state);
    ASSERT_TRUE(content()->alertBox());
    state->setCommandOutput(std::nullopt);
    settle(*state);
    EXPECT_FALSE(content()->outputSheet());
    ASSERT_TRUE(content()->alertBox());
    EXPECT_EQ(content()->alertBox()->parentWidget(), content());
    EXPECT_EQ(content()->alertBox()->text(), "Later");
}

TEST_F(ShellFixture, MenuBarHoldsFileThenTheSixMenus)
{
    open({});
    QStringList titles;
    for (QAction *action : window->menuBar()->actions())
        titles << TestSupport::withoutMnemonic(action->text());
    EXPECT_EQ(titles, QStringList({"File", "Repository", "Working Copy", "History", "Remote", "Properties", "SVN"}));
    QMenu *file = window->menuBar()->actions()[0]->menu();
    ASSERT_EQ(file->actions().size(), 1);
    EXPECT_EQ(file->actions()[0]->text(), "Quit");
    EXPECT_EQ(file->actions()[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(ShellFixture, WhileAnActionRunsStopStandsBesideTheBusyTextAndEscapeStopsItUnlessADialogIsOpen)
{
    open({svnProject});
    ProjectHeaderView *header = content()->detailView()->header();
    EXPECT_FALSE(header->stopButton()->isVisible());
    fakes.svn->holdRuns = true;
    // Each way to stop, and an open alert that takes Escape for itself.
    const struct {
        const char *name;
        bool alertOpen;
        std::function<void()> press;
    } cases[] = {
        {"button", false, [&] { QTest::mouseClick(header->stopButton(), Qt::LeftButton); }},
        {"escape", false, [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
        {"escape over an alert", true, [&] { QTest::keyClick(content()->alertBox(), Qt::Key_Escape); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        state->updateWorkingCopy();
        ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
        EXPECT_TRUE(waitFor([&] { return header->stopButton()->isVisible(); }, 5000));
        EXPECT_EQ(header->busyLabel()->text(), "Update");
        if (c.alertOpen) {
            state->setAlert(AppAlert{QUuid::createUuid(), "Status Failed", "svn: E155007"});
            ASSERT_TRUE(waitFor([&] { return content()->alertBox() != nullptr; }, 5000));
            ASSERT_TRUE(QTest::qWaitForWindowActive(content()->alertBox()));
        } else {
            QApplication::setActiveWindow(window.get());
            ASSERT_EQ(QApplication::activeWindow(), window.get());
        }
        c.press();
        EXPECT_EQ(state->actionRunning(), c.alertOpen);
        EXPECT_TRUE(waitFor([&] { return header->stopButton()->isVisible() == c.alertOpen; }, 5000));
        fakes.svn->holdRuns = false;
        fakes.svn->release(0);
        settle(*state);
        // The finished update's sheet, and the alert, go before the next round.
        state->setCommandOutput(std::nullopt);
        state->setAlert(std::nullopt);
        settle(*state);
        fakes.svn->holdRuns = true;
    }

    // A refresh whose log waits on the server offers Stop too; stopped, it shows nothing and alerts nothing.
    state->refreshHistory();
    ASSERT_TRUE(waitFor([&] {
        if (state->busyMessage() == "Loading history" && fakes.svn->heldCount() == 1)
            return true;
        if (fakes.svn->heldCount() > 0)
            fakes.svn->release(0);
        return false;
    }));
    EXPECT_TRUE(waitFor([&] { return header->stopButton()->isVisible(); }, 5000));
    EXPECT_EQ(header->busyLabel()->text(), "Loading history");
    QTest::mouseClick(header->stopButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !header->stopButton()->isVisible(); }, 5000));
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    settle(*state);
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());
    EXPECT_FALSE(content()->alertBox());
}

TEST_F(ShellFixture, StopBesideALoadEndsTheLoadAloneAndTheActionsBusyTextAndStopComeBack)
{
    open({svnProject});
    ProjectHeaderView *header = content()->detailView()->header();
    const std::function<void()> stopButton = [&] { QTest::mouseClick(header->stopButton(), Qt::LeftButton); };
    const std::function<void()> escape = [&] {
        QApplication::setActiveWindow(window.get());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    };
    const struct {
        const char *name;
        std::function<void()> first, second;
    } cases[] = {{"button, then escape", stopButton, escape}, {"escape, then button", escape, stopButton}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fakes.svn->holdRuns = true;
        state->updateWorkingCopy();
        ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1 && state->busyMessage() == "Update"; }));
        // History is shown while the update runs: its load takes the busy text over.
        state->refreshHistory();
        ASSERT_TRUE(waitFor([&] {
            if (state->busyMessage() == "Loading history" && fakes.svn->heldCount() == 2)
                return true;
            if (fakes.svn->heldCount() > 1)
                fakes.svn->release(1);
            return false;
        }));
        ASSERT_TRUE(waitFor([&] { return header->busyLabel()->text() == "Loading history"; }, 5000));
        const int historyRuns = svnRuns("log");

        c.first();
        // The load's run is ended; the update's goes on under its own busy text, with Stop beside it.
        fakes.svn->release(1);
        EXPECT_TRUE(waitFor([&] { return state->busyMessage() == "Update" && fakes.svn->heldCount() == 1; }, 5000));
        EXPECT_TRUE(state->actionRunning());
        EXPECT_TRUE(waitFor([&] { return header->busyLabel()->text() == "Update"; }, 5000));
        EXPECT_TRUE(header->stopButton()->isVisible());
        EXPECT_FALSE(state->alert());
        EXPECT_EQ(svnRuns("log"), historyRuns);

        c.second();
        fakes.svn->holdRuns = false;
        fakes.svn->release(0);
        settle(*state);
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "Update Failed");
        EXPECT_TRUE(state->alert()->message.startsWith("Update was stopped")) << state->alert()->message.toStdString();
        EXPECT_FALSE(state->busyMessage());
        EXPECT_FALSE(header->stopButton()->isVisible());
        state->setCommandOutput(std::nullopt);
        state->setAlert(std::nullopt);
        settle(*state);
    }
}

namespace {

QString statusListing(const QString &path)
{
    return QStringLiteral(R"(<?xml version="1.0"?><status><target path="."><entry path="%1">)"
                          R"(<wc-status item="modified" props="none" revision="1"/></entry></target></status>)")
        .arg(path);
}

} // namespace

TEST_F(ShellFixture, WhenTheFocusedControlGoesTheFocusLandsOnAControlThatTakesTabAndShowsIt)
{
    // The project with a change, whose list has the focus at the start of each route.
    Project changed = svnProject;
    changed.path = dir.filePath("alpha");
    const QString added = dir.filePath("added");
    ASSERT_TRUE(QDir().mkpath(changed.path) && QDir().mkpath(added));
    bool clean = false;
    const auto sidebar = [this] { return content()->sidebar(); };
    const auto picker = [this]() -> QWidget * { return content()->detailView()->picker(); };
    const auto selectedRow = [this]() -> QWidget * {
        for (SidebarProjectRow *row : content()->sidebar()->rows()) {
            if (row->isSelected())
                return row;
        }
        return nullptr;
    };
    const auto hideSidebar = [this] {
        content()->setSidebarVisible(false);
        QTest::qWait(ContentView::animationMilliseconds + 150);
    };
    const struct {
        const char *route;
        std::function<void()> act;
        std::function<QWidget *()> expected;
    } routes[] = {
        {"sidebar Add",
            [&] {
                dialogs.openPanelAnswers = {added};
                QTest::mouseClick(sidebar()->addButton(), Qt::LeftButton);
            },
            selectedRow},
        {"Repository > Add Existing Working Copy...",
            [&] {
                dialogs.openPanelAnswers = {added};
                const QList<QAction *> actions = window->findChildren<QAction *>();
                const auto item = std::find_if(actions.begin(), actions.end(),
                    [](QAction *action) { return action->text() == "Add Existing Working Copy..."; });
                ASSERT_NE(item, actions.end());
                (*item)->trigger();
            },
            picker},
        {"Ctrl+O",
            [&] {
                dialogs.openPanelAnswers = {added};
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
            },
            picker},
        {"a click on another project's row", [&] { QTest::mouseClick(sidebar()->rows().last(), Qt::LeftButton); },
            selectedRow},
        {"an Update stopped and its alert closed",
            [&] {
                fakes.svn->holdRuns = true;
                QTest::mouseClick(content()->detailView()->header()->updateButton(), Qt::LeftButton);
                ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
                clean = true;
                fakes.svn->holdRuns = false;
                QTest::mouseClick(content()->detailView()->header()->stopButton(), Qt::LeftButton);
                fakes.svn->release(0);
                ASSERT_TRUE(waitFor([this] { return content()->alertBox() != nullptr; }, 5000));
                settle(*state);
                QTest::mouseClick(content()->alertBox()->buttons()[0], Qt::LeftButton);
                settle(*state);
                window->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
            },
            picker},
        {"the sidebar shown from the floating button",
            [&] {
                hideSidebar();
                content()->showSidebarButton()->setFocus(Qt::TabFocusReason);
                QTest::keyClick(content()->showSidebarButton(), Qt::Key_Space);
            },
            [&]() -> QWidget * { return sidebar()->toggleButton(); }},
        {"the sidebar hidden from its toggle",
            [&] {
                sidebar()->toggleButton()->setFocus(Qt::TabFocusReason);
                QTest::keyClick(sidebar()->toggleButton(), Qt::Key_Space);
                QTest::qWait(ContentView::animationMilliseconds + 150);
            },
            [&]() -> QWidget * { return content()->showSidebarButton(); }},
    };
    for (const auto &route : routes) {
        SCOPED_TRACE(route.route);
        window.reset();
        clean = false;
        open({changed, gitProject});
        fakes.svn->responder = [&](const FakeCall &call) {
            if (call.arguments.value(0) == "status" && call.workingDirectory == changed.path && !clean)
                return okResult(statusListing("src/main.c"));
            // Ended by Stop: the fake runs go on, so the update fails as a killed svn does.
            if (call.arguments.value(0) == "update")
                return failedResult(15, QString());
            return okResult(QString());
        };
        state->refreshAll();
        settle(*state);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        auto *list = window->findChild<QWidget *>("changeList");
        ASSERT_TRUE(list && list->isVisible());
        list->setFocus(Qt::TabFocusReason);

        route.act();
        settle(*state);
        QCoreApplication::processEvents();
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        EXPECT_TRUE(focus->isVisible()) << focus->metaObject()->className();
        EXPECT_TRUE(focus->focusPolicy() & Qt::TabFocus) << focus->metaObject()->className();
        EXPECT_EQ(focus, route.expected()) << focus->metaObject()->className();
    }
    state->setAlert(std::nullopt);
    state->setCommandOutput(std::nullopt);
    settle(*state);
}
