// The state against real svn and git repositories made in a temporary folder.
#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "parsers/SVNXMLParsers.h"
#include "parsers/UnifiedDiffParser.h"
#include "state/IgnoreFiles.h"
#include "state/StatusFilter.h"
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

struct RealFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;

    void open(const QString &path, RepositoryKind kind, const QString &name = QStringLiteral("project"))
    {
        ProjectStore(&settings).save({Project{QUuid::createUuid(), name, path, kind}});
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
    }

    void refresh()
    {
        state->refreshAll();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    // The preview's diff once the change at the path is selected and its load has ended.
    QByteArray diffOf(const QString &path)
    {
        state->setSelectedChangeID(path);
        state->selectedChangeChanged();
        EXPECT_TRUE(waitUntilIdle(*state));
        return state->diffText();
    }

    // The diff of one line of a Latin-1 file changed: shown as any diff, UTF-8 throughout, holding the
    // removed and the added line.
    static void expectLegacyDiff(const QByteArray &text, const QList<QByteArray> &lines)
    {
        EXPECT_TRUE(TextUtil::isValidUtf8(text)) << text.toStdString();
        const ParsedDiff diff = UnifiedDiffParser::parse(QString::fromUtf8(text));
        ASSERT_EQ(diff.files.size(), 1) << text.toStdString();
        EXPECT_EQ(diff.files[0].additions(), 1) << text.toStdString();
        EXPECT_EQ(diff.files[0].deletions(), 1) << text.toStdString();
        for (const QByteArray &line : lines)
            EXPECT_TRUE(text.contains(line)) << line.toStdString() << " in " << text.toStdString();
    }

    QMap<QString, SVNStatusKind> listed() const
    {
        QMap<QString, SVNStatusKind> kinds;
        for (const WorkingCopyItem &item : state->changes())
            kinds.insert(item.path, item.kind);
        return kinds;
    }

    QStringList paths() const
    {
        QStringList listed;
        for (const WorkingCopyItem &item : state->changes())
            listed.push_back(item.path);
        return listed;
    }

    // What the filter makes of the tool's output when it looks every path up on disk.
    static QList<WorkingCopyItem> lookedUpOnDisk(const QList<WorkingCopyItem> &items, const QString &root)
    {
        QStringList candidates;
        for (const WorkingCopyItem &item : items)
            candidates.push_back(item.path);
        return statusItemsByApplyingIgnoreRules(items, root, IgnoreFiles::load(root, candidates));
    }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

} // namespace

TEST_F(RealFixture, SvnStatusThroughTheIgnoreFiles)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/kept.txt", "one\n");
    writeFile(svn.workingCopy + "/gone.txt", "one\n");
    writeFile(svn.workingCopy + "/deleted.txt", "one\n");
    writeFile(svn.workingCopy + "/secret.cfg", "one\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/kept.txt", "two\n");
    writeFile(svn.workingCopy + "/secret.cfg", "two\n");
    QFile::remove(svn.workingCopy + "/gone.txt");
    svn.svn({"delete", "-q", "deleted.txt"});
    writeFile(svn.workingCopy + "/added.txt", "new\n");
    svn.svn({"add", "-q", "added.txt"});
    writeFile(svn.workingCopy + "/notes.txt", "scratch\n");
    writeFile(svn.workingCopy + "/debug.log", "log\n");
    writeFile(svn.workingCopy + "/build/out.o", "o\n");
    writeFile(svn.workingCopy + "/build/keep.txt", "k\n");
    writeFile(svn.workingCopy + "/build/obj/x.o", "o\n");
    writeFile(svn.workingCopy + "/.gitignore", "*.log\nbuild/\n!build/keep.txt\n");
    writeFile(svn.workingCopy + "/.korvelignore", "secret.cfg\n");

    open(svn.workingCopy, RepositoryKind::svn);
    refresh();
    const QMap<QString, SVNStatusKind> kinds = listed();
    EXPECT_EQ(kinds.value("kept.txt"), SVNStatusKind::modified);
    EXPECT_EQ(kinds.value("gone.txt"), SVNStatusKind::missing);
    EXPECT_EQ(kinds.value("deleted.txt"), SVNStatusKind::deleted);
    EXPECT_EQ(kinds.value("added.txt"), SVNStatusKind::added);
    EXPECT_EQ(kinds.value("notes.txt"), SVNStatusKind::unversioned);
    EXPECT_EQ(kinds.value("build/keep.txt"), SVNStatusKind::unversioned);
    EXPECT_FALSE(kinds.contains("debug.log"));
    EXPECT_FALSE(kinds.contains("build"));
    EXPECT_FALSE(kinds.contains("build/out.o"));
    EXPECT_FALSE(kinds.contains("build/obj"));
    EXPECT_FALSE(kinds.contains("secret.cfg")) << "a modified versioned file that a rule ignores is hidden";
    EXPECT_FALSE(state->alert());
    ASSERT_TRUE(state->selectedChangeID());
    EXPECT_EQ(*state->selectedChangeID(), state->changes().first().path);
    EXPECT_EQ(state->repositoryInfo().relativeURL, "^/");
    EXPECT_EQ(state->projects().first().path, QDir::cleanPath(svn.workingCopy));
}

TEST_F(RealFixture, SvnDiffTextsForEachKindOfChange)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/-r", "one\n");
    writeFile(svn.workingCopy + "/a@2x.png", "one\n");
    svn.svn({"add", "-q", "./-r", "a@2x.png@"});
    svn.svn({"commit", "-q", "-m", "first"});
    writeFile(svn.workingCopy + "/-r", "two\n");
    writeFile(svn.workingCopy + "/a@2x.png", "two\n");
    writeFile(svn.workingCopy + "/binary.bin", QByteArray("\x89PNG\xff\x00", 6));
    writeFile(svn.workingCopy + "/folder/inside.txt", "x\n");
    writeFile(svn.workingCopy + "/plain.txt", "alpha\nbeta\n");
    ASSERT_EQ(mkfifo(QFile::encodeName(svn.workingCopy + "/pipe").constData(), 0600), 0);

    open(svn.workingCopy, RepositoryKind::svn);
    refresh();
    EXPECT_TRUE(diffOf("-r").contains("+two")) << diffOf("-r").toStdString();
    EXPECT_TRUE(diffOf("a@2x.png").contains("+two"));
    EXPECT_EQ(diffOf("binary.bin"), "(binary or unreadable file)");
    EXPECT_EQ(diffOf("folder"), "(unversioned directory)");
    EXPECT_EQ(diffOf("pipe"), "(binary or unreadable file)");
    EXPECT_TRUE(diffOf("plain.txt").contains("+beta"));
    QFile::remove(svn.workingCopy + "/plain.txt");
    EXPECT_EQ(diffOf("plain.txt"), "(file not found)");
}

TEST_F(RealFixture, SvnIncomingFromASecondWorkingCopy)
{
    const SvnFixture first = SvnFixture::create(sandbox.path(), "first");
    writeFile(first.workingCopy + "/a.txt", "a\n");
    writeFile(first.workingCopy + "/b c.txt", "b\n");
    first.commitAll("r1");
    const SvnFixture second = SvnFixture::create(sandbox.path(), "second");
    writeFile(second.workingCopy + "/a.txt", "a2\n");
    second.svn({"commit", "-q", "-m", "r2"});
    writeFile(second.workingCopy + "/new.txt", "n\n");
    second.svn({"add", "-q", "new.txt"});
    second.svn({"rm", "-q", "b c.txt"});
    second.svn({"commit", "-q", "-m", "r3"});

    open(first.workingCopy, RepositoryKind::svn);
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(state->selectedTab(), WorkflowTab::incoming);
    EXPECT_EQ(state->incomingBaseRevision(), 1);
    EXPECT_EQ(state->incomingHeadRevision(), 3);
    EXPECT_EQ(state->incomingRangeDescription(), "r1 to r3");
    ASSERT_EQ(state->incomingEntries().size(), 2);
    EXPECT_EQ(state->incomingEntries()[0].revision, 3);
    EXPECT_EQ(state->selectedIncomingRevision(), 3);
    EXPECT_TRUE(state->incomingDiffText().contains("new.txt")) << state->incomingDiffText().toStdString();
    EXPECT_GE(state->incomingOutdatedItems().size(), 3);

    // Once updated there is nothing incoming.
    first.svn({"update", "-q"});
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->incomingBaseRevision(), 3);
    EXPECT_TRUE(state->incomingEntries().isEmpty());
    EXPECT_FALSE(state->selectedIncomingRevision());
    EXPECT_EQ(state->incomingDiffText(), "");
}

// A file in Latin-1, changed by another working copy and locally: the incoming, history and change
// diffs all show it, undecodable bytes as U+FFFD.
TEST_F(RealFixture, SvnDiffsOfALegacyEncodingShowTheChange)
{
    const SvnFixture first = SvnFixture::create(sandbox.path(), "first");
    writeFile(first.workingCopy + "/latin1.txt", "caf\xe9\n");
    first.commitAll("r1");
    const SvnFixture second = SvnFixture::create(sandbox.path(), "second");
    writeFile(second.workingCopy + "/latin1.txt", "caf\xe9 cr\xe8me\n");
    second.svn({"commit", "-q", "-m", "r2"});
    writeFile(first.workingCopy + "/latin1.txt", "th\xe9\n");
    const QList<QByteArray> localLines{"-caf\xef\xbf\xbd\n", "+th\xef\xbf\xbd\n"};
    const QList<QByteArray> committedLines{"-caf\xef\xbf\xbd\n", "+caf\xef\xbf\xbd cr\xef\xbf\xbdme\n"};

    open(first.workingCopy, RepositoryKind::svn);
    refresh();
    expectLegacyDiff(diffOf("latin1.txt"), localLines);
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedIncomingRevision(), 2);
    expectLegacyDiff(state->incomingDiffText(), committedLines);

    first.svn({"revert", "-q", "latin1.txt"});
    first.svn({"update", "-q"});
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedHistoryPath(), "latin1.txt");
    ASSERT_EQ(state->selectedRevision(), 2);
    expectLegacyDiff(state->historyDiffText(), committedLines);
}

TEST_F(RealFixture, SvnHistoryMapsRepositoryPathsWithSpacesAndAccents)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    svn.svn({"mkdir", "-q", QString::fromUtf8("my dir é")});
    svn.svn({"commit", "-q", "-m", "folder"});
    const QString inner = svn.workingCopy + QString::fromUtf8("/my dir é");
    const QString innerCheckout = sandbox.filePath("inner");
    runTool("svn", {"checkout", "-q", svn.repositoryUrl + QString::fromUtf8("/my%20dir%20%C3%A9"), innerCheckout});
    writeFile(innerCheckout + "/f 1.txt", "1\n");
    runTool("svn", {"add", "-q", "f 1.txt"}, innerCheckout);
    runTool("svn", {"commit", "-q", "-m", "first file"}, innerCheckout);
    writeFile(innerCheckout + "/f 1.txt", "2\n");
    runTool("svn", {"commit", "-q", "-m", "second"}, innerCheckout);
    runTool("svn", {"update", "-q"}, innerCheckout);

    open(innerCheckout, RepositoryKind::svn);
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(state->alert());
    ASSERT_EQ(state->fileHistoryItems().size(), 1);
    EXPECT_EQ(state->fileHistoryItems()[0].path, "f 1.txt");
    EXPECT_EQ(state->selectedHistoryPath(), "f 1.txt");
    EXPECT_EQ(state->selectedRevision(), 3);
    EXPECT_TRUE(state->historyDiffText().contains("+2")) << state->historyDiffText().toStdString();

    state->setSelectedRevision(2);
    state->selectedHistoryRevisionChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->historyDiffText().contains("+1")) << state->historyDiffText().toStdString();
}

TEST_F(RealFixture, GitStatusInfoHistoryAndArchives)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "a\n");
    writeFile(git.path + "/.gitignore", "*.tmp\n");
    git.commitAll("first");
    writeFile(git.path + "/a.txt", "a2\n");
    writeFile(git.path + QString::fromUtf8("/é new.txt"), "n\n");
    writeFile(git.path + "/x.tmp", "t\n");

    open(git.path + "/", RepositoryKind::svn);
    dialogs.confirmAnswers.push_back(true);
    refresh();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].first, "Change Project Kind");
    EXPECT_EQ(dialogs.confirmations[0].second,
        "The folder " + git.path + "/ is now a Git repository. Open the project as Git?");
    EXPECT_EQ(state->selectedProjectKind(), RepositoryKind::git) << "the kind check corrects a wrong kind once asked";
    const QMap<QString, SVNStatusKind> kinds = listed();
    EXPECT_EQ(kinds.value("a.txt"), SVNStatusKind::modified);
    EXPECT_EQ(kinds.value(QString::fromUtf8("é new.txt")), SVNStatusKind::unversioned);
    EXPECT_FALSE(kinds.contains("x.tmp"));
    EXPECT_TRUE(state->diffText().contains("+a2")) << state->diffText().toStdString();
    EXPECT_EQ(state->repositoryInfo().revision.value_or("").section(' ', 0, 0), "main");
    EXPECT_EQ(state->repositoryInfo().lastChangedAuthor, "Test User");
    EXPECT_TRUE(state->repositoryInfo().lastChangedDate);

    git.commitAll("second");
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->logEntries().size(), 2);
    EXPECT_EQ(state->logEntries()[0].summary(), "second");
    EXPECT_EQ(state->selectedHistoryPath(), "a.txt");
    EXPECT_TRUE(state->historyDiffText().contains("+a2"));

    state->refreshArchives();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->archiveEntries().size(), 2);
    state->setSelectedArchiveEntryID(state->archiveEntries()[1].revision);
    const QString chosenHash = *state->selectedArchiveEntry()->commitHash;

    // A commit made elsewhere shifts the made-up numbers; the selection follows its commit.
    writeFile(git.path + "/a.txt", "a3\n");
    git.commitAll("third");
    state->refreshArchives();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->selectedArchiveEntry());
    EXPECT_EQ(state->selectedArchiveEntry()->commitHash, chosenHash);
}

// The preview shows the diff exactly as git printed it, a large one too; in a diff that is not UTF-8
// the undecodable bytes show as U+FFFD.
TEST_F(RealFixture, GitDiffTextsAreTheBytesTheToolPrinted)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    QByteArray before;
    QByteArray after;
    for (int line = 0; line < 12000; ++line) {
        before += "ligne " + QByteArray::number(line) + " caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80\n";
        after += line % 3 ? before.sliced(before.lastIndexOf('\n', before.size() - 2) + 1)
                          : "chang\xc3\xa9"
                            "e "
                + QByteArray::number(line) + "\n";
    }
    writeFile(git.path + "/big.txt", before);
    writeFile(git.path + "/latin1.txt", "caf\xe9\n");
    git.commitAll("first");
    writeFile(git.path + "/big.txt", after);
    writeFile(git.path + "/latin1.txt", "th\xe9\n");

    open(git.path, RepositoryKind::git);
    refresh();
    const QByteArray printed = git.git({"diff", "--no-ext-diff", "--no-color", "HEAD", "--", "big.txt"});
    ASSERT_GT(printed.size(), 300 * 1024) << "large enough to be checked on a worker";
    EXPECT_EQ(diffOf("big.txt"), printed);
    expectLegacyDiff(diffOf("latin1.txt"), {"-caf\xef\xbf\xbd\n", "+th\xef\xbf\xbd\n"});

    git.commitAll("second");
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    state->setSelectedHistoryPath(QStringLiteral("latin1.txt"));
    state->selectedHistoryPathChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    expectLegacyDiff(state->historyDiffText(), {"-caf\xef\xbf\xbd\n", "+th\xef\xbf\xbd\n"});
    state->setSelectedHistoryPath(QStringLiteral("big.txt"));
    state->selectedHistoryPathChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->historyDiffText(),
        git.git({"show", "--format=", "--patch", "--find-renames", "--no-ext-diff", "--no-color", "HEAD", "--",
            "big.txt"}));
}

// Every line ending of a tracked file changed: a diff twice the file. Past the limit the preview shows
// the diff's whole lines before it and says it was cut, in the change and in the history alike.
TEST_F(RealFixture, DiffPastThePreviewLimitShowsItsStartAndSaysItWasCut)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    QByteArray text;
    for (int line = 0; text.size() < 700 * 1024; ++line)
        text += "line " + QByteArray::number(line) + " of a text file\n";
    writeFile(git.path + "/big.txt", text);
    git.commitAll("first");
    writeFile(git.path + "/big.txt", QByteArray(text).replace("\n", "\r\n"));
    open(git.path, RepositoryKind::git);
    state->setLargestDiffPreview(1024 * 1024);
    refresh();
    const QByteArray note = "\\ The preview stops here: the diff is longer than 1 MiB.\n";
    const auto expectCut = [&](const QByteArray &shown, const QByteArray &printed) {
        ASSERT_GT(printed.size(), 1024 * 1024);
        EXPECT_EQ(shown, printed.left(printed.lastIndexOf('\n', 1024 * 1024 - 1) + 1) + note);
        const ParsedDiff parsed = UnifiedDiffParser::parse(QString::fromUtf8(shown));
        ASSERT_EQ(parsed.files.size(), 1);
        const DiffLine &last = parsed.files[0].hunks.last().lines.last();
        EXPECT_EQ(last.kind, DiffLineKind::note);
    };
    expectCut(diffOf("big.txt"), git.git({"diff", "--no-ext-diff", "--no-color", "HEAD", "--", "big.txt"}));

    git.commitAll("second");
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedHistoryPath(), "big.txt");
    expectCut(state->historyDiffText(),
        git.git({"show", "--format=", "--patch", "--find-renames", "--no-ext-diff", "--no-color", "HEAD", "--",
            "big.txt"}));

    // A new file is read no further than its first 16 MiB, whatever the limit of a diff, and is judged
    // before it is cut: a NUL byte, or bytes that are not UTF-8, make it binary. The limit may fall
    // inside a character of a file's one long line.
    constexpr qsizetype mib16 = 16 * 1024 * 1024;
    QByteArray large = text;
    while (large.size() < mib16 + 1024 * 1024)
        large += text;
    const QByteArray wide = QByteArray("\xe6\x97\xa5").repeated(mib16 / 3 + 1000);
    const QList<QByteArray> kept = large.left(large.lastIndexOf('\n', mib16 - 1)).split('\n');
    const QByteArray cutNote = "\n\\ The preview stops here: the file is longer than 16 MiB.\n";
    const struct {
        const char *name;
        QByteArray content;
        // A file of zeros this long, written as a hole.
        qint64 sparse;
        // What the preview holds; nothing for a binary file.
        QList<QByteArray> holds;
        QByteArray ends;
    } rows[] = {
        {"lines", large, 0,
            {"Index: lines\n", "@@ -0,0 +1," + QByteArray::number(kept.size()) + " @@\n+line 0 of a text file\n"},
            "\n+" + kept.last() + cutNote},
        {"one line", wide, 0, {"Index: one line\n", "@@ -0,0 +1,1 @@\n+\xe6\x97\xa5"},
            "\n+" + QByteArray("\xe6\x97\xa5").repeated(mib16 / 3) + cutNote},
        {"zeros", QByteArray(mib16 + 1024, '\0'), 0, {}, {}},
        {"no line end, not UTF-8", QByteArray(mib16 + 1024, '\xe9'), 0, {}, {}},
        {"sparse 2 GB", {}, qint64(2) << 30, {}, {}},
    };
    for (const auto &row : rows) {
        QFile file(git.path + u'/' + row.name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(row.content), row.content.size());
        if (row.sparse) {
            ASSERT_TRUE(file.resize(row.sparse));
        }
    }
    refresh();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray shown = diffOf(row.name);
        if (row.holds.isEmpty()) {
            EXPECT_EQ(shown, "(binary or unreadable file)");
            continue;
        }
        for (const QByteArray &part : row.holds)
            EXPECT_TRUE(shown.contains(part)) << part.toStdString() << " in " << shown.left(200).toStdString();
        EXPECT_TRUE(shown.endsWith(row.ends)) << shown.right(200).toStdString();
        const ParsedDiff parsed = UnifiedDiffParser::parse(QString::fromUtf8(shown));
        ASSERT_EQ(parsed.files.size(), 1);
        EXPECT_EQ(parsed.files[0].hunks.last().lines.last().kind, DiffLineKind::note);
    }
}

// A commit that renamed files: each renamed file's history diff pairs its two names as the whole
// commit's does, rather than showing every line added.
TEST_F(RealFixture, GitHistoryDiffOfARenamedFileShowsTheRename)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    QByteArray text;
    for (int line = 0; line < 20; ++line)
        text += "line " + QByteArray::number(line) + "\n";
    writeFile(git.path + "/old é.txt", text);
    writeFile(git.path + "/-lead", "dash " + text);
    writeFile(git.path + "/other.txt", "other\n");
    git.commitAll("first");
    git.git({"mv", "old é.txt", "new name.txt"});
    git.git({"mv", "--", "-lead", "moved"});
    writeFile(git.path + "/moved", "dash " + text + "one more\n");
    writeFile(git.path + "/other.txt", "changed\n");
    git.commitAll("renames");
    open(git.path, RepositoryKind::git);
    refresh();
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));

    const struct {
        QString path;
        QStringList lines;
    } cases[] = {
        // git quotes a name that is not ASCII in its diff.
        {"new name.txt", {"rename from \"old \\303\\251.txt\"\n", "rename to new name.txt\n"}},
        {"moved", {"rename from -lead\n", "rename to moved\n", "\n+one more\n"}},
    };
    for (const auto &[path, lines] : cases) {
        SCOPED_TRACE(path.toStdString());
        state->setSelectedHistoryPath(path);
        state->selectedHistoryPathChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
        const QString diff = QString::fromUtf8(state->historyDiffText());
        for (const QString &line : lines)
            EXPECT_TRUE(diff.contains(line)) << diff.toStdString();
        EXPECT_FALSE(diff.contains("+line 3\n")) << diff.toStdString();
        EXPECT_FALSE(diff.contains("other")) << diff.toStdString();
    }
}

TEST_F(RealFixture, GitRepositoryWithoutCommitsOrRemote)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "a\n");
    open(git.path, RepositoryKind::git);
    refresh();
    EXPECT_FALSE(state->alert());
    EXPECT_EQ(listed().value("a.txt"), SVNStatusKind::unversioned);
    EXPECT_EQ(state->repositoryInfo().url, QDir(git.path).canonicalPath());
    EXPECT_EQ(state->repositoryInfo().lastChangedAuthor, "");
    EXPECT_FALSE(state->repositoryInfo().lastChangedDate);
}

// An unversioned link is previewed as git shows a link: its target path, whatever lies there, never
// the file it points to outside the project.
TEST_F(RealFixture, UnversionedLinksShowTheirTargetAndNeverReadThroughIt)
{
    writeFile(sandbox.filePath("secret.txt"), "TOPSECRET outside the repository\n");
    QDir().mkpath(sandbox.filePath("outside"));
    const GitFixture git = GitFixture::create(sandbox.path());
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    for (const auto &[folder, kind] :
        {std::pair{git.path, RepositoryKind::git}, {svn.workingCopy, RepositoryKind::svn}}) {
        const std::string where = folder.toStdString();
        ASSERT_TRUE(QFile::link("../secret.txt", folder + "/link"));
        ASSERT_TRUE(QFile::link("../outside", folder + "/folder link"));
        ASSERT_TRUE(QFile::link("nowhere/at all", folder + "/dangling"));
        open(folder, kind);
        refresh();
        for (const char *name : {"link", "folder link", "dangling"})
            EXPECT_EQ(listed().value(name), SVNStatusKind::unversioned) << where << " " << name;

        const QByteArray preview = diffOf("link");
        EXPECT_FALSE(preview.contains("TOPSECRET")) << where;
        int status = 0;
        const QByteArray printed = runTool("git", {"diff", "--no-index", "/dev/null", "link"}, folder, &status);
        // The lines after the hunk header, as git prints them.
        const auto lines
            = [](const QByteArray &diff) { return diff.sliced(diff.indexOf("@@ -0,0 +1")).split('\n').mid(1); };
        EXPECT_EQ(lines(preview + '\n'), lines(printed)) << where << "\n" << preview.toStdString();
        EXPECT_TRUE(diffOf("folder link").contains("\n+../outside\n")) << where;
        EXPECT_TRUE(diffOf("dangling").contains("\n+nowhere/at all\n")) << where;
        const ParsedDiff parsed = UnifiedDiffParser::parse(QString::fromUtf8(diffOf("dangling")));
        ASSERT_EQ(parsed.files.size(), 1) << where;
        EXPECT_EQ(parsed.files[0].additions(), 1) << where;
    }
}

TEST_F(RealFixture, FolderThatIsNeitherSaysSoInsteadOfAStatus)
{
    QDir().mkpath(sandbox.filePath("plain"));
    open(sandbox.filePath("plain"), RepositoryKind::git);
    refresh();
    EXPECT_FALSE(state->alert());
    EXPECT_EQ(
        state->projectFolderProblem(), "The folder " + sandbox.filePath("plain") + " is no longer a Git repository.");
    EXPECT_EQ(state->projects().first().kind, RepositoryKind::git) << "a failed detection changes nothing";
    EXPECT_EQ(state->projects().first().path, sandbox.filePath("plain"));
    EXPECT_EQ(state->repositoryInfo(), RepositoryInfo());
}

TEST_F(RealFixture, DetectionErrorNamesTheFolder)
{
    QDir().mkpath(sandbox.filePath("plain"));
    open(sandbox.filePath("plain"), RepositoryKind::svn);
    ASSERT_TRUE(waitUntilIdle(*state));
    ScriptedDialogs dialogs;
    dialogs.openPanelAnswers.push_back(sandbox.filePath("plain"));
    state->setDialogs(&dialogs);
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Could Not Add Project");
    EXPECT_EQ(state->alert()->message,
        "No SVN working copy or Git repository was found at " + sandbox.filePath("plain") + ".");
    state->setDialogs(nullptr);
}

TEST_F(RealFixture, SelectingAnotherItemEmptiesItsPreviewUntilTheNewDiffArrives)
{
    const SvnFixture first = SvnFixture::create(sandbox.path(), "first");
    writeFile(first.workingCopy + "/a.txt", "a1\n");
    writeFile(first.workingCopy + "/b.txt", "b1\n");
    first.commitAll("r1");
    const SvnFixture second = SvnFixture::create(sandbox.path(), "second");
    writeFile(second.workingCopy + "/a.txt", "a2\n");
    second.svn({"commit", "-q", "-m", "r2"});
    writeFile(second.workingCopy + "/b.txt", "b2\n");
    second.svn({"commit", "-q", "-m", "r3"});
    first.svn({"update", "-q", "-r", "1"});
    writeFile(first.workingCopy + "/a.txt", "a local\n");
    writeFile(first.workingCopy + "/b.txt", "b local\n");

    open(first.workingCopy, RepositoryKind::svn);
    refresh();
    ASSERT_EQ(state->selectedChangeID(), "a.txt");
    ASSERT_TRUE(state->diffText().contains("+a local"));
    state->setSelectedChangeID("b.txt");
    state->selectedChangeChanged();
    EXPECT_EQ(state->diffText(), "");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->diffText().contains("+b local")) << state->diffText().toStdString();

    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedIncomingRevision(), 3);
    ASSERT_TRUE(state->incomingDiffText().contains("+b2"));
    state->setSelectedIncomingRevision(2);
    state->selectedIncomingRevisionChanged();
    EXPECT_EQ(state->incomingDiffText(), "");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->incomingDiffText().contains("+a2"));

    second.svn({"update", "-q"});
    open(second.workingCopy, RepositoryKind::svn);
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedHistoryPath(), "b.txt");
    ASSERT_TRUE(state->historyDiffText().contains("+b2"));
    state->setSelectedHistoryPath("a.txt");
    state->selectedHistoryPathChanged();
    EXPECT_EQ(state->historyDiffText(), "");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->historyDiffText().contains("+a2")) << state->historyDiffText().toStdString();
    state->setSelectedRevision(1);
    state->selectedHistoryRevisionChanged();
    EXPECT_EQ(state->historyDiffText(), "");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->historyDiffText().contains("+a1")) << state->historyDiffText().toStdString();
}

TEST_F(RealFixture, HistoryOfAFolderNamedWithACaretMapsToItsFiles)
{
    // svn info writes the folder "^top" as "^/%5Etop"; the log names it "/^top".
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    const QString checkout = svn.checkoutNewFolder("%5Etop", sandbox.filePath("top"));
    writeFile(checkout + "/a.c", "1\n");
    runTool("svn", {"add", "-q", "a.c"}, checkout);
    runTool("svn", {"commit", "-q", "-m", "file"}, checkout);
    writeFile(checkout + "/a.c", "2\n");
    runTool("svn", {"commit", "-q", "-m", "change"}, checkout);
    runTool("svn", {"update", "-q"}, checkout);

    open(checkout, RepositoryKind::svn);
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->repositoryInfo().relativeURL, "^/%5Etop");
    EXPECT_EQ(state->workingCopyPath("/^top/a.c"), "a.c");
    ASSERT_EQ(state->fileHistoryItems().size(), 1);
    EXPECT_EQ(state->fileHistoryItems()[0].path, "a.c");
    EXPECT_TRUE(state->historyDiffText().contains("+2")) << state->historyDiffText().toStdString();
}

TEST_F(RealFixture, GitSubmoduleAndNestedRepositoryStayFoldersForFolderRules)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/docs", "a file named like a folder rule\n");
    writeFile(git.path + "/src/main.c", "int main;\n");
    writeFile(git.path + "/vendor/lib/README", "one\n");
    git.commitAll();
    // A repository committed inside another becomes a gitlink: status lists it as one tracked row.
    const GitFixture lib = GitFixture::create(git.path + "/vendor", "lib");
    writeFile(lib.path + "/lib.c", "one\n");
    lib.commitAll();
    QFile::remove(git.path + "/vendor/lib/README");
    git.git({"rm", "-q", "--cached", "vendor/lib/README"});
    git.git({"add", "vendor/lib"});
    git.commitAll("add the library");
    writeFile(lib.path + "/lib.c", "two\n");
    lib.commitAll("change the library");
    // An untracked repository inside: listed as "inner/".
    const GitFixture inner = GitFixture::create(git.path, "inner");
    writeFile(inner.path + "/x.c", "x\n");
    inner.commitAll();
    writeFile(git.path + "/docs", "changed\n");
    writeFile(git.path + "/src/main.c", "int main(void);\n");
    writeFile(git.path + "/src/scratch.tmp", "t\n");
    writeFile(git.path + "/src/keep.tmp", "t\n");
    writeFile(git.path + "/.korvelignore", "lib/\ndocs/\n*.tmp\n!keep.tmp\n");

    const QByteArray output = git.git({"status", "--porcelain=v1", "--untracked-files=all", "--ignored"});
    ASSERT_TRUE(output.contains(" M vendor/lib\n")) << output.constData();
    ASSERT_TRUE(output.contains("?? inner/\n")) << output.constData();

    open(git.path, RepositoryKind::git);
    refresh();
    EXPECT_EQ(paths(), QStringList({".korvelignore", "docs", "inner", "src/keep.tmp", "src/main.c"}))
        << "the submodule is a folder that lib/ hides; docs is a file that docs/ leaves alone";
    EXPECT_EQ(state->changes(),
        lookedUpOnDisk(GitParsers::parseStatus(QString::fromUtf8(output)), QDir::cleanPath(git.path)));

    writeFile(git.path + "/.korvelignore", "inner/\n");
    state->refreshStatus();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(paths().contains("inner")) << "an untracked repository is a folder too";
    EXPECT_TRUE(paths().contains("vendor/lib"));
}

// Git's rows are sorted after the filter, and a reload that keeps the same rows in git's order reuses the
// last sort: every reload lists what a fresh sort of git's whole output lists, ties (names equal but for
// case) in git's order, a name listed twice once.
TEST_F(RealFixture, GitReloadsListWhatAFreshSortOfTheOutputLists)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const char *file : {"a.txt", "d.txt", "file9", "file10", "sub/x.c"})
        writeFile(git.path + "/" + file, "one\n");
    git.commitAll();
    writeFile(git.path + "/a.txt", "two\n");
    writeFile(git.path + "/A.txt", "new\n");
    git.git({"rm", "-q", "--cached", "d.txt"});
    writeFile(git.path + "/file9", "two\n");
    writeFile(git.path + "/file10", "two\n");
    writeFile(git.path + "/sub/scratch.tmp", "t\n");
    writeFile(git.path + "/sub/keep.tmp", "t\n");
    writeFile(git.path + "/.korvelignore", "*.tmp\n!keep.tmp\n");
    const auto expectFreshSort = [&] {
        const QByteArray output = git.git({"status", "--porcelain=v1", "--untracked-files=all", "--ignored"});
        EXPECT_EQ(state->changes(),
            lookedUpOnDisk(GitParsers::parseStatus(QByteArrayView(output)), QDir::cleanPath(git.path)))
            << output.constData();
    };
    const auto reload = [&] {
        state->refreshStatus();
        ASSERT_TRUE(waitUntilIdle(*state));
    };
    const auto listed = [&](const QString &path) {
        return *std::find_if(state->changes().cbegin(), state->changes().cend(),
            [&](const WorkingCopyItem &item) { return item.path == path; });
    };

    open(git.path, RepositoryKind::git);
    refresh();
    expectFreshSort();
    EXPECT_EQ(paths(), QStringList({".korvelignore", "a.txt", "A.txt", "d.txt", "file9", "file10", "sub/keep.tmp"}));
    EXPECT_EQ(listed("d.txt").kind, SVNStatusKind::deleted) << "the first of its rows";
    state->setCommitSelection(listed("file10"), false);
    const QSet<QString> ticked = state->selectedCommitPaths();

    reload();
    expectFreshSort();
    EXPECT_EQ(state->selectedCommitPaths(), ticked);

    // The same names in another order of git's: the new file staged goes before the edited one.
    git.git({"add", "A.txt"});
    reload();
    expectFreshSort();
    EXPECT_EQ(paths(), QStringList({".korvelignore", "A.txt", "a.txt", "d.txt", "file9", "file10", "sub/keep.tmp"}));
    EXPECT_EQ(state->selectedCommitPaths(), ticked);

    // Listed once again; then reloaded as it stands.
    git.git({"add", "d.txt"});
    reload();
    expectFreshSort();
    EXPECT_FALSE(paths().contains("d.txt"));
    reload();
    expectFreshSort();
    EXPECT_EQ(state->selectedCommitPaths(), ticked - QSet<QString>{"d.txt"});
    // A tick on a path that is not listed goes at a reload, also when the list stays.
    state->setSelectedCommitPaths(ticked + QSet<QString>{"gone.txt"});
    reload();
    EXPECT_EQ(state->selectedCommitPaths(), ticked - QSet<QString>{"d.txt"});

    // The same names in the same order, one of another kind.
    QFile::remove(git.path + "/file10");
    reload();
    expectFreshSort();
    EXPECT_EQ(listed("file10").kind, SVNStatusKind::deleted);
    EXPECT_EQ(state->selectedCommitPaths(), ticked - QSet<QString>{"d.txt"});

    writeFile(git.path + "/sub/scratch.tmp", "");
    QFile::remove(git.path + "/sub/keep.tmp");
    writeFile(git.path + "/file1", "new\n");
    reload();
    expectFreshSort();
    EXPECT_EQ(paths(), QStringList({".korvelignore", "A.txt", "a.txt", "file1", "file9", "file10"}));

    // The same output under another language's order: Swedish puts "ä" after "z".
    writeFile(git.path + "/z.txt", "z\n");
    writeFile(git.path + QString::fromUtf8("/\u00e4.txt"), "\u00e4\n");
    reload();
    EXPECT_EQ(paths().last(), "z.txt");
    const QLocale before;
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    reload();
    expectFreshSort();
    EXPECT_EQ(paths().mid(paths().size() - 2), QStringList({"z.txt", QString::fromUtf8("\u00e4.txt")}));
}

// git lists what it could read of a folder nested past the system's path limit and warns on standard
// error that it could not open the rest, exiting with success: the list shows what git listed and an
// alert gives git's warning, once per project for as long as the program runs (every activation of
// the window reloads, and so does every return to the project). git's notice that a setting is
// deprecated is no warning worth an alert.
TEST_F(RealFixture, GitStatusThatWarnsListsWhatGitReadAndSaysWhatItCouldNotRead)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "one\n");
    git.commitAll();
    writeFile(git.path + "/a.txt", "two\n");
    writeFile(git.path + "/top/shallow.txt", "s\n");
    // Made a folder at a time from the one above, so no call takes the whole path.
    const QString deep(200, u'd');
    const auto makeDeepFolders = [&] {
        runTool("python3",
            {"-c",
                "import os, sys\nos.chdir('top')\nfor i in range(25):\n os.mkdir(sys.argv[1])\n os.chdir(sys.argv[1])\n"
                "open('bottom.txt', 'w').write('b')",
                deep},
            git.path);
    };
    makeDeepFolders();
    int status = -1;
    const QByteArray listed = git.git({"status", "--porcelain=v1", "--untracked-files=all"}, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(listed, " M a.txt\n?? top/shallow.txt\n");
    const QByteArray warned
        = runTool("sh", {"-c", "git status --porcelain --untracked-files=all 2>&1 >/dev/null"}, git.path);
    ASSERT_TRUE(warned.startsWith("warning: could not open directory 'top/dddd")) << warned.left(300).constData();

    const GitFixture other = GitFixture::create(sandbox.path(), "other");
    const Project warning{QUuid::createUuid(), "warning", git.path, RepositoryKind::git};
    const Project another{QUuid::createUuid(), "another", other.path, RepositoryKind::git};
    const Project removed{QUuid::createUuid(), "removed", other.path, RepositoryKind::git};
    ProjectStore(&settings).save({warning, another, removed});
    state = std::make_unique<AppState>(&settings);
    state->setDialogs(&dialogs);
    const auto select = [&](const QUuid &id) {
        state->setSelectedProjectID(id);
        state->projectSelectionChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
    };
    select(warning.id);
    EXPECT_EQ(paths(), QStringList({"a.txt", "top/shallow.txt"}));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Status Warning");
    EXPECT_TRUE(state->alert()->message.contains("warning: could not open directory 'top/dddd"))
        << state->alert()->message.toStdString();
    EXPECT_LT(state->alert()->message.size(), 400) << "the folder's 4 KiB name is cut";
    state->setAlert(std::nullopt);

    refresh();
    EXPECT_EQ(paths(), QStringList({"a.txt", "top/shallow.txt"}));
    EXPECT_FALSE(state->alert()) << "the same warning again";
    // Back from another project, and back after another project's removal selected it again.
    select(another.id);
    EXPECT_TRUE(paths().isEmpty());
    select(warning.id);
    EXPECT_EQ(paths(), QStringList({"a.txt", "top/shallow.txt"}));
    EXPECT_FALSE(state->alert()) << "the same warning on coming back";
    select(removed.id);
    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedProjectID(), warning.id);
    EXPECT_EQ(paths(), QStringList({"a.txt", "top/shallow.txt"}));
    EXPECT_FALSE(state->alert()) << "the same warning after another project's removal";

    // Gone, then back: told again, once no other alert is shown.
    runTool("rm", {"-rf", "--", "top/" + deep}, git.path);
    refresh();
    EXPECT_FALSE(state->alert());
    makeDeepFolders();
    state->showAlert("Update Failed", "the news the user reads first");
    refresh();
    EXPECT_EQ(state->alert()->title, "Update Failed");
    state->setAlert(std::nullopt);
    refresh();
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Status Warning");
    state->setAlert(std::nullopt);

    // A deprecated setting, which git names on every run.
    git.git({"config", "core.fsyncObjectFiles", "true"});
    const QByteArray notice = runTool("sh", {"-c", "git status --porcelain 2>&1 >/dev/null"}, git.path);
    ASSERT_TRUE(notice.startsWith("warning: core.fsyncObjectFiles is deprecated")) << notice.constData();
    refresh();
    EXPECT_EQ(paths(), QStringList({"a.txt", "top/shallow.txt"}));
    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    // Still a folder git could not open when its name holds the notice's words.
    runTool("mv", {"--", "top/" + deep, "top/x is deprecated"}, git.path);
    refresh();
    EXPECT_TRUE(state->alert().value_or(AppAlert()).message.contains("could not open directory 'top/x is deprecated"));
    state->setAlert(std::nullopt);

    // A changed warning is news, also on a return to the project.
    select(another.id);
    makeDeepFolders();
    select(warning.id);
    ASSERT_TRUE(state->alert());
    EXPECT_TRUE(state->alert()->message.contains("could not open directory 'top/dddd"))
        << state->alert()->message.toStdString();
}

TEST_F(RealFixture, SvnListEqualsTheOneLookedUpOnDisk)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    for (const char *file : {"a/one.txt", "a/two.txt", "b/c/three.txt", "gone/four.txt", "flat.txt"})
        writeFile(svn.workingCopy + "/" + file, "one\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/a/one.txt", "two\n");
    writeFile(svn.workingCopy + "/flat.txt", "two\n");
    QDir(svn.workingCopy + "/gone").removeRecursively();
    writeFile(svn.workingCopy + "/build/out.o", "o\n");
    writeFile(svn.workingCopy + "/build/keep.txt", "k\n");
    writeFile(svn.workingCopy + "/build/obj/x.o", "o\n");
    writeFile(svn.workingCopy + "/b/c/new.tmp", "t\n");
    writeFile(svn.workingCopy + "/b/tmp/inside.txt", "t\n");
    writeFile(svn.workingCopy + "/.gitignore", "build/\n!build/keep.txt\ngone/\nb/*\n");
    writeFile(svn.workingCopy + "/b/.korvelignore", "*.tmp\n");

    const QByteArray output = svn.svn({"status", "--xml", "--no-ignore"});
    open(svn.workingCopy, RepositoryKind::svn);
    refresh();
    EXPECT_EQ(state->changes(),
        lookedUpOnDisk(SVNXMLParsers::parseStatus(QString::fromUtf8(output)), QDir::cleanPath(svn.workingCopy)));
    const QStringList listed = paths();
    EXPECT_TRUE(listed.contains("build/keep.txt"));
    EXPECT_TRUE(listed.contains("a/one.txt"));
    EXPECT_FALSE(listed.contains("build"));
    EXPECT_FALSE(listed.contains("b/tmp"));
    EXPECT_FALSE(listed.contains("b/c/new.tmp"));
    EXPECT_TRUE(listed.contains("gone")) << "a missing folder is no folder on disk, so gone/ does not hide it";
    EXPECT_FALSE(listed.contains("gone/four.txt"));
}
