// A project whose folder stops being a working copy of its own (its .git or .svn gone, the folder
// emptied, deleted or replaced by a file) inside another repository keeps its path and kind, lists
// nothing, says why, and refuses its actions before a tool runs. One stored below the top of its
// working copy moves up only with the user's yes. Outcomes are read with git and svn on disk.
#include "support/RealActions.h"

#include <QDir>

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
    } cases[] = {
        {"svn, declined", RepositoryKind::svn, false, nullptr},
        {"svn, declined, then updated out of version control", RepositoryKind::svn, false, nullptr, true},
        {"svn, accepted", RepositoryKind::svn, true, nullptr},
        {"git, accepted", RepositoryKind::git, true, nullptr},
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
        EXPECT_EQ(dialogs.confirmations.size(), 1) << "asked once in a run of the program";
        // Kept below its top, an svn project still works there.
        commit({moved ? "sub/f.txt" : "f.txt"}, "from the project");
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
