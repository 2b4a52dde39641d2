// A Git commit worked out before anything runs, and committed on repositories in the states git leaves
// them in: conflicts from a stash, a merge, a cherry-pick or a rebase, operations that end in a commit,
// and a stopped am, which only git may conclude.
#include "state/GitCommit.h"
#include "support/RealActions.h"

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

WorkingCopyItem change(const QString &path, SVNStatusKind kind = SVNStatusKind::modified)
{
    WorkingCopyItem item;
    item.path = path;
    item.kind = kind;
    return item;
}

bool everythingOnDisk(const QString &)
{
    return true;
}

} // namespace

TEST(GitCommitPlan, StagesOnlyWhatItCommitsAndOnlyWhenNothingRefuses)
{
    using GitCommit::Operation;
    const WorkingCopyItem modified = change("a.txt");
    const WorkingCopyItem untracked = change("new.txt", SVNStatusKind::unversioned);
    const WorkingCopyItem conflicted = change("c.txt", SVNStatusKind::conflicted);
    WorkingCopyItem renamed = change("to.txt", SVNStatusKind::added);
    renamed.renamedFrom = "from.txt";

    // A conflict anywhere in the list refuses, ticked or not, and names the paths.
    GitCommit::Plan plan = GitCommit::plan({modified}, {modified, conflicted}, Operation::none, "m", everythingOnDisk);
    ASSERT_TRUE(plan.refusal);
    EXPECT_EQ(plan.refusal->title, "Unresolved Conflicts");
    EXPECT_EQ(plan.refusal->message, "Resolve the conflicts in c.txt first, then commit.");
    EXPECT_FALSE(plan.stage);

    // A merge is committed whole; an unticked change refuses, an unticked untracked file does not.
    plan = GitCommit::plan({modified}, {modified, change("b.txt"), untracked}, Operation::merge, "m", everythingOnDisk);
    ASSERT_TRUE(plan.refusal);
    EXPECT_EQ(plan.refusal->title, "Merge In Progress");
    EXPECT_FALSE(plan.stage);
    plan = GitCommit::plan({modified}, {modified, untracked}, Operation::cherryPick, "m", everythingOnDisk);
    EXPECT_FALSE(plan.refusal);
    EXPECT_EQ(plan.stage, ToolCommand::withPaths({"add", "--all"}, {"a.txt"}));
    EXPECT_EQ(plan.commit, ToolCommand::withPaths({"commit"}, {}, "m")) << "the whole index, no paths";

    // Nothing ticked is refused before the message is looked at, unless it concludes an operation.
    plan = GitCommit::plan({}, {untracked}, Operation::none, "", everythingOnDisk);
    EXPECT_EQ(plan.refusal.value_or(AppAlert()).title, "Nothing To Commit");
    plan = GitCommit::plan({}, {untracked}, Operation::revert, "", everythingOnDisk);
    EXPECT_EQ(plan.refusal.value_or(AppAlert()).title, "Commit Message Required");

    // Otherwise the ticked paths, a rename's old name with its new one; only what is on disk is staged.
    plan = GitCommit::plan({modified, untracked, renamed}, {modified, untracked, renamed}, Operation::none, "m",
        [](const QString &path) { return path != "a.txt"; });
    EXPECT_FALSE(plan.refusal);
    EXPECT_EQ(plan.stage, ToolCommand::withPaths({"add", "--all"}, {"new.txt", "to.txt"}));
    EXPECT_EQ(plan.commit, ToolCommand::withPaths({"commit"}, {"a.txt", "new.txt", "to.txt", "from.txt"}, "m"));
}

namespace {

struct ConflictState {
    const char *name;
    // Brings the repository, with "f.txt" committed on main and changed on "side", into the state.
    std::function<void(const GitFixture &)> reach;
};

// With `deleteOnMain`, main deletes "f.txt" instead, so that keeping the deletion leaves HEAD's tree.
void changeOnBothSides(const GitFixture &git, bool deleteOnMain = false)
{
    writeFile(git.path + "/f.txt", "base\n");
    writeFile(git.path + "/other.txt", "other\n");
    git.commitAll("base");
    git.git({"checkout", "-q", "-b", "side"});
    writeFile(git.path + "/f.txt", "side\n");
    git.commitAll("side");
    git.git({"checkout", "-q", "main"});
    if (deleteOnMain)
        QFile::remove(git.path + "/f.txt");
    else
        writeFile(git.path + "/f.txt", "main\n");
    git.commitAll("main");
}

struct GitStateFixture : RealActionsFixture {
    GitFixture git;

    void SetUp() override { git = GitFixture::create(sandbox.path()); }

    QByteArray head() const { return git.git({"rev-parse", "HEAD"}); }
    QByteArray index() const { return git.git({"ls-files", "--stage", "-z"}); }
    QByteArray unmerged() const { return git.git({"ls-files", "-u", "-z"}); }
    QByteArray status() const { return git.git({"status", "--porcelain=v2", "-z"}); }
};

} // namespace

TEST_F(GitStateFixture, ConflictsAreNeverStagedNorCommittedWhateverLeftThem)
{
    int status = 0;
    const QList<ConflictState> states = {
        {"stash pop",
            [&](const GitFixture &g) {
                writeFile(g.path + "/f.txt", "base\n");
                g.commitAll("base");
                writeFile(g.path + "/f.txt", "stashed\n");
                g.git({"stash", "-q"});
                writeFile(g.path + "/f.txt", "committed\n");
                g.commitAll("meanwhile");
                g.git({"stash", "pop"}, &status);
            }},
        {"merge",
            [&](const GitFixture &g) {
                changeOnBothSides(g);
                g.git({"merge", "side"}, &status);
            }},
        {"cherry-pick",
            [&](const GitFixture &g) {
                changeOnBothSides(g);
                g.git({"cherry-pick", "side"}, &status);
            }},
        {"rebase",
            [&](const GitFixture &g) {
                changeOnBothSides(g);
                g.git({"checkout", "-q", "side"});
                g.git({"rebase", "main"}, &status);
            }},
    };
    for (const ConflictState &conflict : states) {
        SCOPED_TRACE(conflict.name);
        git = GitFixture::create(sandbox.path(), QStringLiteral("repo-") + conflict.name);
        conflict.reach(git);
        ASSERT_NE(status, 0) << "git reports the conflict";
        writeFile(git.path + "/other.txt", "changed beside the conflict\n");
        const QByteArray headBefore = head();
        const QByteArray indexBefore = index();
        ASSERT_FALSE(unmerged().isEmpty());
        open(git.path, RepositoryKind::git);
        ASSERT_EQ(listedKind("f.txt"), SVNStatusKind::conflicted);

        // The default ticks, and the conflicted file ticked by hand.
        tick({"f.txt", "other.txt"});
        const AppAlert alert = refusedCommit("Commit the markers?");
        EXPECT_EQ(alert.title, "Unresolved Conflicts");
        EXPECT_TRUE(alert.message.contains("f.txt"));
        EXPECT_EQ(head(), headBefore) << "nothing committed";
        EXPECT_EQ(index(), indexBefore) << "nothing staged, the conflict not marked resolved";
        EXPECT_EQ(state->commitMessage(), "Commit the markers?");
    }
}

TEST_F(GitStateFixture, AMergeOrCherryPickResolvedByTheUserIsConcludedByOneCommitOfTheWholeIndex)
{
    for (const char *operation : {"merge", "cherry-pick"}) {
        SCOPED_TRACE(operation);
        git = GitFixture::create(sandbox.path(), QStringLiteral("repo-") + operation);
        changeOnBothSides(git);
        int exitStatus = 0;
        git.git({operation, "side"}, &exitStatus);
        ASSERT_NE(exitStatus, 0);
        // The user resolves the conflict in an editor and marks it resolved, then changes one more file.
        writeFile(git.path + "/f.txt", "resolved\n");
        git.git({"add", "f.txt"});
        writeFile(git.path + "/other.txt", "also part of it\n");
        open(git.path, RepositoryKind::git);

        // Part of it only: refused, and the index stays as the user left it.
        const QByteArray indexBefore = index();
        tick({"f.txt"});
        const QString refusal = refusedCommit("Conclude").message;
        EXPECT_TRUE(refusal.contains("as a whole")) << refusal.toStdString();
        EXPECT_EQ(index(), indexBefore);

        commit({"f.txt", "other.txt"}, "Conclude");
        EXPECT_EQ(status(), QByteArray()) << "nothing left over";
        EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), "Conclude\n");
        const QByteArray parents = git.git({"log", "-1", "--format=%P"}).trimmed();
        EXPECT_EQ(parents.count(' '), QByteArray(operation) == "merge" ? 1 : 0) << "a merge keeps both parents";
        EXPECT_EQ(git.git({"show", "HEAD:other.txt"}), "also part of it\n");
        int missing = 0;
        git.git({"rev-parse", "-q", "--verify", "MERGE_HEAD"}, &missing);
        EXPECT_NE(missing, 0);
        git.git({"rev-parse", "-q", "--verify", "CHERRY_PICK_HEAD"}, &missing);
        EXPECT_NE(missing, 0);
    }
}

TEST_F(GitStateFixture, AStagingThatFailsIsReportedWithGitsWordsAndCommitsNothing)
{
    writeFile(git.path + "/a.txt", "a\n");
    git.commitAll("base");
    writeFile(git.path + "/a.txt", "changed\n");
    writeFile(git.path + "/new.txt", "new\n");
    open(git.path, RepositoryKind::git);
    const QByteArray headBefore = head();
    // Another git holds the index.
    writeFile(git.path + "/.git/index.lock", "");
    tick({"a.txt", "new.txt"});
    const AppAlert alert = refusedCommit("Blocked");
    EXPECT_EQ(alert.title, "Commit Failed");
    EXPECT_TRUE(alert.message.contains("index.lock")) << alert.message.toStdString();
    EXPECT_EQ(head(), headBefore);
    QFile::remove(git.path + "/.git/index.lock");
    EXPECT_EQ(git.git({"status", "--porcelain=v1"}), " M a.txt\n?? new.txt\n");
}

TEST_F(GitStateFixture, WhateverTheUserLeftOfAMergeOrCherryPickIsConcludedWithItsRemovals)
{
    // Nothing in progress and nothing listed: nothing to commit, as ever.
    writeFile(git.path + "/a.txt", "a\n");
    git.commitAll("base");
    open(git.path, RepositoryKind::git);
    tick({});
    EXPECT_EQ(refusedCommit("Nothing").title, "Nothing To Commit");

    struct Case {
        const char *name;
        QStringList operation;
        // How the user goes on after git stopped: "f.txt" removed with git, or "other.txt" from disk.
        bool removesFromDisk;
        int parents;
        QByteArray tree;
    };
    const QList<Case> cases = {
        {"merge keeping a deletion, nothing listed", {"merge", "side"}, false, 2, "other.txt\n"},
        {"cherry-pick keeping a deletion, nothing listed", {"cherry-pick", "side"}, false, 1, "other.txt\n"},
        {"merge with a tracked file deleted on disk", {"merge", "--no-commit", "-s", "ours", "side"}, true, 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        git = GitFixture::create(sandbox.path(), QStringLiteral("repo-") + c.name);
        changeOnBothSides(git, true);
        int stopped = 0;
        git.git(c.operation, &stopped);
        if (c.removesFromDisk)
            QFile::remove(git.path + "/other.txt");
        else
            git.git({"rm", "-q", "f.txt"});
        open(git.path, RepositoryKind::git);
        QStringList listed;
        for (const WorkingCopyItem &item : state->changes())
            listed.push_back(item.path);

        commit(listed, "Conclude");
        EXPECT_EQ(status(), QByteArray()) << "nothing left over";
        EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), "Conclude\n");
        EXPECT_EQ(git.git({"rev-list", "--parents", "-1", "HEAD"}).count(' '), c.parents);
        EXPECT_EQ(git.git({"ls-tree", "-r", "--name-only", "HEAD"}), c.tree);
        for (const char *marker : {"MERGE_HEAD", "CHERRY_PICK_HEAD"})
            EXPECT_FALSE(QFileInfo::exists(git.path + "/.git/" + marker)) << marker;
    }
}

TEST_F(GitStateFixture, ACommitDuringAStoppedAmIsRefusedSoTheAmCanContinue)
{
    changeOnBothSides(git);
    const QByteArray patch = git.git({"format-patch", "main..side", "-o", sandbox.filePath("patches")}).trimmed();
    int exitStatus = 0;
    git.git({"am", "-3", QString::fromUtf8(patch)}, &exitStatus);
    ASSERT_NE(exitStatus, 0);
    writeFile(git.path + "/f.txt", "resolved\n");
    git.git({"add", "f.txt"});
    const QByteArray headBefore = head();
    open(git.path, RepositoryKind::git);

    tick({"f.txt"});
    const AppAlert alert = refusedCommit("my words");
    EXPECT_EQ(alert.title, "Patch In Progress");
    EXPECT_EQ(alert.message,
        "git am is applying the patch \"0001 side\". Finish it with \"git am --continue\" or give it up with "
        "\"git am --abort\".");
    EXPECT_EQ(head(), headBefore);
    git.git({"am", "--continue"}, &exitStatus);
    EXPECT_EQ(exitStatus, 0);
    EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), "side\n");
}

// A repository cloned inside the project is one row, which git would commit as a bare link to one of
// its commits: refused before anything runs, while a plain new folder beside it is committed file by file.
TEST_F(GitStateFixture, ARepositoryOfItsOwnInsideTheProjectIsRefusedBeforeAnythingRuns)
{
    writeFile(git.path + "/a.txt", "a\n");
    git.commitAll("first");
    const GitFixture vendor = GitFixture::create(git.path, "vendor");
    writeFile(vendor.path + "/v.txt", "v\n");
    vendor.commitAll("vendor");
    writeFile(git.path + "/a.txt", "edited\n");
    writeFile(git.path + "/plain/p.txt", "p\n");
    open(git.path, RepositoryKind::git);
    ASSERT_EQ(listedKind("vendor"), SVNStatusKind::unversioned);
    const QByteArray headBefore = head();
    const QByteArray indexBefore = index();
    const QByteArray vendorHead = vendor.git({"rev-parse", "HEAD"});
    const QMap<QString, QByteArray> vendorFiles = filesUnder(vendor.path);

    tick({"a.txt", "vendor", "plain/p.txt"});
    const AppAlert alert = refusedCommit("With vendor");
    EXPECT_EQ(alert.title, "Repository Inside The Project");
    EXPECT_EQ(alert.message,
        "vendor is a Git repository of its own: a commit would record it as a link to one of its commits, without "
        "its files. Add it as a submodule with \"git submodule add\", or remove its .git folder to commit its files, "
        "then commit.");
    EXPECT_EQ(head(), headBefore);
    EXPECT_EQ(index(), indexBefore);
    EXPECT_EQ(vendor.git({"rev-parse", "HEAD"}), vendorHead);
    EXPECT_EQ(filesUnder(vendor.path), vendorFiles);

    commit({"a.txt", "plain/p.txt"}, "Without vendor");
    EXPECT_FALSE(index().contains("160000 "));
    EXPECT_EQ(git.git({"ls-tree", "-r", "--name-only", "HEAD"}), "a.txt\nplain/p.txt\n");
}
