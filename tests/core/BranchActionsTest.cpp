// Git branch switching: the dialog's request and the target rules over fakes, the checkout fallback,
// and real switches that git refuses or makes.
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

const QString listing = "*\trefs/heads/main\tmain\n"
                        " \trefs/heads/feature\tfeature\n"
                        " \trefs/remotes/origin/HEAD\torigin/HEAD\n"
                        " \trefs/remotes/origin/dev\torigin/dev\n";

// Notes the busy text at the moment the dialog opens.
struct BranchDialogs : ScriptedDialogs {
    const AppState *state = nullptr;
    std::optional<QString> busyAtChoice = QString("not asked");

    // When set, the item of this title is chosen.
    QString pick;

    std::optional<BranchChoiceAnswer> chooseBranch(const BranchChoiceRequest &request) override
    {
        busyAtChoice = state->busyMessage();
        const std::optional<BranchChoiceAnswer> scripted = ScriptedDialogs::chooseBranch(request);
        if (pick.isEmpty())
            return scripted;
        return BranchChoiceAnswer{int(request.itemTitles.indexOf(pick)), QString()};
    }
};

// git without the switch subcommand, as older versions are.
struct GitWithoutSwitch : GitClient {
protected:
    QCoro::Task<SVNCommandResult> launch(ToolRun run) override
    {
        if (run.arguments.value(0) == "switch")
            run.arguments[0] = "no-such-switch";
        return GitClient::launch(std::move(run));
    }
};

struct BranchFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    FakeClients fakes;
    BranchDialogs dialogs;
    std::unique_ptr<AppState> state;
    QString branchList = listing;
    SVNCommandResult switchAnswer = okResult(QString());

    void makeState(const Project &project, std::optional<AppClients> clients = std::nullopt)
    {
        ProjectStore(&settings).save({project});
        state = std::make_unique<AppState>(&settings, clients ? std::move(*clients) : fakes.make());
        dialogs.state = state.get();
        state->setDialogs(&dialogs);
        if (!clients) {
            fakes.git->responder = [this](const FakeCall &call) {
                if (call.arguments.value(0) == "for-each-ref")
                    return okResult(branchList);
                if (call.arguments.value(0) == "switch")
                    return switchAnswer;
                return okResult(QString());
            };
        }
    }

    void makeGitState() { makeState({QUuid::createUuid(), "repo", "/work/repo", RepositoryKind::git}); }

    void choose(std::optional<int> index, const QString &text)
    {
        dialogs.branchAnswers.push_back(BranchChoiceAnswer{index, text});
        state->switchGitBranch();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    // The switch and checkout runs, in order.
    QList<QStringList> switchRuns() const
    {
        QList<QStringList> runs;
        for (const QStringList &arguments : fakes.git->argumentLists()) {
            if (arguments.value(0) == "switch" || arguments.value(0) == "checkout")
                runs.push_back(arguments);
        }
        return runs;
    }

    QString alertText() const { return state->alert() ? state->alert()->title + " / " + state->alert()->message : ""; }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

} // namespace

TEST_F(BranchFixture, DialogOffersTheListedBranchesWithTheCurrentOneChosen)
{
    makeGitState();
    state->switchGitBranch();
    EXPECT_EQ(state->busyMessage(), std::nullopt);
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.git->calls.size(), 1);
    EXPECT_EQ(fakes.git->calls[0].arguments,
        QStringList({"for-each-ref", "--no-color", "--format=%(HEAD)%09%(refname)%09%(refname:short)", "refs/heads",
            "refs/remotes"}));
    EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/repo");
    ASSERT_EQ(dialogs.branchRequests.size(), 1);
    EXPECT_EQ(dialogs.branchRequests[0].itemTitles, QStringList({"main (current)", "feature", "origin/dev (remote)"}));
    EXPECT_EQ(dialogs.branchRequests[0].preselectedIndex, 0);
    EXPECT_EQ(dialogs.branchRequests[0].textPlaceholder, "Optional branch name");
    EXPECT_EQ(dialogs.busyAtChoice, std::nullopt);
    // Cancelled: nothing more runs and nothing is shown.
    EXPECT_FALSE(state->alert());
    EXPECT_FALSE(state->commandOutput());

    // No current branch: the branch named in the repository info, unless the head is detached.
    branchList = " \trefs/heads/main\tmain\n \trefs/heads/feature\tfeature\n";
    RepositoryInfo info;
    info.revision = "  main abc1234";
    state->setRepositoryInfo(info);
    state->switchGitBranch();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(dialogs.branchRequests[1].itemTitles, QStringList({"feature", "main"}));
    EXPECT_EQ(dialogs.branchRequests[1].preselectedIndex, 1);
    info.revision = "HEAD abc1234";
    state->setRepositoryInfo(info);
    state->switchGitBranch();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(dialogs.branchRequests[2].preselectedIndex, std::nullopt);

    branchList.clear();
    choose(std::nullopt, "   ");
    EXPECT_EQ(dialogs.branchRequests[3].itemTitles, QStringList());
    EXPECT_EQ(dialogs.branchRequests[3].textPlaceholder, "Branch name");
    EXPECT_TRUE(switchRuns().isEmpty());
}

TEST_F(BranchFixture, TypedTextWinsAndOnlyAnExactRemoteNameTracks)
{
    makeGitState();
    const QList<std::tuple<std::optional<int>, QString, QStringList>> cases = {
        {2, "", {"switch", "--track", "refs/remotes/origin/dev"}},
        {2, "  feature \n", {"switch", "feature"}},
        {0, "origin/dev", {"switch", "--track", "refs/remotes/origin/dev"}},
        {0, "Origin/Dev", {"switch", "Origin/Dev"}},
        {0, "-", {"switch", "-"}},
        {7, " ", {}},
        {std::nullopt, "", {}},
    };
    for (const auto &[index, text, expected] : cases) {
        fakes.git->calls.clear();
        choose(index, text);
        EXPECT_EQ(switchRuns(), expected.isEmpty() ? QList<QStringList>() : QList<QStringList>{expected})
            << text.toStdString();
    }

    fakes.git->calls.clear();
    choose(0, "--orphan=x");
    EXPECT_EQ(alertText(), "Switch Branch Failed / Branch names cannot begin with '-'.");
    EXPECT_TRUE(switchRuns().isEmpty());
}

TEST_F(BranchFixture, SuccessAlwaysShowsTheOutputAndReloadsTheVisibleTab)
{
    makeGitState();
    state->setSelectedTab(WorkflowTab::history);
    choose(1, "");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Switch Branch");
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake switch feature");
    QStringList subcommands;
    for (const QStringList &arguments : fakes.git->argumentLists())
        subcommands << arguments.value(0);
    EXPECT_EQ(subcommands.mid(0, 3), QStringList({"for-each-ref", "switch", "status"}));
    EXPECT_TRUE(subcommands.contains("log"));
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(BranchFixture, FailedSwitchReloadsTheListAndKeepsItsFailure)
{
    // git may have checked out some files before it failed.
    switchAnswer = failedResult(128, "error: unable to unlink old 'a.txt': Permission denied\n");
    makeGitState();
    choose(1, "");
    EXPECT_EQ(alertText(), "Switch Branch Failed / error: unable to unlink old 'a.txt': Permission denied\n");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Switch Branch Failed");
    QStringList subcommands;
    for (const QStringList &arguments : fakes.git->argumentLists())
        subcommands << arguments.value(0);
    EXPECT_EQ(subcommands.mid(0, 3), QStringList({"for-each-ref", "switch", "status"}));
}

TEST_F(BranchFixture, CheckoutStandsInOnlyWhenGitLacksSwitch)
{
    makeGitState();
    switchAnswer = failedResult(1, "git: 'switch' is not a git command. See 'git --help'.\n");
    choose(1, "");
    choose(2, "");
    switchAnswer = failedResult(129, QString());
    switchAnswer.stdout = "error: UNKNOWN SUBCOMMAND: switch";
    choose(std::nullopt, "feature");
    EXPECT_EQ(switchRuns(),
        QList<QStringList>({{"switch", "feature"}, {"checkout", "feature", "--"},
            {"switch", "--track", "refs/remotes/origin/dev"}, {"checkout", "--track", "refs/remotes/origin/dev", "--"},
            {"switch", "feature"}, {"checkout", "feature", "--"}}));
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake checkout feature --");
    EXPECT_FALSE(state->alert());

    // Any other failure is the switch's own, without a checkout.
    fakes.git->calls.clear();
    switchAnswer = failedResult(128, "fatal: invalid reference: nope\n");
    choose(std::nullopt, "nope");
    EXPECT_EQ(switchRuns(), QList<QStringList>({{"switch", "nope"}}));
    EXPECT_EQ(alertText(), "Switch Branch Failed / fatal: invalid reference: nope\n");
    EXPECT_EQ(state->commandOutput()->title, "Switch Branch Failed");
}

TEST_F(BranchFixture, ListFailureAndWrongProjectAlertWithoutADialog)
{
    makeGitState();
    branchList = QString();
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: not a git repository\n"); };
    state->switchGitBranch();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(alertText(), "Switch Branch Failed / fatal: not a git repository\n");
    EXPECT_TRUE(dialogs.branchRequests.isEmpty());
    EXPECT_FALSE(state->busyMessage());

    state->setProjects({{QUuid::createUuid(), "wc", "/work/wc", RepositoryKind::svn}});
    state->setSelectedProjectID(state->projects().first().id);
    fakes.git->calls.clear();
    state->switchGitBranch();
    EXPECT_EQ(alertText(), "Git Command Unavailable / This project is an SVN working copy.");
    state->setSelectedProjectID(std::nullopt);
    state->switchGitBranch();
    EXPECT_EQ(alertText(), "No Project Selected / Choose a project first.");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(BranchFixture, RealSwitchThatWouldLoseLocalChangesIsRefused)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "main\n");
    git.commitAll();
    git.git({"switch", "-q", "-c", "feature"});
    writeFile(git.path + "/a.txt", "feature\n");
    git.commitAll();
    git.git({"switch", "-q", "main"});
    writeFile(git.path + "/a.txt", "local\n");
    makeState({QUuid::createUuid(), "repo", git.path, RepositoryKind::git}, AppClients::real(&settings));

    choose(std::nullopt, "feature");
    EXPECT_TRUE(alertText().startsWith("Switch Branch Failed / error: Your local changes"))
        << alertText().toStdString();
    EXPECT_EQ(readFile(git.path + "/a.txt"), "local\n");
    EXPECT_EQ(git.git({"branch", "--show-current"}), "main\n");

    // An unknown name is no branch and no file.
    choose(std::nullopt, "nosuch");
    EXPECT_EQ(alertText(), "Switch Branch Failed / fatal: invalid reference: nosuch\n");
}

// git moves HEAD, then a post-checkout hook fails (git-lfs's, where git-lfs is missing) and git exits 1.
TEST_F(BranchFixture, RealSwitchFailingAfterHEADMovedShowsTheNewBranchAndMarksHistoryStale)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "main\n");
    git.commitAll("on main");
    git.git({"switch", "-q", "-c", "other"});
    writeFile(git.path + "/a.txt", "other\n");
    git.commitAll("on other");
    git.git({"switch", "-q", "main"});
    writeFile(git.path + "/.git/hooks/post-checkout", "#!/bin/sh\necho 'hook failed' >&2\nexit 1\n");
    ASSERT_TRUE(QFile::setPermissions(git.path + "/.git/hooks/post-checkout", QFile::ReadOwner | QFile::ExeOwner));
    makeState({QUuid::createUuid(), "repo", git.path, RepositoryKind::git}, AppClients::real(&settings));
    const auto show = [this](WorkflowTab tab) {
        state->setSelectedTab(tab);
        state->tabChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
    };
    state->refreshAll();
    show(WorkflowTab::history);
    ASSERT_EQ(state->logEntries().value(0).message, "on main");
    show(WorkflowTab::changes);

    choose(std::nullopt, "other");
    EXPECT_TRUE(alertText().startsWith("Switch Branch Failed / ")) << alertText().toStdString();
    EXPECT_TRUE(alertText().endsWith("hook failed\n")) << alertText().toStdString();
    const QByteArray branch = git.git({"symbolic-ref", "--short", "HEAD"}).trimmed();
    ASSERT_EQ(branch, "other");
    const QStringList header = state->repositoryInfo().revision.value_or(QString()).split(' ');
    EXPECT_EQ(header.value(0), QString::fromUtf8(branch));
    EXPECT_TRUE(header.size() == 2 && git.git({"rev-parse", "HEAD"}).startsWith(header[1].toUtf8()))
        << header.join(' ').toStdString();
    show(WorkflowTab::history);
    EXPECT_EQ(state->logEntries().value(0).message, "on other");
}

TEST_F(BranchFixture, RealRemoteBranchIsCheckedOutTracking)
{
    const GitFixture upstream = GitFixture::create(sandbox.path(), "upstream");
    writeFile(upstream.path + "/a.txt", "a\n");
    upstream.commitAll();
    upstream.git({"branch", "dev"});
    const QString clone = sandbox.filePath("clone");
    runTool("git", {"clone", "-q", upstream.path, clone});
    makeState({QUuid::createUuid(), "clone", clone, RepositoryKind::git}, AppClients::real(&settings));

    state->switchGitBranch();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(dialogs.branchRequests.size(), 1);
    const int remote = int(dialogs.branchRequests[0].itemTitles.indexOf("origin/dev (remote)"));
    ASSERT_GE(remote, 0) << dialogs.branchRequests[0].itemTitles.join(", ").toStdString();
    choose(remote, "");
    EXPECT_FALSE(state->alert()) << alertText().toStdString();
    EXPECT_EQ(runTool("git", {"branch", "--show-current"}, clone), "dev\n");
    EXPECT_EQ(runTool("git", {"rev-parse", "--abbrev-ref", "dev@{upstream}"}, clone), "origin/dev\n");
    EXPECT_EQ(state->commandOutput()->title, "Switch Branch");
}

TEST_F(BranchFixture, RealCheckoutFallbackNeverReadsANameAsAFile)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/nosuch", "committed\n");
    git.commitAll();
    git.git({"branch", "feature"});
    writeFile(git.path + "/nosuch", "local change\n");
    AppClients clients = AppClients::real(&settings);
    clients.git = std::make_unique<GitWithoutSwitch>();
    makeState({QUuid::createUuid(), "repo", git.path, RepositoryKind::git}, std::move(clients));

    choose(std::nullopt, "nosuch");
    EXPECT_EQ(alertText(), "Switch Branch Failed / fatal: invalid reference: nosuch\n");
    EXPECT_TRUE(state->commandOutput()->commandLine.endsWith("checkout nosuch --"));
    EXPECT_EQ(readFile(git.path + "/nosuch"), "local change\n");

    choose(std::nullopt, "feature");
    EXPECT_EQ(git.git({"branch", "--show-current"}), "feature\n");
    EXPECT_EQ(state->commandOutput()->title, "Switch Branch");
    EXPECT_EQ(readFile(git.path + "/nosuch"), "local change\n");
}

TEST_F(BranchFixture, RealBranchesNamedLikeATagOrAnotherBranchAreListedAndSwitchedToByTheirOwnNames)
{
    const GitFixture upstream = GitFixture::create(sandbox.path(), "upstream");
    writeFile(upstream.path + "/a.txt", "a\n");
    upstream.commitAll();
    for (const char *branch : {"v1.0", "rel", "hotfix"})
        upstream.git({"branch", branch});
    upstream.git({"tag", "v1.0"});
    const GitFixture clone{sandbox.filePath("clone")};
    runTool("git", {"clone", "-q", upstream.path, clone.path});
    clone.git({"branch", "v1.0", "origin/v1.0"});
    clone.git({"tag", "origin/rel"});
    clone.git({"branch", "origin/hotfix"});
    makeState({QUuid::createUuid(), "clone", clone.path, RepositoryKind::git}, AppClients::real(&settings));

    // The title chosen, then the branch checked out and what it tracks.
    const QList<std::tuple<QString, QByteArray, QByteArray>> switches = {
        {"v1.0", "v1.0\n", "refs/remotes/origin/v1.0\n"},
        {"origin/rel (remote)", "rel\n", "refs/remotes/origin/rel\n"},
        {"origin/hotfix", "origin/hotfix\n", ""},
        {"origin/hotfix (remote)", "hotfix\n", "refs/remotes/origin/hotfix\n"},
    };
    for (const auto &[title, branch, upstreamRef] : switches) {
        SCOPED_TRACE(title.toStdString());
        dialogs.pick = title;
        state->switchGitBranch();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_FALSE(state->alert()) << alertText().toStdString();
        EXPECT_EQ(clone.git({"branch", "--show-current"}), branch);
        int status = 0;
        EXPECT_EQ(clone.git({"rev-parse", "--symbolic-full-name", "@{upstream}"}, &status), upstreamRef);
    }
    EXPECT_EQ(dialogs.branchRequests.value(0).itemTitles,
        QStringList({"main (current)", "origin/hotfix", "v1.0", "origin/hotfix (remote)", "origin/main (remote)",
            "origin/rel (remote)", "origin/v1.0 (remote)"}));
}
