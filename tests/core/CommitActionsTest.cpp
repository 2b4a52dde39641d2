// Commit over fake tools: the batch, the preparatory runs, the output, the reload and the failures.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CommitFixture : FakeStateFixture {
    void list(const QList<WorkingCopyItem> &changes, const QStringList &ticked)
    {
        state->setChanges(changes);
        state->setSelectedCommitPaths(QSet<QString>(ticked.begin(), ticked.end()));
    }
};

WorkingCopyItem item(const QString &path, SVNStatusKind kind = SVNStatusKind::modified)
{
    WorkingCopyItem change;
    change.path = path;
    change.kind = kind;
    return change;
}

} // namespace

TEST_F(CommitFixture, TicksFollowTheTickBoxes)
{
    makeState({svnProject});
    state->setCommitSelection(item("b.txt"), true);
    state->setCommitSelection(item("a.txt"), true);
    state->setCommitSelection(item("a.txt"), true);
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt"}));
    state->setCommitSelection(item("b.txt"), false);
    state->setCommitSelection(item("never.txt"), false);
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt"}));
}

TEST_F(CommitFixture, ChecksPathsBeforeTheMessage)
{
    makeState({svnProject});
    state->setSelectedProjectID(std::nullopt);
    list({item("a.txt")}, {"a.txt"});
    state->setCommitMessage("msg");
    state->commitSelected();
    EXPECT_FALSE(state->alert()) << "without a project nothing is said";

    makeState({svnProject});
    list({item("a.txt")}, {});
    state->commitSelected();
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Nothing To Commit");
    EXPECT_EQ(state->alert()->message, "Select at least one changed path.");

    // A tick on a path that is no longer listed counts for nothing.
    state->setAlert(std::nullopt);
    list({item("a.txt")}, {"gone.txt"});
    state->setCommitMessage("msg");
    state->commitSelected();
    EXPECT_EQ(state->alert()->title, "Nothing To Commit");

    list({item("a.txt")}, {"a.txt"});
    state->setCommitMessage(" \n\t ");
    state->commitSelected();
    EXPECT_EQ(state->alert()->title, "Commit Message Required");
    EXPECT_EQ(state->alert()->message, "Enter a commit message before committing.");
    EXPECT_EQ(state->runningTasks(), 0);
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(CommitFixture, SvnSchedulesMissingAndUnversionedThenCommitsInListOrder)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments == QStringList{"status", "--xml", "./-added-then-removed", "./-gone"})
            return okResult(R"(<status><target path="-gone"><entry path="-gone"><wc-status item="deleted" )"
                            R"(props="none"/></entry></target><target path="-added-then-removed"/></status>)");
        return call.arguments.value(0) == "commit" ? okResult("Committed revision 7.\n", "") : okResult("prep\n");
    };
    list({item("-added-then-removed", SVNStatusKind::missing), item("-gone", SVNStatusKind::missing),
             item("new@2x.png", SVNStatusKind::unversioned), item("c.txt"), item("d.txt", SVNStatusKind::conflicted),
             item("d.txt.mine", SVNStatusKind::unversioned), item("skipped.txt")},
        {"c.txt", "new@2x.png", "-gone", "-added-then-removed", "d.txt", "d.txt.mine", "elsewhere.txt"});
    state->setChanges([&] {
        QList<WorkingCopyItem> changes = state->changes();
        changes[5].conflictFile = true;
        return changes;
    }());
    state->setCommitMessage("\n  Fix it\n\nwith details  \n");
    state->commitSelected();
    // The batch is fixed at the call.
    state->setCommitMessage("typed while committing");
    ASSERT_TRUE(waitUntilIdle(*state));

    const QList<QStringList> lists = fakes.svn->argumentLists();
    // svn's conflict file is neither added nor committed; the deletion that unscheduled an addition
    // leaves that path out of the commit.
    ASSERT_GE(lists.size(), 4);
    EXPECT_EQ(lists[0], QStringList({"delete", "--force", "./-added-then-removed", "./-gone"}));
    EXPECT_EQ(lists[1], QStringList({"add", "new@2x.png@"}));
    EXPECT_EQ(lists[2], QStringList({"status", "--xml", "./-added-then-removed", "./-gone"}));
    EXPECT_EQ(lists[3],
        QStringList({"commit", "--depth=empty", "--force-log", "./-gone", "new@2x.png@", "c.txt", "d.txt", "-m",
            "Fix it\n\nwith details"}));
    EXPECT_EQ(lists.mid(4), QList<QStringList>({{"status", "--xml", "--no-ignore"}, {"info", "--xml"}}));
    for (const FakeCall &call : fakes.svn->calls)
        EXPECT_EQ(call.workingDirectory, "/work/alpha");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Commit");
    EXPECT_EQ(state->commandOutput()->stdout, "Committed revision 7.\n") << "only the commit run is shown";
    EXPECT_EQ(state->commitMessage(), "") << "cleared, also what was typed during the commit";
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(CommitFixture, GitCommitsLiteralPathsAfterTheSeparator)
{
    makeState({gitProject});
    state->setSelectedTab(WorkflowTab::history);
    fakes.git->holdRuns = true;
    list({item("-R"), item("*.txt", SVNStatusKind::unversioned), item("gone", SVNStatusKind::deleted)},
        {"-R", "*.txt", "gone"});
    state->setCommitMessage("Message");
    state->commitSelected();
    ASSERT_TRUE(waitFor([&] { return fakes.git->heldCount() == 1; }));
    EXPECT_EQ(state->busyMessage(), "Committing");
    fakes.git->holdRuns = false;
    fakes.git->release(0);
    ASSERT_TRUE(waitFor([&] { return fakes.git->calls.size() >= 3 && fakes.git->heldCount() == 0; }));
    // None of the paths is on disk in this made-up project, so there is nothing for git add: the removals
    // go straight into the commit (the real repositories show the add run).
    ASSERT_TRUE(waitUntilIdle(*state));

    ASSERT_GE(fakes.git->calls.size(), 3);
    EXPECT_EQ(fakes.git->calls[0].arguments.mid(0, 2), QStringList({"rev-parse", "--git-path"}))
        << "first: is a merge being concluded";
    EXPECT_EQ(fakes.git->calls[1].arguments, QStringList({"commit", "-m", "Message", "--", "-R", "*.txt", "gone"}));
    EXPECT_EQ(fakes.git->calls[1].workingDirectory, "/work/beta");
    EXPECT_EQ(fakes.git->calls.value(2).arguments.value(0), "status") << "then the reload";
    // With History visible the reload loads it too.
    bool loadedHistory = false;
    for (const FakeCall &call : fakes.git->calls)
        loadedHistory = loadedHistory || call.arguments.value(0) == "log";
    EXPECT_TRUE(loadedHistory);
    EXPECT_EQ(state->commandOutput()->title, "Commit");
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake commit -m Message -- -R '*.txt' gone");
}

TEST_F(CommitFixture, AFailedPreparatoryRunStopsTheCommitKeepsTheMessageAndReloadsTheStatus)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        return call.arguments.value(0) == "add" ? failedResult(1, "svn: E155010: not found\n") : okResult(QString());
    };
    list({item("gone", SVNStatusKind::missing), item("new", SVNStatusKind::unversioned), item("c.txt")},
        {"gone", "new", "c.txt"});
    state->setCommitMessage("Message");
    state->commitSelected();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->argumentLists(),
        QList<QStringList>({{"delete", "--force", "gone"}, {"add", "new"}, {"status", "--xml", "--no-ignore"}}))
        << "the status is reloaded, since the deletion that succeeded changed it";
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Commit Failed");
    EXPECT_EQ(state->alert()->message, "svn: E155010: not found\n");
    EXPECT_EQ(state->commandOutput()->title, "Commit Failed");
    EXPECT_EQ(state->commitMessage(), "Message");
    EXPECT_FALSE(state->busyMessage());

    // A git add that fails: no commit run either.
    makeState({gitProject});
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: pathspec\n"); };
    list({item("a")}, {"a"});
    state->setCommitMessage("Message");
    state->commitSelected();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.git->argumentLists().value(1).value(0), "commit")
        << "the merge question, whose failure counts as no merge, then the commit";
    EXPECT_EQ(fakes.git->argumentLists().value(2).value(0), "status");
    EXPECT_EQ(state->alert()->title, "Commit Failed") << "a reload that fails as well does not hide it";
    EXPECT_EQ(state->alert()->message, "fatal: pathspec\n");
    EXPECT_EQ(state->commitMessage(), "Message");
}

TEST_F(CommitFixture, ALaunchFailureAlertsWithoutOutput)
{
    makeState({svnProject});
    state->setCommandOutput(std::nullopt);
    list({item("a")}, {"a"});
    state->setCommitMessage("Message");
    fakes.svn->holdRuns = true;
    state->commitSelected();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    fakes.svn->responder
        = [](const FakeCall &) -> SVNCommandResult { throw SVNClientError::launchFailed("Could not find svn."); };
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->alert()->title, "Commit Failed");
    EXPECT_EQ(state->alert()->message, "Could not find svn.");
    EXPECT_FALSE(state->commandOutput());
}

TEST_F(CommitFixture, ACommitEndingAfterAProjectSwitchKeepsTheOtherProjectsMessage)
{
    makeState({svnProject, gitProject});
    ASSERT_TRUE(waitUntilIdle(*state));
    list({item("a")}, {"a"});
    state->setCommitMessage("For Alpha");
    fakes.svn->holdRuns = true;
    state->commitSelected();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));

    state->setSelectedProjectID(gitProject.id);
    state->projectSelectionChanged();
    state->setCommitMessage("For Beta, typed while Alpha committed");
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->argumentLists().value(0).value(0), "commit");
    EXPECT_EQ(state->commitMessage(), "For Beta, typed while Alpha committed");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Commit") << "the finished commit still shows its output";

    // Back on Alpha before its commit ends: the message is Alpha's and goes.
    state->setSelectedProjectID(svnProject.id);
    state->projectSelectionChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    list({item("a")}, {"a"});
    fakes.svn->holdRuns = true;
    state->commitSelected();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    state->setSelectedProjectID(gitProject.id);
    state->projectSelectionChanged();
    state->setSelectedProjectID(svnProject.id);
    state->projectSelectionChanged();
    fakes.svn->holdRuns = false;
    while (fakes.svn->heldCount() > 0)
        fakes.svn->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->commitMessage(), "");
}
