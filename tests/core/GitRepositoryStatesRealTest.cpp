// Git repositories in states git itself leaves them in: a branch without commits, names and authors
// from an old Latin-1 system, a user's diff settings, a rollback taken back, a submodule moved, a file
// renamed on disk. Every outcome is read back with git itself.
#include "model/TextUtil.h"
#include "parsers/UnifiedDiffParser.h"
#include "support/RealActions.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace TestSupport;

namespace {

struct GitRepositoryStates : RealActionsFixture {
    // Asks for a Revert of the ticked paths (no row highlighted) and says yes to it.
    void revertTicked(const QStringList &paths)
    {
        tick(paths);
        dialogs.confirmAnswers.push_back(true);
        run([](AppState &s) { s.revertSelectedPaths(); });
    }

    // Shows History with the commit of the message selected.
    void selectCommit(const QString &message)
    {
        showTab(WorkflowTab::history);
        for (const FileHistoryRevision &revision : state->selectedFileHistoryRevisions()) {
            if (revision.message == message)
                state->setSelectedRevision(revision.revision);
        }
        ASSERT_EQ(state->selectedFileHistoryRevision()->message, message);
    }

    static QStringList cardTitles(const QByteArray &diff)
    {
        QStringList titles;
        for (const DiffFile &file : UnifiedDiffParser::parse(QString::fromUtf8(diff)).files)
            titles.push_back(file.displayPath());
        return titles;
    }

    // The listed path whose exact bytes are these.
    std::optional<WorkingCopyItem> listedByBytes(const QByteArray &bytes) const
    {
        for (const WorkingCopyItem &item : state->changes()) {
            if (TextUtil::encodeFileName(item.path) == bytes)
                return item;
        }
        return std::nullopt;
    }
};

} // namespace

// A file rewritten with CRLF under "* text=auto" is listed, but normalized it equals HEAD: git warns
// about the line ends on standard error and gives its reason on standard output.
TEST_F(GitRepositoryStates, ACommitGitRefusesAfterLineEndWarningsSaysWhy)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/.gitattributes", "* text=auto\n");
    writeFile(git.path + "/f.txt", "one\ntwo\n");
    git.commitAll("first");
    writeFile(git.path + "/f.txt", "one\r\ntwo\r\n");
    // As when the commit follows the edit within the clock's granularity: the file is never older than
    // the index the commit's own git add writes, so git reads it again and warns again.
    QFile file(git.path + "/f.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    file.close();
    open(git.path, RepositoryKind::git);
    ASSERT_EQ(listedKind("f.txt"), SVNStatusKind::modified);

    tick({"f.txt"});
    const AppAlert alert = refusedCommit("Line ends");
    EXPECT_EQ(alert.title, "Commit Failed");
    EXPECT_TRUE(alert.message.startsWith("warning: in the working copy of 'f.txt', CRLF will be replaced by LF"))
        << alert.message.toStdString();
    EXPECT_TRUE(alert.message.endsWith("nothing to commit, working tree clean\n")) << alert.message.toStdString();
    EXPECT_EQ(git.git({"rev-list", "--count", "HEAD"}), "1\n");
    EXPECT_EQ(state->commitMessage(), "Line ends");
}

TEST_F(GitRepositoryStates, ABranchWithoutCommitsShowsItsNameItsStagedFilesAndNoHistory)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    git.git({"symbolic-ref", "HEAD", "refs/heads/trunk"});
    writeFile(git.path + "/new.txt", "one\ntwo\n");
    writeFile(git.path + "/kept.txt", "kept\n");
    git.git({"add", "new.txt", "kept.txt"});
    open(git.path, RepositoryKind::git);
    EXPECT_FALSE(state->alert());
    EXPECT_EQ(state->repositoryInfo().revision, "trunk");

    const QByteArray diff = changeDiff("new.txt");
    EXPECT_TRUE(diff.contains("+one\n+two\n")) << diff.toStdString();
    EXPECT_EQ(cardTitles(diff), QStringList{"new.txt"});

    // Shown, and shown again on the refresh a return to the window makes.
    for (const WorkflowTab tab : {WorkflowTab::history, WorkflowTab::archives}) {
        showTab(tab);
        EXPECT_FALSE(state->alert()) << state->alert()->title.toStdString();
        refresh();
        EXPECT_FALSE(state->alert()) << state->alert()->title.toStdString();
    }
    EXPECT_TRUE(state->logEntries().isEmpty());
    EXPECT_TRUE(state->archiveEntries().isEmpty());
    state->setSelectedTab(WorkflowTab::changes);

    revertTicked({"new.txt"});
    EXPECT_EQ(gitStatusCodes(git), (QMap<QByteArray, QByteArray>{{"kept.txt", "A."}, {"new.txt", "??"}}));
    EXPECT_EQ(readFile(git.path + "/new.txt"), "one\ntwo\n");
}

TEST_F(GitRepositoryStates, ANameThatIsNotUTF8IsListedShownAndActedOnByItsBytesWhateverTheQuoting)
{
    const QByteArray name = "caf\351.txt";
    for (const QString quoting : {"true", "false"}) {
        SCOPED_TRACE(quoting.toStdString());
        const GitFixture git = GitFixture::create(sandbox.path(), "quotepath-" + quoting);
        git.git({"config", "core.quotepath", quoting});
        writeFile(git.path + "/plain.txt", "plain\n");
        git.commitAll("first");
        writeFile(git.path + "/plain.txt", "changed\n");
        printfFile(git.path, "caf\\351.txt", "new\n");
        open(git.path, RepositoryKind::git);
        EXPECT_FALSE(state->alert());

        ASSERT_EQ(state->changes().size(), 2);
        EXPECT_EQ(listedKind("plain.txt"), SVNStatusKind::modified);
        const std::optional<WorkingCopyItem> latin1 = listedByBytes(name);
        ASSERT_TRUE(latin1);
        const QString path = latin1->path;
        EXPECT_EQ(latin1->kind, SVNStatusKind::unversioned);
        EXPECT_TRUE(changeDiff(path).contains("+new")) << state->diffText().toStdString();

        tick({path});
        run([](AppState &s) { s.addSelectedPaths(); });
        EXPECT_EQ(gitStatusCodes(git).value(name), "A.");
        revertTicked({path});
        EXPECT_EQ(gitStatusCodes(git).value(name), "??");
        commit({path}, "Add a Latin-1 name");
        EXPECT_EQ(git.git({"ls-files", "-z"}), "caf\351.txt" + QByteArray(1, '\0') + "plain.txt" + QByteArray(1, '\0'));
        EXPECT_EQ(gitStatusCodes(git), (QMap<QByteArray, QByteArray>{{"plain.txt", ".M"}}));

        printfFile(git.path, "caf\\351.txt", "changed\n");
        refresh();
        EXPECT_EQ(listedKind(path), SVNStatusKind::modified);
        EXPECT_EQ(changeDiff(path), "(no diff: the file name is not valid UTF-8)");
        revertTicked({path});
        EXPECT_FALSE(gitStatusCodes(git).contains(name));
        tick({path});
        run([](AppState &s) { s.deleteSelectedPaths(); });
        EXPECT_EQ(gitStatusCodes(git).value(name), "D.");
    }
}

// "caf\351.txt" shows as "caf\uFFFD.txt", the name of another file beside it: an action on the first
// names it by its bytes, or refuses where git takes the path only as an argument, which cannot carry them.
TEST_F(GitRepositoryStates, ANameThatIsNotUTF8IsNeverActedOnThroughTheNameItShowsAs)
{
    const QByteArray latin1 = "caf\351.txt";
    const QByteArray lookAlike = "caf\357\277\275.txt";
    const GitFixture git = GitFixture::create(sandbox.path());
    const auto writeBoth = [&](const QString &stage) {
        printfFile(git.path, "caf\\351.txt", "latin-1 " + stage + "\n");
        printfFile(git.path, "caf\\357\\277\\275.txt", "look-alike " + stage + "\n");
    };
    writeBoth("committed");
    git.commitAll("first");
    writeBoth("local");
    open(git.path, RepositoryKind::git);
    const std::optional<WorkingCopyItem> row = listedByBytes(latin1);
    ASSERT_TRUE(row);
    ASSERT_TRUE(listedByBytes(lookAlike));

    const QString exported = sandbox.filePath("exported.txt");
    const struct {
        QString title;
        void (AppState::*action)();
        QStringList answers;
    } refusals[] = {
        {"Blame", &AppState::showBlame, {row->path}},
        {"Cat", &AppState::catTarget, {row->path, "HEAD"}},
        {"Diff", &AppState::showDiffAgainstRevision, {"HEAD", row->path}},
        {"Export File", &AppState::exportFileAtRevision, {row->path, "HEAD"}},
    };
    for (const auto &refusal : refusals) {
        SCOPED_TRACE(refusal.title.toStdString());
        state->setSelectedChangeID(row->path);
        state->setAlert(std::nullopt);
        state->setCommandOutput(std::nullopt);
        dialogs.promptAnswers.push_back(refusal.answers);
        dialogs.savePanelAnswers = {exported};
        (state.get()->*refusal.action)();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(state->alert().value_or(AppAlert()).title, refusal.title + " Failed");
        EXPECT_EQ(
            state->alert().value_or(AppAlert()).message, refusal.title + " paths must be valid UTF-8: caf\uFFFD.txt.");
        EXPECT_FALSE(state->commandOutput()) << state->commandOutput()->stdout.toStdString();
        EXPECT_FALSE(QFileInfo::exists(exported));
    }

    // Asked about the local change to the file chosen; the look-alike keeps its own.
    state->setSelectedChangeID(row->path);
    dialogs.promptAnswers.push_back(QStringList{row->path, "HEAD"});
    dialogs.confirmAnswers = {true};
    run([](AppState &s) { s.pullFileAtRevision(); });
    EXPECT_EQ(printfRead(git.path, "caf\\351.txt"), "latin-1 committed\n");
    EXPECT_EQ(printfRead(git.path, "caf\\357\\277\\275.txt"), "look-alike local\n");
    EXPECT_EQ(gitStatusCodes(git), (QMap<QByteArray, QByteArray>{{lookAlike, ".M"}}));
}

TEST_F(GitRepositoryStates, ACommitWhoseAuthorAndMessageAreNotUTF8IsListedWithTheOthers)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "one\n");
    git.commitAll("first");
    // An imported commit, written as git stores it, with Latin-1 bytes where git expects UTF-8.
    writeFile(git.path + "/a.txt", "two\n");
    git.git({"add", "a.txt"});
    const QByteArray tree = git.git({"write-tree"}).trimmed();
    const QByteArray parent = git.git({"rev-parse", "HEAD"}).trimmed();
    writeFile(sandbox.filePath("commit-object"),
        "tree " + tree + "\nparent " + parent + "\nauthor Jos\xe9 <jose@example.com> 1700000000 +0100\n"
            + "committer Jos\xe9 <jose@example.com> 1700000000 +0100\n\nCaf\xe9 import\n");
    const QByteArray imported = git.git({"hash-object", "-t", "commit", "-w", sandbox.filePath("commit-object")});
    git.git({"update-ref", "refs/heads/main", QString::fromLatin1(imported.trimmed())});

    open(git.path, RepositoryKind::git);
    EXPECT_EQ(state->repositoryInfo().lastChangedAuthor, QString::fromUtf16(u"Jos\uFFFD"));
    showTab(WorkflowTab::history);
    EXPECT_FALSE(state->alert());
    ASSERT_EQ(state->logEntries().size(), 2);
    EXPECT_EQ(state->logEntries()[0].author, QString::fromUtf16(u"Jos\uFFFD"));
    EXPECT_EQ(state->logEntries()[0].message, QString::fromUtf16(u"Caf\uFFFD import"));
    EXPECT_EQ(state->logEntries()[0].commitHash, QString::fromLatin1(imported.trimmed()));
    EXPECT_EQ(state->logEntries()[1].message, "first");
    showTab(WorkflowTab::archives);
    EXPECT_EQ(state->archiveEntries().size(), 2);
}

// A real folder named "b" under both settings that change git's a/ and b/ prefixes.
TEST_F(GitRepositoryStates, TheUsersDiffPrefixesNeverRenameTheCards)
{
    for (const QString setting : {"diff.noprefix", "diff.mnemonicPrefix"}) {
        SCOPED_TRACE(setting.toStdString());
        const GitFixture git = GitFixture::create(sandbox.path(), setting);
        writeFile(git.path + "/b/y.c", "one\n");
        git.commitAll("first");
        writeFile(git.path + "/b/y.c", "two\n");
        git.commitAll("second");
        writeFile(git.path + "/b/y.c", "three\n");
        git.git({"config", setting, "true"});
        open(git.path, RepositoryKind::git);

        EXPECT_EQ(cardTitles(changeDiff("b/y.c")), QStringList{"b/y.c"}) << state->diffText().toStdString();
        showTab(WorkflowTab::history);
        ASSERT_EQ(state->selectedHistoryPath(), "b/y.c");
        EXPECT_EQ(cardTitles(state->historyDiffText()), QStringList{"b/y.c"});
        state->setSelectedTab(WorkflowTab::changes);
        state->setSelectedChangeID("b/y.c");
        dialogs.promptAnswers.push_back(QStringList{"HEAD", "b/y.c"});
        run([](AppState &s) { s.showDiffAgainstRevision(); });
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(cardTitles(state->commandOutput()->stdout.toUtf8()), QStringList{"b/y.c"});
    }
}

// A rollback git stops at a conflict leaves it listed at once, and nothing of git's "reverting" behind.
TEST_F(GitRepositoryStates, ARollbackTakenBackLeavesNothingThatBlocksABranchSwitch)
{
    const struct {
        const char *name;
        bool conflict; // a later commit changed the same line
        QByteArray rolledBack; // a.txt after the rollback
        QMap<QByteArray, QByteArray> status;
    } rows[] = {
        {"clean", false, "one\n", {{"a.txt", "M."}}},
        {"stopped by a conflict", true, "", {{"a.txt", "UU"}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const GitFixture git = GitFixture::create(sandbox.path(), QString("repo-%1").arg(row.conflict));
        writeFile(git.path + "/a.txt", "one\n");
        git.commitAll("first");
        writeFile(git.path + "/a.txt", "two\n");
        git.commitAll("second");
        if (row.conflict) {
            writeFile(git.path + "/a.txt", "three\n");
            git.commitAll("third");
        }
        const QByteArray head = readFile(git.path + "/a.txt");
        git.git({"branch", "other"});
        open(git.path, RepositoryKind::git);
        selectCommit("second");

        dialogs.confirmAnswers.push_back(true);
        if (row.conflict) {
            state->setAlert(std::nullopt);
            state->rollbackSelectedRevision();
            ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, "Rollback Failed");
            EXPECT_TRUE(readFile(git.path + "/a.txt").contains("<<<<<<<"));
            EXPECT_EQ(listedKind("a.txt"), SVNStatusKind::conflicted) << "not listed until a refresh";
            state->setAlert(std::nullopt);
        } else {
            run([](AppState &s) { s.rollbackSelectedRevision(); });
            EXPECT_EQ(readFile(git.path + "/a.txt"), row.rolledBack);
        }
        EXPECT_EQ(gitStatusCodes(git), row.status);
        EXPECT_FALSE(QFileInfo::exists(git.path + "/.git/REVERT_HEAD"));
        EXPECT_FALSE(QFileInfo::exists(git.path + "/.git/sequencer"));
        state->setSelectedTab(WorkflowTab::changes);

        revertTicked({"a.txt"});
        EXPECT_EQ(readFile(git.path + "/a.txt"), head);
        EXPECT_TRUE(gitStatusCodes(git).isEmpty());
        dialogs.branchAnswers.push_back(BranchChoiceAnswer{std::nullopt, "other"});
        run([](AppState &s) { s.switchGitBranch(); });
        EXPECT_EQ(git.git({"symbolic-ref", "--short", "HEAD"}), "other\n");
    }
}

// A rollback's "git revert --quit" would end what git is in the middle of: the rollback is refused
// before it asks and before anything runs, says how to end the operation, and git goes on with it.
TEST_F(GitRepositoryStates, ARollbackIsRefusedWhileAMergeCherryPickOrRebaseIsInProgress)
{
    const struct {
        const char *name;
        QStringList stop; // what git stops at the conflict in a.txt, on main
        bool staged; // the conflict resolved and staged
        const char *title;
        QStringList resume; // what git goes on with afterwards
        qsizetype parents; // of HEAD once resumed
        const char *subject; // of HEAD once resumed
        const char *howToEnd; // in the refusal
    } rows[] = {
        {"a merge stopped at a conflict", {"merge", "side"}, false, "Merge In Progress", {"merge", "--continue"}, 2,
            "Merge branch 'side'", "(git merge --continue or git merge --abort), then roll back."},
        {"a merge resolved and staged", {"merge", "side"}, true, "Merge In Progress", {"merge", "--continue"}, 2,
            "Merge branch 'side'", "(git merge --continue or git merge --abort)"},
        {"a cherry-pick of three commits stopped at the second", {"cherry-pick", "main..side"}, false,
            "Cherry-Pick In Progress", {"cherry-pick", "--continue"}, 1, "side three",
            "(git cherry-pick --continue or git cherry-pick --abort)"},
        {"a rebase stopped at a conflict", {"rebase", "side"}, false, "Rebase In Progress", {"rebase", "--continue"}, 1,
            "main", "(git rebase --continue or git rebase --abort)"},
        {"a squash merge resolved and staged", {"merge", "--squash", "side"}, true, "Merge In Progress", {"commit"}, 1,
            "Squashed commit of the following:", "Commit it, or take its changes back with Revert, then roll back."},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        SCOPED_TRACE(row.name);
        const GitFixture git = GitFixture::create(sandbox.path(), QString("repo-%1").arg(i));
        writeFile(git.path + "/a.txt", "one\n");
        git.commitAll("first");
        git.git({"switch", "-q", "-c", "side"});
        writeFile(git.path + "/b.txt", "b\n");
        git.commitAll("side one");
        writeFile(git.path + "/a.txt", "side\n");
        git.commitAll("side two");
        writeFile(git.path + "/c.txt", "c\n");
        git.commitAll("side three");
        git.git({"switch", "-q", "main"});
        writeFile(git.path + "/a.txt", "main\n");
        git.commitAll("main");
        int stopped = 0;
        git.git(row.stop, &stopped);
        ASSERT_EQ(stopped, 1);
        if (row.staged) {
            writeFile(git.path + "/a.txt", "resolved\n");
            git.git({"add", "a.txt"});
        }
        const auto gitOwnFiles = [&git] {
            QMap<QString, QByteArray> files;
            QDirIterator entries(git.path + "/.git", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (entries.hasNext()) {
                const QString path = entries.next().mid(git.path.size() + 6);
                if (path.contains("_HEAD") || path.contains("_MSG") || path.startsWith("sequencer/")
                    || path.startsWith("rebase-merge/"))
                    files.insert(path, readFile(entries.filePath()));
            }
            return files;
        };
        const QMap<QString, QByteArray> before = gitOwnFiles();
        ASSERT_TRUE(before.contains("MERGE_MSG"));
        const QMap<QByteArray, QByteArray> status = gitStatusCodes(git);
        const QMap<QString, QByteArray> tree = filesUnder(git.path);

        open(git.path, RepositoryKind::git);
        showTab(WorkflowTab::history);
        ASSERT_FALSE(state->selectedFileHistoryRevisions().isEmpty());
        state->setSelectedRevision(state->selectedFileHistoryRevisions().first().revision);
        dialogs.confirmAnswers.push_back(true);
        state->rollbackSelectedRevision();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, row.title);
        EXPECT_TRUE(state->alert()->message.startsWith("git is in the middle of a "))
            << state->alert()->message.toStdString();
        EXPECT_TRUE(state->alert()->message.contains(row.howToEnd)) << state->alert()->message.toStdString();
        EXPECT_TRUE(dialogs.confirmations.isEmpty()) << "asked before refusing";
        EXPECT_EQ(gitOwnFiles(), before);
        EXPECT_EQ(gitStatusCodes(git), status);
        EXPECT_EQ(filesUnder(git.path), tree);

        writeFile(git.path + "/a.txt", "resolved\n");
        git.git({"add", "a.txt"});
        git.git(QStringList{"-c", "core.editor=true"} + row.resume);
        EXPECT_EQ(git.git({"rev-list", "--parents", "-n", "1", "HEAD"}).trimmed().split(' ').size(), row.parents + 1);
        EXPECT_EQ(git.git({"log", "-1", "--format=%s"}), QByteArray(row.subject) + '\n');
        EXPECT_TRUE(gitStatusCodes(git).isEmpty());
    }
}

// A squash merge whose changes were taken back leaves its message behind, and no longer holds a
// rollback back. What git is in the middle of is looked at again once the question is answered.
TEST_F(GitRepositoryStates, ARollbackGoesAheadAfterASquashMergeTakenBackAndLooksAgainAfterItsQuestion)
{
    for (const bool mergeWhileAsked : {false, true}) {
        SCOPED_TRACE(mergeWhileAsked ? "a merge begun while the question is open" : "a squash merge taken back");
        const GitFixture git = GitFixture::create(sandbox.path(), QString("repo-%1").arg(mergeWhileAsked));
        writeFile(git.path + "/a.txt", "one\n");
        git.commitAll("first");
        git.git({"switch", "-q", "-c", "side"});
        writeFile(git.path + "/c.txt", "c\n");
        git.commitAll("side");
        git.git({"switch", "-q", "main"});
        writeFile(git.path + "/a.txt", "two\n");
        git.commitAll("second");
        open(git.path, RepositoryKind::git);
        if (!mergeWhileAsked) {
            git.git({"merge", "-q", "--squash", "side"});
            refresh();
            revertTicked({"c.txt"});
            ASSERT_TRUE(QFileInfo::exists(git.path + "/.git/SQUASH_MSG"));
        }
        selectCommit("second");
        dialogs.confirmations.clear();
        dialogs.confirmAnswers = {true};
        dialogs.whileConfirming = [&] {
            if (mergeWhileAsked)
                git.git({"merge", "-q", "--no-commit", "--no-ff", "side"});
        };
        state->setAlert(std::nullopt);
        state->rollbackSelectedRevision();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        dialogs.whileConfirming = nullptr;
        EXPECT_EQ(dialogs.confirmations.size(), 1);
        EXPECT_EQ(state->alert().value_or(AppAlert()).title, mergeWhileAsked ? "Merge In Progress" : "");
        EXPECT_EQ(readFile(git.path + "/a.txt"), mergeWhileAsked ? "two\n" : "one\n");
    }
}

// A case-only rename made on disk lists the old name as deleted and the new one as untracked.
TEST_F(GitRepositoryStates, ARevertRestoresTheTrackedRowsAndLeavesUntrackedOnesAlone)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/A.txt", "a\n");
    writeFile(git.path + "/x.txt", "x\n");
    git.commitAll("first");
    ASSERT_TRUE(QFile::rename(git.path + "/A.txt", git.path + "/a.txt"));
    writeFile(git.path + "/x.txt", "changed\n");
    open(git.path, RepositoryKind::git);
    ASSERT_EQ(listedKind("A.txt"), SVNStatusKind::deleted);
    ASSERT_EQ(listedKind("a.txt"), SVNStatusKind::unversioned);
    const QSet<QString> ticked = state->selectedCommitPaths();

    revertTicked(QStringList(ticked.begin(), ticked.end()));
    EXPECT_EQ(gitStatusCodes(git), (QMap<QByteArray, QByteArray>{{"a.txt", "??"}}));
    EXPECT_EQ(readFile(git.path + "/A.txt"), "a\n");
    EXPECT_EQ(readFile(git.path + "/a.txt"), "a\n");
    EXPECT_EQ(readFile(git.path + "/x.txt"), "x\n");
}

// A submodule is put back to the commit the project records only while that loses nothing: work
// inside it refuses the whole Revert, judged before the question and again after it.
TEST_F(GitRepositoryStates, ARevertPutsBackOnlyASubmoduleThatHoldsNoWork)
{
    const auto edit = [](const GitFixture &sub) { writeFile(sub.path + "/lib.c", "edited\n"); };
    const auto olderCommit = [](const GitFixture &sub) { sub.git({"checkout", "-q", "HEAD~1"}); };
    const auto commitDetached = [](const GitFixture &sub) {
        sub.git({"checkout", "-q", "--detach"});
        writeFile(sub.path + "/lib.c", "mine\n");
        sub.commitAll("made on a detached HEAD");
    };
    const struct {
        const char *name;
        std::function<void(const GitFixture &)> inside; // done in the submodule, which is at "two"
        bool pointerConflict; // the project's merge of another commit of the submodule stopped
        std::function<void(const GitFixture &)> whileAsked;
        const char *refusal; // in the alert; none: put back
    } rows[] = {
        {"clean, at an older commit a branch holds", olderCommit, false, nullptr, nullptr},
        {"an edit", edit, false, nullptr, "The submodule sub holds uncommitted changes."},
        {"a commit on a detached HEAD", commitDetached, false, nullptr, ", which no branch or tag holds."},
        {"a pointer conflict and a commit on a detached HEAD", commitDetached, true, nullptr,
            ", which no branch or tag holds."},
        {"an edit made while the question is open", olderCommit, false, edit,
            "The submodule sub holds uncommitted changes."},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        SCOPED_TRACE(row.name);
        const QString base = sandbox.filePath(QString("case-%1").arg(i));
        const GitFixture library = GitFixture::create(base, "library");
        writeFile(library.path + "/lib.c", "one\n");
        library.commitAll("one");
        writeFile(library.path + "/lib.c", "two\n");
        library.commitAll("two");
        const GitFixture git = GitFixture::create(base);
        git.git({"-c", "protocol.file.allow=always", "submodule", "add", "-q", library.path, "sub"});
        writeFile(git.path + "/a.txt", "a\n");
        git.commitAll("with a submodule");
        const GitFixture submodule{git.path + "/sub"};
        submodule.git({"config", "user.name", "Test User"});
        submodule.git({"config", "user.email", "test@example.com"});
        // Each side of the merge moves the submodule to a commit of its own, "main" to one on a branch.
        if (row.pointerConflict) {
            git.git({"switch", "-q", "-c", "side"});
            submodule.git({"checkout", "-q", "HEAD~1"});
            git.commitAll("side moves the submodule");
            git.git({"switch", "-q", "main"});
            submodule.git({"checkout", "-q", "-b", "feature", "main"});
            writeFile(submodule.path + "/lib.c", "three\n");
            submodule.commitAll("three");
            git.commitAll("main moves the submodule");
            int status = 0;
            git.git({"merge", "-q", "side"}, &status);
            ASSERT_NE(status, 0);
            ASSERT_EQ(gitStatusCodes(git).value("sub"), "UU");
        }
        row.inside(submodule);
        const QByteArray recorded = git.git({"rev-parse", "HEAD:sub"}).trimmed();
        writeFile(git.path + "/a.txt", "edited\n");
        open(git.path, RepositoryKind::git);
        ASSERT_TRUE(listedItem("sub"));
        // What the superproject and the submodule hold when Revert runs, and the library they came from.
        const auto snapshot = [&] {
            return std::tuple(filesUnder(git.path), submodule.git({"rev-parse", "HEAD"}), gitStatusCodes(git),
                filesUnder(library.path));
        };
        auto before = snapshot();
        dialogs.whileConfirming = [&] {
            if (row.whileAsked) {
                row.whileAsked(submodule);
                before = snapshot();
            }
        };
        tick({"a.txt", "sub"});
        dialogs.confirmations.clear();
        dialogs.confirmAnswers = {true};
        state->setAlert(std::nullopt);
        state->revertSelectedPaths();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        dialogs.whileConfirming = nullptr;
        if (!row.refusal) {
            EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
            ASSERT_EQ(dialogs.confirmations.size(), 1);
            EXPECT_EQ(dialogs.confirmations[0].second,
                "Revert 2 selected path(s)? Local changes will be discarded. The submodule sub is checked out at "
                "commit "
                    + recorded.left(7) + ", the one the project records. Files untracked inside it stay.");
            EXPECT_EQ(submodule.git({"rev-parse", "HEAD"}).trimmed(), recorded);
            EXPECT_EQ(readFile(submodule.path + "/lib.c"), "two\n");
            EXPECT_EQ(readFile(git.path + "/a.txt"), "a\n");
            EXPECT_TRUE(gitStatusCodes(git).isEmpty());
            continue;
        }
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "Work In A Submodule");
        EXPECT_TRUE(state->alert()->message.contains(row.refusal)) << state->alert()->message.toStdString();
        EXPECT_EQ(dialogs.confirmations.size(), row.whileAsked ? 1 : 0);
        // Nothing reverted, in the submodule or beside it.
        EXPECT_TRUE(snapshot() == before);
        EXPECT_EQ(readFile(git.path + "/a.txt"), "edited\n");
    }
}

TEST_F(GitRepositoryStates, ANestedSvnWorkingCopyIsListedAndCommittedWithoutItsSvnFolder)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/root.txt", "r\n");
    git.commitAll("first");
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svnside"));
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    svn.commitAll();
    runTool("svn", {"checkout", "-q", svn.repositoryUrl, git.path + "/inner"});
    writeFile(git.path + "/inner/new.txt", "n\n");
    writeFile(git.path + "/root.txt", "changed\n");
    ASSERT_EQ(gitStatusCodes(git).value("inner/.svn/wc.db"), "??");
    open(git.path, RepositoryKind::git);

    // svn's own files are neither listed nor ticked; the working copy's files are, as git reports them.
    for (const WorkingCopyItem &item : state->changes())
        EXPECT_FALSE(item.path.contains(".svn")) << item.path.toStdString();
    EXPECT_EQ(listedKind("inner/a.txt"), SVNStatusKind::unversioned);
    const QSet<QString> defaults = state->selectedCommitPaths();
    EXPECT_EQ(defaults, QSet<QString>({"root.txt", "inner/a.txt", "inner/new.txt"}));

    commit(defaults.values(), "Default");
    EXPECT_EQ(git.git({"ls-tree", "-r", "--name-only", "HEAD"}), "inner/a.txt\ninner/new.txt\nroot.txt\n");
    const QMap<QByteArray, QByteArray> left = gitStatusCodes(git);
    EXPECT_FALSE(left.isEmpty());
    for (auto entry = left.begin(); entry != left.end(); ++entry) {
        EXPECT_TRUE(entry.key().startsWith("inner/.svn/")) << entry.key().toStdString();
        EXPECT_EQ(entry.value(), "??") << entry.key().toStdString();
    }
}
