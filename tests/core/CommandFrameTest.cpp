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

// The reload after a failure puts back what its own loads covered, and nothing else: not what the user
// closed, nor over what a newer action showed.
TEST_F(FrameFixture, TheReloadAfterAFailureNeverReopensNorReplacesWhatTheUserSees)
{
    enum class Meanwhile { nothing, close, cleanupFails };
    const struct {
        const char *name;
        bool statusFails; // the reload's status load
        Meanwhile meanwhile; // while that load waits
        QString shown; // the alert's and the output's title at the end, if any
    } rows[] = {
        {"the reload's own load fails", true, Meanwhile::nothing, "Update Failed"},
        {"the user closes the alert and the sheet", false, Meanwhile::close, ""},
        {"the user closes them, then the load fails", true, Meanwhile::close, "Status Failed"},
        {"a second action fails meanwhile", false, Meanwhile::cleanupFails, "Cleanup Failed"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        makeState({svnProject});
        fakes.svn->responder = [&row](const FakeCall &call) {
            const QString name = call.arguments.value(0);
            if (name == "update" || name == "cleanup" || (row.statusFails && call.arguments.contains("--no-ignore")))
                return failedResult(1, name + " refused\n");
            return okResult(QString());
        };
        fakes.svn->holdRuns = true;
        // Lets the run held at that position go on, once it is held.
        const auto release = [this](size_t index) {
            ASSERT_TRUE(waitFor([this, index] { return fakes.svn->heldCount() > index; }));
            fakes.svn->release(index);
        };
        state->runInSelectedProject({"Update", RepositoryKind::svn, {{"update"}}, AppState::AfterRun::reload});
        release(0); // the update fails
        ASSERT_TRUE(waitFor([this] { return fakes.svn->heldCount() == 1; }));
        ASSERT_EQ(fakes.svn->calls.last().arguments, QStringList({"status", "--xml", "--no-ignore"}));
        ASSERT_EQ(state->alert()->title, "Update Failed");
        if (row.meanwhile == Meanwhile::close) {
            state->setAlert(std::nullopt);
            state->setCommandOutput(std::nullopt);
        } else if (row.meanwhile == Meanwhile::cleanupFails) {
            state->runInSelectedProject({"Cleanup", RepositoryKind::svn, {{"cleanup"}}, AppState::AfterRun::reload});
            for (int run = 0; run < 3; ++run) // cleanup, status, info
                release(1);
            ASSERT_TRUE(waitFor([this] { return state->runningTasks() == 1; }));
            ASSERT_EQ(state->alert()->title, "Cleanup Failed");
        }
        fakes.svn->holdRuns = false;
        release(0);
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(state->alert() ? state->alert()->title : QString(), row.shown);
        EXPECT_EQ(state->commandOutput() ? state->commandOutput()->title : QString(), row.shown);
    }
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
