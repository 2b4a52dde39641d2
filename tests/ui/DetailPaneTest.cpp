// The detail pane: empty or project layout, the tab picker and its once-per-change tabChanged, and the
// project header with its subtitle rules.
#include "UiFixture.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/kit/Spinner.h"
#include "ui/window/DetailView.h"
#include "ui/window/ProjectHeaderView.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTest>

namespace {

struct PaneFixture : UiFixture {
    std::unique_ptr<DetailView> view;

    void open(const QList<Project> &projects)
    {
        makeState(projects);
        view = std::make_unique<DetailView>(*state);
        view->resize(1000, 700);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        settle(*state);
    }

    void choose(int segment)
    {
        SegmentedPicker *picker = view->picker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(segment).center());
        settle(*state);
    }

    void TearDown() override
    {
        view.reset();
        UiFixture::TearDown();
    }
};

} // namespace

TEST_F(PaneFixture, EmptyLayoutHasNoHeaderPickerOrTab)
{
    open({});
    EXPECT_FALSE(view->showsProject());
    EXPECT_TRUE(view->emptyView()->isVisible());
    EXPECT_FALSE(view->header()->isVisible());
    EXPECT_FALSE(view->picker()->isVisible());
    EXPECT_EQ(view->currentTabView(), nullptr);
}

TEST_F(PaneFixture, ProjectLayoutShowsHeaderPickerAndTheSelectedTab)
{
    open({svnProject});
    EXPECT_TRUE(view->showsProject());
    EXPECT_TRUE(view->header()->isVisible());
    EXPECT_EQ(view->picker()->titles(), QStringList({"Changes", "Incoming", "History", "Archives"}));
    EXPECT_EQ(view->picker()->currentIndex(), 0);
    EXPECT_EQ(view->currentTabView(), view->tabView(WorkflowTab::changes));
    EXPECT_EQ(view->currentTabView()->objectName(), "ChangesView");
    // Between 180 and 320 wide, centred, 10 above and below.
    const QRect picker = view->picker()->geometry();
    EXPECT_GE(picker.width(), 180);
    EXPECT_LE(picker.width(), 320);
    EXPECT_NEAR(picker.center().x(), view->width() / 2, 2);
    EXPECT_EQ(picker.top(), view->header()->geometry().bottom() + 1 + 1 + 10);
}

TEST_F(PaneFixture, ChoosingATabCallsTabChangedOncePerRealChange)
{
    open({svnProject});
    fakes.svn->calls.clear();

    choose(2);
    EXPECT_EQ(state->selectedTab(), WorkflowTab::history);
    EXPECT_EQ(view->currentTabView()->objectName(), "HistoryView");
    EXPECT_EQ(svnRuns("log"), 1);

    // The segment already chosen: nothing.
    choose(2);
    EXPECT_EQ(svnRuns("log"), 1);

    choose(0);
    EXPECT_EQ(state->selectedTab(), WorkflowTab::changes);
    EXPECT_EQ(svnRuns("log"), 1);
    EXPECT_EQ(svnRuns("status"), 0);

    // A state method that selects the tab itself runs the handler too: with the log still empty the
    // load starts a second time.
    state->refreshHistory();
    settle(*state);
    EXPECT_EQ(view->currentTabView()->objectName(), "HistoryView");
    EXPECT_EQ(svnRuns("log"), 3);
}

TEST_F(PaneFixture, TabChangesWhileNoProjectShowsCallNothing)
{
    open({svnProject});
    state->setSelectedProjectID(std::nullopt);
    settle(*state);
    EXPECT_FALSE(view->showsProject());
    fakes.svn->calls.clear();
    state->setSelectedTab(WorkflowTab::archives);
    settle(*state);
    // The tab that stands when the project comes back is no change either.
    state->setSelectedProjectID(svnProject.id);
    settle(*state);
    EXPECT_EQ(view->currentTabView()->objectName(), "ArchivesView");
    EXPECT_EQ(view->picker()->currentIndex(), 3);
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST(RepositorySubtitle, FirstMatchingRuleWins)
{
    RepositoryInfo none;
    EXPECT_EQ(repositorySubtitle(std::nullopt, none), "");
    EXPECT_EQ(repositorySubtitle(RepositoryKind::svn, none), "SVN");
    EXPECT_EQ(repositorySubtitle(RepositoryKind::git, none), "Git");

    RepositoryInfo svn;
    svn.revision = "1240";
    EXPECT_EQ(repositorySubtitle(RepositoryKind::svn, svn), "SVN r1240");
    svn.workingRevision = "1234";
    EXPECT_EQ(repositorySubtitle(RepositoryKind::svn, svn), "SVN r1234");
    // Present but empty: no fallback to the revision.
    svn.workingRevision = "";
    EXPECT_EQ(repositorySubtitle(RepositoryKind::svn, svn), "SVN");
    EXPECT_EQ(repositorySubtitle(std::nullopt, svn), "");

    RepositoryInfo git;
    git.revision = "main 4cc6314";
    git.workingRevision = "7";
    EXPECT_EQ(repositorySubtitle(RepositoryKind::git, git), "Git main 4cc6314");
    git.revision = "";
    // Git never takes the svn rule.
    EXPECT_EQ(repositorySubtitle(RepositoryKind::git, git), "Git");
}

TEST_F(PaneFixture, HeaderFollowsTheProjectKindBusyMessageAndInfo)
{
    Project longPath = gitProject;
    longPath.path = "/home/someone/Development/customers/northwind/very-long-folder-name/service/checkout";
    open({longPath, svnProject});
    ProjectHeaderView *header = view->header();
    EXPECT_EQ(header->nameLabel()->text(), "Beta");
    EXPECT_EQ(header->subtitleLabel()->text(), "Git");
    EXPECT_TRUE(header->branchButton()->isVisible());
    EXPECT_EQ(header->branchButton()->toolTip(), "Switch Branch");
    EXPECT_EQ(header->refreshButton()->toolTip(), "Refresh Status");
    EXPECT_EQ(header->updateButton()->toolTip(), "Update");
    EXPECT_FALSE(header->spinner()->isVisible());
    EXPECT_FALSE(header->busyLabel()->isVisible());

    const QString path = header->pathLabel()->elidedText();
    EXPECT_TRUE(path.startsWith("/home")) << path.toStdString();
    EXPECT_TRUE(path.endsWith("checkout")) << path.toStdString();

    // Busy items (spinner, text, Stop) stand between the spacer and Refresh; every button stays usable.
    state->setBusyMessage(QString("Loading status"));
    settle(*state);
    EXPECT_TRUE(header->spinner()->isVisible());
    EXPECT_TRUE(header->busyLabel()->isVisible());
    EXPECT_EQ(header->busyLabel()->text(), "Loading status");
    auto *row = static_cast<QHBoxLayout *>(header->layout());
    EXPECT_EQ(row->indexOf(header->spinner()) + 1, row->indexOf(header->busyLabel()));
    EXPECT_EQ(row->indexOf(header->busyLabel()) + 1, row->indexOf(header->stopButton()));
    EXPECT_EQ(row->indexOf(header->stopButton()) + 1, row->indexOf(header->refreshButton()));
    // Only an action the user started offers Stop; a load does not.
    EXPECT_FALSE(header->stopButton()->isVisible());
    EXPECT_TRUE(header->refreshButton()->isEnabled());
    EXPECT_LT(header->busyLabel()->geometry().right(), header->refreshButton()->geometry().left());
    state->setBusyMessage(std::nullopt);

    // The kind decides the Branch button and the subtitle rule.
    state->setSelectedProjectID(svnProject.id);
    RepositoryInfo info;
    info.workingRevision = "12";
    state->setRepositoryInfo(info);
    settle(*state);
    EXPECT_EQ(header->nameLabel()->text(), "Alpha");
    EXPECT_EQ(header->subtitleLabel()->text(), "SVN r12");
    EXPECT_FALSE(header->branchButton()->isVisible());
    EXPECT_TRUE(header->refreshButton()->isVisible());
    EXPECT_TRUE(header->updateButton()->isVisible());

    fakes.svn->calls.clear();
    QTest::mouseClick(header->refreshButton(), Qt::LeftButton);
    settle(*state);
    EXPECT_EQ(svnRuns("status"), 1);
}
