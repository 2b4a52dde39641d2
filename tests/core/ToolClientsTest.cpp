#include "tools/ToolClients.h"
#include "support/TestSupport.h"
#include "tools/ToolRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// Runs a shell snippet through the runner (the runner itself never uses a shell).
SVNCommandResult runShell(const QString &script, bool checkStatus = false, const QString &folder = QString())
{
    return runTask(ToolRunner::runProcess("/bin/sh", {"-c", script}, folder, "/bin/sh", checkStatus));
}

void makeExecutable(const QString &path, const QByteArray &script)
{
    writeFile(path, script);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
}

// Puts a PATH in place for one scope.
struct ScopedPath {
    explicit ScopedPath(const QByteArray &value, bool unset = false) : old(qgetenv("PATH"))
    {
        if (unset)
            qunsetenv("PATH");
        else
            qputenv("PATH", value);
    }
    ~ScopedPath() { qputenv("PATH", old); }
    QByteArray old;
};

} // namespace

TEST(ShellEscaped, QuotingTable)
{
    EXPECT_EQ(shellEscaped({"/usr/bin/svn", "status", "--xml"}), "/usr/bin/svn status --xml");
    EXPECT_EQ(shellEscaped({"/usr/bin/git", "commit", "-m", "it's done"}), "/usr/bin/git commit -m 'it'\\''s done'");
    EXPECT_EQ(shellEscaped({"/usr/bin/svn", "info", "My Project/a.txt"}), "/usr/bin/svn info 'My Project/a.txt'");
    EXPECT_EQ(shellEscaped({"/usr/bin/svn", "propset", "svn:ignore", "*.o"}), "/usr/bin/svn propset svn:ignore '*.o'");
    EXPECT_EQ(shellEscaped({"/usr/bin/git", "show", "HEAD~1"}), "/usr/bin/git show HEAD~1");
    EXPECT_EQ(shellEscaped({"/usr/bin/svn", "commit", "-m", ""}), "/usr/bin/svn commit -m ");
    EXPECT_EQ(shellEscaped({}), "");
    EXPECT_EQ(shellEscaped({"'"}), "''\\'''");
    EXPECT_EQ(shellEscaped({"/usr/bin/svn", "", "x"}), "/usr/bin/svn  x");
    EXPECT_EQ(shellEscaped({"a\nb"}), "'a\nb'");
    for (const char *plain : {"`x`", "#", "~", "a=b", "50%", "a\rb"})
        EXPECT_EQ(shellEscaped({plain}), plain);
    EXPECT_EQ(shellEscaped({QString::fromUtf16(u"caf\u00e9\u00a0x")}), QString::fromUtf16(u"caf\u00e9\u00a0x"));
    for (const char *special :
        {" ", "\t", "\"", "\\", "$", ";", "&", "|", "(", ")", "<", ">", "?", "[", "]", "{", "}", "!"})
        EXPECT_EQ(shellEscaped({special}), QStringLiteral("'") + special + "'") << special;
}

TEST(SVNClientError, DescriptionRule)
{
    SVNCommandResult result;
    result.status = 128;
    EXPECT_EQ(SVNClientError::commandFailed(result).description(), "Command exited with status 128.");
    result.status = -1;
    EXPECT_EQ(SVNClientError::commandFailed(result).description(), "Command exited with status -1.");
    EXPECT_FALSE(result.succeeded());
    result.stdout = "  ";
    EXPECT_EQ(SVNClientError::commandFailed(result).description(), "  ");
    result.stderr = "svn: E155007: not a working copy\n";
    EXPECT_EQ(SVNClientError::commandFailed(result).description(), "svn: E155007: not a working copy\n");
    EXPECT_EQ(SVNClientError::launchFailed("").description(), "");

    // Where standard error only warns, the reason on standard output follows it.
    const struct {
        const char *stderrText, *stdoutText, *description;
    } rows[] = {
        {"warning: CRLF will be replaced by LF\n", "nothing to commit\n",
            "warning: CRLF will be replaced by LF\nnothing to commit\n"},
        {"warning: a\n\nwarning: b", "why", "warning: a\n\nwarning: b\nwhy"},
        {"svn: warning: W155010: gone\n", "At revision 3.\n", "svn: warning: W155010: gone\nAt revision 3.\n"},
        {" \n", "why\n", "why\n"},
        {"warning: a\n", " \n", "warning: a\n"},
        {"warning: a\nerror: b\n", "why\n", "warning: a\nerror: b\n"},
        {"svn: warning: W1: a\nsvn: E200009: b\n", "why\n", "svn: warning: W1: a\nsvn: E200009: b\n"},
        {"hint: warning: a\n", "why\n", "hint: warning: a\n"},
    };
    for (const auto &row : rows) {
        result.stderr = row.stderrText;
        result.stdout = row.stdoutText;
        EXPECT_EQ(SVNClientError::commandFailed(result).description(), row.description) << row.stderrText;
    }
    EXPECT_TRUE(SVNClientError::launchFailed("x").isLaunchFailed());
    EXPECT_STREQ(SVNClientError::launchFailed("boom").what(), "boom");
}

TEST(ToolRunner, ExitCodesAndBothStreams)
{
    const SVNCommandResult ok = runShell("printf out; printf err >&2; exit 0");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.stdout, "out");
    EXPECT_EQ(ok.stderr, "err");
    EXPECT_EQ(ok.commandLine, "/bin/sh -c 'printf out; printf err >&2; exit 0'");

    const SVNCommandResult failed = runShell("printf partial; exit 3");
    EXPECT_EQ(failed.status, 3);
    EXPECT_EQ(failed.stdout, "partial");

    try {
        runShell("printf oops >&2; exit 1", true);
        FAIL() << "a checked non-zero exit must throw";
    } catch (const SVNClientError &error) {
        ASSERT_TRUE(error.isCommandFailed());
        EXPECT_EQ(error.result().status, 1);
        EXPECT_EQ(error.description(), "oops");
    }
}

TEST(ToolRunner, InvalidUtf8KeepsBytesAndGivesEmptyText)
{
    const SVNCommandResult result = runShell("printf 'a\\377b' >&2; exit 2");
    EXPECT_EQ(result.stderrData,
        QByteArray("a\xff"
                   "b"));
    EXPECT_EQ(result.stderr, "");
    EXPECT_EQ(SVNClientError::commandFailed(result).description(), "Command exited with status 2.");
}

TEST(ToolRunner, SignalledChildNeverReportsSuccess)
{
    const SVNCommandResult result = runShell("kill -9 $$");
    EXPECT_NE(result.status, 0);
}

TEST(ToolRunner, EnvironmentStdinAndWorkingFolder)
{
    Sandbox sandbox;
    qputenv("KORVEL_PROBE", "kept");
    const SVNCommandResult result
        = runShell("echo \"$LC_ALL|$KORVEL_PROBE\"; pwd; cat; echo end", false, sandbox.path());
    const QStringList lines = result.stdout.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "C.UTF-8|kept");
    EXPECT_EQ(QDir(lines[1]).canonicalPath(), QDir(sandbox.path()).canonicalPath());
    // Standard input is the null device: cat ends at once instead of waiting.
    EXPECT_EQ(lines[2], "end");
}

TEST(ToolRunner, MegabyteOnBothPipesAtOnceDoesNotDeadlock)
{
    const SVNCommandResult result
        = runShell("head -c 1048576 /dev/zero | tr '\\0' e >&2 & head -c 1048576 /dev/zero | tr '\\0' o; wait");
    EXPECT_EQ(result.stdoutData.size(), 1048576);
    EXPECT_EQ(result.stderrData.size(), 1048576);
}

TEST(ToolRunner, HandsOverTheOutputPieceByPieceAsItArrives)
{
    QList<QByteArray> pieces;
    const SVNCommandResult result = runTask(ToolRunner::runProcess("/bin/sh",
        {"-c", "for i in 1 2 3; do head -c 300000 /dev/zero | tr '\\0' $i; sleep 0.05; done"}, QString(), "/bin/sh",
        true, {}, {}, false, [&pieces](const QByteArray &piece) { pieces.append(piece); }));
    EXPECT_EQ(result.stdoutData.size(), 900000);
    EXPECT_GT(pieces.size(), 2) << "given while the child still writes";
    EXPECT_EQ(pieces.join(), result.stdoutData);
    EXPECT_TRUE(result.stdout.isEmpty()) << "left undecoded when asked";

    // A failed run is decoded all the same, for its error message.
    try {
        runTask(ToolRunner::runProcess(
            "/bin/sh", {"-c", "echo printed; exit 3"}, QString(), "/bin/sh", true, {}, {}, false));
        ADD_FAILURE() << "a checked run that exits 3 fails";
    } catch (const SVNClientError &error) {
        EXPECT_EQ(error.result().stdout, "printed\n");
    }
}

TEST(ToolRunner, MissingProgramIsALaunchFailure)
{
    try {
        runTask(ToolRunner::runProcess("/nonexistent/svn", {}, QString(), "/nonexistent/svn", true));
        FAIL();
    } catch (const SVNClientError &error) {
        ASSERT_TRUE(error.isLaunchFailed());
        EXPECT_TRUE(error.description().startsWith("Could not launch /nonexistent/svn: "))
            << error.description().toStdString();
    }
}

TEST(ToolClients, ChosenSvnPathIsUsedUntested)
{
    Sandbox sandbox;
    QSettings settings(sandbox.filePath("s.ini"), QSettings::IniFormat);
    SVNClient svn(&settings);
    settings.setValue("KorvelSVN.svnExecutablePath", sandbox.filePath("missing/svn"));
    EXPECT_EQ(svn.resolvedExecutablePath(), sandbox.filePath("missing/svn"));
    try {
        runTask(svn.run({"--version"}));
        FAIL();
    } catch (const SVNClientError &error) {
        EXPECT_TRUE(error.description().startsWith("Could not launch " + sandbox.filePath("missing/svn") + ": "));
    }

    // A chosen file that is not executable fails at launch too.
    writeFile(sandbox.filePath("plain/svn"), "#!/bin/sh\n");
    settings.setValue("KorvelSVN.svnExecutablePath", sandbox.filePath("plain/svn"));
    EXPECT_THROW(runTask(svn.run({"--version"})), SVNClientError);

    // An empty choice counts as none for resolution but is shown as it is.
    settings.setValue("KorvelSVN.svnExecutablePath", QString(""));
    EXPECT_EQ(svn.displayExecutable(), "");
    ASSERT_TRUE(svn.resolvedExecutablePath());
    EXPECT_NE(*svn.resolvedExecutablePath(), "");

    settings.remove("KorvelSVN.svnExecutablePath");
    EXPECT_FALSE(svn.explicitExecutablePath());
    const SVNCommandResult version = runTask(svn.run({"--version", "--quiet"}));
    EXPECT_TRUE(version.stdout.startsWith("1."));
    EXPECT_TRUE(version.commandLine.endsWith("/svn --version --quiet"));
    EXPECT_TRUE(version.commandLine.startsWith("/"));
}

TEST(ToolClients, SvnadminBesideTheChosenSvn)
{
    Sandbox sandbox;
    QSettings settings(sandbox.filePath("s.ini"), QSettings::IniFormat);
    SVNClient svn(&settings);
    SVNAdminClient svnadmin(&settings);
    const QString folder = sandbox.filePath("opt/x/bin");
    makeExecutable(folder + "/svn", "#!/bin/sh\necho fake svn\n");
    makeExecutable(folder + "/svnadmin", "#!/bin/sh\necho fake svnadmin \"$@\"\n");
    settings.setValue("KorvelSVN.svnExecutablePath", folder + "/svn");
    EXPECT_EQ(svnadmin.resolvedExecutablePath(), folder + "/svnadmin");
    EXPECT_EQ(runTask(svnadmin.run({"create", "x"})).stdout, "fake svnadmin create x\n");

    QFile::remove(folder + "/svnadmin");
    ASSERT_TRUE(svnadmin.resolvedExecutablePath());
    EXPECT_NE(*svnadmin.resolvedExecutablePath(), folder + "/svnadmin");
}

TEST(ToolClients, PathSearchSkipsFoldersAndEmptyPieces)
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.filePath("a/git")); // a folder named git is not an executable
    makeExecutable(sandbox.filePath("b/git"), "#!/bin/sh\necho fake git\n");
    ScopedPath path(("::" + sandbox.filePath("a") + "::" + sandbox.filePath("b") + ":").toUtf8());
    GitClient git;
    EXPECT_EQ(git.resolvedExecutablePath(), sandbox.filePath("b/git"));
    EXPECT_EQ(git.displayExecutable(), sandbox.filePath("b/git"));
}

TEST(ToolClients, UnsetPathFallsBackToFixedFolders)
{
    ScopedPath path("", true);
    GitClient git;
    EXPECT_EQ(git.resolvedExecutablePath(), "/usr/bin/git");
    SVNClient svn;
    EXPECT_EQ(svn.resolvedExecutablePath(), "/usr/bin/svn");
    SVNAdminClient svnadmin;
    EXPECT_EQ(svnadmin.resolvedExecutablePath(), "/usr/bin/svnadmin");
}

namespace {
template <typename Client> struct Unfindable : Client {
    std::optional<QString> resolvedExecutablePath() const override { return std::nullopt; }
};

template <typename Client> QString notFoundDescription()
{
    Unfindable<Client> client;
    try {
        runTask(client.run({"status"}));
    } catch (const SVNClientError &error) {
        EXPECT_TRUE(error.isLaunchFailed());
        return error.description();
    }
    return QStringLiteral("(no error)");
}
} // namespace

TEST(ToolClients, NotFoundMessages)
{
    EXPECT_EQ(notFoundDescription<SVNClient>(),
        "Could not find svn. Choose an executable from SVN > Set svn "
        "Executable..., or make svn available in PATH.");
    EXPECT_EQ(notFoundDescription<SVNAdminClient>(),
        "Could not find svnadmin. Choose an svn executable from SVN > "
        "Set svn Executable..., or make svnadmin available in PATH.");
    EXPECT_EQ(notFoundDescription<GitClient>(),
        "Could not find git. Install git with your system's package manager, or "
        "choose a Git repository only after git is available in PATH.");
    Sandbox sandbox;
    ScopedPath path(sandbox.path().toUtf8());
    GitClient git;
    if (!git.resolvedExecutablePath()) {
        EXPECT_EQ(git.displayExecutable(), "git from PATH");
    }
    // A tool found nowhere is named by what was looked for.
    EXPECT_EQ(Unfindable<GitClient>().displayExecutable(), "git from PATH");
    EXPECT_EQ(Unfindable<SVNAdminClient>().displayExecutable(), "svnadmin from PATH");
    EXPECT_EQ(Unfindable<SVNClient>().displayExecutable(), "svn from PATH");
}

TEST(ToolClients, RealSvnStatusOfNonAsciiNamesUnderNonAsciiFolder)
{
    Sandbox sandbox;
    const SvnFixture fixture = SvnFixture::create(sandbox.filePath(QString::fromUtf8("проект")));
    writeFile(fixture.workingCopy + QString::fromUtf8("/é.txt"), "x\n");
    SVNClient svn;
    const SVNCommandResult status = runTask(svn.run({"status", "--xml", "--no-ignore"}, fixture.workingCopy));
    EXPECT_EQ(status.status, 0);
    EXPECT_TRUE(status.stdout.contains(QString::fromUtf8("path=\"é.txt\""))) << status.stdout.toStdString();

    fixture.commitAll("first");
    writeFile(fixture.workingCopy + QString::fromUtf8("/é.txt"), "y\n");
    const SVNCommandResult diff = runTask(svn.run({"diff", QString::fromUtf8("é.txt")}, fixture.workingCopy, false));
    EXPECT_EQ(diff.status, 0) << diff.stderr.toStdString();
    EXPECT_TRUE(diff.stdout.contains("+y"));
}

TEST(ToolClients, RealGitInAFolder)
{
    Sandbox sandbox;
    const GitFixture repo = GitFixture::create(sandbox.path());
    GitClient git;
    const SVNCommandResult top = runTask(git.run({"rev-parse", "--show-toplevel"}, repo.path));
    EXPECT_EQ(QDir(top.stdout.trimmed()).canonicalPath(), QDir(repo.path).canonicalPath());
    const SVNCommandResult outside
        = runTask(git.run({"rev-parse", "--show-toplevel"}, sandbox.filePath(".home"), false));
    EXPECT_NE(outside.status, 0);
    EXPECT_THROW(runTask(git.run({"rev-parse", "--show-toplevel"}, sandbox.filePath(".home"))), SVNClientError);
}

TEST(ToolClients, GitTakesPathspecsLiterallyAndEnvironmentAdditionsReachOnlyTheirOwnRun)
{
    Sandbox sandbox;
    const GitFixture repo = GitFixture::create(sandbox.path());
    writeFile(repo.path + "/*.txt", "star\n");
    writeFile(repo.path + "/a.txt", "a\n");
    GitClient git;
    // "*.txt" names the one file, never a glob over both; a variable of one run adds to that.
    const SVNCommandResult literal = runTask(git.run({"ls-files", "--others", "--", "*.txt"}, repo.path));
    EXPECT_EQ(literal.stdout, "*.txt\n");
    const SVNCommandResult added = runTask(
        git.run(ToolRun{{"ls-files", "--others", "--", "*.txt"}, repo.path, true, {{"KORVEL_EXTRA", "one"}}}));
    EXPECT_EQ(added.stdout, "*.txt\n");

    const SVNCommandResult shell = runTask(ToolRunner::runProcess("/bin/sh", {"-c", "echo \"$LC_ALL|$KORVEL_EXTRA\""},
        QString(), "/bin/sh", true, {{"KORVEL_EXTRA", "one"}, {"LC_ALL", "C.UTF-8"}}));
    EXPECT_EQ(shell.stdout, "C.UTF-8|one\n");
    EXPECT_FALSE(qEnvironmentVariableIsSet("KORVEL_EXTRA"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("GIT_LITERAL_PATHSPECS"));
}
