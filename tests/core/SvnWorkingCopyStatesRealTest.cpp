// Subversion working copies in the states users meet after an ordinary update: conflicts, an added
// file gone from disk, folders added or deleted, the working copy's own folder changed. Each is made with svn itself,
// driven through the program, and checked with svn afterwards.
#include "parsers/UnifiedDiffParser.h"
#include "support/RealActions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

using namespace TestSupport;

TEST_F(RealActionsFixture, SvnConflictFilesAreListedNeverTickedNorCommitted)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/f.txt", "base\n");
    writeFile(svn.workingCopy + "/a.txt", "base\n");
    writeFile(svn.workingCopy + "/gone.txt", "base\n");
    svn.commitAll();
    svn.updateIntoConflicts({"f.txt"}, {"a.txt", "."});
    writeFile(svn.workingCopy + "/new.txt", "new\n");
    QFile::remove(svn.workingCopy + "/gone.txt");
    const QMap<QString, QString> before = svnStatus(svn);
    ASSERT_EQ(before.value("f.txt"), "C      ");
    ASSERT_EQ(before.value("a.txt"), " C     ");
    open(svn.workingCopy, RepositoryKind::svn);

    // Listed as svn lists them, unticked; the conflicted paths themselves show as conflicts and are ticked.
    for (const QString &file : QStringList{"f.txt.mine", "f.txt.r1", "f.txt.r2", "a.txt.prej", "dir_conflicts.prej"}) {
        ASSERT_EQ(before.value(file), "?      ") << file.toStdString();
        ASSERT_TRUE(listedItem(file)) << file.toStdString();
        EXPECT_TRUE(listedItem(file)->conflictFile) << file.toStdString();
        EXPECT_FALSE(state->selectedCommitPaths().contains(file)) << file.toStdString();
    }
    for (const QString &path : QStringList{"f.txt", "a.txt", "."}) {
        ASSERT_TRUE(listedItem(path)) << path.toStdString();
        EXPECT_EQ(listedItem(path)->shownKind(), SVNStatusKind::conflicted) << path.toStdString();
        EXPECT_TRUE(state->selectedCommitPaths().contains(path)) << path.toStdString();
    }
    EXPECT_TRUE(state->selectedCommitPaths().contains("new.txt"));
    EXPECT_FALSE(listedItem("new.txt")->conflictFile);

    // Commit with the default ticks and one conflict file ticked by hand: svn refuses it in its own
    // words, after the missing file was scheduled for deletion, which the reloaded list shows. No
    // conflict file was added.
    const QSet<QString> defaultTicks = state->selectedCommitPaths();
    state->setCommitSelection(*listedItem("a.txt.prej"), true);
    const QSet<QString> ticks = state->selectedCommitPaths();
    const AppAlert alert = refusedCommit("Mine");
    EXPECT_EQ(alert.title, "Commit Failed");
    EXPECT_TRUE(alert.message.contains("remains in conflict")) << alert.message.toStdString();
    QMap<QString, QString> status = svnStatus(svn);
    for (const QString &file : QStringList{"f.txt.mine", "f.txt.r1", "f.txt.r2", "a.txt.prej", "dir_conflicts.prej"})
        EXPECT_EQ(status.value(file), "?      ") << file.toStdString();
    EXPECT_EQ(status.value("gone.txt"), "D      ");
    EXPECT_EQ(listedKind("gone.txt"), SVNStatusKind::deleted);
    EXPECT_EQ(state->selectedCommitPaths(), ticks);
    EXPECT_EQ(state->commitMessage(), "Mine");

    // Resolved, the conflicts commit with the same ticks, and only what the user changed goes in.
    tick({".", "a.txt", "f.txt"});
    run([](AppState &s) { s.resolveSelectedPaths("working"); });
    state->setSelectedCommitPaths(defaultTicks);
    run([](AppState &s) { s.commitSelected(); });
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    const QString log = svnLastChangedPaths(svn);
    for (const char *line : {"   M /\n", "   M /a.txt\n", "   M /f.txt\n", "   A /new.txt\n", "   D /gone.txt\n"})
        EXPECT_TRUE(log.contains(line)) << line << " in " << log.toStdString();
    EXPECT_FALSE(log.contains(".mine")) << log.toStdString();
    EXPECT_FALSE(log.contains(".prej")) << log.toStdString();
}

// An action that changes the working copy and then fails: the window shows what it left, under its failure.
TEST_F(RealActionsFixture, SvnActionsThatFailMidwayShowWhatTheyLeft)
{
    const struct {
        const char *name;
        // Makes the working copy in the folder and gives its path.
        std::function<QString(const SvnFixture &)> make;
        // Answers the forms, ticks, starts.
        std::function<void(const SvnFixture &)> start;
        const char *failure; // the svn error the alert gives
        std::function<void(const SvnFixture &)> check;
    } rows[] = {
        {"a switch to a branch whose external is unreachable",
            [](const SvnFixture &svn) {
                const QString trunk = svn.checkoutNewFolder("trunk", svn.workingCopy + "-trunk");
                writeFile(trunk + "/a.txt", "base\n");
                SvnFixture{svn.repositoryPath, svn.repositoryUrl, trunk}.commitAll();
                svn.svn({"copy", "-q", "-m", "branch", svn.repositoryUrl + "/trunk", svn.repositoryUrl + "/branch"});
                svn.svn({"update", "-q"});
                svn.svn({"propset", "-q", "svn:externals", "ext file:///nonexistent/repo", "branch"});
                svn.svn({"commit", "-q", "-m", "external"});
                return trunk;
            },
            [this](const SvnFixture &svn) {
                EXPECT_EQ(state->repositoryInfo().url, svn.repositoryUrl + "/trunk");
                dialogs.promptAnswers.push_back(QStringList{svn.repositoryUrl + "/branch"});
                state->switchWorkingCopyURL();
            },
            "E205011",
            [this](const SvnFixture &wc) {
                // The whole tree went to the branch: the next commit goes there, and the header says so.
                EXPECT_EQ(wc.svn({"info", "--show-item", "url"}).trimmed(), wc.repositoryUrl + "/branch");
                EXPECT_EQ(state->repositoryInfo().url, wc.repositoryUrl + "/branch");
            }},
        {"a merge svn stops midway at a conflict",
            [](const SvnFixture &svn) {
                // The branch's r4 conflicts with trunk; its r5 went to trunk already, so r6 waits for another pass.
                const QString trunk = svn.checkoutNewFolder("trunk", svn.workingCopy + "-trunk");
                const SvnFixture wc{svn.repositoryPath, svn.repositoryUrl, trunk};
                writeFile(trunk + "/a.txt", "base\n");
                writeFile(trunk + "/b.txt", "base\n");
                wc.commitAll();
                svn.svn({"copy", "-q", "-m", "branch", svn.repositoryUrl + "/trunk", svn.repositoryUrl + "/branch"});
                svn.svn({"update", "-q"});
                for (const auto &[file, text] :
                    {std::pair{"a.txt", "branch\n"}, {"c.txt", "new\n"}, {"b.txt", "branch\n"}}) {
                    writeFile(svn.workingCopy + "/branch/" + file, text);
                    svn.commitAll();
                }
                wc.svn({"merge", "-q", "-c", "5", svn.repositoryUrl + "/branch", "."});
                wc.svn({"commit", "-q", "-m", "cherry-pick"});
                writeFile(trunk + "/a.txt", "trunk\n");
                wc.commitAll();
                return trunk;
            },
            [this](const SvnFixture &svn) {
                dialogs.promptAnswers.push_back(QStringList{svn.repositoryUrl + "/branch", ""});
                state->merge();
            },
            "E155015",
            [this](const SvnFixture &wc) {
                EXPECT_EQ(svnStatus(wc).value("a.txt"), "C      ");
                ASSERT_TRUE(listedItem("a.txt"));
                EXPECT_EQ(listedItem("a.txt")->shownKind(), SVNStatusKind::conflicted);
                ASSERT_TRUE(listedItem("a.txt.working"));
                EXPECT_TRUE(listedItem("a.txt.working")->conflictFile);
            }},
        {"a resolve svn refuses for one of two paths",
            [](const SvnFixture &svn) {
                writeFile(svn.workingCopy + "/a.txt", "base\n");
                writeFile(svn.workingCopy + "/z.txt", "base\n");
                svn.commitAll();
                const SvnFixture other = SvnFixture::create(QFileInfo(svn.workingCopy).path(), "other");
                other.svn({"delete", "-q", "z.txt"});
                other.svn({"commit", "-q", "-m", "gone"});
                writeFile(svn.workingCopy + "/z.txt", "mine\n");
                svn.updateIntoConflicts({"a.txt"}, {});
                return svn.workingCopy;
            },
            [this](const SvnFixture &) {
                // The tree conflict takes "working" alone; the text conflict is resolved all the same.
                tick({"a.txt", "z.txt"});
                state->resolveSelectedPaths("mine-full");
            },
            "E155027",
            [this](const SvnFixture &wc) {
                EXPECT_EQ(svnStatus(wc).value("a.txt"), "M      ");
                EXPECT_EQ(listedKind("a.txt"), SVNStatusKind::modified);
                EXPECT_FALSE(listedItem("a.txt.mine")) << "a side file that is gone";
                ASSERT_TRUE(listedItem("z.txt"));
                EXPECT_TRUE(listedItem("z.txt")->treeConflict);
            }},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        SCOPED_TRACE(row.name);
        const SvnFixture svn = SvnFixture::create(sandbox.filePath(QString::number(i)));
        const SvnFixture wc{svn.repositoryPath, svn.repositoryUrl, row.make(svn)};
        open(wc.workingCopy, RepositoryKind::svn);
        ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
        row.start(wc);
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        ASSERT_TRUE(state->alert());
        EXPECT_TRUE(state->alert()->title.endsWith(" Failed")) << state->alert()->title.toStdString();
        EXPECT_TRUE(state->alert()->message.contains(row.failure)) << state->alert()->message.toStdString();
        row.check(wc);
    }
}

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

} // namespace

// svn that finds the disk full midway leaves its working-copy lock behind, as a stopped svn does.
TEST_F(RealActionsFixture, SvnActionsThatFindTheDiskFullSayToRunCleanup)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    writeFile(svn.workingCopy + "/sub/deeper/b.bin", "b\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/big.bin", randomBytes(3 << 20));
    writeFile(svn.workingCopy + "/sub/deeper/b.bin", randomBytes(3 << 20));
    svn.commitAll();
    const struct {
        const char *name;
        std::function<void(const SvnFixture &)> start;
        const char *title;
        const char *locked;
    } rows[] = {
        {"an update bringing more than fits", [this](const SvnFixture &) { state->updateWorkingCopy(); },
            "Update Failed", "."},
        {"a pull of a file in a folder, which svn locks alone",
            [this](const SvnFixture &) {
                dialogs.promptAnswers.push_back(QStringList{"sub/deeper/b.bin", "2"});
                state->pullFileAtRevision();
            },
            "Pull File Failed", "sub/deeper"},
        {"a commit whose file svn keeps a copy of",
            [this](const SvnFixture &wc) {
                writeFile(wc.workingCopy + "/new.bin", randomBytes(300 << 10));
                refresh();
                tick({"new.bin"});
                state->setCommitMessage("New");
                state->commitSelected();
            },
            "Commit Failed", "."},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        SCOPED_TRACE(row.name);
        // A small disk of its own, where mounting one is permitted.
        const QString disk = sandbox.filePath(QString("disk-%1").arg(i));
        QDir().mkpath(disk);
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=600k") != 0)
            GTEST_SKIP() << "no tmpfs may be mounted here: " << strerror(errno);
        const auto unmount = qScopeGuard([&disk] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
        const SvnFixture wc{svn.repositoryPath, svn.repositoryUrl, disk + "/wc"};
        runTool("svn", {"checkout", "-q", "-r", "1", svn.repositoryUrl, wc.workingCopy});
        open(wc.workingCopy, RepositoryKind::svn);
        state->setAlert(std::nullopt);
        row.start(wc);
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, row.title);
        EXPECT_TRUE(state->alert()->message.contains("No space left on device"))
            << state->alert()->message.toStdString();
        EXPECT_TRUE(
            state->alert()->message.endsWith("\n\nsvn left the working copy locked. Run Cleanup before anything else."))
            << state->alert()->message.toStdString();
        EXPECT_EQ(svnStatus(wc).value(row.locked).mid(2, 1), "L");
    }
}

TEST_F(RealActionsFixture, SvnAnAddedFileRemovedFromDiskLeavesTheCommitAlone)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "base\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/a.txt", "changed\n");
    writeFile(svn.workingCopy + "/new.txt", "new\n");
    svn.svn({"add", "-q", "new.txt"});
    QFile::remove(svn.workingCopy + "/new.txt");
    ASSERT_EQ(svnStatus(svn).value("new.txt"), "!      ");
    open(svn.workingCopy, RepositoryKind::svn);
    ASSERT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "new.txt"}));

    commit({"a.txt", "new.txt"}, "Change a");
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_TRUE(svnLastChangedPaths(svn).contains("   M /a.txt\n")) << svnLastChangedPaths(svn).toStdString();
    EXPECT_FALSE(svnLastChangedPaths(svn).contains("new.txt")) << svnLastChangedPaths(svn).toStdString();
    EXPECT_TRUE(state->changes().isEmpty());

    // Ticked alone, it leaves nothing to commit, and the list shows that svn forgot it.
    writeFile(svn.workingCopy + "/new.txt", "new\n");
    svn.svn({"add", "-q", "new.txt"});
    QFile::remove(svn.workingCopy + "/new.txt");
    refresh();
    tick({"new.txt"});
    EXPECT_EQ(refusedCommit("Nothing").title, "Nothing To Commit");
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_TRUE(state->changes().isEmpty());
    EXPECT_EQ(QString::fromUtf8(svn.svn({"info", "--show-item", "revision"})).trimmed(), "1");
}

TEST_F(RealActionsFixture, SvnRevertUndoesAddAndDeleteOfFoldersWhole)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/old/a.txt", "a\n");
    writeFile(svn.workingCopy + "/old/sub/b.txt", "b\n");
    writeFile(svn.workingCopy + "/kept/c.txt", "c\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/new/x.txt", "x\n");
    writeFile(svn.workingCopy + "/new/sub/y.txt", "y\n");
    open(svn.workingCopy, RepositoryKind::svn);
    const QStringList newTree{"new", "new/sub", "new/sub/y.txt", "new/x.txt"};

    // Added, then reverted from the folder's highlighted row, then from all of its rows ticked.
    for (const bool allTicked : {false, true}) {
        SCOPED_TRACE(allTicked ? "all rows ticked" : "folder highlighted");
        tick({"new"});
        run([](AppState &s) { s.addSelectedPaths(); });
        for (const QString &path : newTree)
            ASSERT_EQ(svnStatus(svn).value(path), "A      ") << path.toStdString();
        if (allTicked)
            tick(newTree);
        else
            state->setSelectedChangeID(QStringLiteral("new"));
        dialogs.confirmAnswers.push_back(true);
        run([](AppState &s) { s.revertSelectedPaths(); });
        EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"new", "?      "}}));
        EXPECT_EQ(readFile(svn.workingCopy + "/new/sub/y.txt"), "y\n");
    }

    // Deleted, then reverted from the folder's row: its files come back too.
    QDir(svn.workingCopy + "/new").removeRecursively();
    tick({"old"});
    run([](AppState &s) { s.deleteSelectedPaths(); });
    ASSERT_FALSE(QFileInfo::exists(svn.workingCopy + "/old/sub/b.txt"));
    state->setSelectedChangeID(QStringLiteral("old"));
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_EQ(readFile(svn.workingCopy + "/old/sub/b.txt"), "b\n");

    // A folder changed in place goes back alone: its file keeps its change.
    svn.svn({"propset", "-q", "note", "x", "kept"});
    writeFile(svn.workingCopy + "/kept/c.txt", "changed\n");
    refresh();
    state->setSelectedChangeID(QStringLiteral("kept"));
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"kept/c.txt", "M      "}}));
}

TEST_F(RealActionsFixture, SvnRootPropertyChangeIsOneRowThatCommitsAndReverts)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "base\n");
    svn.commitAll();
    svn.svn({"propset", "-q", "svn:ignore", "*.o", "."});
    open(svn.workingCopy, RepositoryKind::svn);
    ASSERT_FALSE(state->changes().isEmpty());
    const WorkingCopyItem root = state->changes().first();
    EXPECT_EQ(root.path, ".");
    EXPECT_EQ(root.propertiesKind, SVNStatusKind::modified);
    EXPECT_EQ(displayPath(root.path, svn.workingCopy), ". (wc)");

    const QByteArray diff = changeDiff(".");
    EXPECT_TRUE(diff.contains("svn:ignore")) << diff.toStdString();

    commit({"."}, "Ignore object files");
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_TRUE(svnLastChangedPaths(svn).contains("   M /\n")) << svnLastChangedPaths(svn).toStdString();
    EXPECT_TRUE(state->changes().isEmpty());

    // Changed again, then reverted from its highlighted row: the folder's own property alone goes back.
    svn.svn({"propset", "-q", "svn:ignore", "*.tmp", "."});
    writeFile(svn.workingCopy + "/a.txt", "changed\n");
    refresh();
    state->setSelectedChangeID(".");
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(svn.svn({"propget", "svn:ignore", "."}).trimmed(), "*.o");
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"a.txt", "M      "}}));
}

// The merge's record is a property change of the folder merged into: ticked and shown like the
// file edits, it goes into the repository with them.
TEST_F(RealActionsFixture, SvnMergeCommittedWithTheDefaultTicksKeepsItsRecord)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    const QString trunk = svn.checkoutNewFolder("trunk", sandbox.filePath("trunk"));
    writeFile(trunk + "/a.txt", "one\ntwo\n");
    runTool("svn", {"add", "-q", "a.txt"}, trunk);
    runTool("svn", {"commit", "-q", "-m", "a"}, trunk);
    svn.svn({"copy", "-q", "--parents", "-m", "branch", svn.repositoryUrl + "/trunk",
        svn.repositoryUrl + "/branches/feat"});
    const QString feat = sandbox.filePath("feat");
    runTool("svn", {"checkout", "-q", svn.repositoryUrl + "/branches/feat", feat});
    writeFile(feat + "/a.txt", "one\nTWO\n");
    runTool("svn", {"commit", "-q", "-m", "edit on the branch"}, feat);
    runTool("svn", {"update", "-q"}, trunk);
    open(trunk, RepositoryKind::svn);

    dialogs.promptAnswers.push_back(QStringList{"^/branches/feat", ""});
    run([](AppState &s) { s.merge(); });
    const WorkingCopyItem *root = listedItem(".");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->statusLabel(), "Normal, Props M");
    EXPECT_EQ(state->selectedCommitPaths(), (QSet<QString>{".", "a.txt"}));
    const ParsedDiff preview = UnifiedDiffParser::parse(QString::fromUtf8(changeDiff(".")));
    ASSERT_EQ(preview.files.size(), 1);
    ASSERT_EQ(preview.files[0].hunks.size(), 1);
    EXPECT_EQ(preview.files[0].hunks[0].header, "Added: svn:mergeinfo");
    ASSERT_EQ(preview.files[0].hunks[0].lines.size(), 1);
    EXPECT_EQ(preview.files[0].hunks[0].lines[0].text, "Merged /branches/feat:r3-4");

    state->setCommitMessage("Merge feat");
    run([](AppState &s) { s.commitSelected(); });
    EXPECT_EQ(runTool("svn", {"status"}, trunk), "");
    EXPECT_EQ(
        runTool("svn", {"propget", "svn:mergeinfo", svn.repositoryUrl + "/trunk"}).trimmed(), "/branches/feat:3-4");
    EXPECT_EQ(readFile(trunk + "/a.txt"), "one\nTWO\n");
}

TEST_F(RealActionsFixture, SvnMoveCommitsWholeWhicheverHalfIsTicked)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    for (const QString &file : QStringList{"a.txt", "c.txt", "dir1/x.txt", "dir3/y.txt", "notes.log"})
        writeFile(svn.workingCopy + "/" + file, "base\n");
    svn.commitAll();
    svn.svn({"move", "-q", "a.txt", "b.txt"});
    svn.svn({"move", "-q", "c.txt", "d.txt"});
    svn.svn({"move", "-q", "dir1", "dir2"});
    svn.svn({"move", "-q", "dir3", "dir4"});
    writeFile(svn.workingCopy + "/dir2/x.txt", "changed\n");
    open(svn.workingCopy, RepositoryKind::svn);

    const struct {
        QString ticked;
        QStringList logged;
    } moves[] = {
        {"b.txt", {"A /b.txt from /a.txt", "D /a.txt"}},
        {"c.txt", {"A /d.txt from /c.txt", "D /c.txt"}},
        // The moved folder's changed child stays unticked, so it stays a local change.
        {"dir2", {"A /dir2 from /dir1", "D /dir1"}},
        {"dir3", {"A /dir4 from /dir3", "D /dir3"}},
    };
    for (const auto &move : moves) {
        SCOPED_TRACE(move.ticked.toStdString());
        commit({move.ticked}, "Move " + move.ticked);
        EXPECT_EQ(svnLastRevisionPaths(svn), move.logged);
    }
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"dir2/x.txt", "M      "}}));

    // A new file added at the old name is no part of the move: the move alone is refused, naming it.
    svn.svn({"move", "-q", "b.txt", "e.txt"});
    writeFile(svn.workingCopy + "/b.txt", "draft\n");
    svn.svn({"add", "-q", "b.txt"});
    refresh();
    ASSERT_EQ(listedKind("b.txt"), SVNStatusKind::replaced);
    tick({"e.txt"});
    const AppAlert refused = refusedCommit("Move b");
    EXPECT_EQ(refused.title, "Move Needs Its Old Name");
    EXPECT_EQ(refused.message,
        "e.txt moved away from b.txt, where something new is scheduled now; svn commits both together. Tick b.txt "
        "too, or untick e.txt.");
    EXPECT_EQ(QString::fromUtf8(svn.svn({"info", "--show-item", "revision", svn.repositoryUrl})).trimmed(), "5");
    EXPECT_EQ(svnStatus(svn).value("b.txt"), "R      ");
    EXPECT_EQ(svnStatus(svn).value("e.txt"), "A  +   ");
    commit({"e.txt", "b.txt"}, "Move b, add a draft");
    EXPECT_EQ(svnLastRevisionPaths(svn), (QStringList{"A /e.txt from /b.txt", "R /b.txt"}));

    // The same with the new file hidden by an ignore rule: the list shows the move alone, and svn,
    // asked about the old name, refuses it all the same.
    svn.svn({"move", "-q", "notes.log", "notes.txt"});
    writeFile(svn.workingCopy + "/notes.log", "new notes\n");
    svn.svn({"add", "-q", "notes.log"});
    writeFile(svn.workingCopy + "/.korvelignore", "*.log\n");
    refresh();
    ASSERT_FALSE(listedItem("notes.log"));
    ASSERT_EQ(listedKind("notes.txt"), SVNStatusKind::added);
    tick({"notes.txt"});
    const AppAlert hidden = refusedCommit("Rename notes");
    EXPECT_EQ(hidden.title, "Move Needs Its Old Name");
    EXPECT_EQ(hidden.message,
        "notes.txt moved away from notes.log, where something new is scheduled now; svn commits both together. "
        "Tick notes.log too, or untick notes.txt.");
    EXPECT_EQ(QString::fromUtf8(svn.svn({"info", "--show-item", "revision", svn.repositoryUrl})).trimmed(), "6");
    EXPECT_EQ(svnStatus(svn).value("notes.log"), "R      ");
    EXPECT_EQ(svnStatus(svn).value("notes.txt"), "A  +   ");
}

// Folders holding Git repositories, "sub" with a second one deeper down: one goes in by the Add
// action, the other by the commit's own add; neither brings a .git along, nor is one listed.
TEST_F(RealActionsFixture, SvnAddsFoldersHoldingAGitRepositoryWithoutTheirGitFolder)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    svn.commitAll();
    for (const QString &folder : QStringList{"other", "sub", "sub/deep"}) {
        const GitFixture git = GitFixture::create(svn.workingCopy, folder);
        writeFile(git.path + "/f.txt", "f\n");
        git.git({"add", "f.txt"});
        git.git({"commit", "-q", "-m", "inner"});
    }
    open(svn.workingCopy, RepositoryKind::svn);
    const auto listsGit = [this] {
        for (const WorkingCopyItem &item : state->changes()) {
            if (item.path.contains(".git"))
                return true;
        }
        return false;
    };

    tick({"other"});
    run([](AppState &s) { s.addSelectedPaths(); });
    EXPECT_EQ(svnStatus(svn),
        (QMap<QString, QString>{
            {"other", "A      "}, {"other/f.txt", "A      "}, {"other/.git", "?      "}, {"sub", "?      "}}));
    EXPECT_FALSE(listsGit());

    ASSERT_EQ(listedKind("sub"), SVNStatusKind::unversioned);
    commit({"other", "other/f.txt", "sub"}, "Nested");
    EXPECT_EQ(svnLastRevisionPaths(svn),
        (QStringList{"A /other", "A /other/f.txt", "A /sub", "A /sub/deep", "A /sub/deep/f.txt", "A /sub/f.txt"}));
    EXPECT_EQ(svnStatus(svn),
        (QMap<QString, QString>{{"other/.git", "?      "}, {"sub/.git", "?      "}, {"sub/deep/.git", "?      "}}));
    EXPECT_FALSE(listsGit());
}
