// The working-copy path actions over fake tools: argument lists, titles, forms, alerts and reloads.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"
#include "tools/ToolOperands.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct PathActionsFixture : FakeStateFixture {
    // Lists the changes and ticks the given paths, with no highlighted row.
    void tick(const QList<WorkingCopyItem> &changes, const QStringList &ticked)
    {
        state->setChanges(changes);
        state->setSelectedChangeID(std::nullopt);
        state->setSelectedCommitPaths(QSet<QString>(ticked.begin(), ticked.end()));
    }

    static QStringList subcommands(const FakeSVNClient &tool)
    {
        QStringList names;
        for (const FakeCall &call : tool.calls)
            names << call.arguments.value(0);
        return names;
    }

    void expectNothingRan() const
    {
        EXPECT_EQ(state->runningTasks(), 0);
        EXPECT_TRUE(fakes.svn->calls.isEmpty());
        EXPECT_TRUE(fakes.git->calls.isEmpty());
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

TEST_F(PathActionsFixture, EverySvnActionBuildsItsListRunsInTheProjectAndReloads)
{
    struct Case {
        const char *name;
        std::function<void(AppState &)> call;
        QString title;
        QStringList arguments;
        bool reloads;
    };
    const QList<Case> cases = {
        {"update", [](AppState &s) { s.updateWorkingCopy(); }, "Update", {"update"}, true},
        {"info", [](AppState &s) { s.showRepositoryInfo(); }, "Info", {"info"}, false},
        {"cleanup", [](AppState &s) { s.cleanupWorkingCopy(); }, "Cleanup", {"cleanup"}, true},
        {"upgrade", [](AppState &s) { s.upgradeWorkingCopy(); }, "Upgrade", {"upgrade"}, true},
        {"add", [](AppState &s) { s.addSelectedPaths(); }, "Add", {"add", "A.txt", "a.txt", "b.txt"}, true},
        {"delete", [](AppState &s) { s.deleteSelectedPaths(); }, "Delete", {"delete", "A.txt", "a.txt", "b.txt"}, true},
        {"resolve", [](AppState &s) { s.resolveSelectedPaths("theirs-full"); }, "Resolve",
            {"resolve", "--accept", "theirs-full", "A.txt", "a.txt", "b.txt"}, true},
        {"lock", [](AppState &s) { s.lockSelectedPaths(); }, "Lock", {"lock", "A.txt", "a.txt", "b.txt"}, true},
        {"unlock", [](AppState &s) { s.unlockSelectedPaths(); }, "Unlock", {"unlock", "A.txt", "a.txt", "b.txt"}, true},
        {"remove changelist", [](AppState &s) { s.removeFromChangelist(); }, "Remove Changelist",
            {"changelist", "--remove", "A.txt", "a.txt", "b.txt"}, true},
    };
    makeState({svnProject});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fakes.svn->calls.clear();
        state->setCommandOutput(std::nullopt);
        // Ticks in plain code-point order: upper case before lower case.
        tick({item("a.txt"), item("b.txt"), item("A.txt")}, {"b.txt", "a.txt", "A.txt"});
        c.call(*state);
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_FALSE(fakes.svn->calls.isEmpty());
        EXPECT_EQ(fakes.svn->calls[0].arguments, c.arguments);
        EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
        ASSERT_TRUE(state->commandOutput()) << "the output shows even when the tool printed nothing";
        EXPECT_EQ(state->commandOutput()->title, c.title);
        EXPECT_EQ(subcommands(*fakes.svn).mid(1), c.reloads ? QStringList({"status", "info"}) : QStringList())
            << "reload after the run";
        EXPECT_FALSE(state->alert());
        EXPECT_FALSE(state->busyMessage());

        // Failed, the action reloads as it does after a success, its failure shown.
        fakes.svn->calls.clear();
        fakes.svn->responder = [&c](const FakeCall &call) {
            return call.arguments == c.arguments ? failedResult(1, "svn: E000001: refused\n") : okResult(QString());
        };
        tick({item("a.txt"), item("b.txt"), item("A.txt")}, {"b.txt", "a.txt", "A.txt"});
        c.call(*state);
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(subcommands(*fakes.svn).mid(1), c.reloads ? QStringList({"status", "info"}) : QStringList())
            << "reload after the failed run";
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, c.title + " Failed");
        EXPECT_EQ(state->commandOutput()->title, c.title + " Failed");
        fakes.svn->responder = nullptr;
        state->setAlert(std::nullopt);
    }
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(PathActionsFixture, HighlightedRowBeatsTheTicks)
{
    makeState({svnProject});
    tick({item("a.txt"), item("b.txt")}, {"a.txt", "b.txt"});
    state->setSelectedChangeID("b.txt");
    state->lockSelectedPaths();
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    dialogs.promptAnswers.push_back(QStringList{"review"});
    state->createChangelist();
    ASSERT_TRUE(waitUntilIdle(*state));
    const QList<QStringList> lists = fakes.svn->argumentLists();
    EXPECT_TRUE(lists.contains(QStringList({"lock", "b.txt"})));
    EXPECT_TRUE(lists.contains(QStringList({"revert", "b.txt"})));
    EXPECT_TRUE(lists.contains(QStringList({"changelist", "review", "b.txt"})));
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0],
        std::make_pair(QString("Revert"), QString("Revert 1 selected path(s)? Local changes will be discarded.")));
}

TEST_F(PathActionsFixture, NoPathsAlertsWithEachActionsMessageBeforeAnyQuestion)
{
    makeState({svnProject});
    const QList<std::pair<std::function<void(AppState &)>, QString>> cases = {
        {[](AppState &s) { s.addSelectedPaths(); }, "Select a changed path first."},
        {[](AppState &s) { s.deleteSelectedPaths(); }, "Select a changed path first."},
        {[](AppState &s) { s.lockSelectedPaths(); }, "Select a changed path first."},
        {[](AppState &s) { s.unlockSelectedPaths(); }, "Select a changed path first."},
        {[](AppState &s) { s.revertSelectedPaths(); }, "Select a changed path first."},
        {[](AppState &s) { s.resolveSelectedPaths("working"); }, "Select a conflicted path first."},
        {[](AppState &s) { s.createChangelist(); }, "Select at least one changed path."},
        {[](AppState &s) { s.removeFromChangelist(); }, "Select at least one changed path."},
    };
    for (const auto &[call, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        state->setAlert(std::nullopt);
        tick({item("a.txt")}, {});
        call(*state);
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "No Paths Selected");
        EXPECT_EQ(state->alert()->message, message);
    }
    EXPECT_TRUE(dialogs.prompts.isEmpty());
    EXPECT_TRUE(dialogs.confirmations.isEmpty());
    expectNothingRan();

    // On a Git project the Git routes check the paths the same way.
    makeState({gitProject});
    tick({item("a.txt")}, {});
    state->addSelectedPaths();
    EXPECT_EQ(state->alert()->message, "Select a changed path first.");
    expectNothingRan();
}

TEST_F(PathActionsFixture, RevertAsksFirstAndRunsNothingWhenDeclined)
{
    makeState({svnProject});
    tick({item("a.txt"), item("b.txt")}, {"a.txt", "b.txt"});
    state->revertSelectedPaths();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].second, "Revert 2 selected path(s)? Local changes will be discarded.");
    expectNothingRan();
    EXPECT_FALSE(state->alert());

    // The question comes before the project's kind is looked at.
    state->setSelectedProjectID(std::nullopt);
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    EXPECT_EQ(dialogs.confirmations.size(), 2);
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "No Project Selected");
    expectNothingRan();
}

TEST_F(PathActionsFixture, SvnRevertTakesScheduledFoldersWholeAndChildrenBeforeTheirFolders)
{
    makeState({svnProject});
    tick({item("a-b"), item("a"), item("a/z"), item("new", SVNStatusKind::added), item("new/sub", SVNStatusKind::added),
             item("new/sub/y", SVNStatusKind::added), item("new-x", SVNStatusKind::added),
             item("old", SVNStatusKind::deleted), item("twin", SVNStatusKind::replaced), item("twin/edited")},
        {"a-b", "a", "a/z", "new", "new/sub", "new/sub/y", "new-x", "old", "twin", "twin/edited"});
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    const QList<QStringList> lists = fakes.svn->argumentLists();
    ASSERT_GE(lists.size(), 2);
    EXPECT_EQ(lists[0], QStringList({"revert", "a/z", "a", "a-b", "twin/edited"}));
    EXPECT_EQ(lists[1],
        QStringList({"revert", "--depth", "infinity", "new/sub/y", "new/sub", "new", "new-x", "old", "twin"}));
    EXPECT_EQ(lists.value(2).value(0), "status") << "then the reload";
}

TEST_F(PathActionsFixture, PathsThatLookLikeOptionsOrPegRevisionsBecomeSafeOperands)
{
    EXPECT_EQ(ToolOperands::svnPath("-R"), "./-R");
    EXPECT_EQ(ToolOperands::svnPath("--force"), "./--force");
    EXPECT_EQ(ToolOperands::svnPath("a@2x.png"), "a@2x.png@");
    EXPECT_EQ(ToolOperands::svnPath("x@"), "x@@");
    EXPECT_EQ(ToolOperands::svnPath("-a@b"), "./-a@b@");
    EXPECT_EQ(ToolOperands::svnPath("d@1/f.txt"), "d@1/f.txt@");
    EXPECT_EQ(ToolOperands::svnPath("sp ace"), "sp ace");
    EXPECT_EQ(ToolOperands::svnPath("src/-x"), "src/-x");

    makeState({svnProject});
    tick({item("-R"), item("src", SVNStatusKind::normal), item("a@2x.png")}, {"-R", "src", "a@2x.png"});
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"revert", "./-R", "a@2x.png@", "src"}));
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake revert ./-R a@2x.png@ src");

    // The proposed source is the selected file; copy's target never names a peg revision.
    fakes.svn->calls.clear();
    state->setSelectedChangeID("-R");
    dialogs.promptAnswers.push_back(QStringList{"-R", "b@2x.png", ""});
    state->copyItem();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"copy", "./-R", "b@2x.png@"}));
}

TEST_F(PathActionsFixture, GitRoutesPullInfoAddDeleteAndRevert)
{
    makeState({gitProject});
    state->updateWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_FALSE(fakes.git->calls.isEmpty());
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"pull", "--ff-only", "--no-rebase"}));
    EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/beta");
    EXPECT_EQ(state->commandOutput()->title, "Pull");

    fakes.git->calls.clear();
    state->showRepositoryInfo();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.git->calls.size(), 1) << "info reloads nothing";
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"status", "--short", "--branch"}));
    EXPECT_EQ(state->commandOutput()->title, "Info");

    const QList<std::tuple<std::function<void(AppState &)>, QString, QStringList>> cases = {
        {[](AppState &s) { s.addSelectedPaths(); }, "Add", {"add", "--", "*.txt", "-R"}},
        {[](AppState &s) { s.deleteSelectedPaths(); }, "Delete", {"rm", "--", "*.txt", "-R"}},
        {[](AppState &s) { s.revertSelectedPaths(); }, "Revert",
            {"restore", "--staged", "--worktree", "--recurse-submodules", "--", "*.txt", "-R"}},
    };
    for (const auto &[call, title, arguments] : cases) {
        SCOPED_TRACE(title.toStdString());
        fakes.git->calls.clear();
        tick({item("*.txt"), item("-R")}, {"-R", "*.txt"});
        dialogs.confirmAnswers.push_back(true);
        call(*state);
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_FALSE(fakes.git->calls.isEmpty());
        EXPECT_EQ(fakes.git->calls[0].arguments, arguments);
        EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/beta");
        EXPECT_EQ(state->commandOutput()->title, title);
        EXPECT_EQ(fakes.git->calls.value(1).arguments.value(0), "status") << "reload after the run";
    }
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(PathActionsFixture, GitRevertOnlyUnstagesNewlyAddedFiles)
{
    makeState({gitProject});
    tick({item("new.txt", SVNStatusKind::added)}, {"new.txt"});
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"reset", "-q", "--", "new.txt"}));

    // A mix runs both, one after the other, and shows both.
    fakes.git->calls.clear();
    fakes.git->responder = [](const FakeCall &call) {
        const bool reverting = call.arguments.value(0) == "reset" || call.arguments.value(0) == "restore";
        return okResult(reverting ? QStringLiteral("done\n") : QString());
    };
    tick({item("new.txt", SVNStatusKind::added), item("old.txt"), item("gone.txt", SVNStatusKind::deleted)},
        {"new.txt", "old.txt", "gone.txt"});
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_GE(fakes.git->calls.size(), 2);
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"reset", "-q", "--", "new.txt"}));
    EXPECT_EQ(fakes.git->calls[1].arguments,
        QStringList({"restore", "--staged", "--worktree", "--recurse-submodules", "--", "gone.txt", "old.txt"}));
    EXPECT_EQ(state->commandOutput()->commandLine,
        "/usr/bin/fake reset -q -- new.txt\n/usr/bin/fake restore --staged --worktree --recurse-submodules -- gone.txt "
        "old.txt");
    EXPECT_EQ(state->commandOutput()->stdout, "done\ndone\n");

    // The first run failing stops the second; the list reloads.
    fakes.git->calls.clear();
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: index.lock exists\n"); };
    tick({item("new.txt", SVNStatusKind::added), item("old.txt")}, {"new.txt", "old.txt"});
    dialogs.confirmAnswers.push_back(true);
    state->revertSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.git->argumentLists().value(0).value(0), "reset");
    EXPECT_EQ(fakes.git->argumentLists().value(1).value(0), "status");
    EXPECT_EQ(state->alert()->title, "Revert Failed");
    EXPECT_EQ(state->alert()->message, "fatal: index.lock exists\n");
    EXPECT_EQ(state->commandOutput()->title, "Revert Failed");
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(PathActionsFixture, FailedActionsThatChangeFilesReloadTheListAndKeepTheirFailure)
{
    // Each may have changed files before it failed: an update or switch that put some in place, a
    // merge stopped at a conflict, a resolve of several paths that refused one.
    const struct {
        const char *title;
        Project project;
        // The form's answer (or the chosen file), and whether a question is asked and answered yes.
        QStringList form;
        bool asks;
        std::function<void(AppState &)> start;
        QString failing; // the run that fails
    } cases[] = {
        {"Update", svnProject, {}, false, [](AppState &s) { s.updateWorkingCopy(); }, "update"},
        {"Pull", gitProject, {}, false, [](AppState &s) { s.updateWorkingCopy(); }, "pull"},
        {"Switch", svnProject, {"file:///r/b"}, false, [](AppState &s) { s.switchWorkingCopyURL(); }, "switch"},
        {"Relocate", svnProject, {"file:///r", "file:///s"}, false, [](AppState &s) { s.relocateWorkingCopyURL(); },
            "relocate"},
        {"Merge", svnProject, {"file:///r/b", ""}, false, [](AppState &s) { s.merge(); }, "merge"},
        {"Pull File", svnProject, {"a.txt", "3"}, false, [](AppState &s) { s.pullFileAtRevision(); }, "update"},
        {"Pull File", gitProject, {"a.txt", "HEAD"}, true, [](AppState &s) { s.pullFileAtRevision(); }, "checkout"},
        {"Revert", svnProject, {}, true, [](AppState &s) { s.revertSelectedPaths(); }, "revert"},
        {"Changelist", svnProject, {"review"}, false, [](AppState &s) { s.createChangelist(); }, "changelist"},
        {"Patch", svnProject, {"/tmp/fix.diff"}, false, [](AppState &s) { s.applyPatch(); }, "patch"},
        {"Copy", svnProject, {"a.txt", "b.txt", ""}, false, [](AppState &s) { s.copyItem(); }, "copy"},
        {"Move", svnProject, {"a.txt", "b.txt", ""}, false, [](AppState &s) { s.moveItem(); }, "move"},
        {"Make Directory", svnProject, {"new"}, false, [](AppState &s) { s.makeDirectoryInWorkingCopy(); }, "mkdir"},
        {"Set Property", svnProject, {"note", "x", "a.txt"}, false, [](AppState &s) { s.setProperty(); }, "propset"},
        {"Delete Property", svnProject, {"note", "a.txt"}, false, [](AppState &s) { s.deleteProperty(); }, "propdel"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        makeState({c.project});
        auto &calls = c.project.kind == RepositoryKind::git ? fakes.git->calls : fakes.svn->calls;
        const QString refusal = QStringLiteral("refused\n");
        const auto refuse = [&c, &refusal](const FakeCall &call) {
            return call.arguments.value(0) == c.failing ? failedResult(1, refusal) : okResult(QString());
        };
        fakes.svn->responder = refuse;
        fakes.git->responder = refuse;
        calls.clear();
        tick({item("a.txt")}, {"a.txt"});
        dialogs.promptAnswers = {c.form};
        dialogs.openPanelAnswers = {c.form.value(0)};
        dialogs.confirmAnswers = {c.asks};
        c.start(*state);
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, QString(c.title) + " Failed");
        EXPECT_EQ(state->alert()->message, refusal);
        EXPECT_EQ(state->commandOutput()->title, QString(c.title) + " Failed");
        QStringList subcommands;
        for (const FakeCall &call : calls)
            subcommands.push_back(call.arguments.value(0));
        EXPECT_EQ(subcommands.value(0), c.failing);
        EXPECT_TRUE(subcommands.contains("status")) << "the list was not reloaded";
    }
}

TEST_F(PathActionsFixture, FormsProposeTheSelectionAndStopWhenCancelledOrEmpty)
{
    makeState({svnProject});
    RepositoryInfo info;
    info.url = "file:///repo/trunk";
    info.repositoryRoot = "file:///repo";
    state->setRepositoryInfo(info);
    state->setSelectedChangeID("src/main.c");

    // Cancelled forms and empty required values run nothing and say nothing.
    state->switchWorkingCopyURL();
    dialogs.promptAnswers.push_back(QStringList{"  "});
    state->switchWorkingCopyURL();
    dialogs.promptAnswers.push_back(QStringList{"file:///old", ""});
    state->relocateWorkingCopyURL();
    dialogs.promptAnswers.push_back(QStringList{""});
    state->makeDirectoryInWorkingCopy();
    dialogs.promptAnswers.push_back(QStringList{"src/main.c", "", "msg"});
    state->copyItem();
    dialogs.promptAnswers.push_back(QStringList{"", "dest", "msg"});
    state->moveItem();
    state->applyPatch();
    dialogs.openPanelAnswers.push_back(QString());
    state->applyPatch();
    expectNothingRan();
    EXPECT_FALSE(state->alert());

    ASSERT_EQ(dialogs.prompts.size(), 6);
    EXPECT_EQ(dialogs.prompts[0].title, "Switch");
    ASSERT_EQ(dialogs.prompts[0].fields.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].fields[0].key, "url");
    EXPECT_EQ(dialogs.prompts[0].fields[0].label, "Repository URL");
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "file:///repo/trunk");
    EXPECT_EQ(dialogs.prompts[2].title, "Relocate");
    ASSERT_EQ(dialogs.prompts[2].fields.size(), 2);
    EXPECT_EQ(dialogs.prompts[2].fields[0].label, "From URL");
    EXPECT_EQ(dialogs.prompts[2].fields[0].value, "file:///repo") << "the root, not the working copy's URL";
    EXPECT_EQ(dialogs.prompts[2].fields[1].key, "to");
    EXPECT_EQ(dialogs.prompts[2].fields[1].label, "To URL");
    EXPECT_EQ(dialogs.prompts[2].fields[1].value, "");
    EXPECT_EQ(dialogs.prompts[3].title, "Make Directory");
    EXPECT_EQ(dialogs.prompts[3].fields[0].key, "path");
    EXPECT_EQ(dialogs.prompts[3].fields[0].label, "Path");
    for (int i : {4, 5}) {
        EXPECT_EQ(dialogs.prompts[i].title, i == 4 ? "Copy" : "Move");
        ASSERT_EQ(dialogs.prompts[i].fields.size(), 3);
        EXPECT_EQ(dialogs.prompts[i].fields[0].key, "source");
        EXPECT_EQ(dialogs.prompts[i].fields[0].label, "Source");
        EXPECT_EQ(dialogs.prompts[i].fields[0].value, "src/main.c");
        EXPECT_EQ(dialogs.prompts[i].fields[1].key, "target");
        EXPECT_EQ(dialogs.prompts[i].fields[1].label, "Target");
        EXPECT_EQ(dialogs.prompts[i].fields[2].key, "message");
        EXPECT_EQ(dialogs.prompts[i].fields[2].label, "Message");
        EXPECT_EQ(dialogs.prompts[i].fields[2].value, "");
    }
    ASSERT_EQ(dialogs.openPanels.size(), 2);
    EXPECT_EQ(dialogs.openPanels[0].title, "Choose Patch File");
    EXPECT_TRUE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_FALSE(dialogs.openPanels[0].canChooseDirectories);

    // Nothing known: the switch field starts empty.
    state->setRepositoryInfo(RepositoryInfo());
    state->switchWorkingCopyURL();
    EXPECT_EQ(dialogs.prompts.last().fields[0].value, "");
}

TEST_F(PathActionsFixture, FormValuesPassAsSingleTrimmedArguments)
{
    makeState({svnProject});
    const QList<std::tuple<std::function<void(AppState &)>, QStringList, QString, QStringList>> cases = {
        {[](AppState &s) { s.switchWorkingCopyURL(); }, {" file:///repo/branches/my branch \n"}, "Switch",
            {"switch", "file:///repo/branches/my branch"}},
        {[](AppState &s) { s.relocateWorkingCopyURL(); }, {"file:///old", "file:///new"}, "Relocate",
            {"relocate", "file:///old", "file:///new"}},
        {[](AppState &s) { s.makeDirectoryInWorkingCopy(); }, {"new dir/sub"}, "Make Directory",
            {"mkdir", "new dir/sub"}},
        {[](AppState &s) { s.copyItem(); }, {"a.txt", "b.txt", "  "}, "Copy", {"copy", "a.txt", "b.txt"}},
        {[](AppState &s) { s.copyItem(); }, {"a.txt", "b.txt", "two\nlines"}, "Copy",
            {"copy", "a.txt", "b.txt", "-m", "two\nlines"}},
        {[](AppState &s) { s.moveItem(); }, {"a.txt", "^/tags/x", "tag it"}, "Move",
            {"move", "a.txt", "^/tags/x", "-m", "tag it"}},
    };
    for (const auto &[call, answers, title, arguments] : cases) {
        SCOPED_TRACE(title.toStdString());
        fakes.svn->calls.clear();
        dialogs.promptAnswers.push_back(answers);
        call(*state);
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_FALSE(fakes.svn->calls.isEmpty());
        EXPECT_EQ(fakes.svn->calls[0].arguments, arguments);
        EXPECT_EQ(state->commandOutput()->title, title);
        EXPECT_EQ(fakes.svn->calls.value(1).arguments.value(0), "status");
    }

    // The changelist name is asked after the paths check, and the patch file comes from the panel.
    fakes.svn->calls.clear();
    tick({item("a@2x.png")}, {"a@2x.png"});
    dialogs.promptAnswers.push_back(QStringList{" release 1 "});
    state->createChangelist();
    dialogs.openPanelAnswers.push_back(QString("/tmp/fix@1.diff"));
    state->applyPatch();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(dialogs.prompts.last().title, "Changelist");
    EXPECT_EQ(dialogs.prompts.last().fields[0].key, "name");
    EXPECT_EQ(dialogs.prompts.last().fields[0].label, "Name");
    const QList<QStringList> lists = fakes.svn->argumentLists();
    EXPECT_TRUE(lists.contains(QStringList({"changelist", "release 1", "a@2x.png@"})));
    EXPECT_TRUE(lists.contains(QStringList({"patch", "/tmp/fix@1.diff@"})));
}

TEST_F(PathActionsFixture, SvnOnlyActionsOnGitAskFirstThenRefuse)
{
    makeState({gitProject});
    const QList<std::function<void(AppState &)>> actions = {
        [](AppState &s) { s.relocateWorkingCopyURL(); },
        [](AppState &s) { s.makeDirectoryInWorkingCopy(); },
        [](AppState &s) { s.copyItem(); },
        [](AppState &s) { s.moveItem(); },
        [](AppState &s) { s.applyPatch(); },
        [](AppState &s) { s.cleanupWorkingCopy(); },
        [](AppState &s) { s.lockSelectedPaths(); },
    };
    dialogs.promptAnswers
        = {QStringList{"a", "b"}, QStringList{"d"}, QStringList{"a", "b", ""}, QStringList{"a", "b", ""}};
    dialogs.openPanelAnswers.push_back(QString("/tmp/p.diff"));
    tick({item("a.txt")}, {"a.txt"});
    for (const auto &action : actions) {
        state->setAlert(std::nullopt);
        action(*state);
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "SVN Command Unavailable");
    }
    EXPECT_EQ(dialogs.prompts.size(), 4);
    EXPECT_EQ(dialogs.openPanels.size(), 1);
    expectNothingRan();

    // Without a project the svn route answers.
    state->setSelectedProjectID(std::nullopt);
    state->updateWorkingCopy();
    EXPECT_EQ(state->alert()->title, "No Project Selected");
    state->addSelectedPaths();
    EXPECT_EQ(state->alert()->title, "No Project Selected");
    expectNothingRan();
}

TEST_F(PathActionsFixture, SwitchOnGitOpensTheBranchSwitchInsteadOfTheForm)
{
    makeState({gitProject});
    state->switchWorkingCopyURL();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(dialogs.prompts.isEmpty());
    ASSERT_FALSE(fakes.git->calls.isEmpty());
    EXPECT_EQ(fakes.git->calls[0].arguments.value(0), "for-each-ref");
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}
