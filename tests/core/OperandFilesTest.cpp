// Paths and messages on the command line while they fit, through private files when they do not.
#include "tools/OperandFiles.h"
#include "model/TextUtil.h"
#include "support/RealActions.h"
#include "support/TestSupport.h"
#include "tools/SVNCommandResult.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/mount.h>

using namespace OperandFiles;
using namespace TestSupport;

namespace {

const Limits roomy{1 << 20, 128 * 1024};
const Limits tight{200, 128 * 1024};

struct Case {
    const char *name;
    Style style;
    QStringList arguments;
    QStringList paths;
    std::optional<QString> message;
    Limits limits;
    // The expected command line; "@F" stands for the folder of the files.
    QStringList expected;
    QByteArray pathsFile;
    QByteArray messageFile;
};

} // namespace

TEST(OperandFiles, CommandLineWhileItFitsElseFilesEachToolsWay)
{
    const QString longName = QString(300, u'x');
    const QString rawName = TextUtil::decodeFileName("caf\xe9.txt");
    const QString hugeMessage = QString(140 * 1024, u'm');
    const QList<Case> cases = {
        {"git short", Style::git, {"add", "--all"}, {"-R", "b"}, std::nullopt, roomy, {"add", "--all", "--", "-R", "b"}},
        {"git message, no paths", Style::git, {"commit"}, {}, "msg", roomy, {"commit", "-m", "msg"}},
        {"git message and paths", Style::git, {"commit"}, {"a"}, "msg", roomy, {"commit", "-m", "msg", "--", "a"}},
        {"git list too long", Style::git, {"commit"}, {longName, "b"}, "msg", tight,
            {"commit", "-F", "@F/message", "--pathspec-from-file=@F/paths", "--pathspec-file-nul"},
            longName.toUtf8() + '\0' + "b" + '\0', "msg"},
        {"git message over one argument's limit", Style::git, {"commit"}, {"a"}, hugeMessage, roomy,
            {"commit", "-F", "@F/message", "--pathspec-from-file=@F/paths", "--pathspec-file-nul"},
            QByteArray("a") + '\0', hugeMessage.toUtf8()},
        {"git name that is not UTF-8", Style::git, {"restore", "--staged"}, {rawName, "b"}, std::nullopt, roomy,
            {"restore", "--staged", "--pathspec-from-file=@F/paths", "--pathspec-file-nul"},
            QByteArray("caf\xe9.txt") + '\0' + "b" + '\0'},
        {"svn short", Style::svn, {"commit", "--depth=empty"}, {"a", "./-b"}, "msg", roomy,
            {"commit", "--depth=empty", "a", "./-b", "-m", "msg"}},
        {"svn list too long", Style::svn, {"commit", "--depth=empty"}, {longName, " lead", "trail\t", "a@b@"}, "msg",
            tight,
            {"commit", "--targets", "@F/targets", "-F", "@F/message", "--encoding", "UTF-8", "--depth=empty"},
            longName.toUtf8() + "\n./ lead\ntrail\t@\na@b@\n", "msg"},
        {"svn options end before a name", Style::svn, {"changelist", "--", "-name"}, {longName}, std::nullopt, tight,
            {"changelist", "--targets", "@F/targets", "--", "-name"}, longName.toUtf8() + "\n"},
        {"svn line break in a short list", Style::svn, {"revert"}, {"two\nlines"}, std::nullopt, roomy,
            {"revert", "two\nlines"}},
        {"no file form", Style::commandLine, {"verify"}, {longName}, std::nullopt, tight, {"verify", longName}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Prepared prepared = prepare(c.style, c.arguments, c.paths, c.message, c.limits);
        const QString folder = prepared.folder ? prepared.folder->path() : QString();
        QStringList expected = c.expected;
        expected.replaceInStrings("@F", folder);
        EXPECT_EQ(prepared.arguments, expected);
        EXPECT_EQ(prepared.folder != nullptr, !c.pathsFile.isEmpty() || !c.messageFile.isEmpty());
        if (!prepared.folder)
            continue;
        EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFileDevice::Permissions())
            << "private";
        const QString pathsFile = folder + (c.style == Style::git ? "/paths" : "/targets");
        EXPECT_EQ(TestSupport::readFile(pathsFile), c.pathsFile);
        EXPECT_EQ(TestSupport::readFile(folder + "/message"), c.messageFile);
    }
}

TEST(OperandFiles, ValueLeavesTheLineForAFileOnlyWhenItDoesNotFit)
{
    const QStringList shortLine = {"propset", "--", "-name", "-value", "path"};
    const Prepared kept = prepareValue(shortLine, 3, tight);
    EXPECT_EQ(kept.arguments, shortLine);
    EXPECT_FALSE(kept.folder);

    const QString value = QString::fromUtf8("é ") + QString(300, u'v') + "\r\n";
    const Prepared moved = prepareValue({"propset", "--", "-name", value, "path"}, 3, tight);
    ASSERT_TRUE(moved.folder);
    EXPECT_EQ(moved.arguments, QStringList({"propset", "-F", moved.folder->path() + "/value", "--", "-name", "path"}));
    EXPECT_EQ(TestSupport::readFile(moved.folder->path() + "/value"), value.toUtf8());
}

TEST(OperandFiles, FilesGoWithTheRunAndALongSvnListWithALineBreakIsRefused)
{
    QString folder;
    {
        const Prepared prepared = prepare(Style::git, {"add"}, {QString(300, u'x')}, std::nullopt, tight);
        ASSERT_TRUE(prepared.folder);
        folder = prepared.folder->path();
        EXPECT_TRUE(QFileInfo::exists(folder));
    }
    EXPECT_FALSE(QFileInfo::exists(folder)) << "removed once the run is done with it";

    try {
        prepare(Style::svn, {"add"}, {QString(300, u'x'), "two\nlines"}, std::nullopt, tight);
        FAIL() << "a name svn cannot read from its list must not be cut in two";
    } catch (const SVNClientError &error) {
        EXPECT_TRUE(error.isLaunchFailed());
        EXPECT_TRUE(error.description().contains("line break")) << error.description().toStdString();
    }
}

TEST(OperandFiles, SystemLimitsLeaveRoomForTheEnvironment)
{
    const Limits limits = Limits::system();
    EXPECT_GT(limits.total, 64 * 1024);
    EXPECT_GE(limits.argument, 128 * 1024);
    EXPECT_TRUE(fits({"commit", "-m", QString(1000, u'm')}));
    EXPECT_FALSE(fits({"commit", "-m", QString(limits.argument, u'm')}));
}

namespace {

// A tmpfs far too small for a text over 128 KiB, where one can be mounted (as root).
class SmallTmpfs {
public:
    explicit SmallTmpfs(const QString &path) : m_path(QFile::encodeName(path))
    {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, "size=64k,mode=0700") == 0;
    }
    ~SmallTmpfs()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

} // namespace

TEST_F(RealActionsFixture, TextTheFullTemporaryFolderCannotTakeIsNamedInTheAlert)
{
    const QString temporary = sandbox.filePath("tmp");
    const SmallTmpfs full(temporary);
    if (!full.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString longText = QString(140 * 1024, u'm');
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/big.txt", QByteArray(100 * 1024, 'x'));
    svn.commitAll();
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/big.txt", QByteArray(100 * 1024, 'x'));
    git.commitAll();
    writeFile(git.path + "/b.txt", "b\n");
    const auto exportBigFile = [&] {
        dialogs.promptAnswers.push_back(QStringList{"big.txt", "HEAD"});
        dialogs.savePanelAnswers.push_back(temporary + "/big.txt");
        state->exportFileAtRevision();
    };
    const struct {
        const char *name;
        QString project;
        RepositoryKind kind;
        std::function<void()> act;
        QString alert;
    } cases[] = {
        {"svn commit", svn.workingCopy, RepositoryKind::svn,
            [&] {
                tick({"a.txt"});
                state->setCommitMessage(longText);
                state->commitSelected();
            },
            "Commit Failed / Could not write the commit message to "},
        {"git commit", git.path, RepositoryKind::git,
            [&] {
                tick({"b.txt"});
                state->setCommitMessage(longText);
                state->commitSelected();
            },
            "Commit Failed / Could not write the commit message to "},
        {"svn property value", svn.workingCopy, RepositoryKind::svn,
            [&] {
                dialogs.promptAnswers.push_back(QStringList{"p", longText, "a.txt"});
                state->setProperty();
            },
            "Set Property Failed / Could not write the property value to "},
        {"svn exported file", svn.workingCopy, RepositoryKind::svn, exportBigFile,
            "Export File Failed / Could not write "},
        {"exported file", git.path, RepositoryKind::git, exportBigFile, "Export File Failed / Could not write "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.project, c.kind);
        const ScopedVariable onTheFullFolder("TMPDIR", QFile::encodeName(temporary));
        c.act();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        ASSERT_TRUE(state->alert());
        const QString alert = state->alert()->title + " / " + state->alert()->message;
        EXPECT_TRUE(alert.startsWith(c.alert + temporary + u'/')) << alert.toStdString();
        EXPECT_TRUE(alert.endsWith(": No space left on device")) << alert.toStdString();
        EXPECT_EQ(QDir(temporary).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}
