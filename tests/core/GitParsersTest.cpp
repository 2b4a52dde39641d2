#include "parsers/GitParsers.h"

#include "model/TextUtil.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace TestSupport;

static void PrintTo(const SVNPathChange &change, std::ostream *out)
{
    *out << change.action.toStdString() << ' ' << change.path.toStdString() << ' '
         << change.kind.value_or(QStringLiteral("-")).toStdString();
}

namespace {

QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QStringList statusArguments{s("status"), s("--porcelain=v1"), s("--untracked-files=all"), s("--ignored")};

QStringList logArguments(int limit)
{
    return {s("log"), s("--date=iso-strict"), s("--name-status"),
        s("--format=--KORVEL-GIT-COMMIT--%H%x09%an%x09%aI%x09%s"), s("--max-count=%1").arg(limit)};
}

QMap<QString, SVNStatusKind> kindsByPath(const QList<WorkingCopyItem> &items)
{
    QMap<QString, SVNStatusKind> map;
    for (const WorkingCopyItem &item : items)
        map.insert(item.path, item.kind);
    return map;
}

QStringList paths(const QList<WorkingCopyItem> &items)
{
    QStringList list;
    for (const WorkingCopyItem &item : items)
        list.append(item.path);
    return list;
}

// The status read as the loader reads it, in pieces of `size` bytes as git writes them, then sorted
// as the whole reading sorts.
QList<WorkingCopyItem> readInPieces(const QByteArray &output, qsizetype size)
{
    GitParsers::StatusReading reading;
    for (qsizetype at = 0; at < output.size(); at += size)
        reading.add(output.mid(at, size));
    QList<WorkingCopyItem> items = reading.finish();
    TextUtil::sortByLocalizedKey(items, [](const WorkingCopyItem &item) { return item.path; });
    return items;
}

// Names git quotes in its output for one reason or another, and names it leaves alone.
const QStringList awkwardNames{s("sp ace.txt"), s("é.txt"), s("ta\tb.txt"), s("q\"uote.txt"), s("back\\slash"),
    s("e\x1bsc.txt"), s("a -> b"), s("-lead"), s("a@2x.png"), s("日本語.md"), s("nl\nname")};

} // namespace

// ---- Status ----

TEST(GitStatusReader, ReadsEveryStateOfARealRepository)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    for (const QString &name : awkwardNames)
        writeFile(repo.path + u'/' + name, "base\n");
    for (const char *name : {"edit.txt", "staged.txt", "gone.txt", "removed.txt", "old name.txt", "plain"})
        writeFile(repo.path + u'/' + s(name), QByteArray(name) + "\nwith enough text to be found as a rename\n");
    repo.commitAll(s("base"));

    // Every awkward name modified in the work tree.
    for (const QString &name : awkwardNames)
        writeFile(repo.path + u'/' + name, "changed\n");
    writeFile(repo.path + s("/edit.txt"), "changed\n");
    writeFile(repo.path + s("/staged.txt"), "changed\n");
    repo.git({s("add"), s("staged.txt")});
    QFile::remove(repo.path + s("/gone.txt"));
    repo.git({s("rm"), s("-q"), s("removed.txt")});
    repo.git({s("mv"), s("old name.txt"), s("new é.txt")});
    repo.git({s("mv"), s("plain"), s("c -> d")});
    writeFile(repo.path + s("/new file.txt"), "n\n");
    repo.git({s("add"), s("new file.txt")});
    writeFile(repo.path + s("/untracked ü/deep.txt"), "u\n");
    writeFile(repo.path + s("/.gitignore"), "*.o\n");
    writeFile(repo.path + s("/build/x.o"), "o\n");

    const QByteArray bytes = repo.git(statusArguments);
    const QString output = QString::fromUtf8(bytes);
    ASSERT_TRUE(output.contains(s("\"\\303\\251.txt\""))) << "git quotes names differently now";
    const QList<WorkingCopyItem> items = GitParsers::parseStatus(output);
    for (qsizetype size : {1, 2, 5, 64, 4096})
        EXPECT_EQ(readInPieces(bytes, size), items) << "pieces of " << size;
    const QMap<QString, SVNStatusKind> kinds = kindsByPath(items);
    for (const QString &name : awkwardNames)
        EXPECT_EQ(kinds.value(name, SVNStatusKind::none), SVNStatusKind::modified) << name.toStdString();
    EXPECT_EQ(kinds.value(s("edit.txt")), SVNStatusKind::modified);
    EXPECT_EQ(kinds.value(s("staged.txt")), SVNStatusKind::modified);
    EXPECT_EQ(kinds.value(s("gone.txt")), SVNStatusKind::deleted);
    EXPECT_EQ(kinds.value(s("removed.txt")), SVNStatusKind::deleted);
    EXPECT_EQ(kinds.value(s("new é.txt")), SVNStatusKind::replaced);
    EXPECT_EQ(kinds.value(s("c -> d")), SVNStatusKind::replaced);
    EXPECT_EQ(kinds.value(s("new file.txt")), SVNStatusKind::added);
    EXPECT_EQ(kinds.value(s("untracked ü/deep.txt")), SVNStatusKind::unversioned);
    EXPECT_EQ(kinds.value(s(".gitignore")), SVNStatusKind::unversioned);
    EXPECT_EQ(kinds.value(s("build/x.o")), SVNStatusKind::ignored);
    EXPECT_EQ(items.size(), kinds.size());
    EXPECT_EQ(items.size(), awkwardNames.size() + 10);

    // Every path the reader gives names a file that really exists (or existed) in the tree.
    for (const WorkingCopyItem &item : items) {
        if (item.kind != SVNStatusKind::deleted) {
            EXPECT_TRUE(QFile::exists(repo.path + u'/' + item.path)) << item.path.toStdString();
        }
        EXPECT_EQ(item.propertiesKind, SVNStatusKind::none);
        EXPECT_FALSE(item.revision);
        EXPECT_FALSE(item.treeConflict);
    }
}

TEST(GitStatusReader, ReadsRealMergeConflicts)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    writeFile(repo.path + s("/both é.txt"), "base\n");
    repo.commitAll(s("base"));
    repo.git({s("checkout"), s("-q"), s("-b"), s("side")});
    writeFile(repo.path + s("/both é.txt"), "side\n");
    writeFile(repo.path + s("/added.txt"), "side\n");
    repo.commitAll(s("side"));
    repo.git({s("checkout"), s("-q"), s("main")});
    writeFile(repo.path + s("/both é.txt"), "main\n");
    writeFile(repo.path + s("/added.txt"), "main\n");
    repo.commitAll(s("main"));
    int status = 0;
    repo.git({s("merge"), s("-q"), s("side")}, &status);
    ASSERT_NE(status, 0);

    const QList<WorkingCopyItem> items = GitParsers::parseStatus(QString::fromUtf8(repo.git(statusArguments)));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0],
        (WorkingCopyItem{
            s("added.txt"), SVNStatusKind::conflicted, SVNStatusKind::none, std::nullopt, std::nullopt, true}));
    EXPECT_EQ(items[1].path, s("both é.txt"));
    EXPECT_TRUE(items[1].treeConflict);
}

TEST(GitStatusReader, KeepsTheSourceOfRenamesAndCopies)
{
    Sandbox sandbox;
    const GitFixture repo = GitFixture::create(sandbox.path());
    const QByteArray lines = "one\ntwo\nthree\nfour\nfive\nsix\n";
    writeFile(repo.path + s("/old é.txt"), "alpha\nbeta\ngamma\ndelta\n");
    writeFile(repo.path + s("/base.txt"), lines);
    writeFile(repo.path + s("/plain.txt"), lines);
    repo.commitAll();
    repo.git({s("mv"), s("old é.txt"), s("new \"name\".txt")});
    writeFile(repo.path + s("/copy.txt"), lines);
    writeFile(repo.path + s("/base.txt"), lines + "seven\n");
    repo.git({s("add"), s("-A")});
    repo.git({s("config"), s("status.renames"), s("copies")});

    const QList<WorkingCopyItem> items = GitParsers::parseStatus(QString::fromUtf8(repo.git(statusArguments)));
    QMap<QString, WorkingCopyItem> byPath;
    for (const WorkingCopyItem &item : items)
        byPath.insert(item.path, item);
    ASSERT_EQ(byPath.keys(), (QStringList{s("base.txt"), s("copy.txt"), s("new \"name\".txt")}));
    // The list shows the new name only; the old one rides along.
    EXPECT_EQ(byPath[s("new \"name\".txt")].kind, SVNStatusKind::replaced);
    EXPECT_EQ(byPath[s("new \"name\".txt")].renamedFrom, s("old é.txt"));
    EXPECT_FALSE(byPath[s("new \"name\".txt")].copiedFrom);
    EXPECT_EQ(byPath[s("copy.txt")].copiedFrom, s("base.txt")) << "copies come from a changed file";
    EXPECT_FALSE(byPath[s("copy.txt")].renamedFrom);
    EXPECT_FALSE(byPath[s("base.txt")].renamedFrom);
    EXPECT_FALSE(byPath[s("base.txt")].copiedFrom);

    // An untracked name that holds an arrow is no rename.
    const QList<WorkingCopyItem> crafted = GitParsers::parseStatus(s("?? a -> b\nRM \"x -> y\" -> z\n"));
    ASSERT_EQ(crafted.size(), 2);
    EXPECT_FALSE(crafted[0].renamedFrom);
    EXPECT_EQ(crafted[1].renamedFrom, s("x -> y"));
    // Same row, other source: not the same item, but the same identity.
    WorkingCopyItem other = crafted[1];
    other.renamedFrom = s("w");
    EXPECT_NE(other, crafted[1]);
    EXPECT_NE(qHash(other), qHash(crafted[1]));
    EXPECT_EQ(other.id(), crafted[1].id());
}

TEST(GitStatusReader, KindsOfEveryStatusPair)
{
    const QList<std::pair<const char *, SVNStatusKind>> cases{{"!!", SVNStatusKind::ignored},
        {"??", SVNStatusKind::unversioned}, {"UU", SVNStatusKind::conflicted}, {"AU", SVNStatusKind::conflicted},
        {"UD", SVNStatusKind::conflicted}, {"AA", SVNStatusKind::conflicted}, {"DD", SVNStatusKind::conflicted},
        {"A ", SVNStatusKind::added}, {"AM", SVNStatusKind::added}, {"AD", SVNStatusKind::added},
        {" D", SVNStatusKind::deleted}, {"RD", SVNStatusKind::deleted}, {"R ", SVNStatusKind::replaced},
        {"RM", SVNStatusKind::replaced}, {"C ", SVNStatusKind::modified}, {" T", SVNStatusKind::modified},
        {"M ", SVNStatusKind::modified}, {"?!", SVNStatusKind::modified}};
    for (const auto &[code, kind] : cases) {
        const QList<WorkingCopyItem> items = GitParsers::parseStatus(s(code) + s(" f\n"));
        ASSERT_EQ(items.size(), 1) << code;
        EXPECT_EQ(items[0].kind, kind) << code;
        EXPECT_EQ(items[0].treeConflict, kind == SVNStatusKind::conflicted) << code;
    }
}

TEST(GitStatusReader, CraftedLinesAndOrder)
{
    EXPECT_TRUE(GitParsers::parseStatus(QString()).isEmpty());
    EXPECT_TRUE(GitParsers::parseStatus(s("\n\n\n")).isEmpty());
    EXPECT_TRUE(GitParsers::parseStatus(s("??\n")).isEmpty());
    EXPECT_EQ(paths(GitParsers::parseStatus(s("?? "))), QStringList{QString()});
    EXPECT_EQ(paths(GitParsers::parseStatus(s("R  old name -> new name\n?? a -> b\n!! build/\n"))),
        (QStringList{s("b"), s("build/"), s("new name")}));
    EXPECT_EQ(paths(GitParsers::parseStatus(s(" M file10\n M file9\n M File1\n"))),
        (QStringList{s("File1"), s("file9"), s("file10")}));
    // Quoted names on either side of a rename, arrows inside them included.
    EXPECT_EQ(paths(GitParsers::parseStatus(s("R  \"a -> b\" -> \"c -> d\"\n"))), QStringList{s("c -> d")});
    EXPECT_EQ(paths(GitParsers::parseStatus(s("R  \"sp ace\" -> \"new \\303\\251\"\n"))), QStringList{s("new é")});
    EXPECT_EQ(paths(GitParsers::parseStatus(s("R  plain -> \"q\\\"x\"\n"))), QStringList{s("q\"x")});
    EXPECT_EQ(paths(GitParsers::parseStatus(s("?? \"x -> y\"\n"))), QStringList{s("x -> y")});
    // Windows line ends lose only their carriage return.
    EXPECT_EQ(paths(GitParsers::parseStatus(s(" M a.txt\r\n?? b c\r\n"))), (QStringList{s("a.txt"), s("b c")}));
}

TEST(GitStatusReader, UnquotesCStyleNames)
{
    using GitParsers::unquotePath;
    EXPECT_EQ(unquotePath(s("plain")), s("plain"));
    EXPECT_EQ(unquotePath(s("\"\\303\\251.txt\"")), s("é.txt"));
    EXPECT_EQ(unquotePath(s("\"\\346\\227\\245\\346\\234\\254\"")), s("日本"));
    EXPECT_EQ(unquotePath(s("\"a\\tb\\nc\\\\d\\\"e\"")), s("a\tb\nc\\d\"e"));
    EXPECT_EQ(unquotePath(s("\"\\a\\b\\v\\f\\r\"")), s("\a\b\v\f\r"));
    EXPECT_EQ(unquotePath(s("\"\\033[0m\"")), s("\x1b[0m"));
    // Escapes git never writes stand for the character itself.
    EXPECT_EQ(unquotePath(s("\"\\q\\400\\12x\\ü\"")), s("q40012xü"));
    EXPECT_EQ(unquotePath(s("\"\\9\"")), s("9"));
    EXPECT_EQ(unquotePath(s("\"ends\\\"")), s("ends\\"));
    EXPECT_EQ(unquotePath(s("\"")), QString());
    EXPECT_EQ(unquotePath(s("\"\"")), QString());
    EXPECT_EQ(unquotePath(s("\"open")), s("\"open"));
    EXPECT_EQ(unquotePath(s("close\"")), s("close\""));
    // Bytes that are no UTF-8 keep their value.
    EXPECT_EQ(unquotePath(s("\"caf\\351\"")), TextUtil::decodeFileName("caf\351"));
}

// Names from an old Latin-1 system, untracked and tracked, next to a plain one: each is read as its own
// bytes whether git quotes it (the default) or prints it raw.
TEST(GitStatusReader, ReadsNamesThatAreNotUTF8AsTheirBytes)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    printfFile(repo.path, s("tracked \\351.txt"), s("base\n"));
    repo.commitAll();
    printfFile(repo.path, s("tracked \\351.txt"), s("changed\n"));
    printfFile(repo.path, s("caf\\351.txt"), s("new\n"));
    printfFile(repo.path, s("new \\303\\251.txt"), s("new\n"));
    for (const char *quoting : {"true", "false"}) {
        SCOPED_TRACE(quoting);
        const QByteArray output = repo.git(QStringList{s("-c"), s("core.quotepath=") + s(quoting)} + statusArguments);
        const QList<WorkingCopyItem> items = GitParsers::parseStatus(QByteArrayView(output));
        ASSERT_EQ(items.size(), 3) << output.toStdString();
        QByteArray windowsLines = output;
        windowsLines.replace("\n", "\r\n");
        for (qsizetype size : {1, 3, 7, 4096}) {
            EXPECT_EQ(readInPieces(output, size), items) << "pieces of " << size;
            EXPECT_EQ(readInPieces(windowsLines, size), items) << "pieces of " << size;
        }
        QMap<QByteArray, SVNStatusKind> kinds;
        for (const WorkingCopyItem &item : items)
            kinds.insert(TextUtil::encodeFileName(item.path), item.kind);
        EXPECT_EQ(kinds.value("caf\351.txt", SVNStatusKind::none), SVNStatusKind::unversioned);
        EXPECT_EQ(kinds.value("tracked \351.txt", SVNStatusKind::none), SVNStatusKind::modified);
        EXPECT_EQ(kinds.value("new \303\251.txt", SVNStatusKind::none), SVNStatusKind::unversioned);
    }
}

// ---- Log ----

TEST(GitLogReader, ReadsARealLogWithRenamesAndAwkwardNames)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    for (const QString &name : awkwardNames)
        writeFile(repo.path + u'/' + name, name.toUtf8() + "\nwith enough text to be found as a rename\n");
    repo.commitAll(s("Add awkward names"));
    repo.git({s("mv"), s("é.txt"), s("renamed é.txt")});
    QDir(repo.path).mkdir(s("sub"));
    repo.git({s("mv"), s("a -> b"), s("sub/c -> d")});
    repo.git({s("rm"), s("-q"), s("--"), s("-lead")});
    writeFile(repo.path + s("/sp ace.txt"), "changed\n");
    repo.git({s("add"), s("sp ace.txt")});
    repo.git({s("commit"), s("-q"), s("-m"), s("Subject\twith a tab")});
    repo.git({s("commit"), s("-q"), s("--allow-empty"), s("-m"), s("Empty")});

    const QByteArray output = repo.git(logArguments(10));
    const QList<LogEntry> entries = GitParsers::parseLog(QString::fromUtf8(output));
    ASSERT_EQ(entries.size(), 3);
    // Read in pieces as git writes it, taking entries as it goes: the same entries.
    for (qsizetype size : {1, 5, 64})
        EXPECT_EQ(readLogInPieces<GitParsers::LogReading>(output, size), entries) << "pieces of " << size;
    EXPECT_EQ(entries[0].revision, 1000000);
    EXPECT_EQ(entries[0].message, s("Empty"));
    EXPECT_TRUE(entries[0].paths.isEmpty());
    EXPECT_EQ(entries[2].revision, 999998);
    const QString head = QString::fromUtf8(repo.git({s("rev-parse"), s("HEAD")})).trimmed();
    EXPECT_EQ(entries[0].commitHash, head);
    EXPECT_EQ(entries[0].author, s("Test User"));
    ASSERT_TRUE(entries[0].date);
    EXPECT_LT(qAbs(entries[0].date->secsTo(QDateTime::currentDateTimeUtc())), 600);

    const LogEntry &renames = entries[1];
    EXPECT_EQ(renames.message, s("Subject\twith a tab"));
    EXPECT_EQ(renames.paths,
        (QList<SVNPathChange>{{s("D"), s("-lead"), s("file")}, {s("R"), s("renamed é.txt"), s("file")},
            {s("M"), s("sp ace.txt"), s("file")}, {s("R"), s("sub/c -> d"), s("file")}}));
    QStringList added;
    for (const SVNPathChange &change : entries[2].paths) {
        EXPECT_EQ(change.action, s("A"));
        added.append(change.path);
    }
    added.sort();
    QStringList expected = awkwardNames;
    expected.sort();
    EXPECT_EQ(added, expected);
}

TEST(GitLogReader, CraftedHeadersAndNameStatusLines)
{
    EXPECT_TRUE(GitParsers::parseLog(QString()).isEmpty());
    const QString text = s("M\tbefore-any-header\n"
                           "--KORVEL-GIT-COMMIT--h1\tann\t2024-03-01T10:00:00.250+01:00\tOne\ttwo\tthree\n"
                           "\n"
                           "R087\told\tnew\n"
                           "R100\tonly-old\n"
                           "M\n"
                           "\tnoaction\n"
                           "A\t\"\\303\\251\"\r\n"
                           "--KORVEL-GIT-COMMIT--h2\tbob\t2024-03-01T10:00:00\n"
                           "M\tdropped-with-its-header\n"
                           "--KORVEL-GIT-COMMIT--\t\tyesterday\t\n"
                           "C75\tsrc\tdst\n"
                           "--KORVEL-GIT-COMMIT--h4\tcy\t2024-03-01T10:00:00+01:00\tLast");
    const QList<LogEntry> entries = GitParsers::parseLog(text);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].revision, 1000000);
    EXPECT_EQ(entries[0].commitHash, s("h1"));
    EXPECT_EQ(entries[0].author, s("ann"));
    EXPECT_EQ(entries[0].message, s("One\ttwo\tthree"));
    EXPECT_EQ(entries[0].date, QDateTime(QDate(2024, 3, 1), QTime(9, 0, 0, 250), QTimeZone::utc()));
    EXPECT_EQ(entries[0].paths,
        (QList<SVNPathChange>{{s("R"), s("new"), s("file")}, {s("R"), s("only-old"), s("file")},
            {QString(), s("noaction"), s("file")}, {s("A"), s("é"), s("file")}}));
    EXPECT_EQ(entries[1].revision, 999999);
    EXPECT_EQ(entries[1].commitHash, QString());
    EXPECT_TRUE(entries[1].commitHash.has_value());
    EXPECT_EQ(entries[1].date, std::nullopt);
    EXPECT_EQ(entries[1].paths, (QList<SVNPathChange>{{s("C"), s("dst"), s("file")}}));
    EXPECT_EQ(entries[2].revision, 999998);
    EXPECT_EQ(entries[2].date, QDateTime(QDate(2024, 3, 1), QTime(9, 0), QTimeZone::utc()));
    EXPECT_TRUE(entries[2].paths.isEmpty());
}

// ---- Branches ----

TEST(GitBranchReader, ReadsRealLocalAndRemoteBranches)
{
    Sandbox box;
    GitFixture origin = GitFixture::create(box.path(), s("origin"));
    writeFile(origin.path + s("/f"), "f\n");
    origin.commitAll(s("base"));
    origin.git({s("branch"), s("dev")});
    origin.git({s("branch"), s("feature10")});
    runTool(s("git"), {s("clone"), s("-q"), origin.path, box.filePath(s("clone"))});
    GitFixture clone{box.filePath(s("clone"))};
    clone.git({s("branch"), s("feature9")});
    clone.git({s("branch"), s("Zeta")});
    clone.git({s("checkout"), s("-q"), s("-b"), s("work")});

    const QList<GitBranch> branches = GitParsers::parseBranches(QString::fromUtf8(clone.git({s("for-each-ref"),
        s("--format=%(HEAD)%09%(refname)%09%(refname:short)"), s("refs/heads"), s("refs/remotes")})));
    EXPECT_EQ(branches,
        (QList<GitBranch>{{s("work"), true, false}, {s("feature9"), false, false}, {s("main"), false, false},
            {s("Zeta"), false, false}, {s("origin/dev"), false, true}, {s("origin/feature10"), false, true},
            {s("origin/main"), false, true}}));
}

TEST(GitBranchReader, CraftedLines)
{
    EXPECT_TRUE(GitParsers::parseBranches(QString()).isEmpty());
    const QString text = s(" \trefs/remotes/origin/main\torigin/main\n"
                           " \trefs/heads/feature\tfeature\n"
                           " \trefs/remotes/origin/HEAD\torigin\n"
                           " \trefs/remotes/origin/dev\torigin/dev\r\n"
                           "*\trefs/heads/main\tmain\n"
                           " \trefs/heads/blank\t   \n"
                           " \trefs/heads/again\tfeature\n"
                           "two\tfields\n"
                           " \trefs/heads/tabbed\t tabbed\textra \n"
                           " \trefs/heads/origin/dev\theads/origin/dev\n"
                           " \trefs/tags/v1.0\tv1.0\n");
    // The name comes from the full ref name, whatever git made of it; a local branch may share it with a
    // remote-tracking one.
    EXPECT_EQ(GitParsers::parseBranches(text),
        (QList<GitBranch>{{s("main"), true, false}, {s("again"), false, false}, {s("blank"), false, false},
            {s("feature"), false, false}, {s("origin/dev"), false, false}, {s("tabbed"), false, false},
            {s("origin/dev"), false, true}, {s("origin/main"), false, true}}));
}
