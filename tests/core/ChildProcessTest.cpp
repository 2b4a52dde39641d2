// The children the tools run as: no controlling terminal, no hidden prompts, ssh in batch mode unless
// the user configured it, ended with the state, and a kill by a signal reported as such.
#include "support/FakeClients.h"
#include "support/LinkServers.h"
#include "support/RealActions.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

void writeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Running, and not a zombie left for its parent (or init) to reap.
bool isRunning(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    const QByteArray stat = readFile("/proc/" + QString::number(pid) + "/stat");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 || stat.mid(nameEnd + 2, 1) != "Z";
}

struct TerminalRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray transcript;
};

// Runs one probe below as a child of `script`, so it has a controlling terminal like a program
// started from a shell. A probe that hangs on a prompt is killed when the limit is up.
TerminalRun runProbeUnderTerminal(const QString &probe, int limitMs)
{
    const QString command = QStringLiteral("exec '") + QCoreApplication::applicationFilePath()
        + QStringLiteral("' --gtest_also_run_disabled_tests --gtest_filter=HiddenPromptProbe.DISABLED_") + probe;
    QProcess script;
    script.setProgram(QStringLiteral("script"));
    script.setArguments({"-q", "-e", "-c", command, "/dev/null"});
    script.setProcessChannelMode(QProcess::MergedChannels);
    // Its standard input stays open and silent: a terminal whose user never types.
    script.start();
    TerminalRun run;
    if (!script.waitForStarted(10000))
        return run;
    run.finished = script.waitForFinished(limitMs);
    if (!run.finished) {
        // The probe and whatever it started in that terminal's session go with the terminal.
        script.kill();
        script.waitForFinished(10000);
    }
    run.exitCode = script.exitCode();
    run.transcript = script.readAll();
    return run;
}

bool hasControllingTerminal()
{
    const int descriptor = ::open("/dev/tty", O_RDWR | O_NOCTTY);
    if (descriptor < 0)
        return false;
    ::close(descriptor);
    return true;
}

} // namespace

TEST(HiddenPromptProbe, DISABLED_GitPullFromAServerAskingForAPassword)
{
    ASSERT_TRUE(hasControllingTerminal());
    Sandbox sandbox;
    // Every request gets "401": git wants a user name.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                if (socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                socket->write("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"korvel\"\r\n"
                              "Content-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    const GitFixture repo = GitFixture::create(sandbox.path());
    writeFile(repo.path + "/a.txt", "a\n");
    repo.commitAll();
    repo.git({"remote", "add", "origin", "http://127.0.0.1:" + QString::number(server.serverPort()) + "/repo.git"});

    GitClient git;
    const SVNCommandResult result = runTask(git.run({"pull", "--ff-only", "origin", "main"}, repo.path, false));
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(result.stderr.contains("could not read Username")) << result.stderr.toStdString();
}

TEST(HiddenPromptProbe, DISABLED_SvnCheckoutFromAServerAskingForAPassword)
{
    ASSERT_TRUE(hasControllingTerminal());
    Sandbox sandbox;
    const QString repository = sandbox.filePath("repos/repo");
    QDir().mkpath(sandbox.filePath("repos"));
    runTool("svnadmin", {"create", repository});
    writeFile(repository + "/conf/svnserve.conf",
        "[general]\nanon-access = none\nauth-access = write\npassword-db = passwd\nrealm = korvel\n");
    writeFile(repository + "/conf/passwd", "[users]\nalice = secret\n");
    const LocalSvnServe serve(sandbox.filePath("repos"));
    ASSERT_TRUE(serve.waitUntilListening());

    SVNClient svn;
    const SVNCommandResult result = runTask(
        svn.run({"checkout", "svn://127.0.0.1:" + QString::number(serve.port()) + "/repo", sandbox.filePath("wc")},
            sandbox.path(), false));
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(result.stderr.contains("svn: E")) << result.stderr.toStdString();
    EXPECT_FALSE(QFile::exists(sandbox.filePath("wc/.svn")));
}

TEST(ToolSessions, PromptsFailAtOnceWhenStartedFromATerminal)
{
    for (const QString &probe : {QStringLiteral("GitPullFromAServerAskingForAPassword"),
             QStringLiteral("SvnCheckoutFromAServerAskingForAPassword")}) {
        const TerminalRun run = runProbeUnderTerminal(probe, 60000);
        EXPECT_TRUE(run.finished) << probe.toStdString() << " still waits:\n" << run.transcript.toStdString();
        EXPECT_EQ(run.exitCode, 0) << run.transcript.toStdString();
        EXPECT_TRUE(run.transcript.contains("1 test")) << run.transcript.toStdString();
        EXPECT_FALSE(run.transcript.contains("Username for")) << run.transcript.toStdString();
        EXPECT_FALSE(run.transcript.contains("Password for")) << run.transcript.toStdString();
    }
}

TEST(ToolSessions, SshStartedByGitOrSvnRunsInBatchModeUnlessTheUserConfiguredIt)
{
    Sandbox sandbox;
    // An ssh that only writes down how it was started.
    const QString record = sandbox.filePath("ssh-arguments");
    writeScript(
        sandbox.filePath("bin/ssh"), "printf '%s\\n' \"$@\" > \"" + QFile::encodeName(record) + "\"\nexit 255\n");
    const ScopedVariable path("PATH", QFile::encodeName(sandbox.filePath("bin")) + ':' + qgetenv("PATH"));
    const auto sshArguments = [&] {
        const QString text = QString::fromUtf8(readFile(record));
        QFile::remove(record);
        return text.split(u'\n', Qt::SkipEmptyParts);
    };

    SVNClient svn;
    const auto svnCheckout = [&] {
        const SVNCommandResult result
            = runTask(svn.run({"checkout", "svn+ssh://127.0.0.1/repo", sandbox.filePath("wc")}, sandbox.path(), false));
        EXPECT_NE(result.status, 0);
        return sshArguments();
    };
    QStringList arguments = svnCheckout();
    EXPECT_TRUE(arguments.contains("BatchMode=yes")) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(arguments.contains("ConnectTimeout=30")) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(arguments.contains("127.0.0.1"));
    // A quiet ssh would hide its own reason for failing.
    EXPECT_FALSE(arguments.contains("-q"));
    {
        const ScopedVariable own("SVN_SSH", "ssh -x");
        arguments = svnCheckout();
        EXPECT_TRUE(arguments.contains("-x")) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(arguments.contains("BatchMode=yes"));
    }
    writeFile(sandbox.filePath(".home/.subversion/config"), "[auth]\n# ssh = no\n[tunnels]\nssh = ssh -4\n");
    arguments = svnCheckout();
    EXPECT_TRUE(arguments.contains("-4")) << arguments.join(u' ').toStdString();
    EXPECT_FALSE(arguments.contains("BatchMode=yes"));

    const GitFixture repo = GitFixture::create(sandbox.path());
    GitClient git;
    const auto gitListRemote = [&] {
        const SVNCommandResult result = runTask(git.run({"ls-remote", "ssh://127.0.0.1/repo.git"}, repo.path, false));
        EXPECT_NE(result.status, 0);
        return sshArguments();
    };
    arguments = gitListRemote();
    EXPECT_TRUE(arguments.contains("BatchMode=yes")) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(arguments.contains("ConnectTimeout=30"));
    {
        const ScopedVariable own("GIT_SSH_COMMAND", "ssh -C");
        arguments = gitListRemote();
        EXPECT_TRUE(arguments.contains("-C")) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(arguments.contains("BatchMode=yes"));
    }
    repo.git({"config", "core.sshCommand", "ssh -6"});
    arguments = gitListRemote();
    EXPECT_TRUE(arguments.contains("-6")) << arguments.join(u' ').toStdString();
    EXPECT_FALSE(arguments.contains("BatchMode=yes"));

    // A partial clone whose promisor is reached over ssh: a plain `git show` fetches the contents it
    // lacks, and that ssh is in batch mode too; the user's global setting still wins.
    writeFile(repo.path + "/big.txt", "contents\n");
    repo.commitAll();
    repo.git({"config", "--unset", "core.sshCommand"});
    repo.git({"config", "uploadpack.allowFilter", "true"});
    const QString partial = sandbox.filePath("partial");
    runTool("git",
        {"clone", "-q", "--filter=blob:none", "--no-checkout", QUrl::fromLocalFile(repo.path).toString(), partial});
    runTool("git", {"-C", partial, "remote", "set-url", "origin", "ssh://127.0.0.1/repo.git"});
    const auto gitShow = [&] {
        const SVNCommandResult result = runTask(git.run({"show", "HEAD:big.txt"}, partial, false));
        EXPECT_NE(result.status, 0);
        return sshArguments();
    };
    arguments = gitShow();
    EXPECT_TRUE(arguments.contains("BatchMode=yes")) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(arguments.contains("ConnectTimeout=30"));
    runTool("git", {"config", "--global", "core.sshCommand", "ssh -4"});
    arguments = gitShow();
    EXPECT_TRUE(arguments.contains("-4")) << arguments.join(u' ').toStdString();
    EXPECT_FALSE(arguments.contains("BatchMode=yes"));
}

TEST(ToolSessions, GitRunsStartNoConfigurationProbe)
{
    Sandbox sandbox;
    const GitFixture repo = GitFixture::create(sandbox.path());
    // git itself, writing down each of its starts.
    const QString starts = sandbox.filePath("git-starts");
    const QString realGit = QStandardPaths::findExecutable("git");
    ASSERT_FALSE(realGit.isEmpty());
    writeScript(sandbox.filePath("bin/git"),
        "echo \"$1\" >> '" + QFile::encodeName(starts) + "'\nexec '" + QFile::encodeName(realGit) + "' \"$@\"\n");
    writeScript(sandbox.filePath("bin/ssh"), "exit 255\n");
    const ScopedVariable path("PATH", QFile::encodeName(sandbox.filePath("bin")) + ':' + qgetenv("PATH"));

    GitClient git;
    runTask(git.run({"status", "--porcelain=v1"}, repo.path));
    EXPECT_EQ(QString::fromUtf8(readFile(starts)), "status\n");
    QFile::remove(starts);
    runTask(git.run({"ls-remote", "ssh://127.0.0.1/repo.git"}, repo.path, false));
    EXPECT_EQ(QString::fromUtf8(readFile(starts)), "ls-remote\n");
}

// git reached through a link in a folder of its own, first on PATH, reads the system configuration that
// git itself reads, as the same git started by hand does.
TEST(ToolSessions, GitReachedThroughALinkElsewhereReadsItsOwnSystemConfiguration)
{
    Sandbox sandbox;
    const QString realGit = QFileInfo(QStandardPaths::findExecutable("git")).canonicalFilePath();
    ASSERT_FALSE(realGit.isEmpty());
    ASSERT_TRUE(QDir().mkpath(sandbox.filePath("bin")));
    ASSERT_TRUE(QFile::link(realGit, sandbox.filePath("bin/git")));
    const ScopedVariable path("PATH", QFile::encodeName(sandbox.filePath("bin")) + ':' + qgetenv("PATH"));
    const GitFixture repo = GitFixture::create(sandbox.path());
    const QStringList system = QString::fromUtf8(
        runTool(sandbox.filePath("bin/git"), {"config", "--system", "--list", "--show-origin"}, repo.path))
                                   .split(u'\n', Qt::SkipEmptyParts);
    if (system.isEmpty())
        GTEST_SKIP() << "git's own system configuration holds no setting here";

    GitClient git;
    const SVNCommandResult listed = runTask(git.run({"config", "--list", "--show-origin"}, repo.path));
    for (const QString &line : system)
        EXPECT_TRUE(listed.stdout.contains(line + u'\n')) << line.toStdString() << " not in\n"
                                                          << listed.stdout.toStdString();
}

TEST(ToolSessions, RunEndedByASignalSaysSoFirst)
{
    const SVNCommandResult killed = runTask(
        ToolRunner::runProcess("/bin/sh", {"-c", "echo 'Sending        a.txt'; kill -9 $$"}, QString(), "sh", false));
    EXPECT_FALSE(killed.succeeded());
    EXPECT_EQ(killed.status, 9);
    EXPECT_EQ(SVNClientError::commandFailed(killed).description(),
        "Command was terminated by signal 9.\nSending        a.txt\n");
    const SVNCommandResult quiet
        = runTask(ToolRunner::runProcess("/bin/sh", {"-c", "kill -15 $$"}, QString(), "sh", false));
    EXPECT_EQ(SVNClientError::commandFailed(quiet).description(), "Command was terminated by signal 15.");
    const SVNCommandResult exited
        = runTask(ToolRunner::runProcess("/bin/sh", {"-c", "exit 9"}, QString(), "sh", false));
    EXPECT_EQ(SVNClientError::commandFailed(exited).description(), "Command exited with status 9.");
}

// A tool that would write for ever is ended once it has written past the limit, with or without a scope.
TEST(ToolSessions, OutputPastTheLimitIsNotReadAndEndsTheTool)
{
    for (const auto &scope : {std::make_shared<ToolRunScope>(), std::shared_ptr<ToolRunScope>()}) {
        QByteArray streamed;
        const SVNCommandResult cut = runTask(ToolRunner::runProcess(
            "/usr/bin/yes", {"line"}, QString(), "yes", true, {}, scope, false,
            [&](const QByteArray &piece) { streamed += piece; }, false, 100000));
        EXPECT_TRUE(cut.outputCut);
        EXPECT_TRUE(cut.stdoutData.isEmpty());
        EXPECT_EQ(streamed, QByteArray("line\n").repeated(20000));
    }
    const SVNCommandResult whole = runTask(
        ToolRunner::runProcess("/bin/sh", {"-c", "printf 12345"}, QString(), "sh", true, {}, {}, true, {}, true, 5));
    EXPECT_FALSE(whole.outputCut);
    EXPECT_EQ(whole.stdout, "12345");
}

// A helper that ignores SIGTERM (a hook, a credential helper, an ssh started by git) in the group of a
// tool that obeys it: once the scope has ended and its grace has passed, the helper is gone as well.
TEST(ToolSessions, EndingTheScopeKillsHelpersThatIgnoreTerminateAfterTheirToolHasGone)
{
    Sandbox sandbox;
    const QString pidFile = sandbox.filePath("helper.pid");
    writeScript(
        sandbox.filePath("helper"), "trap '' TERM\necho $$ > '" + QFile::encodeName(pidFile) + "'\nexec sleep 30\n");
    writeScript(sandbox.filePath("tool"), "'" + QFile::encodeName(sandbox.filePath("helper")) + "' &\nwait\n");
    const auto scope = std::make_shared<ToolRunScope>();
    QCoro::Task<SVNCommandResult> run
        = ToolRunner::runProcess(sandbox.filePath("tool"), {}, QString(), "tool", false, {}, scope);
    ASSERT_TRUE(waitFor([&] { return !readFile(pidFile).trimmed().isEmpty(); }));
    const pid_t helper = readFile(pidFile).trimmed().toInt();
    ASSERT_GT(helper, 0);
    ASSERT_TRUE(isRunning(helper));

    scope->endAll(std::chrono::milliseconds(500));
    // A kill is delivered when the helper is next scheduled.
    EXPECT_TRUE(waitFor([&] { return !isRunning(helper); }, 2000));
    EXPECT_THROW(runTask(std::move(run)), ToolRunAbandoned);
    if (isRunning(helper))
        ::kill(helper, SIGKILL);
}

// Run by the test below as a program of its own, which it kills while bsdtar writes the archive: a gibibyte
// of zeros keeps bsdtar busy for seconds and takes no room on the disk.
TEST(ArchiveRunProbe, DISABLED_ArchivesALargeFolder)
{
    const QString folder = qEnvironmentVariable("KORVEL_PROBE_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    ArchiveZipClient client;
    client.setRunScope(std::make_shared<ToolRunScope>());
    runTask(client.zipDirectoryKeepingParent(folder + "/big", folder + "/big.zip"));
}

// Killed (SIGKILL, or a crash) in the middle of an archive, the program takes bsdtar with it: in a session
// of its own it would go on writing the archive for no one. What it wrote had no name yet, and is gone.
TEST(ToolSessions, ToolRunEndsWithTheProgramKilledMidRun)
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.filePath("big"));
    QFile zeros(sandbox.filePath("big/zeros"));
    ASSERT_TRUE(zeros.open(QIODevice::WriteOnly) && zeros.resize(qint64(1) << 30));
    zeros.close();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KORVEL_PROBE_FOLDER", sandbox.path());
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationFilePath(),
        {"--gtest_also_run_disabled_tests", "--gtest_filter=ArchiveRunProbe.DISABLED_ArchivesALargeFolder"});
    ASSERT_TRUE(program.waitForStarted(10000));
    const auto childNamed = [](qint64 parent, const QByteArray &name) {
        for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
            const QByteArray stat = readFile("/proc/" + entry + "/stat");
            const qsizetype nameEnd = stat.lastIndexOf(')');
            if (nameEnd > 0 && stat.mid(stat.indexOf('(') + 1, nameEnd - stat.indexOf('(') - 1) == name
                && stat.mid(nameEnd + 2).split(' ').value(1).toLongLong() == parent)
                return pid_t(entry.toInt());
        }
        return pid_t(0);
    };
    pid_t tool = 0;
    ASSERT_TRUE(waitFor([&] { return (tool = childNamed(program.processId(), "bsdtar")) > 0; }))
        << program.readAll().toStdString();
    ::kill(pid_t(program.processId()), SIGKILL);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_TRUE(waitFor([&] { return !isRunning(tool); }, 5000));
    if (isRunning(tool))
        ::kill(tool, SIGKILL);
    EXPECT_EQ(QDir(sandbox.path()).entryList({"*.zip*"}, QDir::AllEntries | QDir::Hidden), QStringList());
}

// Run as process 1 of a PID namespace of its own, where the test hands out process ids itself: a
// stranger that calls setsid with the id of a tool that has already ended survives the end of the scope.
TEST(PidNamespaceProbe, DISABLED_EndingTheScopeSparesAStrangerHoldingAnEndedToolsGroupId)
{
    ASSERT_EQ(::getpid(), 1) << "run only in a PID namespace of its own";
    Sandbox sandbox;
    const auto scope = std::make_shared<ToolRunScope>();
    const QString obeyingPid = sandbox.filePath("obeying.pid");
    QCoro::Task<SVNCommandResult> obeying = ToolRunner::runProcess(
        "/bin/sh", {"-c", "echo $$ > '" + obeyingPid + "'; exec sleep 30"}, QString(), "sh", false, {}, scope);
    // Holds the grace open: it ignores SIGTERM.
    QCoro::Task<SVNCommandResult> stubborn = ToolRunner::runProcess("/bin/sh",
        {"-c", "trap '' TERM; touch '" + sandbox.filePath("stubborn") + "'; exec sleep 30"}, QString(), "sh", false, {},
        scope);
    ASSERT_TRUE(waitFor(
        [&] { return !readFile(obeyingPid).trimmed().isEmpty() && QFile::exists(sandbox.filePath("stubborn")); }));
    const QByteArray ended = readFile(obeyingPid).trimmed();

    // Once the ended tool's id is free again, a stranger starts with that id and leads a session of its own.
    const QString strangerPid = sandbox.filePath("stranger.pid");
    QProcess stranger;
    stranger.start("/bin/sh",
        {"-c",
            "while [ -e /proc/" + ended + " ]; do sleep 0.01; done\necho $((" + ended
                + " - 1)) > /proc/sys/kernel/ns_last_pid\nsetsid sleep 30 &\necho $! > '" + strangerPid + "'\nwait\n"});
    ASSERT_TRUE(stranger.waitForStarted(5000));

    scope->endAll(std::chrono::milliseconds(1500));
    ASSERT_TRUE(waitFor([&] { return !readFile(strangerPid).trimmed().isEmpty(); }, 5000));
    const QByteArray took = readFile(strangerPid).trimmed();
    if (took != ended)
        GTEST_SKIP() << "process ids cannot be handed out here (ns_last_pid)";
    QThread::msleep(300);
    EXPECT_TRUE(isRunning(took.toInt())) << "the stranger was killed";
    ::kill(took.toInt(), SIGKILL);
    EXPECT_TRUE(stranger.waitForFinished(5000));
    EXPECT_THROW(runTask(std::move(obeying)), ToolRunAbandoned);
    EXPECT_THROW(runTask(std::move(stubborn)), ToolRunAbandoned);
}

TEST(ToolSessions, EndingTheScopeSignalsNoProcessThatReusedAnEndedToolsGroupId)
{
    const auto unshared = [](const QStringList &command) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("unshare", QStringList{"--pid", "--fork", "--mount-proc"} + command);
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
            return std::pair(-1, QByteArray("did not run"));
        return std::pair(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAll());
    };
    if (unshared({"/bin/true"}).first != 0)
        GTEST_SKIP() << "no PID namespace can be made here (unshare --pid is not permitted)";
    const auto [status, transcript]
        = unshared({QCoreApplication::applicationFilePath(), "--gtest_also_run_disabled_tests",
            "--gtest_filter=PidNamespaceProbe.DISABLED_EndingTheScopeSparesAStrangerHoldingAnEndedToolsGroupId"});
    if (transcript.contains("[  SKIPPED ] 1 test"))
        GTEST_SKIP() << "process ids cannot be handed out in a PID namespace here";
    EXPECT_EQ(status, 0) << transcript.toStdString();
    EXPECT_TRUE(transcript.contains("[  PASSED  ] 1 test")) << transcript.toStdString();
}

// Started from a Git hook, from `git rebase -x` or from a shell that exports GIT_DIR and its kin, the
// program inherits another repository's variables: status and commit still act on the project.
TEST_F(RealActionsFixture, GitWorksOnTheProjectWhateverRepositoryTheEnvironmentNames)
{
    const GitFixture project = GitFixture::create(sandbox.path(), "project");
    writeFile(project.path + "/a.txt", "a\n");
    project.commitAll("first");
    writeFile(project.path + "/a.txt", "changed\n");
    writeFile(project.path + "/mine.log", "x\n");
    const GitFixture other = GitFixture::create(sandbox.path(), "other");
    writeFile(other.path + "/o.txt", "o\n");
    other.commitAll("theirs");
    writeFile(other.path + "/o.txt", "changed\n");
    const QByteArray otherHead = other.git({"rev-parse", "HEAD"});
    // The user's own configuration still counts: the global excludes file that leaves out "*.log".
    writeFile(sandbox.filePath("user.gitconfig"),
        "[core]\n\texcludesFile = " + QFile::encodeName(sandbox.filePath("user.ignore")) + "\n");
    writeFile(sandbox.filePath("user.ignore"), "*.log\n");
    {
        const ScopedVariable directory("GIT_DIR", QFile::encodeName(other.path + "/.git"));
        const ScopedVariable workTree("GIT_WORK_TREE", QFile::encodeName(other.path));
        const ScopedVariable index("GIT_INDEX_FILE", QFile::encodeName(other.path + "/.git/index"));
        const ScopedVariable global("GIT_CONFIG_GLOBAL", QFile::encodeName(sandbox.filePath("user.gitconfig")));
        open(project.path, RepositoryKind::git);
        QStringList listed;
        for (const WorkingCopyItem &item : state->changes())
            listed << item.path;
        EXPECT_EQ(listed, QStringList({"a.txt"}));
        commit({"a.txt"}, "second");
    }
    EXPECT_EQ(project.git({"log", "-1", "--format=%s"}), "second\n");
    EXPECT_EQ(project.git({"status", "--porcelain=v2", "-z", "--untracked-files=no"}), "");
    EXPECT_EQ(other.git({"rev-parse", "HEAD"}), otherHead);
    EXPECT_EQ(other.git({"status", "--porcelain=v1", "-z"}), QByteArray(" M o.txt\0", 9));
}

namespace {

struct StateChildrenFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    SvnFixture svn = SvnFixture::create(sandbox.path());
    QString pidFile = sandbox.filePath("status.pid");
    std::unique_ptr<AppState> state;
    pid_t child = 0;

    // svn itself, but for "status", which writes its process id and then runs `tail`.
    void useSvnWhoseStatusRuns(const QByteArray &tail)
    {
        const QString wrapper = sandbox.filePath("bin/svn");
        writeScript(wrapper,
            "if [ \"$1\" = status ]; then echo $$ > '" + QFile::encodeName(pidFile) + "'; " + tail + "; fi\nexec "
                + QFile::encodeName(*ToolRunner::findExecutable("svn")) + " \"$@\"\n");
        settings.setValue("KorvelSVN.svnExecutablePath", wrapper);
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
        state = std::make_unique<AppState>(&settings);
    }

    void waitForStatusChild()
    {
        ASSERT_TRUE(waitFor([&] { return !readFile(pidFile).trimmed().isEmpty(); }));
        child = readFile(pidFile).trimmed().toInt();
        ASSERT_GT(child, 0);
        ASSERT_TRUE(isRunning(child));
    }

    // Destroys the state, which must end the child within the limit; then lets events flow for a
    // while, as in a running application, so a load resuming into the freed state would show.
    void destroyStateWithin(qint64 limitMs, int eventsMs)
    {
        QElapsedTimer timer;
        timer.start();
        state.reset();
        EXPECT_LT(timer.elapsed(), limitMs);
        EXPECT_FALSE(isRunning(child));
        waitFor([] { return false; }, eventsMs);
    }

    void TearDown() override
    {
        if (child > 0 && isRunning(child))
            ::kill(child, SIGKILL);
    }
};

} // namespace

TEST_F(StateChildrenFixture, DestroyingTheStateEndsItsToolsAndNoLoadResumesIntoIt)
{
    useSvnWhoseStatusRuns("sleep 3; exec echo '<status/>'");
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    state->refreshAll();
    waitForStatusChild();
    ASSERT_EQ(state->busyMessage(), "Loading status");
    // Events flow past the time the tool would have ended by itself.
    destroyStateWithin(2500, 4000);
}

TEST_F(StateChildrenFixture, ToolIgnoringTerminateIsKilledAfterAShortGrace)
{
    useSvnWhoseStatusRuns("trap '' TERM; exec sleep 30");
    state->refreshStatus();
    waitForStatusChild();
    destroyStateWithin(8000, 300);
}

TEST_F(StateChildrenFixture, KilledCommitLeadsItsAlertWithTheSignal)
{
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/a.txt", "b\n");
    const QString wrapper = sandbox.filePath("bin/svn");
    writeScript(wrapper,
        "if [ \"$1\" = commit ]; then echo 'Sending        a.txt'; echo 'Transmitting file data .'; kill -9 $$; fi\n"
        "exec "
            + QFile::encodeName(*ToolRunner::findExecutable("svn")) + " \"$@\"\n");
    settings.setValue("KorvelSVN.svnExecutablePath", wrapper);
    ProjectStore(&settings).save({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
    state = std::make_unique<AppState>(&settings);
    state->refreshStatus();
    ASSERT_TRUE(waitUntilIdle(*state));
    state->setSelectedChangeID(std::nullopt);
    state->setSelectedCommitPaths({"a.txt"});
    state->setCommitMessage("change");
    state->commitSelected();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Commit Failed");
    EXPECT_TRUE(state->alert()->message.startsWith("Command was terminated by signal 9.\n"))
        << state->alert()->message.toStdString();
    EXPECT_TRUE(state->alert()->message.contains("Sending"));
}

// With GIT_ICASE_PATHSPECS, GIT_GLOB_PATHSPECS or GIT_NOGLOB_PATHSPECS in the user's shell, git refuses
// the literal pathspecs of every run that takes paths: the program's runs go on as without them.
TEST_F(RealActionsFixture, GitActionsTakingPathsWorkWhateverPathspecSettingTheShellExports)
{
    const GitFixture project = GitFixture::create(sandbox.path(), "project");
    writeFile(project.path + "/a.txt", "a\n");
    project.commitAll("first");
    for (const char *variable : {"GIT_ICASE_PATHSPECS", "GIT_GLOB_PATHSPECS", "GIT_NOGLOB_PATHSPECS"}) {
        SCOPED_TRACE(variable);
        const ScopedVariable inherited(variable, "1");
        writeFile(project.path + "/a.txt", QByteArray(variable) + '\n');
        open(project.path, RepositoryKind::git);
        EXPECT_EQ(changeDiff("a.txt").contains(QByteArray("+") + variable), true);
        commit({"a.txt"}, variable);
        EXPECT_EQ(project.git({"log", "-1", "--format=%s"}), QByteArray(variable) + '\n');
        EXPECT_EQ(project.git({"status", "--porcelain=v1"}), "");
    }
}

// Quitting in the middle of a run: the state goes as src/main.cpp lets it go, with the run suspended,
// and nothing of the program's is left in the temporary folder or beside the chosen destination.
TEST_F(RealActionsFixture, QuittingMidRunLeavesNoTemporaryFileBehind)
{
    const QString temporary = sandbox.filePath("tmp");
    QDir().mkpath(temporary);
    const ScopedVariable privateTemporary("TMPDIR", QFile::encodeName(temporary));
    const QString started = sandbox.filePath("started");
    const QByteArray blockingHook = "touch '" + QFile::encodeName(started) + "'\nexec sleep 30\n";
    // Too long for one argument: the message goes through a private file.
    const QString longMessage = QString(200 * 1024, u'm');
    const auto leftIn = [](const QString &folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    const auto quitOnceStarted = [&](const QStringList &watched) {
        ASSERT_TRUE(waitFor([&] { return QFile::exists(started); }, idleTimeoutMs));
        QStringList during;
        for (const QString &folder : watched)
            during += leftIn(folder);
        EXPECT_FALSE(during.isEmpty()) << "the run made no temporary file to leave behind";
        state.reset();
        for (const QString &folder : watched)
            EXPECT_EQ(leftIn(folder), QStringList()) << folder.toStdString();
        QFile::remove(started);
        // The abandoned runs unwind, as they would in a program that went on.
        waitFor([] { return false; }, 300);
    };

    {
        SCOPED_TRACE("svn commit");
        const SvnFixture svn = SvnFixture::create(sandbox.path());
        writeScript(svn.repositoryPath + "/hooks/pre-commit", blockingHook);
        writeFile(svn.workingCopy + "/a.txt", "a\n");
        svn.svn({"add", svn.workingCopy + "/a.txt"});
        open(svn.workingCopy, RepositoryKind::svn);
        tick({"a.txt"});
        state->setCommitMessage(longMessage);
        state->commitSelected();
        quitOnceStarted({temporary});
    }
    {
        SCOPED_TRACE("git commit");
        const GitFixture git = GitFixture::create(sandbox.path());
        writeScript(git.path + "/.git/hooks/pre-commit", blockingHook);
        writeFile(git.path + "/a.txt", "a\n");
        open(git.path, RepositoryKind::git);
        tick({"a.txt"});
        state->setCommitMessage(longMessage);
        state->commitSelected();
        quitOnceStarted({temporary});
    }
    {
        SCOPED_TRACE("svn archive");
        const SvnFixture svn = SvnFixture::create(sandbox.filePath("archived"));
        writeFile(svn.workingCopy + "/a.txt", "a\n");
        svn.commitAll();
        // bsdtar that has begun writing its archive when the program quits.
        writeScript(sandbox.filePath("bin/bsdtar"), "echo partial > \"$3\"\n" + blockingHook);
        const ScopedVariable path("PATH", QFile::encodeName(sandbox.filePath("bin")) + ':' + qgetenv("PATH"));
        open(svn.workingCopy, RepositoryKind::svn);
        LogEntry entry;
        entry.revision = 1;
        state->setArchiveEntries({entry});
        state->setSelectedArchiveEntryID(1);
        QDir().mkpath(sandbox.filePath("archives"));
        dialogs.savePanelAnswers.push_back(sandbox.filePath("archives/out.zip"));
        state->createArchiveZip();
        quitOnceStarted({temporary, sandbox.filePath("archives")});
    }
}
