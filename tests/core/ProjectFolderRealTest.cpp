// A project whose folder stops being a working copy of its own (its .git or .svn gone, the folder
// emptied, deleted or replaced by a file) inside another repository keeps its path and kind, lists
// nothing, says why, and refuses its actions before a tool runs. One stored below the top of its
// working copy moves up only with the user's yes. None of it waits on the disk on the window's thread.
// Outcomes are read with git and svn on disk.
#include "support/RealActions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <csignal>

#include <sys/prctl.h>

using namespace TestSupport;

namespace {

// A working copy of a repository of its own at the folder, holding the files committed.
void makeWorkingCopy(
    RepositoryKind kind, const QString &repositories, const QString &folder, const QMap<QString, QByteArray> &files)
{
    if (kind == RepositoryKind::svn)
        SvnFixture::create(repositories, folder);
    else
        GitFixture::create(QFileInfo(folder).path(), QFileInfo(folder).fileName());
    for (auto file = files.begin(); file != files.end(); ++file)
        writeFile(folder + '/' + file.key(), file.value());
    if (kind == RepositoryKind::svn)
        SvnFixture{{}, {}, folder}.commitAll();
    else
        GitFixture{folder}.commitAll();
}

// The repository around the project as its tool sees it: status, newest commit and every file.
QMap<QString, QByteArray> snapshot(RepositoryKind kind, const QString &top)
{
    QMap<QString, QByteArray> seen = filesUnder(top);
    const bool svn = kind == RepositoryKind::svn;
    seen["(status)"] = svn
        ? runTool("svn", {"status", "--no-ignore"}, top)
        : runTool("git", {"status", "--porcelain=v1", "-z", "--untracked-files=all", "--ignored"}, top);
    seen["(head)"] = svn ? runTool("svn", {"info", "--show-item", "revision", "^/"}, top)
                         : runTool("git", {"rev-parse", "HEAD"}, top);
    return seen;
}

void removeAdministrativeFolder(const QString &folder)
{
    QDir(folder + "/.git").removeRecursively();
    QDir(folder + "/.svn").removeRecursively();
}

} // namespace

TEST_F(RealActionsFixture, AProjectWhoseFolderIsNoLongerItsOwnWorkingCopyRefusesAndLeavesTheOneAroundItAlone)
{
    using enum RepositoryKind;
    const QString gitGone = "The folder %1 is no longer a Git repository.";
    const QString svnGone = "The folder %1 is no longer an SVN working copy.";
    // What a failed re-clone leaves: the folder, empty.
    const auto empty = [](const QString &folder) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    };
    const auto remove = [](const QString &folder) { QDir(folder).removeRecursively(); };
    const auto replace = [](const QString &folder) {
        QDir(folder).removeRecursively();
        writeFile(folder, "x\n");
    };
    const struct {
        const char *name;
        RepositoryKind outer, project;
        std::function<void(const QString &)> vanish;
        QString title, said;
    } cases[] = {
        {"git in git, .git removed", git, git, removeAdministrativeFolder, "Not A Git Repository", gitGone},
        {"git in git, emptied", git, git, empty, "Not A Git Repository", gitGone},
        {"svn in git, .svn removed", git, svn, removeAdministrativeFolder, "Not An SVN Working Copy", svnGone},
        {"svn in svn, emptied", svn, svn, empty, "Not An SVN Working Copy", svnGone},
        {"git in git, deleted", git, git, remove, "Project Folder Missing", "The project folder %1 does not exist."},
        {"svn in svn, replaced by a file", svn, svn, replace, "Not A Folder", "The project folder %1 is not a folder."},
    };
    const SvnFixture exported = SvnFixture::create(sandbox.filePath("exported"));
    for (const auto &gone : cases) {
        SCOPED_TRACE(gone.name);
        const QString base = sandbox.filePath(gone.name);
        const QString home = base + "/home";
        const QString folder = home + "/src/project";
        // The folder the project lies in is versioned, so svn would list the project as ".".
        makeWorkingCopy(gone.outer, base, home, {{".bashrc", "alias ll='ls -l'\n"}, {"src/README", "sources\n"}});
        writeFile(home + "/.bashrc", "alias ll='ls -l'\nexport EDITOR=vi\n");
        makeWorkingCopy(gone.project, base + "/inner", folder, {{"a.txt", "a\n"}});
        writeFile(folder + "/a.txt", "a changed\n");
        open(folder, gone.project);
        ASSERT_TRUE(listedItem("a.txt"));
        const Project project = state->projects().constFirst();
        if (gone.project == git) {
            // Gone while the user picks a branch that the repository around it has too.
            runTool("git", {"branch", "side"}, home);
            dialogs.whileChoosingBranch = [&] { gone.vanish(folder); };
            dialogs.branchAnswers.push_back(BranchChoiceAnswer{std::nullopt, "side"});
            state->switchGitBranch();
            ASSERT_TRUE(waitUntilIdle(*state));
            EXPECT_EQ(state->alert().value_or(AppAlert()).title, gone.title);
            EXPECT_NE(runTool("git", {"branch", "--show-current"}, home), "side\n");
        } else {
            gone.vanish(folder);
        }
        const QMap<QString, QByteArray> before = snapshot(gone.outer, home);

        // The rows of the load before are still there to act on.
        tick({"a.txt"});
        const AppAlert commit = refusedCommit("into the wrong repository");
        EXPECT_EQ(commit.title, gone.title);
        EXPECT_EQ(commit.message, gone.said.arg(folder));
        state->setAlert(std::nullopt);
        dialogs.confirmAnswers.push_back(true);
        state->revertSelectedPaths();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(state->alert().value_or(AppAlert()).title, gone.title);

        state->setAlert(std::nullopt);
        dialogs.confirmations.clear();
        refresh();
        EXPECT_EQ(state->projects(), QList<Project>{project});
        EXPECT_EQ(ProjectStore(&settings).load(), QList<Project>{project});
        EXPECT_TRUE(dialogs.confirmations.isEmpty()) << "nothing to move to";
        EXPECT_TRUE(state->changes().isEmpty());
        EXPECT_EQ(state->projectFolderProblem(), gone.said.arg(folder));
        EXPECT_FALSE(state->alert());
        EXPECT_FALSE(state->repositoryInfo().workingCopyRoot);
        showTab(WorkflowTab::history);
        EXPECT_TRUE(state->logEntries().isEmpty());
        tick({"."});
        refusedCommit("into the wrong repository");
        EXPECT_EQ(snapshot(gone.outer, home), before);
        // Neither needs the project's folder: both run as with no project.
        run([](AppState &s) { s.showSVNHelp(); });
        dialogs.promptAnswers = {QStringList{exported.repositoryUrl}, QStringList{"export"}};
        dialogs.openPanelAnswers.push_back(base);
        run([](AppState &s) { s.exportRepository(); });
        EXPECT_TRUE(QFileInfo(base + "/export").isDir());
        // So does Run svn Command, in the folder while there is one: a checkout there mends it.
        dialogs.promptAnswers = {QStringList{"--version --quiet"}};
        run([](AppState &s) { s.runCustomSVNCommand(); });
        EXPECT_EQ(state->commandOutput().value_or(CommandOutput()).title, "svn --version");
        if (gone.project == svn && QFileInfo(folder).isDir()) {
            const QString url = QUrl::fromLocalFile(base + "/inner/repo").toString(QUrl::FullyEncoded);
            dialogs.promptAnswers = {QStringList{"checkout --force " + url + " ."}};
            run([](AppState &s) { s.runCustomSVNCommand(); });
            EXPECT_EQ(runTool("svn", {"info", "--show-item", "wc-root", folder}), folder + "\n");
        }

        dialogs.confirmAnswers.push_back(true);
        run([](AppState &s) { s.removeSelectedProject(); });
        EXPECT_TRUE(ProjectStore(&settings).load().isEmpty());
        EXPECT_FALSE(state->projectFolderProblem());
    }
}

TEST_F(RealActionsFixture, AProjectBelowTheTopOfItsWorkingCopyMovesUpOnlyWithTheUsersYes)
{
    const struct {
        const char *name;
        RepositoryKind kind;
        bool yes;
        // Done while the question is open.
        void (*whileAsked)(const QString &top);
        bool updatedAway = false;
        // The top is listed as a project of its own too.
        bool topListed = false;
    } cases[] = {
        {"svn, declined", RepositoryKind::svn, false, nullptr},
        {"svn, declined, then updated out of version control", RepositoryKind::svn, false, nullptr, true},
        {"svn, accepted", RepositoryKind::svn, true, nullptr},
        {"git, accepted", RepositoryKind::git, true, nullptr},
        {"git, declined", RepositoryKind::git, false, nullptr},
        {"git, accepted onto the listed top", RepositoryKind::git, true, nullptr, false, true},
        {"svn, accepted onto the listed top", RepositoryKind::svn, true, nullptr, false, true},
        {"svn, accepted as the working copy goes", RepositoryKind::svn, true, removeAdministrativeFolder},
    };
    for (const auto &move : cases) {
        SCOPED_TRACE(move.name);
        const QString top = sandbox.filePath(move.name);
        makeWorkingCopy(move.kind, top + "-repository", top, {{"sub/f.txt", "f\n"}});
        writeFile(top + "/sub/f.txt", "f changed\n");
        dialogs = ScriptedDialogs();
        dialogs.confirmAnswers.push_back(move.yes);
        if (move.whileAsked)
            dialogs.whileConfirming = [&] { move.whileAsked(top); };
        const Project listedTop{QUuid::createUuid(), "top", top, move.kind};
        if (move.topListed) {
            const Project below{QUuid::createUuid(), "project", top + "/sub", move.kind};
            ProjectStore(&settings).save({below, listedTop});
            state = std::make_unique<AppState>(&settings);
            state->setDialogs(&dialogs);
            state->setSelectedProjectID(below.id);
            state->projectSelectionChanged();
            ASSERT_TRUE(waitUntilIdle(*state));
            EXPECT_EQ(state->projects(), QList<Project>{listedTop});
            EXPECT_EQ(ProjectStore(&settings).load(), QList<Project>{listedTop});
            EXPECT_EQ(state->selectedProjectID(), listedTop.id);
            EXPECT_EQ(dialogs.confirmations.size(), 1);
            EXPECT_TRUE(listedItem("sub/f.txt"));
            continue;
        }
        open(top + "/sub", move.kind);
        ASSERT_EQ(dialogs.confirmations.size(), 1);
        EXPECT_EQ(dialogs.confirmations[0].first, "Move Project");
        EXPECT_EQ(dialogs.confirmations[0].second,
            "The folder " + top + "/sub is part of the "
                + (move.kind == RepositoryKind::svn ? "SVN working copy " : "Git repository ") + top
                + ". Move the project to " + top + "?");
        const bool moved = move.yes && !move.whileAsked;
        EXPECT_EQ(state->projects().constFirst().path, moved ? top : top + "/sub");
        EXPECT_EQ(state->projects().constFirst().name, moved ? QDir(top).dirName() : "project");
        EXPECT_EQ(ProjectStore(&settings).load(), state->projects());
        if (move.whileAsked)
            continue;

        refresh();
        EXPECT_EQ(dialogs.confirmations.size(), 1) << "not asked again at every refresh";
        if (move.kind == RepositoryKind::git && !moved) {
            // git would take the project for the top; the project says where it lies.
            const QString said = "The folder " + top + "/sub is part of the Git repository " + top
                + ". Select the project again to move it there.";
            EXPECT_EQ(state->projectFolderProblem(), said);
            tick({"f.txt"});
            EXPECT_EQ(refusedCommit("from below the top").message, said);
            dialogs.confirmAnswers.push_back(true);
            state->projectSelectionChanged();
            ASSERT_TRUE(waitUntilIdle(*state));
            EXPECT_EQ(dialogs.confirmations.size(), 2) << "asked again once the project is selected again";
            EXPECT_EQ(state->projects().constFirst().path, top);
            EXPECT_EQ(ProjectStore(&settings).load(), state->projects());
        }
        // Kept below its top, an svn project still works there.
        commit({state->projects().constFirst().path == top ? "sub/f.txt" : "f.txt"}, "from the project");
        EXPECT_TRUE(move.kind == RepositoryKind::svn ? runTool("svn", {"log", "-l", "1", "^/"}, top).contains("from")
                                                     : runTool("git", {"log", "-1"}, top).contains("from"));
        if (!move.updatedAway)
            continue;
        // svn leaves the folder with the files it does not version.
        writeFile(top + "/sub/notes.txt", "mine\n");
        runTool("svn", {"rm", "-m", "gone", "^/sub"}, top);
        run([](AppState &s) { s.updateWorkingCopy(); });
        EXPECT_TRUE(state->changes().isEmpty());
        EXPECT_EQ(state->projectFolderProblem(), "The folder " + top + "/sub is no longer an SVN working copy.");
        const QMap<QString, QByteArray> before = snapshot(RepositoryKind::svn, top);
        tick({"."});
        refusedCommit("into the working copy around it");
        EXPECT_EQ(snapshot(RepositoryKind::svn, top), before);
    }
}

namespace {

// A pass-through file system whose every lookup by the test program's main thread, the window's
// thread, sleeps 0.2 s; the tools and the workers pass at full speed, so only a look that stalls the
// window costs time.
const char slowMount[] = R"(
import errno, os, sys, time
from fusepy import FUSE, FuseOSError, Operations, fuse_get_context
root, window = os.path.abspath(sys.argv[1]), int(sys.argv[3])
class Slow(Operations):
    def __call__(self, op, path, *args):
        try:
            return super().__call__(op, root + path if path else path, *args)
        except OSError as e:
            raise FuseOSError(e.errno or errno.EIO)
    def getattr(self, path, fh=None):
        if fuse_get_context()[2] == window:
            time.sleep(0.2)
        st = os.lstat(path)
        return {k: getattr(st, k) for k in ('st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size',
                                            'st_atime', 'st_mtime', 'st_ctime', 'st_ino')}
    def access(self, path, mode):
        if not os.access(path, mode): raise FuseOSError(errno.EACCES)
    def readdir(self, path, fh): return ['.', '..'] + os.listdir(path)
    def readlink(self, path): return os.readlink(path)
    def chmod(self, path, mode): os.chmod(path, mode)
    def chown(self, path, uid, gid): os.chown(path, uid, gid)
    def mkdir(self, path, mode): os.mkdir(path, mode)
    def rmdir(self, path): os.rmdir(path)
    def unlink(self, path): os.unlink(path)
    def symlink(self, target, source): os.symlink(source, target)
    def rename(self, old, new): os.rename(old, root + new)
    def link(self, target, source): os.link(root + source, target)
    def utimens(self, path, times=None): os.utime(path, times)
    def truncate(self, path, length, fh=None): os.truncate(path, length)
    def open(self, path, flags): return os.open(path, flags)
    def create(self, path, mode, fi=None): return os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)
    def read(self, path, size, offset, fh): return os.pread(fh, size, offset)
    def write(self, path, data, offset, fh): return os.pwrite(fh, data, offset)
    def flush(self, path, fh): return 0
    def release(self, path, fh): return os.close(fh)
    def fsync(self, path, datasync, fh): return os.fsync(fh)
    def statfs(self, path):
        s = os.statvfs(path)
        return {k: getattr(s, k) for k in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail',
                                           'f_ffree', 'f_files', 'f_flag', 'f_frsize', 'f_namemax')}
FUSE(Slow(), sys.argv[2], foreground=True, attr_timeout=0, entry_timeout=0, negative_timeout=0)
)";

// The slow file system mounted over a folder for as long as the object lives.
class SlowMount {
public:
    SlowMount(const QString &backing, const QString &mountPoint) : m_mountPoint(mountPoint)
    {
        QDir().mkpath(mountPoint);
        m_process.setProgram("/usr/bin/python3");
        m_process.setArguments(
            {"-c", slowMount, backing, mountPoint, QString::number(QCoreApplication::applicationPid())});
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        // A test program that dies leaves no mount behind: fuse unmounts when it is told to end.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start();
        m_mounted = waitFor([this] { return isMounted() || m_process.state() == QProcess::NotRunning; }, 10000)
            && isMounted();
    }
    ~SlowMount()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        QProcess::execute("umount", {m_mountPoint});
        if (!m_process.waitForFinished(10000))
            ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(-1);
    }
    bool mounted() const { return m_mounted; }

private:
    bool isMounted() const
    {
        QFile mounts("/proc/self/mountinfo");
        return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(' ' + m_mountPoint.toUtf8() + ' ');
    }

    QString m_mountPoint;
    QProcess m_process;
    bool m_mounted = false;
};

// The longest time the window's thread went without turning its event loop while it was watched.
class StallWatch {
public:
    StallWatch()
    {
        QObject::connect(
            &m_timer, &QTimer::timeout, [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
        m_timer.start(5);
        m_sinceTick.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

} // namespace

TEST_F(RealActionsFixture, TheWindowNeverWaitsOnASlowMountUnderTheProject)
{
    const bool required
        = qEnvironmentVariable("CI") == u"true" || qEnvironmentVariable("KORVEL_REQUIRE_DESKTOP") == u"1";
    if (!QFileInfo("/dev/fuse").isReadable() || QProcess::execute("/usr/bin/python3", {"-c", "import fusepy"}) != 0) {
        if (required)
            FAIL() << "/dev/fuse and python3-fusepy are needed here";
        GTEST_SKIP() << "no FUSE here";
    }
    // A commit of each kind, after a switch to another branch for git.
    for (const RepositoryKind kind : {RepositoryKind::git, RepositoryKind::svn}) {
        SCOPED_TRACE(displayName(kind).toStdString());
        const bool git = kind == RepositoryKind::git;
        const QString backing = sandbox.filePath(displayName(kind) + "-backing");
        makeWorkingCopy(kind, backing + "-repository", backing + "/wc", {{"a.txt", "a\n"}, {"b.txt", "b\n"}});
        writeFile(backing + "/wc/a.txt", "a changed\n");
        writeFile(backing + "/wc/b.txt", "b changed\n");
        if (git)
            runTool("git", {"branch", "side"}, backing + "/wc");
        const QString mountPoint = sandbox.filePath(displayName(kind) + "-mount");
        const SlowMount mount(backing, mountPoint);
        if (!mount.mounted()) {
            if (required)
                FAIL() << "the slow file system did not mount";
            GTEST_SKIP() << "FUSE does not mount here";
        }
        QElapsedTimer probe;
        probe.start();
        EXPECT_TRUE(QFileInfo::exists(mountPoint + "/wc/a.txt"));
        ASSERT_GE(probe.elapsed(), 200) << "a lookup by the window's thread is not slow";

        ProjectStore(&settings).save({Project{QUuid::createUuid(), "project", mountPoint + "/wc", kind}});
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
        const StallWatch watch;
        state->setSelectedProjectID(state->projects().constFirst().id);
        state->projectSelectionChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_TRUE(listedItem("a.txt"));
        EXPECT_TRUE(changeDiff("b.txt").contains("+b changed"));
        if (git) {
            dialogs.branchAnswers.push_back(BranchChoiceAnswer{std::nullopt, "side"});
            run([](AppState &s) { s.switchGitBranch(); });
        }
        commit({"a.txt"}, "over a slow mount");
        EXPECT_LT(watch.longestMs(), 100);
        EXPECT_TRUE(git ? runTool("git", {"log", "-1", "--format=%D %s"}, backing + "/wc")
                    == "HEAD -> side over a slow mount\n"
                        : runTool("svn", {"log", "-l", "1", "^/"}, backing + "/wc").contains("over a slow mount"));
        state.reset();
    }
}
