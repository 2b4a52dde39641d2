// Every item of the six menus, chosen once in the real window against real repositories, its modal
// questions answered from a script: each ends in success or its own alert, within a bounded time,
// without a crash and without leaving the busy message standing. What an action changed is checked
// with svn and git themselves.
#include "RealWindow.h"

#include <QDir>
#include <QFileInfo>

using namespace TestSupport;

namespace {

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

struct MenuSmoke : ::testing::Test {
    Sandbox sandbox;
    SvnFixture svn;
    QString origin;
    GitFixture upstream;
    GitFixture git;
    Project svnProject;
    Project gitProject;
    std::unique_ptr<RealWindow> app;

    void SetUp() override
    {
        // Subversion: r1 adds a.txt and dir/b.txt, r2 changes a.txt; a.txt is changed again locally and
        // new.txt is not under version control.
        svn = SvnFixture::create(sandbox.filePath("svn"));
        writeFile(svn.workingCopy + "/a.txt", "one\n");
        writeFile(svn.workingCopy + "/dir/b.txt", "b\n");
        svn.commitAll("first");
        writeFile(svn.workingCopy + "/a.txt", "one\ntwo\n");
        svn.commitAll("second");
        writeFile(svn.workingCopy + "/a.txt", "one\ntwo\nthree\n");
        writeFile(svn.workingCopy + "/new.txt", "new\n");

        // Git: a clone of a bare origin that has a branch "feature" and one commit the clone lacks.
        origin = sandbox.filePath("git/origin.git");
        runTool("git", {"init", "-q", "--bare", "-b", "main", origin});
        upstream = GitFixture::create(sandbox.filePath("git"), "upstream");
        writeFile(upstream.path + "/g.txt", "g1\n");
        upstream.commitAll("g first");
        upstream.git({"remote", "add", "origin", origin});
        upstream.git({"push", "-q", "origin", "main"});
        upstream.git({"push", "-q", "origin", "main:feature"});
        git.path = sandbox.filePath("git/clone");
        runTool("git", {"clone", "-q", origin, git.path});
        git.git({"config", "user.name", "Test User"});
        git.git({"config", "user.email", "test@example.com"});
        writeFile(upstream.path + "/g.txt", "g1\ng2\n");
        upstream.commitAll("g second");
        upstream.git({"push", "-q", "origin", "main"});

        svnProject = Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn};
        gitProject = Project{QUuid::createUuid(), "clone", git.path, RepositoryKind::git};
        app = std::make_unique<RealWindow>(sandbox.filePath("settings.ini"), QList<Project>{svnProject, gitProject});
    }

    void TearDown() override { app.reset(); }

    AppState &state() { return app->state(); }
    ScriptedDialogs &dialogs() { return app->dialogs; }

    void highlight(const QString &path)
    {
        ASSERT_TRUE(app->lists(path)) << path.toStdString();
        state().setSelectedChangeID(path);
        state().selectedChangeChanged();
        ASSERT_TRUE(app->settle());
    }

    void refresh()
    {
        state().refreshAll();
        ASSERT_TRUE(app->settle());
    }

    QString svnStatus(const QString &path = QString())
    {
        QStringList arguments{"status"};
        if (!path.isEmpty())
            arguments << path;
        return text(svn.svn(arguments));
    }
};

} // namespace

TEST_F(MenuSmoke, RepositoryMenu)
{
    app->selectProject(svnProject.id);
    EXPECT_EQ(app->choose("Repository", "Refresh Status"), "ok");
    EXPECT_TRUE(app->lists("a.txt"));
    EXPECT_TRUE(app->lists("new.txt"));

    EXPECT_EQ(app->choose("Repository", "Info"), "output:Info");
    EXPECT_TRUE(state().commandOutput()->stdout.contains("URL: " + svn.repositoryUrl));

    // Another working copy commits r3, which the update brings.
    const SvnFixture other = SvnFixture::create(sandbox.filePath("svn"), "other");
    writeFile(other.workingCopy + "/dir/b.txt", "b\nmore\n");
    other.commitAll("third");
    EXPECT_EQ(app->choose("Repository", "Update"), "output:Update") << app->details();
    EXPECT_EQ(text(svn.svn({"info", "--show-item", "revision"})).trimmed(), "3");
    EXPECT_EQ(readFile(svn.workingCopy + "/dir/b.txt"), "b\nmore\n");
    EXPECT_EQ(readFile(svn.workingCopy + "/a.txt"), "one\ntwo\nthree\n");

    EXPECT_EQ(app->choose("Repository", "Cleanup"), "output:Cleanup") << app->details();
    EXPECT_EQ(app->choose("Repository", "Upgrade Working Copy"), "output:Upgrade") << app->details();

    dialogs().promptAnswers = {QStringList{svn.repositoryUrl}};
    EXPECT_EQ(app->choose("Repository", "Switch URL Or Branch..."), "output:Switch") << app->details();
    ASSERT_EQ(dialogs().prompts.size(), 1);
    EXPECT_EQ(dialogs().prompts[0].fields.value(0).value, svn.repositoryUrl);

    dialogs().promptAnswers = {QStringList{svn.repositoryUrl, svn.repositoryUrl}};
    EXPECT_EQ(app->choose("Repository", "Relocate URL..."), "output:Relocate") << app->details();
    EXPECT_EQ(text(svn.svn({"info", "--show-item", "repos-root-url"})).trimmed(), svn.repositoryUrl);

    // Nothing ticked first: its own alert. Then the changed file with a message.
    state().setSelectedCommitPaths({});
    EXPECT_EQ(app->choose("Repository", "Commit"), "alert:Nothing To Commit");
    state().setSelectedCommitPaths({"a.txt"});
    state().setCommitMessage("Smoke commit");
    EXPECT_EQ(app->choose("Repository", "Commit"), "output:Commit") << app->details();
    EXPECT_TRUE(text(runTool("svn", {"log", "-l", "1", svn.repositoryUrl})).contains("Smoke commit"));
    EXPECT_EQ(svnStatus("a.txt"), "");
    EXPECT_EQ(state().commitMessage(), "");
    EXPECT_FALSE(app->lists("a.txt"));
    EXPECT_TRUE(app->lists("new.txt"));

    const QString created = sandbox.filePath("created repo");
    dialogs().savePanelAnswers = {created};
    EXPECT_EQ(app->choose("Repository", "Create SVN Repository..."), "output:Create SVN Repository") << app->details();
    EXPECT_EQ(text(runTool("svnlook", {"youngest", created})).trimmed(), "0");
    EXPECT_EQ(state().projects().size(), 2);

    // Checkout adds the new working copy and selects it.
    QDir().mkpath(sandbox.filePath("checkouts"));
    dialogs().promptAnswers = {QStringList{svn.repositoryUrl}, QStringList{"second"}};
    dialogs().openPanelAnswers = {sandbox.filePath("checkouts")};
    EXPECT_EQ(app->choose("Repository", "Checkout..."), "output:Checkout") << app->details();
    const QString second = sandbox.filePath("checkouts/second");
    EXPECT_EQ(text(runTool("svn", {"info", "--show-item", "wc-root"}, second)).trimmed(), second);
    const std::optional<Project> added = app->projectAt(second);
    ASSERT_TRUE(added);
    EXPECT_EQ(state().selectedProjectID(), added->id);
    EXPECT_EQ(state().selectedProjectKind(), RepositoryKind::svn);

    // Adding a folder inside a listed working copy selects that project; the list stays as it is.
    dialogs().openPanelAnswers = {svn.workingCopy + "/dir"};
    EXPECT_EQ(app->choose("Repository", "Add Existing Working Copy..."), "ok") << app->details();
    EXPECT_EQ(state().selectedProjectID(), svnProject.id);
    EXPECT_EQ(state().projects().size(), 3);

    // Removing takes the project from the list and leaves its files.
    app->selectProject(added->id);
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("Repository", "Remove Project"), "ok");
    EXPECT_FALSE(app->projectAt(second));
    EXPECT_TRUE(QFileInfo::exists(second + "/.svn"));
    EXPECT_EQ(ProjectStore(&app->settings()).load().size(), 2);
}

TEST_F(MenuSmoke, WorkingCopyMenu)
{
    app->selectProject(svnProject.id);

    highlight("new.txt");
    EXPECT_EQ(app->choose("Working Copy", "Add Selected"), "output:Add") << app->details();
    EXPECT_TRUE(svnStatus("new.txt").startsWith("A "));

    highlight("new.txt");
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("Working Copy", "Revert Selected"), "output:Revert") << app->details();
    EXPECT_TRUE(svnStatus("new.txt").startsWith("? "));
    EXPECT_TRUE(QFileInfo::exists(svn.workingCopy + "/new.txt"));

    // A versioned file that is not listed: "Delete Selected" acts on the ticked paths.
    state().setSelectedChangeID(std::nullopt);
    state().setSelectedCommitPaths({"dir/b.txt"});
    EXPECT_EQ(app->choose("Working Copy", "Delete Selected"), "output:Delete") << app->details();
    EXPECT_TRUE(svnStatus("dir/b.txt").startsWith("D "));
    EXPECT_TRUE(app->lists("dir/b.txt"));
    highlight("dir/b.txt");
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("Working Copy", "Revert Selected"), "output:Revert") << app->details();
    EXPECT_EQ(svnStatus("dir/b.txt"), "");

    writeFile(svn.workingCopy + "/junk.log", "junk\n");
    refresh();
    highlight("junk.log");
    EXPECT_EQ(app->choose("Working Copy", "Ignore Selected"), "ok") << app->details();
    EXPECT_EQ(readFile(svn.workingCopy + "/.korvelignore"), "/junk.log\n");
    EXPECT_FALSE(app->lists("junk.log"));
    dialogs().promptAnswers = {QStringList{"junk.log"}};
    EXPECT_EQ(app->choose("Working Copy", "Include Ignored Path..."), "ok") << app->details();
    EXPECT_TRUE(app->lists("junk.log"));

    for (const char *accept : {"Working", "Mine Full", "Theirs Full"}) {
        highlight("a.txt");
        EXPECT_EQ(app->choose("Working Copy", QString("Resolve Selected Using ") + accept), "output:Resolve")
            << app->details();
    }
    EXPECT_EQ(readFile(svn.workingCopy + "/a.txt"), "one\ntwo\nthree\n");

    highlight("a.txt");
    EXPECT_EQ(app->choose("Working Copy", "Lock Selected"), "output:Lock") << app->details();
    EXPECT_EQ(svnStatus("a.txt").mid(5, 1), "K");
    highlight("a.txt");
    EXPECT_EQ(app->choose("Working Copy", "Unlock Selected"), "output:Unlock") << app->details();
    EXPECT_EQ(svnStatus("a.txt").mid(5, 1), " ");

    highlight("a.txt");
    dialogs().promptAnswers = {QStringList{"smoke list"}};
    EXPECT_EQ(app->choose("Working Copy", "Create Changelist..."), "output:Changelist") << app->details();
    EXPECT_TRUE(svnStatus().contains("--- Changelist 'smoke list':"));
    highlight("a.txt");
    EXPECT_EQ(app->choose("Working Copy", "Remove From Changelist"), "output:Remove Changelist") << app->details();
    EXPECT_FALSE(svnStatus().contains("Changelist"));

    const QString patch = sandbox.filePath("change.diff");
    writeFile(patch,
        "Index: dir/b.txt\n===================================================================\n"
        "--- dir/b.txt\n+++ dir/b.txt\n@@ -1 +1 @@\n-b\n+patched\n");
    dialogs().openPanelAnswers = {patch};
    EXPECT_EQ(app->choose("Working Copy", "Apply Patch..."), "output:Patch") << app->details();
    EXPECT_EQ(readFile(svn.workingCopy + "/dir/b.txt"), "patched\n");
    EXPECT_TRUE(app->lists("dir/b.txt"));

    dialogs().promptAnswers = {QStringList{"made dir"}};
    EXPECT_EQ(app->choose("Working Copy", "Make Directory..."), "output:Make Directory") << app->details();
    EXPECT_TRUE(svnStatus("made dir").startsWith("A "));

    dialogs().promptAnswers = {QStringList{"a.txt", "a copy.txt", ""}};
    EXPECT_EQ(app->choose("Working Copy", "Copy..."), "output:Copy") << app->details();
    EXPECT_TRUE(svnStatus("a copy.txt").startsWith("A  +"));
    dialogs().promptAnswers = {QStringList{"a copy.txt", "a moved.txt", ""}};
    EXPECT_EQ(app->choose("Working Copy", "Move..."), "output:Move") << app->details();
    EXPECT_FALSE(QFileInfo::exists(svn.workingCopy + "/a copy.txt"));
    EXPECT_TRUE(svnStatus("a moved.txt").startsWith("A  +"));
    EXPECT_TRUE(app->lists("a moved.txt"));
}

TEST_F(MenuSmoke, HistoryMenu)
{
    svn.svn({"revert", "a.txt"});
    app->selectProject(svnProject.id);

    EXPECT_EQ(app->choose("History", "Show Log"), "ok") << app->details();
    EXPECT_EQ(state().selectedTab(), WorkflowTab::history);
    EXPECT_EQ(state().logEntries().size(), 2);
    EXPECT_EQ(app->choose("History", "Show Archives"), "ok") << app->details();
    EXPECT_EQ(state().selectedTab(), WorkflowTab::archives);
    EXPECT_EQ(state().archiveEntries().size(), 2);

    const SvnFixture other = SvnFixture::create(sandbox.filePath("svn"), "other");
    writeFile(other.workingCopy + "/a.txt", "one\ntwo\nincoming\n");
    other.commitAll("third");
    EXPECT_EQ(app->choose("History", "Show Incoming Changes"), "ok") << app->details();
    EXPECT_EQ(state().selectedTab(), WorkflowTab::incoming);
    ASSERT_EQ(state().incomingEntries().size(), 1);
    EXPECT_EQ(state().incomingEntries()[0].message, "third");

    dialogs().promptAnswers = {QStringList{"a.txt"}};
    EXPECT_EQ(app->choose("History", "Blame Path..."), "output:Blame") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.contains("two"));

    dialogs().promptAnswers = {QStringList{"1", "a.txt"}};
    EXPECT_EQ(app->choose("History", "Diff Against Revision..."), "output:Diff") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.contains("+two"));

    dialogs().promptAnswers = {QStringList{svn.repositoryUrl, "1:2"}};
    EXPECT_EQ(app->choose("History", "Merge..."), "output:Merge") << app->details();
    EXPECT_EQ(readFile(svn.workingCopy + "/a.txt"), "one\ntwo\n");

    // Reverse-merging r2 takes its line out of a.txt again.
    state().setSelectedRevision(std::nullopt);
    EXPECT_EQ(app->choose("History", "Rollback Selected Revision"), "alert:No Revision Selected");
    state().setSelectedRevision(2);
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("History", "Rollback Selected Revision"), "output:Rollback") << app->details();
    EXPECT_EQ(readFile(svn.workingCopy + "/a.txt"), "one\n");
    EXPECT_TRUE(svnStatus("a.txt").startsWith("M "));

    // The pull leaves a mixed-revision working copy, which svn merges no more into: it comes last.
    dialogs().promptAnswers = {QStringList{"dir/b.txt", "1"}};
    EXPECT_EQ(app->choose("History", "Pull File At Revision..."), "output:Pull File") << app->details();
    EXPECT_EQ(text(svn.svn({"info", "--show-item", "revision", "dir/b.txt"})).trimmed(), "1");

    const QString exported = sandbox.filePath("a at r1.txt");
    dialogs().promptAnswers = {QStringList{"a.txt", "1"}};
    dialogs().savePanelAnswers = {exported};
    EXPECT_EQ(app->choose("History", "Export File At Revision..."), "output:Export File") << app->details();
    EXPECT_EQ(readFile(exported), "one\n");

    // The archive of r1, checked by unzip.
    state().setSelectedTab(WorkflowTab::archives);
    state().tabChanged();
    ASSERT_TRUE(app->settle());
    state().setSelectedArchiveEntryID(1);
    const QString zip = sandbox.filePath("r1.zip");
    dialogs().savePanelAnswers = {zip};
    EXPECT_EQ(app->choose("History", "Create Archive Zip..."), "output:Create Archive Zip") << app->details();
    const QString listing = text(runTool("unzip", {"-l", zip}));
    EXPECT_TRUE(listing.contains("/a.txt")) << listing.toStdString();
    EXPECT_TRUE(listing.contains("/dir/b.txt")) << listing.toStdString();
}

TEST_F(MenuSmoke, RemoteMenu)
{
    app->selectProject(svnProject.id);

    dialogs().promptAnswers = {QStringList{svn.repositoryUrl}};
    EXPECT_EQ(app->choose("Remote", "List URL Or Path..."), "output:List") << app->details();
    EXPECT_EQ(state().commandOutput()->stdout, "a.txt\ndir/\n");

    dialogs().promptAnswers = {QStringList{"a.txt", "1"}};
    EXPECT_EQ(app->choose("Remote", "Cat URL Or Path..."), "output:Cat") << app->details();
    EXPECT_EQ(state().commandOutput()->stdout, "one\n");

    dialogs().promptAnswers = {QStringList{svn.repositoryUrl + "/remote%20made", "Make it"}};
    EXPECT_EQ(app->choose("Remote", "Make Remote Directory..."), "output:Remote Directory") << app->details();
    EXPECT_TRUE(text(runTool("svn", {"list", svn.repositoryUrl})).contains("remote made/"));

    const QString tree = sandbox.filePath("to import");
    writeFile(tree + "/inside.txt", "inside\n");
    dialogs().openPanelAnswers = {tree};
    dialogs().promptAnswers = {QStringList{svn.repositoryUrl + "/imported", "Import it"}};
    EXPECT_EQ(app->choose("Remote", "Import Directory..."), "output:Import") << app->details();
    EXPECT_EQ(text(runTool("svn", {"cat", svn.repositoryUrl + "/imported/inside.txt"})), "inside\n");

    QDir().mkpath(sandbox.filePath("exports"));
    dialogs().promptAnswers = {QStringList{svn.repositoryUrl}, QStringList{"exported"}};
    dialogs().openPanelAnswers = {sandbox.filePath("exports")};
    EXPECT_EQ(app->choose("Remote", "Export URL Or Path..."), "output:Export") << app->details();
    EXPECT_EQ(readFile(sandbox.filePath("exports/exported/imported/inside.txt")), "inside\n");
    EXPECT_EQ(readFile(sandbox.filePath("exports/exported/a.txt")), "one\ntwo\n");
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath("exports/exported/.svn")));
}

TEST_F(MenuSmoke, PropertiesMenu)
{
    app->selectProject(svnProject.id);
    highlight("a.txt");

    dialogs().promptAnswers = {QStringList{"smoke:prop", "a value", "a.txt"}};
    EXPECT_EQ(app->choose("Properties", "Set Property..."), "output:Set Property") << app->details();
    EXPECT_EQ(text(svn.svn({"propget", "smoke:prop", "a.txt"})), "a value\n");

    dialogs().promptAnswers = {QStringList{"smoke:prop", "a.txt"}};
    EXPECT_EQ(app->choose("Properties", "Get Property..."), "output:Get Property") << app->details();
    EXPECT_EQ(state().commandOutput()->stdout, "a value\n");

    dialogs().promptAnswers = {QStringList{"a.txt"}};
    EXPECT_EQ(app->choose("Properties", "List Properties..."), "output:Properties") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.contains("smoke:prop"));

    dialogs().promptAnswers = {QStringList{"smoke:prop", "a.txt"}};
    EXPECT_EQ(app->choose("Properties", "Delete Property..."), "output:Delete Property") << app->details();
    EXPECT_EQ(text(svn.svn({"proplist", "a.txt"})), "");

    // A property svn refuses: the failure alert, the output sheet under the same title.
    dialogs().promptAnswers = {QStringList{"svn:executable", "*", "dir"}};
    EXPECT_EQ(app->choose("Properties", "Set Property..."), "alert:Set Property Failed");
    EXPECT_EQ(state().commandOutput()->title, "Set Property Failed");
}

TEST_F(MenuSmoke, SvnMenu)
{
    app->selectProject(svnProject.id);

    dialogs().promptAnswers = {QStringList{"status new.txt"}};
    EXPECT_EQ(app->choose("SVN", "Run svn Command..."), "output:svn status") << app->details();
    EXPECT_EQ(state().commandOutput()->stdout, "?       new.txt\n");
    EXPECT_EQ(app->choose("SVN", "Show svn Version"), "output:svn Version") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.contains("svn, version"));
    EXPECT_EQ(app->choose("SVN", "Show svn Help"), "output:svn Help") << app->details();

    // A chosen executable is what the next run starts; a missing one fails to launch.
    dialogs().openPanelAnswers = {sandbox.filePath("no-such-svn")};
    EXPECT_EQ(app->choose("SVN", "Set svn Executable..."), "ok");
    EXPECT_EQ(app->settings().value("KorvelSVN.svnExecutablePath").toString(), sandbox.filePath("no-such-svn"));
    EXPECT_EQ(app->choose("SVN", "Show svn Version"), "alert:svn Version Failed");
    EXPECT_EQ(app->choose("SVN", "Use svn From PATH"), "ok");
    EXPECT_FALSE(app->settings().contains("KorvelSVN.svnExecutablePath"));
    EXPECT_EQ(app->choose("SVN", "Show svn Version"), "output:svn Version") << app->details();
}

TEST_F(MenuSmoke, GitProjectItems)
{
    app->selectProject(gitProject.id);
    EXPECT_EQ(state().selectedProjectKind(), RepositoryKind::git);

    EXPECT_EQ(app->choose("Repository", "Update"), "output:Pull") << app->details();
    EXPECT_EQ(readFile(git.path + "/g.txt"), "g1\ng2\n");
    EXPECT_EQ(app->choose("Repository", "Info"), "output:Info") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.startsWith("## main...origin/main"));
    EXPECT_EQ(app->choose("Repository", "Cleanup"), "alert:SVN Command Unavailable");
    EXPECT_EQ(
        state().alert()->message, "This project is a Git repository. Use Git-backed actions from Changes and History.");

    // The branch switch: the remote branch by name, then back through the pop-up.
    dialogs().branchAnswers = {BranchChoiceAnswer{std::nullopt, "feature"}};
    EXPECT_EQ(app->choose("Repository", "Switch URL Or Branch..."), "output:Switch Branch") << app->details();
    EXPECT_EQ(text(git.git({"branch", "--show-current"})).trimmed(), "feature");
    ASSERT_EQ(dialogs().branchRequests.size(), 1);
    const QStringList titles = dialogs().branchRequests[0].itemTitles;
    EXPECT_TRUE(titles.contains("main (current)")) << titles.join(", ").toStdString();
    EXPECT_TRUE(titles.contains("origin/feature (remote)")) << titles.join(", ").toStdString();
    // The pop-up lists the refs in git's own order.
    const QStringList refs = text(git.git({"for-each-ref", "--format=%(refname:short)", "refs/heads", "refs/remotes"}))
                                 .split('\n', Qt::SkipEmptyParts);
    dialogs().branchAnswers = {BranchChoiceAnswer{int(refs.indexOf("main")), ""}};
    EXPECT_EQ(app->choose("Repository", "Switch URL Or Branch..."), "output:Switch Branch") << app->details();
    EXPECT_EQ(text(git.git({"branch", "--show-current"})).trimmed(), "main");

    writeFile(git.path + "/h.txt", "h\n");
    refresh();
    highlight("h.txt");
    EXPECT_EQ(app->choose("Working Copy", "Add Selected"), "output:Add") << app->details();
    EXPECT_EQ(text(git.git({"status", "--porcelain", "h.txt"})), "A  h.txt\n");
    state().setSelectedCommitPaths({"h.txt"});
    state().setCommitMessage("Add h");
    EXPECT_EQ(app->choose("Repository", "Commit"), "output:Commit") << app->details();
    EXPECT_EQ(text(git.git({"log", "-1", "--format=%s"})), "Add h\n");
    EXPECT_EQ(text(git.git({"status", "--porcelain"})), "");

    dialogs().promptAnswers = {QStringList{"g.txt"}};
    EXPECT_EQ(app->choose("History", "Blame Path..."), "output:Blame") << app->details();
    EXPECT_TRUE(state().commandOutput()->stdout.contains("g2"));
    dialogs().promptAnswers = {QStringList{"HEAD~2", "g.txt"}};
    EXPECT_EQ(app->choose("History", "Diff Against Revision..."), "output:Diff") << app->details();
    dialogs().promptAnswers = {QStringList{"g.txt", "HEAD~1"}};
    EXPECT_EQ(app->choose("Remote", "Cat URL Or Path..."), "output:Cat") << app->details();
    EXPECT_EQ(state().commandOutput()->stdout, "g1\ng2\n");

    writeFile(git.path + "/g.txt", "local\n");
    refresh();
    highlight("g.txt");
    EXPECT_EQ(app->choose("Working Copy", "Lock Selected"), "alert:SVN Command Unavailable");
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("Working Copy", "Revert Selected"), "output:Revert") << app->details();
    EXPECT_EQ(readFile(git.path + "/g.txt"), "g1\ng2\n");

    // History: roll the newest commit back into the working copy.
    EXPECT_EQ(app->choose("History", "Show Log"), "ok") << app->details();
    ASSERT_EQ(state().logEntries().size(), 3);
    state().setSelectedHistoryPath(QString("h.txt"));
    state().setSelectedRevision(state().logEntries()[0].revision);
    dialogs().confirmAnswers = {true};
    EXPECT_EQ(app->choose("History", "Rollback Selected Revision"), "output:Rollback") << app->details();
    EXPECT_EQ(text(git.git({"status", "--porcelain"})), "D  h.txt\n");

    EXPECT_EQ(app->choose("History", "Show Archives"), "ok") << app->details();
    ASSERT_FALSE(state().archiveEntries().isEmpty());
    state().setSelectedArchiveEntryID(state().archiveEntries()[0].revision);
    const QString zip = sandbox.filePath("head.zip");
    dialogs().savePanelAnswers = {zip};
    EXPECT_EQ(app->choose("History", "Create Archive Zip..."), "output:Create Archive Zip") << app->details();
    const QString listing = text(runTool("unzip", {"-l", zip}));
    EXPECT_TRUE(listing.contains("/h.txt")) << listing.toStdString();
}
