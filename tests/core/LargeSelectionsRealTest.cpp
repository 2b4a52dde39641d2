// Selections and messages too long for one command line, on real repositories: every action that takes
// the ticked paths still runs, and the tools themselves show what was done.
#include "support/RealActions.h"
#include "tools/OperandFiles.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace TestSupport;

namespace {

// The kernel gives a command line a quarter of the stack limit. With a 2 MiB stack the limit is 512 KiB
// for these tests and every tool they start, so a thousand or two long paths pass it instead of tens
// of thousands (git and svn take long over so many pathspecs, quadratically so for git).
class SmallerCommandLines {
public:
    SmallerCommandLines()
    {
        ::getrlimit(RLIMIT_STACK, &m_old);
        rlimit smaller = m_old;
        smaller.rlim_cur = 2 * 1024 * 1024;
        ::setrlimit(RLIMIT_STACK, &smaller);
    }
    ~SmallerCommandLines() { ::setrlimit(RLIMIT_STACK, &m_old); }

private:
    rlimit m_old{};
};

const int manyFiles = 1500;

// Long enough that the paths of `manyFiles` files pass the limit on a command line.
QString longPath(const QString &folder, int index)
{
    static const QString deep = QString(120, u'd') + u'/' + QString(120, u'e') + u'/' + QString(120, u'f');
    return folder + u'/' + deep + QStringLiteral("/module-%1-implementation-detail-file.js").arg(index, 5, 10, QChar(u'0'));
}

QStringList writeFiles(const QString &root, const QString &folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(longPath(folder, i));
        writeFile(root + "/" + paths.back(), QByteArray::number(i) + "\n");
    }
    return paths;
}

qsizetype lineCount(const QByteArray &output)
{
    return output.count('\n');
}

// Over 128 KiB: more than one argument may hold.
QString longMessage()
{
    QString message = QStringLiteral("Import the vendored library\n\n");
    while (message.size() < 140 * 1024)
        message += QStringLiteral("A line of the release notes, kept whole in the commit message. é\n");
    return message.trimmed();
}

} // namespace

TEST_F(RealActionsFixture, GitAddRevertAndCommitMoreTickedFilesThanACommandLineHolds)
{
    const SmallerCommandLines limit;
    idleTimeoutMs = 180000;
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/README", "base\n");
    git.commitAll();
    const QStringList paths = writeFiles(git.path, "vendor", manyFiles);
    ASSERT_FALSE(OperandFiles::fits(QStringList{"add", "--all", "--"} + paths));
    open(git.path, RepositoryKind::git);
    ASSERT_EQ(state->changes().size(), manyFiles);
    ASSERT_EQ(state->selectedCommitPaths().size(), manyFiles) << "every new file ticked";

    tick(paths);
    run([](AppState &s) { s.addSelectedPaths(); });
    EXPECT_EQ(lineCount(git.git({"diff", "--cached", "--name-only"})), manyFiles);
    EXPECT_TRUE(state->commandOutput()->commandLine.contains("--pathspec-from-file=")) << "the sheet shows what ran";

    tick(paths);
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(lineCount(git.git({"diff", "--cached", "--name-only"})), 0) << "unstaged";
    EXPECT_EQ(lineCount(git.git({"ls-files", "--others"})), manyFiles) << "and kept on disk";

    commit(paths, "Vendor the library");
    EXPECT_EQ(git.git({"status", "--porcelain=v2", "-z"}), QByteArray());
    EXPECT_EQ(lineCount(git.git({"ls-tree", "-r", "--name-only", "HEAD", "vendor"})), manyFiles);
    EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), "Vendor the library\n");
}

TEST_F(RealActionsFixture, LongMessagesGoThroughAFileForBothTools)
{
    const QString message = longMessage();
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "a\n");
    open(git.path, RepositoryKind::git);
    commit({"a.txt"}, message);
    EXPECT_EQ(QString::fromUtf8(git.git({"log", "-1", "--format=%B"})).trimmed(), message);
    EXPECT_TRUE(state->commandOutput()->commandLine.contains(" -F ")) << state->commandOutput()->commandLine.toStdString();

    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/b.txt", "b\n");
    open(svn.workingCopy, RepositoryKind::svn);
    commit({"b.txt"}, message);
    const QString logged = QString::fromUtf8(svn.svn({"log", "-l", "1", "--xml", svn.repositoryUrl}));
    EXPECT_TRUE(logged.contains(message.toHtmlEscaped().left(2000)));
    EXPECT_TRUE(logged.contains(message.right(200)));
    EXPECT_TRUE(svn.svn({"status"}).isEmpty());
}

TEST_F(RealActionsFixture, SvnCommitsANewFolderOfMoreFilesThanACommandLineHoldsTickedAsOneRow)
{
    const SmallerCommandLines limit;
    idleTimeoutMs = 180000;
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFiles(svn.workingCopy, "vendor", manyFiles);
    open(svn.workingCopy, RepositoryKind::svn);
    ASSERT_EQ(listedKind("vendor"), SVNStatusKind::unversioned);

    commit({"vendor"}, "Vendor the library");
    EXPECT_TRUE(state->commandOutput()->commandLine.contains("--targets"));
    EXPECT_TRUE(svn.svn({"status"}).isEmpty()) << "nothing left scheduled";
    const QByteArray log = svn.svn({"log", "-v", "-l", "1", "-q", svn.repositoryUrl});
    EXPECT_EQ(log.count("-implementation-detail-file.js\n"), manyFiles);
}
