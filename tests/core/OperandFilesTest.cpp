// Paths and messages on the command line while they fit, through private files when they do not.
#include "model/TextUtil.h"
#include "support/TestSupport.h"
#include "tools/OperandFiles.h"
#include "tools/SVNCommandResult.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace OperandFiles;

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
