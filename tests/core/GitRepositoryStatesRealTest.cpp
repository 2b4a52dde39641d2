// Git repositories in states git itself leaves them in: a branch without commits, names and authors
// from an old Latin-1 system, a user's diff settings, a rollback taken back, a submodule moved, a file
// renamed on disk. Every outcome is read back with git itself.
#include "model/TextUtil.h"
#include "support/RealActions.h"

using namespace TestSupport;

namespace {

struct GitRepositoryStates : RealActionsFixture {
    // The listed path whose exact bytes are these.
    std::optional<WorkingCopyItem> listedByBytes(const QByteArray &bytes) const
    {
        for (const WorkingCopyItem &item : state->changes()) {
            if (TextUtil::encodeFileName(item.path) == bytes)
                return item;
        }
        return std::nullopt;
    }
};

} // namespace

TEST_F(GitRepositoryStates, ANameThatIsNotUTF8IsListedAndShownWhateverTheQuoting)
{
    for (const QString quoting : {"true", "false"}) {
        SCOPED_TRACE(quoting.toStdString());
        const GitFixture git = GitFixture::create(sandbox.path(), "quotepath-" + quoting);
        git.git({"config", "core.quotepath", quoting});
        writeFile(git.path + "/plain.txt", "plain\n");
        git.commitAll("first");
        writeFile(git.path + "/plain.txt", "changed\n");
        printfFile(git.path, "caf\\351.txt", "new\n");
        open(git.path, RepositoryKind::git);
        EXPECT_FALSE(state->alert());

        ASSERT_EQ(state->changes().size(), 2);
        EXPECT_EQ(listedKind("plain.txt"), SVNStatusKind::modified);
        const std::optional<WorkingCopyItem> latin1 = listedByBytes("caf\351.txt");
        ASSERT_TRUE(latin1);
        EXPECT_EQ(latin1->kind, SVNStatusKind::unversioned);
        EXPECT_TRUE(changeDiff(latin1->path).contains("+new")) << state->diffText().toStdString();
    }
}

TEST_F(GitRepositoryStates, ACommitWhoseAuthorAndMessageAreNotUTF8IsListedWithTheOthers)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "one\n");
    git.commitAll("first");
    // An imported commit, written as git stores it, with Latin-1 bytes where git expects UTF-8.
    writeFile(git.path + "/a.txt", "two\n");
    git.git({"add", "a.txt"});
    const QByteArray tree = git.git({"write-tree"}).trimmed();
    const QByteArray parent = git.git({"rev-parse", "HEAD"}).trimmed();
    writeFile(sandbox.filePath("commit-object"),
        "tree " + tree + "\nparent " + parent + "\nauthor Jos\xe9 <jose@example.com> 1700000000 +0100\n"
            + "committer Jos\xe9 <jose@example.com> 1700000000 +0100\n\nCaf\xe9 import\n");
    const QByteArray imported = git.git({"hash-object", "-t", "commit", "-w", sandbox.filePath("commit-object")});
    git.git({"update-ref", "refs/heads/main", QString::fromLatin1(imported.trimmed())});

    open(git.path, RepositoryKind::git);
    EXPECT_EQ(state->repositoryInfo().lastChangedAuthor, QString::fromUtf16(u"Jos\uFFFD"));
    showTab(WorkflowTab::history);
    EXPECT_FALSE(state->alert());
    ASSERT_EQ(state->logEntries().size(), 2);
    EXPECT_EQ(state->logEntries()[0].author, QString::fromUtf16(u"Jos\uFFFD"));
    EXPECT_EQ(state->logEntries()[0].message, QString::fromUtf16(u"Caf\uFFFD import"));
    EXPECT_EQ(state->logEntries()[0].commitHash, QString::fromLatin1(imported.trimmed()));
    EXPECT_EQ(state->logEntries()[1].message, "first");
    showTab(WorkflowTab::archives);
    EXPECT_EQ(state->archiveEntries().size(), 2);
}
