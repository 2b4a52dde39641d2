// The path actions and commit on real svn and git working copies, with file names that look like
// options, peg revisions and globs. Each test checks the working copy afterwards.
#include "support/RealActions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

const QStringList awkwardNames = {"-R", "--force", "a@2x.png", "*.txt", "sp ace", "é.txt"};

// Lines that name their file, so that git pairs each new name with the old one meant.
QByteArray ownLines(const char *name)
{
    QByteArray text;
    for (const char *word : {" one\n", " two\n", " three\n", " four\n", " five\n", " six\n"})
        text += QByteArray(name) + word;
    return text;
}

} // namespace

TEST_F(RealActionsFixture, SvnAddCommitTwoTickedAndRevertWithAwkwardNames)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/src/x.txt", "base\n");
    svn.commitAll();
    for (const QString &name : awkwardNames)
        writeFile(svn.workingCopy + "/" + name, "one\n");
    open(svn.workingCopy, RepositoryKind::svn);
    for (const QString &name : awkwardNames)
        EXPECT_EQ(listedKind(name), SVNStatusKind::unversioned) << name.toStdString();

    tick(awkwardNames);
    run([](AppState &s) { s.addSelectedPaths(); });
    QMap<QString, QString> status = svnStatus(svn);
    for (const QString &name : awkwardNames)
        EXPECT_EQ(status.value(name), "A      ") << name.toStdString();
    EXPECT_EQ(listedKind("a@2x.png"), SVNStatusKind::added) << "the list was reloaded";

    // Two ticked files are committed; the rest stays scheduled.
    commit({"-R", "a@2x.png"}, "  Two files\nfirst  \n");
    status = svnStatus(svn);
    EXPECT_FALSE(status.contains("-R"));
    EXPECT_FALSE(status.contains("a@2x.png"));
    EXPECT_EQ(status.value("sp ace"), "A      ");
    const QString log = svnLastChangedPaths(svn);
    EXPECT_TRUE(log.contains("A /-R\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("A /a@2x.png\n")) << log.toStdString();
    EXPECT_FALSE(log.contains("sp ace"));
    EXPECT_TRUE(log.contains("Two files\nfirst\n")) << "one argument, trimmed, inner line break kept";

    commit({"--force", "*.txt", "sp ace", "é.txt"}, "The rest");
    EXPECT_TRUE(svnStatus(svn).isEmpty());

    // Reverting the ticked "-R" and "src" must not read "-R" as recursive: src/x.txt keeps its change.
    writeFile(svn.workingCopy + "/-R", "changed\n");
    writeFile(svn.workingCopy + "/src/x.txt", "changed\n");
    tick({"-R", "src"});
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(readFile(svn.workingCopy + "/-R"), "one\n");
    EXPECT_EQ(readFile(svn.workingCopy + "/src/x.txt"), "changed\n");
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"src/x.txt", "M      "}}));
}

TEST_F(RealActionsFixture, SvnCommitSchedulesMissingAndUnversionedItems)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/-R", "one\n");
    writeFile(svn.workingCopy + "/é.txt", "one\n");
    writeFile(svn.workingCopy + "/sp ace", "one\n");
    svn.commitAll();
    QFile::remove(svn.workingCopy + "/-R");
    writeFile(svn.workingCopy + "/*.txt", "new\n");
    writeFile(svn.workingCopy + "/a@2x.png", "new\n");
    writeFile(svn.workingCopy + "/é.txt", "two\n");
    open(svn.workingCopy, RepositoryKind::svn);
    EXPECT_EQ(listedKind("-R"), SVNStatusKind::missing);
    EXPECT_EQ(listedKind("a@2x.png"), SVNStatusKind::unversioned);

    commit({"-R", "*.txt", "a@2x.png", "é.txt"}, "- a bullet\n- another");
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_TRUE(state->changes().isEmpty());
    const QString log = svnLastChangedPaths(svn);
    for (const char *line : {"D /-R\n", "A /*.txt\n", "A /a@2x.png\n", "M /é.txt\n", "- a bullet\n- another\n"})
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line << " in " << log.toStdString();

    // A failing commit (here: out of date) reports and keeps the message and ticks.
    const SvnFixture other = SvnFixture::create(sandbox.path(), "other");
    writeFile(other.workingCopy + "/sp ace", "theirs\n");
    other.svn({"commit", "-q", "-m", "theirs"});
    writeFile(svn.workingCopy + "/sp ace", "mine\n");
    refresh();
    tick({"sp ace"});
    const AppAlert alert = refusedCommit("mine");
    EXPECT_EQ(alert.title, "Commit Failed");
    EXPECT_TRUE(alert.message.contains("out of date")) << alert.message.toStdString();
    EXPECT_EQ(state->commitMessage(), "mine");
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"sp ace"}));
}

TEST_F(RealActionsFixture, SvnDeleteLockChangelistAndResolve)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    for (const char *name : {"-R", "a@2x.png", "sp ace", "c@1.txt"})
        writeFile(svn.workingCopy + "/" + QString::fromUtf8(name), "base\n");
    svn.commitAll();
    open(svn.workingCopy, RepositoryKind::svn);

    tick({"-R", "a@2x.png"});
    run([](AppState &s) { s.deleteSelectedPaths(); });
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"-R", "D      "}, {"a@2x.png", "D      "}}));
    EXPECT_FALSE(QFileInfo::exists(svn.workingCopy + "/-R"));
    tick({"-R", "a@2x.png"});
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_EQ(readFile(svn.workingCopy + "/a@2x.png"), "base\n");

    tick({"a@2x.png", "-R"});
    run([](AppState &s) { s.lockSelectedPaths(); });
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"-R", "     K "}, {"a@2x.png", "     K "}}));
    tick({"a@2x.png", "-R"});
    run([](AppState &s) { s.unlockSelectedPaths(); });
    EXPECT_TRUE(svnStatus(svn).isEmpty());

    tick({"a@2x.png", "sp ace"});
    dialogs.promptAnswers.push_back(QStringList{"review"});
    run([](AppState &s) { s.createChangelist(); });
    EXPECT_TRUE(QString::fromUtf8(svn.svn({"info", "a@2x.png@"})).contains("Changelist: review"));
    EXPECT_TRUE(QString::fromUtf8(svn.svn({"info", "sp ace"})).contains("Changelist: review"));
    tick({"a@2x.png", "sp ace"});
    run([](AppState &s) { s.removeFromChangelist(); });
    EXPECT_FALSE(QString::fromUtf8(svn.svn({"info", "a@2x.png@"})).contains("Changelist"));

    // A real text conflict on a name with "@", resolved to my side.
    const SvnFixture other = SvnFixture::create(sandbox.path(), "other");
    writeFile(other.workingCopy + "/c@1.txt", "theirs\n");
    other.svn({"commit", "-q", "-m", "theirs"});
    writeFile(svn.workingCopy + "/c@1.txt", "mine\n");
    svn.svn({"update", "-q", "--accept", "postpone"});
    refresh();
    EXPECT_EQ(listedKind("c@1.txt"), SVNStatusKind::conflicted);
    state->setSelectedChangeID("c@1.txt");
    run([](AppState &s) { s.resolveSelectedPaths("mine-full"); });
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"c@1.txt", "M      "}}));
    EXPECT_EQ(readFile(svn.workingCopy + "/c@1.txt"), "mine\n");
    EXPECT_EQ(listedKind("c@1.txt"), SVNStatusKind::modified);
}

TEST_F(RealActionsFixture, SvnPatchCopyMoveAndMakeDirectory)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/sp ace", "one\n");
    writeFile(svn.workingCopy + "/é.txt", "one\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/sp ace", "one\ntwo\n");
    writeFile(sandbox.filePath("fix@1.diff"), svn.svn({"diff"}));
    svn.svn({"revert", "-q", "sp ace"});
    open(svn.workingCopy, RepositoryKind::svn);

    dialogs.openPanelAnswers.push_back(sandbox.filePath("fix@1.diff"));
    run([](AppState &s) { s.applyPatch(); });
    EXPECT_EQ(readFile(svn.workingCopy + "/sp ace"), "one\ntwo\n");
    EXPECT_EQ(listedKind("sp ace"), SVNStatusKind::modified);

    dialogs.promptAnswers.push_back(QStringList{"é.txt", "copy of é.txt", ""});
    run([](AppState &s) { s.copyItem(); });
    dialogs.promptAnswers.push_back(QStringList{"sp ace", "moved space", ""});
    run([](AppState &s) { s.moveItem(); });
    dialogs.promptAnswers.push_back(QStringList{"new dir"});
    run([](AppState &s) { s.makeDirectoryInWorkingCopy(); });
    const QMap<QString, QString> status = svnStatus(svn);
    EXPECT_EQ(status.value("copy of é.txt"), "A  +   ");
    EXPECT_EQ(status.value("sp ace"), "D      ");
    EXPECT_EQ(status.value("moved space"), "A  +   ");
    EXPECT_EQ(status.value("new dir"), "A      ");
    EXPECT_EQ(readFile(svn.workingCopy + "/moved space"), "one\ntwo\n");
    EXPECT_TRUE(QFileInfo(svn.workingCopy + "/new dir").isDir());
}

// The project holds an unversioned link to another working copy of the same repository: svn would
// update, or make a folder in, whatever working copy the link leads to.
TEST_F(RealActionsFixture, SvnTypedPathsThroughALinkToAnotherWorkingCopyAreRefused)
{
    const SvnFixture other = SvnFixture::create(sandbox.path(), "wc2");
    writeFile(other.workingCopy + "/x.txt", "r1\n");
    other.commitAll("r1");
    writeFile(other.workingCopy + "/x.txt", "r2\n");
    other.svn({"propset", "p", "kept", "x.txt"});
    other.commitAll("r2");
    const SvnFixture svn = SvnFixture::create(sandbox.path(), "wc1");
    ASSERT_TRUE(QFile::link("../wc2", svn.workingCopy + "/other"));
    ASSERT_TRUE(QFile::link("wc1", sandbox.filePath("alias")));
    open(svn.workingCopy, RepositoryKind::svn);
    const auto otherState = [&] {
        return QString::fromUtf8(other.svn({"info", "-R"}) + other.svn({"status", "-v", "--no-ignore"}));
    };
    const QString before = otherState();
    const QMap<QString, QByteArray> files = filesUnder(other.workingCopy);

    const struct {
        void (AppState::*action)();
        QStringList answers;
    } rows[] = {
        {&AppState::pullFileAtRevision, {"other/x.txt", "1"}},
        {&AppState::pullFileAtRevision, {svn.workingCopy + "/other/x.txt", "1"}},
        {&AppState::pullFileAtRevision, {"other", "1"}},
        {&AppState::makeDirectoryInWorkingCopy, {"other/new"}},
        {&AppState::makeDirectoryInWorkingCopy, {svn.workingCopy + "/other/new"}},
        {&AppState::setProperty, {"p", "changed", "other/x.txt"}},
        {&AppState::setProperty, {"p", "changed", svn.workingCopy + "/other/x.txt"}},
        {&AppState::deleteProperty, {"p", "other/x.txt"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.answers.join(u' ').toStdString());
        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(row.answers);
        (state.get()->*row.action)();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(state->alert().value_or(AppAlert()).title, "Path Outside Project");
        EXPECT_EQ(state->alert().value_or(AppAlert()).message, "Choose a path inside " + svn.workingCopy + ".");
        EXPECT_EQ(otherState(), before);
        EXPECT_EQ(filesUnder(other.workingCopy), files);
    }

    // The project's own file, also through a link to the project itself.
    dialogs.promptAnswers.push_back(QStringList{sandbox.filePath("alias/x.txt"), "1"});
    run([](AppState &s) { s.pullFileAtRevision(); });
    EXPECT_EQ(readFile(svn.workingCopy + "/x.txt"), "r1\n");
    EXPECT_EQ(otherState(), before);
}

// Links the project versions that lead outside it, one of them to another working copy, beside a link
// neither tool versions: svn and git act on a versioned link as the link, and write nothing outside.
TEST_F(RealActionsFixture, VersionedLinksOutOfTheProjectAreActedOnAsLinks)
{
    const QString outside = sandbox.filePath("outside");
    writeFile(outside + "/target.txt", "target\n");
    writeFile(outside + "/second.txt", "second\n");
    const SvnFixture other = SvnFixture::create(sandbox.filePath("elsewhere"), "wc2");
    writeFile(other.workingCopy + "/x.txt", "x\n");
    other.commitAll("x");
    const auto repoint = [](const QString &link, const QString &target) {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(target, link));
    };
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const QString &project : {svn.workingCopy, git.path}) {
        repoint(project + "/outlink", "../outside/target.txt");
        repoint(project + "/tree", "../elsewhere/wc2");
    }
    svn.commitAll("r1");
    git.commitAll("first");
    for (const QString &project : {svn.workingCopy, git.path}) {
        repoint(project + "/outlink", "../outside/second.txt");
        repoint(project + "/loose", "../outside/target.txt");
    }
    svn.svn({"commit", "-q", "-m", "r2"});
    git.git({"commit", "-q", "-a", "-m", "second"});
    const QMap<QString, QByteArray> outsideFiles = filesUnder(outside);
    const QMap<QString, QByteArray> otherFiles = filesUnder(other.workingCopy);
    const QByteArray otherState = other.svn({"status", "-v", "--no-ignore"}) + other.svn({"proplist", "-R", "-v"});

    const struct {
        RepositoryKind kind;
        void (AppState::*action)();
        QStringList answers;
        QStringList query; // the tool's word on the link afterwards; none when refused
        QByteArray answer;
    } rows[] = {
        {RepositoryKind::svn, &AppState::pullFileAtRevision, {"outlink", "1"},
            {"info", "--show-item", "revision", "outlink"}, "1\n"},
        {RepositoryKind::svn, &AppState::setProperty, {"p", "v", "outlink"}, {"propget", "p", "outlink"}, "v\n"},
        {RepositoryKind::svn, &AppState::setProperty, {"p", "v", svn.workingCopy + "/tree"}, {"propget", "p", "tree"},
            "v\n"},
        {RepositoryKind::svn, &AppState::deleteProperty, {"p", "outlink"}, {"proplist", "outlink"},
            "Properties on 'outlink':\n  svn:special\n"},
        {RepositoryKind::svn, &AppState::pullFileAtRevision, {"loose", "1"}, {}, {}},
        {RepositoryKind::svn, &AppState::setProperty, {"p", "v", "loose"}, {}, {}},
        {RepositoryKind::svn, &AppState::deleteProperty, {"p", "./loose"}, {}, {}},
        {RepositoryKind::git, &AppState::pullFileAtRevision, {"outlink", "HEAD~1"}, {"diff", "--cached", "--name-only"},
            "outlink\n"},
        {RepositoryKind::git, &AppState::pullFileAtRevision, {git.path + "/loose", "HEAD~1"}, {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.answers.join(u' ').toStdString());
        const bool isSvn = row.kind == RepositoryKind::svn;
        const QString project = isSvn ? svn.workingCopy : git.path;
        open(project, row.kind);
        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(row.answers);
        (state.get()->*row.action)();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_TRUE(dialogs.confirmations.isEmpty()) << "nothing to ask about";
        if (row.query.isEmpty()) {
            EXPECT_EQ(state->alert().value_or(AppAlert()).title, "Path Outside Project");
            EXPECT_EQ(state->alert().value_or(AppAlert()).message, "Choose a path inside " + project + ".");
        } else {
            EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
            EXPECT_EQ(isSvn ? svn.svn(row.query) : git.git(row.query), row.answer);
        }
        EXPECT_EQ(QFile::symLinkTarget(project + "/loose"), outside + "/target.txt");
        EXPECT_EQ(filesUnder(outside), outsideFiles);
        EXPECT_EQ(filesUnder(other.workingCopy), otherFiles);
        EXPECT_EQ(other.svn({"status", "-v", "--no-ignore"}) + other.svn({"proplist", "-R", "-v"}), otherState);
    }
    // Pulled back, each link is the link of the first revision, still a link in git's index.
    EXPECT_EQ(QFileInfo(svn.workingCopy + "/outlink").symLinkTarget(), outside + "/target.txt");
    EXPECT_EQ(QFileInfo(git.path + "/outlink").symLinkTarget(), outside + "/target.txt");
    EXPECT_TRUE(git.git({"ls-files", "-s", "outlink"}).startsWith("120000 "));
}

TEST_F(RealActionsFixture, GitPathActionsTakeNamesLiterally)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const QString &name : awkwardNames + QStringList{"a.txt"})
        writeFile(git.path + "/" + name, "one\n");
    git.commitAll();
    for (const QString &name : awkwardNames + QStringList{"a.txt"})
        writeFile(git.path + "/" + name, "two\n");
    open(git.path, RepositoryKind::git);

    // "*.txt" is the one file of that name, not every text file.
    tick({"*.txt", "-R"});
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    QMap<QString, QString> status = gitStatus(git);
    EXPECT_FALSE(status.contains("*.txt"));
    EXPECT_FALSE(status.contains("-R"));
    EXPECT_EQ(status.value("a.txt"), " M");
    EXPECT_EQ(status.value("é.txt"), " M");
    EXPECT_EQ(readFile(git.path + "/*.txt"), "one\n");

    writeFile(git.path + "/n[1].txt", "bracket\n");
    writeFile(git.path + "/n1.txt", "plain\n");
    refresh();
    tick({"n[1].txt"});
    run([](AppState &s) { s.addSelectedPaths(); });
    status = gitStatus(git);
    EXPECT_EQ(status.value("n[1].txt"), "A ");
    EXPECT_EQ(status.value("n1.txt"), "??");

    // Reverting a file that was only ever staged keeps its content as an untracked file.
    EXPECT_EQ(listedKind("n[1].txt"), SVNStatusKind::added);
    tick({"n[1].txt", "--force"});
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    status = gitStatus(git);
    EXPECT_EQ(status.value("n[1].txt"), "??");
    EXPECT_EQ(readFile(git.path + "/n[1].txt"), "bracket\n");
    EXPECT_FALSE(status.contains("--force"));
    EXPECT_EQ(readFile(git.path + "/--force"), "one\n");

    tick({"*.txt"});
    run([](AppState &s) { s.deleteSelectedPaths(); });
    status = gitStatus(git);
    EXPECT_EQ(status.value("*.txt"), "D ");
    EXPECT_FALSE(QFileInfo::exists(git.path + "/*.txt"));
    EXPECT_TRUE(QFileInfo::exists(git.path + "/a.txt"));
}

// The user's own pull settings would rebase (refused beside an unstaged edit) or merge: Pull
// fast-forwards and carries the edit over all the same.
TEST_F(RealActionsFixture, GitPullFastForwardsWhateverThePullSettingsSay)
{
    const GitFixture origin = GitFixture::create(sandbox.path(), "origin");
    writeFile(origin.path + "/a.txt", "one\n");
    writeFile(origin.path + "/notes.txt", "one\n");
    origin.commitAll();
    runTool("git", {"clone", "-q", "--bare", origin.path, sandbox.filePath("remote.git")});
    const QString clone = sandbox.filePath("clone");
    runTool("git", {"clone", "-q", sandbox.filePath("remote.git"), clone});
    const GitFixture local{clone};
    local.git({"config", "pull.rebase", "true"});
    local.git({"config", "pull.ff", "false"});
    origin.git({"remote", "add", "remote", sandbox.filePath("remote.git")});
    writeFile(origin.path + "/a.txt", "two\n");
    origin.commitAll("second");
    origin.git({"push", "-q", "remote", "main"});
    writeFile(clone + "/notes.txt", "mine\n");

    open(clone, RepositoryKind::git);
    run([](AppState &s) { s.updateWorkingCopy(); });
    EXPECT_EQ(state->commandOutput()->title, "Pull");
    EXPECT_EQ(readFile(clone + "/a.txt"), "two\n");
    EXPECT_EQ(readFile(clone + "/notes.txt"), "mine\n");
    EXPECT_EQ(local.git({"rev-parse", "HEAD"}), origin.git({"rev-parse", "HEAD"})) << "no merge commit";
    EXPECT_EQ(gitStatus(local), (QMap<QString, QString>{{"notes.txt", " M"}}));
}

TEST_F(RealActionsFixture, GitCommitsOnlyTheTickedPaths)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const QString &name : QStringList{"-R", "*.txt", "a.txt", "gone.txt", "sp ace"})
        writeFile(git.path + "/" + name, "one\n");
    git.commitAll();
    for (const QString &name : QStringList{"-R", "*.txt", "a.txt", "sp ace"})
        writeFile(git.path + "/" + name, "two\n");
    QFile::remove(git.path + "/gone.txt");
    writeFile(git.path + "/new é.txt", "new\n");
    open(git.path, RepositoryKind::git);

    commit({"*.txt", "-R", "gone.txt", "new é.txt"}, "Four paths");
    const QMap<QString, QString> status = gitStatus(git);
    EXPECT_EQ(status, (QMap<QString, QString>{{"a.txt", " M"}, {"sp ace", " M"}}));
    const QString committed
        = QString::fromUtf8(git.git({"-c", "core.quotePath=false", "log", "-1", "--name-status", "--format=%B"}));
    EXPECT_EQ(committed, "Four paths\n\n\nM\t*.txt\nM\t-R\nD\tgone.txt\nA\tnew é.txt\n");
    EXPECT_EQ(state->changes().size(), 2) << "the list was reloaded";
}

TEST_F(RealActionsFixture, TickedPathsGoToTheToolInCharacterCodeOrder)
{
    // U+FF21 comes before U+1F600 by character code, though not by UTF-16 unit.
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80.txt");
    const QString fullwidth = QString::fromUtf8("\xEF\xBC\xA1.txt");
    writeFile(svn.workingCopy + u'/' + emoji, "e\n");
    writeFile(svn.workingCopy + u'/' + fullwidth, "f\n");
    writeFile(svn.workingCopy + "/b.txt", "b\n");
    open(svn.workingCopy, RepositoryKind::svn);
    tick({emoji, "b.txt", fullwidth});
    run([](AppState &s) { s.addSelectedPaths(); });
    ASSERT_TRUE(state->commandOutput());
    const QString line = state->commandOutput()->commandLine;
    EXPECT_TRUE(line.endsWith(QStringLiteral(" add b.txt ") + fullwidth + u' ' + emoji)) << line.toStdString();
    EXPECT_TRUE(QString::fromUtf8(svn.svn({"status"})).contains(emoji));
}

TEST_F(RealActionsFixture, GitRevertOfARenameOrCopyKeepsTheNewContent)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const char *name : {"a.txt", "base.txt", "c.txt", "other.txt"})
        writeFile(git.path + "/" + QString::fromUtf8(name), ownLines(name));
    git.commitAll();
    // A rename edited after the move (unstaged), a copy, and a rename whose old name holds a new file.
    git.git({"mv", "a.txt", "b é.txt"});
    writeFile(git.path + "/b é.txt", ownLines("a.txt") + "edited\n");
    writeFile(git.path + "/base.txt", ownLines("base.txt") + "base edit\n");
    writeFile(git.path + "/copy.txt", ownLines("base.txt") + "copy edit\n");
    git.git({"add", "base.txt", "copy.txt"});
    git.git({"config", "status.renames", "copies"});
    git.git({"mv", "c.txt", "d.txt"});
    writeFile(git.path + "/c.txt", "new under the old name\n");
    writeFile(git.path + "/other.txt", "unrelated\n");
    open(git.path, RepositoryKind::git);
    ASSERT_EQ(gitStatus(git).value("b é.txt"), "RM");

    state->setSelectedChangeID("b é.txt");
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(readFile(git.path + "/a.txt"), ownLines("a.txt")) << "the old name is back as in HEAD";
    EXPECT_EQ(readFile(git.path + "/b é.txt"), ownLines("a.txt") + "edited\n") << "the edit stays on disk";
    QMap<QString, QString> status = gitStatus(git);
    EXPECT_FALSE(status.contains("a.txt"));
    EXPECT_EQ(status.value("b é.txt"), "??");

    // The copy is undone like an added file; its source is a change of its own and stays as it was.
    state->setSelectedChangeID("copy.txt");
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    status = gitStatus(git);
    EXPECT_EQ(status.value("copy.txt"), "??");
    EXPECT_EQ(readFile(git.path + "/copy.txt"), ownLines("base.txt") + "copy edit\n");
    EXPECT_EQ(status.value("base.txt"), "M ");
    EXPECT_EQ(readFile(git.path + "/base.txt"), ownLines("base.txt") + "base edit\n");

    // What now lies under a rename's old name is not overwritten: it only loses the staged removal.
    state->setSelectedChangeID("d.txt");
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    status = gitStatus(git);
    EXPECT_EQ(readFile(git.path + "/c.txt"), "new under the old name\n");
    EXPECT_EQ(status.value("c.txt"), " M");
    EXPECT_EQ(status.value("d.txt"), "??");
    EXPECT_EQ(readFile(git.path + "/d.txt"), ownLines("c.txt"));
    EXPECT_EQ(status.value("other.txt"), " M") << "nothing else touched";
    EXPECT_EQ(git.git({"diff", "--cached", "--name-only"}), "base.txt\n");
}

TEST_F(RealActionsFixture, GitCommitOfARenameRecordsTheRename)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const char *name : {"old.txt", "-R", "other.txt", "keep.txt"})
        writeFile(git.path + "/" + QString::fromUtf8(name), ownLines(name));
    git.commitAll();
    git.git({"mv", "old.txt", "new.txt"});
    writeFile(git.path + "/new.txt", ownLines("old.txt") + "seven\n");
    git.git({"mv", "--", "-R", "sp ace"});
    git.git({"mv", "keep.txt", "kept.txt"});
    writeFile(git.path + "/keep.txt", "new file under the old name\n");
    writeFile(git.path + "/other.txt", "unticked\n");
    open(git.path, RepositoryKind::git);

    commit({"new.txt", "sp ace", "kept.txt"}, "Rename");
    const QString committed = QString::fromUtf8(git.git({"show", "-M", "--name-status", "--format=%s", "HEAD"}));
    EXPECT_TRUE(committed.contains(QRegularExpression("\nR\\d+\told.txt\tnew.txt\n"))) << committed.toStdString();
    EXPECT_TRUE(committed.contains(QRegularExpression("\nR100\t-R\tsp ace\n"))) << committed.toStdString();
    EXPECT_FALSE(committed.contains("other.txt"));
    // The unticked new file under "keep.txt" stays out: that rename goes in as an addition.
    EXPECT_TRUE(committed.contains("\nA\tkept.txt\n")) << committed.toStdString();
    EXPECT_EQ(git.git({"ls-tree", "--name-only", "HEAD"}), "keep.txt\nkept.txt\nnew.txt\nother.txt\nsp ace\n");
    EXPECT_EQ(git.git({"show", "HEAD:new.txt"}), ownLines("old.txt") + "seven\n");
    EXPECT_EQ(git.git({"diff", "--cached", "--name-status"}), "D\tkeep.txt\n")
        << "only the removal left out with the unticked file stays staged";
    EXPECT_EQ(readFile(git.path + "/keep.txt"), "new file under the old name\n");
}

TEST_F(RealActionsFixture, GitCommitTakesRemovalsWhetherStagedOrNot)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const char *name : {"staged.txt", "unstaged.txt", "kept.txt"})
        writeFile(git.path + "/" + QString::fromUtf8(name), ownLines(name));
    git.commitAll();
    git.git({"rm", "-q", "staged.txt"});
    QFile::remove(git.path + "/unstaged.txt");
    writeFile(git.path + "/new.txt", "new\n");
    open(git.path, RepositoryKind::git);

    commit({"new.txt", "staged.txt", "unstaged.txt"}, "Remove two, add one");
    EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), "Remove two, add one\n");
    EXPECT_EQ(git.git({"ls-tree", "--name-only", "HEAD"}), "kept.txt\nnew.txt\n");
    EXPECT_EQ(git.git({"status", "--porcelain"}), "");
}

TEST_F(RealActionsFixture, SvnCommitOfATickedFolderLeavesItsUntickedChildren)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    for (const char *name : {"d/wip.txt", "e/f.txt", "m/f.txt", "top.txt"})
        writeFile(svn.workingCopy + "/" + QString::fromUtf8(name), "one\n");
    svn.commitAll();
    // A folder's property change with a changed file inside; a deleted folder; an added folder with a file.
    svn.svn({"propset", "-q", "p", "v", "d"});
    writeFile(svn.workingCopy + "/d/wip.txt", "work in progress\n");
    svn.svn({"delete", "-q", "e"});
    writeFile(svn.workingCopy + "/n/g.txt", "new\n");
    svn.svn({"add", "-q", "n"});
    // A new folder the commit adds itself, and a copy of a mixed-revision folder, whose file is a copy
    // of its own.
    writeFile(svn.workingCopy + "/u@2x/h.txt", "new\n");
    writeFile(svn.workingCopy + "/u@2x/sub/i.txt", "new\n");
    svn.svn({"propset", "-q", "p", "v", "m"});
    svn.svn({"commit", "-q", "--depth=empty", "-m", "m alone", "m"});
    svn.svn({"copy", "-q", "m", "c"});
    open(svn.workingCopy, RepositoryKind::svn);
    EXPECT_EQ(listedKind("c/f.txt"), SVNStatusKind::added);
    EXPECT_EQ(listedKind("u@2x"), SVNStatusKind::unversioned);

    commit({"d", "e", "n", "u@2x", "c"}, "Folders alone");
    const QString log = svnLastChangedPaths(svn);
    for (const char *line :
        {"M /d\n", "D /e\n", "A /n\n", "A /u@2x\n", "A /u@2x/h.txt\n", "A /u@2x/sub/i.txt\n", "A /c (from /m:2)\n"})
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line << " in " << log.toStdString();
    EXPECT_FALSE(log.contains("wip.txt")) << log.toStdString();
    EXPECT_FALSE(log.contains("g.txt")) << log.toStdString();
    EXPECT_FALSE(log.contains("D /c/f.txt")) << log.toStdString();
    EXPECT_EQ(svn.svn({"cat", svn.repositoryUrl + "/c/f.txt"}), "one\n") << "the copy keeps its file";
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"d/wip.txt", "M      "}, {"n/g.txt", "A      "}}));
    EXPECT_EQ(readFile(svn.workingCopy + "/d/wip.txt"), "work in progress\n");
    EXPECT_FALSE(QFileInfo::exists(svn.workingCopy + "/e"));
    EXPECT_EQ(svn.svn({"propget", "p", svn.repositoryUrl + "/d"}), "v\n");

    // A message that happens to name a file is still a message.
    writeFile(svn.workingCopy + "/top.txt", "two\n");
    refresh();
    commit({"top.txt"}, "top.txt");
    EXPECT_TRUE(svnLastChangedPaths(svn).contains("M /top.txt\n\ntop.txt\n"));
}

TEST_F(RealActionsFixture, ACommitEndingAfterAProjectSwitchKeepsTheOtherProjectsMessage)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "one\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/a.txt", "two\n");
    const GitFixture git = GitFixture::create(sandbox.path());
    // The commit holds in its pre-commit hook until the test lets it go.
    const QString started = sandbox.filePath("hook-started");
    const QString release = sandbox.filePath("hook-release");
    const QString hook = svn.repositoryPath + "/hooks/pre-commit";
    writeFile(hook,
        QStringLiteral(
            "#!/bin/sh\ntouch '%1'\ni=0\nwhile [ ! -e '%2' ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n")
            .arg(started, release)
            .toUtf8());
    QFile::setPermissions(hook, QFile::permissions(hook) | QFile::ExeOwner);
    const Project alpha{QUuid::createUuid(), "alpha", svn.workingCopy, RepositoryKind::svn};
    const Project beta{QUuid::createUuid(), "beta", git.path, RepositoryKind::git};
    ProjectStore(&settings).save({alpha, beta});
    state = std::make_unique<AppState>(&settings);
    refresh();

    tick({"a.txt"});
    state->setCommitMessage("Alpha change");
    state->commitSelected();
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(started); }));
    state->setSelectedProjectID(beta.id);
    state->projectSelectionChanged();
    state->setCommitMessage("Beta draft");
    writeFile(release, "");
    ASSERT_TRUE(waitUntilIdle(*state));

    EXPECT_FALSE(state->alert());
    EXPECT_EQ(state->commitMessage(), "Beta draft");
    EXPECT_EQ(state->selectedProjectID(), beta.id);
    EXPECT_TRUE(svnLastChangedPaths(svn).contains("Alpha change"));
    EXPECT_TRUE(svnStatus(svn).isEmpty());
}
