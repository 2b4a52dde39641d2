// The floating sidebar: rows in project order, the selection look, clicks, the toggle and the actions.
#include "UiFixture.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/window/SidebarOverlayView.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/window/SidebarToggleButton.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QToolButton>

namespace {

struct SidebarFixture : UiFixture {
    bool visible = true;
    std::unique_ptr<SidebarOverlayView> view;

    void open(const QList<Project> &projects)
    {
        makeState(projects);
        view = std::make_unique<SidebarOverlayView>(
            *state, Binding<bool>{[this] { return visible; }, [this](bool value) { visible = value; }});
        view->resize(292, 600);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        settle(*state);
    }

    QStringList rowNames() const
    {
        QStringList names;
        for (SidebarProjectRow *row : view->rows())
            names << row->project().name;
        return names;
    }

    // The tasks, then the layout passes they set off.
    void settleLayout()
    {
        settle(*state);
        for (int turn = 0; turn < 5; ++turn)
            QCoreApplication::processEvents();
    }

    int gitRuns(const QString &subcommand) const
    {
        int count = 0;
        for (const FakeCall &call : fakes.git->calls)
            count += call.arguments.value(0) == subcommand;
        return count;
    }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

} // namespace

TEST_F(SidebarFixture, EmptyListSaysNoProjectsUntilOneExists)
{
    open({});
    EXPECT_TRUE(view->rows().isEmpty());
    EXPECT_TRUE(view->noProjectsLabel()->isVisible());
    EXPECT_EQ(view->noProjectsLabel()->text(), "No Projects");

    state->setProjects({svnProject});
    settle(*state);
    EXPECT_EQ(rowNames(), QStringList({"Alpha"}));
    EXPECT_FALSE(view->noProjectsLabel()->isVisible());
}

TEST_F(SidebarFixture, RowsFollowTheProjectOrderAndTheSelection)
{
    Project third{QUuid::createUuid(), "Gamma", "/work/gamma", RepositoryKind::svn};
    open({gitProject, svnProject, third});
    EXPECT_EQ(rowNames(), QStringList({"Beta", "Alpha", "Gamma"}));
    // The first project is selected by the state; exactly its row shows so.
    EXPECT_TRUE(view->rows()[0]->isSelected());
    EXPECT_FALSE(view->rows()[1]->isSelected());
    EXPECT_FALSE(view->rows()[2]->isSelected());

    state->setProjects({third, svnProject});
    settle(*state);
    EXPECT_EQ(rowNames(), QStringList({"Gamma", "Alpha"}));
    EXPECT_FALSE(view->rows()[0]->isSelected());
    EXPECT_FALSE(view->rows()[1]->isSelected());

    // A renamed project keeps its row.
    SidebarProjectRow *gammaRow = view->rows()[0];
    third.name = "Gamma 2";
    state->setProjects({third, svnProject});
    settle(*state);
    EXPECT_EQ(view->rows()[0], gammaRow);
    EXPECT_EQ(rowNames(), QStringList({"Gamma 2", "Alpha"}));
}

TEST_F(SidebarFixture, ClickingAnotherRowSelectsAndReloadsOnceAndTheSelectedRowDoesNothing)
{
    open({svnProject, gitProject});
    fakes.svn->calls.clear();
    state->setSelectedChangeID(QString("stale.txt"));

    SidebarProjectRow *betaRow = view->rows()[1];
    // A click in the row's empty trailing part counts as well.
    QTest::mouseClick(betaRow, Qt::LeftButton, {}, QPoint(betaRow->width() - 4, betaRow->height() / 2));
    EXPECT_EQ(state->selectedProjectID(), gitProject.id);
    EXPECT_FALSE(state->selectedChangeID()); // the old project's data went at once
    settle(*state);
    // The reload ran for the new selection, once.
    EXPECT_EQ(gitRuns("status"), 1);
    ASSERT_FALSE(fakes.git->calls.isEmpty());
    EXPECT_EQ(fakes.git->calls.last().workingDirectory, gitProject.path);
    EXPECT_EQ(svnRuns("status"), 0);
    EXPECT_TRUE(betaRow->isSelected());
    EXPECT_FALSE(view->rows()[0]->isSelected());

    state->setSelectedChangeID(QString("kept.txt"));
    QTest::mouseClick(betaRow, Qt::LeftButton);
    settle(*state);
    EXPECT_EQ(gitRuns("status"), 1);
    EXPECT_EQ(state->selectedChangeID(), QString("kept.txt"));
}

TEST_F(SidebarFixture, LongPathsLoseTheirMiddle)
{
    Project deep = svnProject;
    deep.path = "/home/someone/Development/customers/northwind/very-long-folder-name/service/trunk";
    open({deep});
    const QString shown = view->rows()[0]->displayedPath();
    EXPECT_TRUE(shown.startsWith("/home")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("trunk")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
}

TEST_F(SidebarFixture, ToggleFlipsTheBindingAndActionsCarryTheirTooltips)
{
    open({});
    SidebarToggleButton *toggle = view->toggleButton();
    EXPECT_EQ(toggle->size(), QSize(30, 28));
    EXPECT_EQ(toggle->toolTip(), "Hide Sidebar");
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(visible);
    toggle->render();
    EXPECT_EQ(toggle->toolTip(), "Show Sidebar");

    EXPECT_EQ(view->addButton()->text(), "Add");
    EXPECT_EQ(view->addButton()->toolTip(), "Add Existing Working Copy");
    EXPECT_EQ(view->newButton()->text(), "New");
    EXPECT_EQ(view->newButton()->toolTip(), "Create SVN Repository");
    EXPECT_EQ(view->checkoutButton()->text(), "Checkout");
    EXPECT_EQ(view->checkoutButton()->toolTip(), "Checkout");
}

namespace {

QList<Project> fortyProjects()
{
    QList<Project> projects;
    for (int i = 1; i <= 40; ++i)
        projects << Project{QUuid::createUuid(), QStringLiteral("Project %1").arg(i, 2, 10, QLatin1Char('0')),
            QStringLiteral("/work/project%1").arg(i), RepositoryKind::svn};
    return projects;
}

bool inView(SidebarProjectRow *row)
{
    QWidget *viewport = row->parentWidget()->parentWidget();
    const QRect shown(row->mapTo(viewport, QPoint()), row->size());
    return viewport->rect().contains(shown);
}

} // namespace

TEST_F(SidebarFixture, TheSelectedRowIsScrolledIntoViewWheneverTheSelectionChanges)
{
    const QList<Project> projects = fortyProjects();
    open(projects);
    ASSERT_TRUE(view->rows().first()->isSelected());
    ASSERT_FALSE(inView(view->rows()[35]));

    // The 36th project chosen, as adding it chooses it.
    state->setSelectedProjectID(projects[35].id);
    state->projectSelectionChanged();
    settle(*state);
    EXPECT_TRUE(inView(view->rows()[35]));

    // Removed: the first project, now out of view, is chosen and shown.
    dialogs.confirmAnswers = {true};
    state->removeSelectedProject();
    settle(*state);
    ASSERT_EQ(view->rows().size(), 39);
    ASSERT_TRUE(view->rows().first()->isSelected());
    EXPECT_TRUE(inView(view->rows().first()));
}

TEST_F(SidebarFixture, AnAddedProjectIsWhollyShownOnceLaidOutAndAfterTheWindowShrinks)
{
    open(fortyProjects());
    // Sorted in between the 36th and the 37th, far below the first rows.
    const QString folder = dir.filePath("Project 36b");
    ASSERT_TRUE(QDir().mkpath(folder));
    dialogs.openPanelAnswers = {folder};
    state->addExistingWorkingCopy();
    settleLayout();
    ASSERT_EQ(view->rows().size(), 41);
    SidebarProjectRow *added = view->rows()[36];
    ASSERT_EQ(added->project().path, folder);
    ASSERT_TRUE(added->isSelected());
    EXPECT_TRUE(inView(added));

    for (const int height : {420, 260}) {
        view->resize(292, height);
        settleLayout();
        EXPECT_TRUE(inView(added)) << "at a height of " << height;
    }
}

TEST_F(SidebarFixture, FortyRowsAreOneTabStopAndTheListKeysMoveTheFocusKeepingItsRowInView)
{
    const QList<Project> projects = fortyProjects();
    open(projects);
    state->setSelectedProjectID(projects[5].id);
    state->projectSelectionChanged();
    settleLayout();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));

    // From the toggle round the whole panel: the toggle, the selected row, Add, New and Checkout.
    view->toggleButton()->setFocus(Qt::TabFocusReason);
    QList<QWidget *> stops{view->toggleButton()};
    for (int press = 0; press < 50; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == view->toggleButton())
            break;
        stops << QApplication::focusWidget();
    }
    EXPECT_EQ(stops,
        (QList<QWidget *>{
            view->toggleButton(), view->rows()[5], view->addButton(), view->newButton(), view->checkoutButton()}));

    // The keys move the focus, not the selection; the focused row is the one stop and is wholly shown.
    const auto further = [](int from, int to) { return to > from + 1; };
    const auto back = [](int from, int to) { return to < from - 1; };
    const struct {
        Qt::Key key;
        std::function<bool(int from, int to)> lands;
    } steps[] = {
        {Qt::Key_End, [](int, int to) { return to == 39; }},
        {Qt::Key_PageDown, [](int, int to) { return to == 39; }},
        {Qt::Key_PageUp, back},
        {Qt::Key_Home, [](int, int to) { return to == 0; }},
        {Qt::Key_Up, [](int, int to) { return to == 0; }},
        {Qt::Key_PageDown, further},
        {Qt::Key_PageDown, further},
        {Qt::Key_Down, [](int from, int to) { return to == from + 1; }},
        {Qt::Key_Up, [](int from, int to) { return to == from - 1; }},
    };
    view->rows()[5]->setFocus(Qt::TabFocusReason);
    int at = 5;
    for (const auto &step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key);
        settleLayout();
        const auto *focused = qobject_cast<SidebarProjectRow *>(QApplication::focusWidget());
        ASSERT_TRUE(focused) << QKeySequence(step.key).toString().toStdString();
        const int to = int(view->rows().indexOf(focused));
        const std::string where = QKeySequence(step.key).toString().toStdString() + " from row " + std::to_string(at)
            + " to row " + std::to_string(to);
        EXPECT_TRUE(step.lands(at, to)) << where;
        EXPECT_TRUE(inView(view->rows()[to])) << where;
        int tabStops = 0;
        for (SidebarProjectRow *row : view->rows())
            tabStops += (row->focusPolicy() & Qt::TabFocus) != 0;
        EXPECT_EQ(tabStops, 1) << where;
        EXPECT_EQ(state->selectedProjectID(), projects[5].id) << where;
        at = to;
    }
    // Gone from the rows, the stop goes back to the selected one.
    view->addButton()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(view->focusStop(), view->rows()[5]);
}
