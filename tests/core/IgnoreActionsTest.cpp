// Ignore and include: the rules written, read back through the real ignore reader, and the ignore
// file kept intact on every failure.
#include "state/IgnoreEdits.h"
#include "state/IgnoreFiles.h"
#include "state/WorkingCopyPaths.h"
#include "support/FakeClients.h"
#include "support/RealActions.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct IgnoreFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    FakeClients fakes;
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;
    QString root = sandbox.filePath("project");

    void SetUp() override
    {
        QDir().mkpath(root);
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "project", root, RepositoryKind::svn}});
        state = std::make_unique<AppState>(&settings, fakes.make());
        state->setDialogs(&dialogs);
    }

    void TearDown() override { EXPECT_TRUE(waitUntilIdle(*state)); }

    QString file(const QString &name) const { return root + u'/' + name; }

    void ignore(const QString &path)
    {
        state->setSelectedChangeID(path);
        state->ignoreSelectedPaths();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    void include(const QString &typed)
    {
        dialogs.promptAnswers.push_back(QStringList{typed});
        state->includeIgnoredPath();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    bool ranStatus() const
    {
        return std::any_of(fakes.svn->calls.begin(), fakes.svn->calls.end(),
            [](const FakeCall &call) { return call.arguments.value(0) == "status"; });
    }

    QString alertText() const { return state->alert() ? state->alert()->title + " / " + state->alert()->message : ""; }
};

} // namespace

TEST_F(IgnoreFixture, RuleForAnUnusualNameIgnoresExactlyThatPath)
{
    // Each name sits next to names its characters would match if they were read as wildcards.
    const QList<std::pair<QString, QStringList>> cases = {
        {"sp ace.txt", {"sp", "space.txt"}},
        {"#note", {"note"}},
        {"!bang", {"bang"}},
        {"star*", {"starX", "star"}},
        {"[ab]c", {"ac", "bc"}},
        {"back\\slash", {"backslash", "back/slash"}},
        {"q?", {"qx"}},
        {"trail ", {"trail"}},
        {"dir name/in [x]*.txt", {"dir name/in x.txt", "dir nameX/in [x]*.txt"}},
    };
    QStringList all;
    for (const auto &[name, others] : cases) {
        writeFile(file(name), "x");
        all << name << others;
        ignore(name);
        EXPECT_FALSE(state->alert()) << alertText().toStdString();
    }
    const IgnoreRules rules = IgnoreFiles::load(root, all);
    for (const auto &[name, others] : cases) {
        EXPECT_TRUE(rules.ignores(name, false)) << name.toStdString();
        for (const QString &other : others)
            EXPECT_FALSE(rules.ignores(other, false)) << name.toStdString() << " also hides " << other.toStdString();
    }
    EXPECT_TRUE(readFile(file(".korvelignore")).startsWith("/sp\\ ace.txt\n/\\#note\n/\\!bang\n/star\\*\n"));
}

TEST_F(IgnoreFixture, FolderRuleHidesItsContentsAndTheStatusIsReloaded)
{
    writeFile(file(".gitignore"), "*.log");
    writeFile(file("build/out.o"), "o");
    ignore("build");
    EXPECT_EQ(readFile(file(".gitignore")), "*.log\n/build/*\n");
    EXPECT_FALSE(QFileInfo::exists(file(".korvelignore")));
    EXPECT_TRUE(IgnoreFiles::load(root, {"build/out.o"}).ignores("build/out.o", false));
    EXPECT_TRUE(ranStatus());

    // Again: nothing new, the file stays, and the status is still reloaded.
    fakes.svn->calls.clear();
    ignore("build");
    EXPECT_EQ(alertText(), "Ignore Rules Unchanged / The selected ignore rule already exists in .gitignore.");
    EXPECT_EQ(readFile(file(".gitignore")), "*.log\n/build/*\n");
    EXPECT_TRUE(ranStatus());
}

TEST_F(IgnoreFixture, OldBytesStayInFrontAndOnlyExactLinesCountAsPresent)
{
    const QByteArray bom = "\xEF\xBB\xBF";
    writeFile(file(".gitignore"), bom + "/a.txt\n/b.txt \r\n# c\n/c.txt");
    state->setSelectedCommitPaths({"c.txt", "a.txt", "b.txt"});
    state->ignoreSelectedPaths();
    ASSERT_TRUE(waitUntilIdle(*state));
    // "/a.txt" (behind the byte order mark) and "/c.txt" exist; "/b.txt \r" is another line.
    EXPECT_EQ(readFile(file(".gitignore")), bom + "/a.txt\n/b.txt \r\n# c\n/c.txt\n/b.txt\n");
}

TEST_F(IgnoreFixture, OnePathFailingWritesNoRuleAtAll)
{
    state->setSelectedCommitPaths({"a.txt", "x/../b.txt", "c.txt"});
    state->ignoreSelectedPaths();
    EXPECT_EQ(alertText(), "Ignore Failed / Ignore paths cannot contain '..'.");
    EXPECT_FALSE(QFileInfo::exists(file(".korvelignore")));

    // A listed name with a line break would write a rule of its own: refused, even at its end.
    for (const QString &name : {QString("x\n*"), QString("x\n"), QString("x\r"), QString("x\u2028y")}) {
        state->setAlert(std::nullopt);
        ignore(name);
        EXPECT_EQ(alertText(), "Ignore Failed / Ignore paths cannot contain newlines.");
    }
    EXPECT_FALSE(QFileInfo::exists(file(".korvelignore")));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(IgnoreFixture, UnreadableOrUnwritableFileIsReportedAndLeftAlone)
{
    // Not UTF-8.
    writeFile(file(".gitignore"), "/old\n\xff\xfe\n");
    ignore("a.txt");
    EXPECT_TRUE(alertText().startsWith("Ignore Failed / Could not read ")) << alertText().toStdString();
    EXPECT_EQ(readFile(file(".gitignore")), "/old\n\xff\xfe\n");

    // A folder of that name.
    QFile::remove(file(".gitignore"));
    QDir().mkpath(file(".gitignore"));
    state->setAlert(std::nullopt);
    include("a.txt");
    EXPECT_EQ(alertText(), "Include Failed / Could not use " + file(".gitignore") + ": it is not a regular file.");
    EXPECT_FALSE(QFileInfo::exists(file(".korvelignore")));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());

    if (::geteuid() != 0) {
        QDir(file(".gitignore")).removeRecursively();
        writeFile(file(".gitignore"), "/old\n");
        QFile::setPermissions(file(".gitignore"), QFileDevice::WriteOwner);
        state->setAlert(std::nullopt);
        ignore("a.txt");
        EXPECT_TRUE(alertText().startsWith("Ignore Failed / Could not read "));
        QFile::setPermissions(file(".gitignore"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(readFile(file(".gitignore")), "/old\n");
    }
}

TEST_F(IgnoreFixture, LinkInsideTheProjectIsWrittenThroughWithItsPermissions)
{
    const QString target = file("config/ignore-rules");
    writeFile(target, "/old");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QFileDevice::Permissions permissions = QFileInfo(target).permissions();
    ASSERT_TRUE(QFile::link("config/ignore-rules", file(".gitignore")));
    ignore("new.txt");
    EXPECT_EQ(alertText(), "");
    EXPECT_TRUE(QFileInfo(file(".gitignore")).isSymLink());
    EXPECT_EQ(readFile(target), "/old\n/new.txt\n");
    EXPECT_EQ(QFileInfo(target).permissions(), permissions);
    EXPECT_FALSE(QFileInfo(target).permissions() & QFileDevice::ReadOther);
}

TEST_F(IgnoreFixture, IgnoreFileLeavingTheProjectOrNotAPlainFileIsRefused)
{
    // A cloned repository whose .gitignore is a link to a file of the user's: git makes the link.
    const QString victim = sandbox.filePath("victim.rc");
    writeFile(victim, "export SAFE=1\n");
    const GitFixture source = GitFixture::create(sandbox.path(), "source");
    ASSERT_TRUE(QFile::link(victim, source.path + "/.gitignore"));
    writeFile(source.path + "/evil.sh", "x\n");
    source.commitAll();
    runTool("git", {"clone", "-q", source.path, root});
    ASSERT_TRUE(QFileInfo(file(".gitignore")).isSymLink());

    ignore("evil.sh");
    ASSERT_EQ(
        alertText(), "Ignore Failed / Could not use " + file(".gitignore") + ": it leads outside the project folder.");
    EXPECT_EQ(readFile(victim), "export SAFE=1\n");
    include("evil.sh");
    EXPECT_EQ(
        alertText(), "Include Failed / Could not use " + file(".gitignore") + ": it leads outside the project folder.");
    EXPECT_EQ(readFile(victim), "export SAFE=1\n");

    // A dangling link would create its target wherever it points.
    QFile::remove(file(".gitignore"));
    ASSERT_TRUE(QFile::link(sandbox.filePath("elsewhere/created"), file(".gitignore")));
    state->setAlert(std::nullopt);
    ignore("evil.sh");
    EXPECT_EQ(alertText(),
        "Ignore Failed / Could not use " + file(".gitignore")
            + ": it is a symbolic link to something that does not exist.");
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath("elsewhere")));

    // A FIFO would hold the reader until something writes to it. This writer frees a reader that
    // opens it, so the test ends either way.
    QFile::remove(file(".gitignore"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file(".gitignore")).constData(), 0600), 0);
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        // A reader (git, or the program) may close the FIFO before the write: the write then fails
        // with EPIPE instead of raising SIGPIPE for the whole test program.
        sigset_t brokenPipe;
        sigemptyset(&brokenPipe);
        sigaddset(&brokenPipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
        while (!stop) {
            const int descriptor = ::open(QFile::encodeName(file(".gitignore")).constData(), O_WRONLY | O_NONBLOCK);
            if (descriptor >= 0) {
                [[maybe_unused]] const ssize_t written = ::write(descriptor, "x\n", 2);
                ::close(descriptor);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    state->setAlert(std::nullopt);
    ignore("evil.sh");
    stop = true;
    writer.join();
    EXPECT_EQ(alertText(), "Ignore Failed / Could not use " + file(".gitignore") + ": it is not a regular file.");
    struct stat status { };
    ASSERT_EQ(::lstat(QFile::encodeName(file(".gitignore")).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // A link to a device would be read for ever.
    QFile::remove(file(".gitignore"));
    ASSERT_TRUE(QFile::link("/dev/zero", file(".gitignore")));
    state->setAlert(std::nullopt);
    ignore("evil.sh");
    EXPECT_EQ(
        alertText(), "Ignore Failed / Could not use " + file(".gitignore") + ": it leads outside the project folder.");
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(IgnoreFixture, IncludeReopensOnePathBelowABroadRule)
{
    writeFile(file(".gitignore"), "*\n");
    writeFile(file("my dir/x#1"), "x");
    state->setSelectedChangeID("my dir/x#1");
    include("my dir/x#1");
    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].title, "Include Ignored Path");
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "my dir/x#1");
    EXPECT_EQ(readFile(file(".gitignore")), "*\n!/my\\ dir/\n/my\\ dir/*\n!/my\\ dir/x\\#1\n");
    const IgnoreRules rules = IgnoreFiles::load(root, {"my dir/x#1", "my dir/y", "other"});
    EXPECT_FALSE(rules.ignores("my dir/x#1", false));
    EXPECT_TRUE(rules.ignores("my dir/y", false));
    EXPECT_TRUE(rules.ignores("other", false));

    // A trailing "/" makes a folder of a path that does not exist; an absolute path inside is made relative.
    include(root + "/a/b/c/");
    EXPECT_TRUE(readFile(file(".gitignore")).endsWith("!/a/\n/a/*\n!/a/b/\n/a/b/*\n!/a/b/c/\n!/a/b/c/**\n"));
    include(root + "/./a/../top.txt");
    EXPECT_TRUE(readFile(file(".gitignore")).endsWith("\n!/top.txt\n"));
}

TEST_F(IgnoreFixture, IncludeStopsOnCancelAndAlertsOnPathsOutsideTheFolder)
{
    state->includeIgnoredPath();
    EXPECT_FALSE(state->alert());
    include(sandbox.filePath("elsewhere/a.txt"));
    EXPECT_EQ(alertText(), "Include Failed / Choose a path inside " + root + ".");
    include(".");
    EXPECT_EQ(alertText(), "Include Failed / Choose a file or directory below the working copy root.");
    EXPECT_FALSE(QFileInfo::exists(file(".korvelignore")));
}

TEST_F(IgnoreFixture, PathNormalizationAndIncludeRules)
{
    EXPECT_EQ(normalizedWorkingCopyPath("  ./src//app/ ", root), "src/app");
    EXPECT_EQ(normalizedWorkingCopyPath(" a", root, false), " a");
    EXPECT_EQ(normalizedWorkingCopyPath(root + "/x/./y", root), "x/y");
    EXPECT_THROW(normalizedWorkingCopyPath("  ", root), SVNClientError);
    EXPECT_THROW(normalizedWorkingCopyPath(root, root), SVNClientError);
    EXPECT_EQ(includePatterns("a.txt", false), QStringList({"!/a.txt"}));
    EXPECT_EQ(includePatterns("build", true), QStringList({"!/build/", "!/build/**"}));
    // An ancestor gets its pair only from the first one the rules exclude on down.
    const QList<std::pair<QString, QStringList>> cases = {
        {"", {"!/a/b/c.txt"}},
        {"*.txt\n/c/\n", {"!/a/b/c.txt"}},
        {"/a/b/\n", {"!/a/b/", "/a/b/*", "!/a/b/c.txt"}},
        {"a\n", {"!/a/", "/a/*", "!/a/b/", "/a/b/*", "!/a/b/c.txt"}},
        // "/a/*" names what is in "a", not "a"; "a/b" is back in.
        {"/a/*\n!/a/b/\n", {"!/a/b/c.txt"}},
        {"/a/*\n", {"!/a/b/", "/a/b/*", "!/a/b/c.txt"}},
        {"b/\n", {"!/a/b/", "/a/b/*", "!/a/b/c.txt"}},
        // Nothing inside an excluded folder comes back by a rule of its own.
        {"/a/\n!/a/b/\n", {"!/a/", "/a/*", "!/a/b/", "/a/b/*", "!/a/b/c.txt"}},
    };
    for (const auto &[text, rules] : cases)
        EXPECT_EQ(includePatterns("a/b/c.txt", false, IgnoreRules(IgnoreRules::rulesFromText(text, ""))), rules)
            << text.toStdString();
}

TEST_F(IgnoreFixture, EditKeepsTheFilesOwnerModeAndOtherNames)
{
    const QByteArray path = QFile::encodeName(file(".gitignore"));
    writeFile(file(".gitignore"), "/old\n");
    ASSERT_EQ(::chmod(path.constData(), 02664), 0);
    // A colleague's file, group-writable: only root can give a new file another owner.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.constData(), 4321, 8765), 0);
    }
    struct stat before { };
    ASSERT_EQ(::stat(path.constData(), &before), 0);
    ignore("a.txt");
    EXPECT_EQ(alertText(), "");
    EXPECT_EQ(readFile(file(".gitignore")), "/old\n/a.txt\n");
    struct stat after { };
    ASSERT_EQ(::stat(path.constData(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);

    // A second name for the file sees the new text: the file is written where it is.
    const QString other = sandbox.filePath("shared-rules");
    ASSERT_EQ(::link(path.constData(), QFile::encodeName(other).constData()), 0);
    ignore("b.txt");
    EXPECT_EQ(readFile(other), "/old\n/a.txt\n/b.txt\n");
    ASSERT_EQ(::stat(path.constData(), &before), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_nlink, 2u);
    EXPECT_EQ(before.st_mode, after.st_mode);
    EXPECT_EQ(QDir(root).entryList({".korvel-*"}, QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(IgnoreFixture, WriteThatFailsLeavesTheOldTextWhole)
{
    // Files may grow to two bytes past the old text: both the new copy and an append fail midway.
    struct sigaction ignoring { };
    ignoring.sa_handler = SIG_IGN;
    struct sigaction previous { };
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignoring, &previous), 0);
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "a file with two names" : "a file with one name");
        QFile::remove(file(".gitignore"));
        writeFile(file(".gitignore"), "/old\n");
        const QString other = sandbox.filePath("second-name");
        QFile::remove(other);
        if (linked) {
            ASSERT_EQ(
                ::link(QFile::encodeName(file(".gitignore")).constData(), QFile::encodeName(other).constData()), 0);
        }
        struct rlimit limit { };
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = 7;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        state->setAlert(std::nullopt);
        state->setSelectedChangeID("a-name-too-long-to-fit.txt");
        state->ignoreSelectedPaths();
        const bool idle = waitUntilIdle(*state);
        limit.rlim_cur = unlimited;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        ASSERT_TRUE(idle);
        EXPECT_TRUE(alertText().startsWith("Ignore Failed / Could not write " + file(".gitignore") + ": "))
            << alertText().toStdString();
        EXPECT_EQ(readFile(file(".gitignore")), "/old\n");
        EXPECT_EQ(QDir(root).entryList({".korvel-*"}, QDir::Files | QDir::Hidden), QStringList());
    }
    ::sigaction(SIGXFSZ, &previous, nullptr);
}

namespace {

struct RealIncludeFixture : RealActionsFixture {
    QStringList listedPaths() const
    {
        QStringList paths;
        for (const WorkingCopyItem &item : state->changes())
            paths.push_back(item.path);
        paths.sort();
        return paths;
    }

    QStringList gitListed(const GitFixture &git) const
    {
        QStringList paths = QString::fromUtf8(git.git({"ls-files", "--others", "--exclude-standard"}))
                                .split('\n', Qt::SkipEmptyParts);
        paths.sort();
        return paths;
    }
};

} // namespace

// Including one path below a broad rule lists that path in addition and hides nothing: in the program,
// over a real repository of each kind, and in git itself.
TEST_F(RealIncludeFixture, IncludingOnePathHidesNothingThatWasShown)
{
    struct Case {
        QByteArray rules;
        QString included;
        QString appended;
    };
    const QList<Case> cases = {
        {"*.log\n", "logs/keep.log", "!/logs/keep.log\n"},
        {"/logs/\n", "logs/keep.log", "!/logs/\n/logs/*\n!/logs/keep.log\n"},
        {"*.txt\n/logs/deeper/\n", "logs/deeper/notes.txt",
            "!/logs/deeper/\n/logs/deeper/*\n!/logs/deeper/notes.txt\n"},
        {"/logs/*\n!/logs/deeper/\n*.txt\n", "logs/deeper/notes.txt", "!/logs/deeper/notes.txt\n"},
    };
    const QStringList files = {"logs/keep.log", "logs/drop.log", "logs/readme.txt", "logs/deeper/notes.txt"};
    int round = 0;
    for (const RepositoryKind kind : {RepositoryKind::git, RepositoryKind::svn}) {
        for (const Case &test : cases) {
            SCOPED_TRACE(test.rules.toStdString() + (kind == RepositoryKind::git ? " (git)" : " (svn)"));
            const QString base = sandbox.filePath(QString::number(++round));
            std::optional<GitFixture> git;
            QString folder;
            if (kind == RepositoryKind::git) {
                git = GitFixture::create(base);
                folder = git->path;
            } else {
                // The folders are versioned, so svn lists the files in them one by one.
                const SvnFixture svn = SvnFixture::create(base);
                svn.svn({"mkdir", "-q", "logs", "logs/deeper"});
                svn.svn({"commit", "-q", "-m", "folders"});
                folder = svn.workingCopy;
            }
            for (const QString &name : files)
                writeFile(folder + u'/' + name, "x\n");
            writeFile(folder + "/.gitignore", test.rules);
            open(folder, kind);
            const QStringList before = listedPaths();
            const QStringList gitBefore = git ? gitListed(*git) : QStringList();

            dialogs.promptAnswers.push_back(QStringList{test.included});
            run([](AppState &s) { s.includeIgnoredPath(); });
            EXPECT_EQ(readFile(folder + "/.gitignore"), test.rules + test.appended);
            ASSERT_TRUE(waitUntilIdle(*state));
            EXPECT_FALSE(before.contains(test.included));
            QStringList expected = before + QStringList{test.included};
            expected.sort();
            EXPECT_EQ(listedPaths(), expected);
            if (git) {
                EXPECT_EQ(gitBefore, before);
                EXPECT_EQ(gitListed(*git), expected);
            }
        }
    }
}

TEST_F(IgnoreFixture, NoProjectOrNoPathAlerts)
{
    state->ignoreSelectedPaths();
    EXPECT_EQ(alertText(), "No Paths Selected / Select a changed path first.");
    state->setSelectedProjectID(std::nullopt);
    state->ignoreSelectedPaths();
    EXPECT_EQ(alertText(), "No Project Selected / Choose a project first.");
    state->setAlert(std::nullopt);
    state->includeIgnoredPath();
    EXPECT_EQ(alertText(), "No Project Selected / Choose a project first.");
    EXPECT_TRUE(dialogs.prompts.isEmpty());
}
