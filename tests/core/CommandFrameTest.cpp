// The command frame over fake tools: busy text, output, reloads, flags and failure alerts.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct FrameFixture : FakeStateFixture { };

} // namespace

TEST_F(FrameFixture, SuccessShowsTheOutputReloadsStatusAndInfoAndFlagsHiddenTabs)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &) { return okResult(QString()); };
    state->runInSelectedProject({"Update", RepositoryKind::svn, {{"update"}}, AppState::AfterRun::reload});
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(svnSubcommands(), QList<QString>({"update", "status", "info"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Update");
    EXPECT_EQ(state->commandOutput()->stdout, "");
    EXPECT_FALSE(state->alert());
    EXPECT_FALSE(state->busyMessage());

    // All three tabs were flagged: each reloads when next shown even with a filled list.
    fakes.svn->calls.clear();
    state->setSelectedTab(WorkflowTab::history);
    state->tabChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(svnSubcommands().contains("log"));
}

TEST_F(FrameFixture, ANewlineAloneIsOutputAndVisibleTabIsReloaded)
{
    makeState({svnProject});
    state->setSelectedTab(WorkflowTab::history);
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "cleanup")
            return okResult("\n");
        return okResult(QString());
    };
    state->runInSelectedProject({"Cleanup", RepositoryKind::svn, {{"cleanup"}}, AppState::AfterRun::reload});
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(svnSubcommands(), QList<QString>({"cleanup", "status", "info", "log"}));
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Cleanup");
    EXPECT_EQ(state->commandOutput()->stdout, "\n");
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake cleanup");
}

TEST_F(FrameFixture, FailureShowsOutputAndAlertAndStillReloadsWhatTheRunLeft)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) != "update")
            return okResult(QString());
        SVNCommandResult result = okResult("partial\n", "svn: E155004: locked\n");
        result.status = 1;
        return result;
    };
    state->runInSelectedProject({"Update", RepositoryKind::svn, {{"update"}}, AppState::AfterRun::reload});
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(svnSubcommands(), QList<QString>({"update", "status", "info"}));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Update Failed");
    EXPECT_EQ(state->alert()->message, "svn: E155004: locked\n");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Update Failed");
    EXPECT_EQ(state->commandOutput()->stdout, "partial\n");
    EXPECT_FALSE(state->busyMessage());

    // A run that reloads nothing after a success reloads nothing after a failure.
    fakes.svn->calls.clear();
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, ""); };
    state->runInSelectedProject({"Info", RepositoryKind::svn, {{"info"}}, AppState::AfterRun::nothing});
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(svnSubcommands(), QList<QString>({"info"}));
    EXPECT_EQ(state->alert()->message, "Command exited with status 1.");
}

TEST_F(FrameFixture, WrongKindOrNoProjectAlertsAndRunsNothing)
{
    makeState({gitProject});
    state->runInSelectedProject({"Update", RepositoryKind::svn, {{"update"}}, AppState::AfterRun::reload});
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "SVN Command Unavailable");
    EXPECT_EQ(
        state->alert()->message, "This project is a Git repository. Use Git-backed actions from Changes and History.");
    EXPECT_EQ(state->runningTasks(), 0);

    state->setSelectedProjectID(std::nullopt);
    state->runInSelectedProject({"Pull", RepositoryKind::git, {{"pull"}}, AppState::AfterRun::reload});
    EXPECT_EQ(state->alert()->title, "No Project Selected");
    EXPECT_EQ(state->alert()->message, "Choose a project first.");

    makeState({svnProject});
    state->runInSelectedProject({"Pull", RepositoryKind::git, {{"pull"}}, AppState::AfterRun::reload});
    EXPECT_EQ(state->alert()->title, "Git Command Unavailable");
    EXPECT_EQ(state->alert()->message, "This project is an SVN working copy.");
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(FrameFixture, GitCommandRunsInTheProjectFolderWithAskedOutput)
{
    makeState({gitProject});
    state->runInSelectedProject({"Pull", RepositoryKind::git, {{"pull", "--ff-only"}}, AppState::AfterRun::nothing});
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.git->calls.size(), 1);
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"pull", "--ff-only"}));
    EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/beta");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Pull");
}

TEST_F(FrameFixture, FormsTrimAndKeyTheirValues)
{
    makeState({svnProject});
    dialogs.promptAnswers.push_back(QStringList{"  one \n", "", "lower"});
    const auto values = state->prompt("Title", {{"a", "A", "x"}, {"b", "B", ""}, {"a", "A again", ""}});
    ASSERT_TRUE(values);
    EXPECT_EQ(values->value("a"), "lower");
    EXPECT_TRUE(values->contains("b"));
    EXPECT_EQ(values->value("b"), "");
    EXPECT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "x");
    EXPECT_FALSE(state->prompt("Title", {{"a", "A", ""}})) << "an empty script answers as cancelled";
    EXPECT_FALSE(state->confirm("Sure?", "Really."));
    dialogs.confirmAnswers.push_back(true);
    EXPECT_TRUE(state->confirm("Sure?", "Really."));
    EXPECT_EQ(dialogs.broughtToFront, 4);
}
