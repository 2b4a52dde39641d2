#include "parsers/SVNXMLParsers.h"
#include "tools/StreamedReading.h"

#include "model/TextUtil.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString svnText(const SvnFixture &wc, const QStringList &arguments)
{
    return QString::fromUtf8(wc.svn(arguments));
}

void commitAs(const SvnFixture &wc, const QString &message)
{
    wc.svn({s("commit"), s("-q"), s("--username"), s("tester"), s("-m"), message});
    wc.svn({s("update"), s("-q")});
}

QMap<QString, WorkingCopyItem> byPath(const QList<WorkingCopyItem> &items)
{
    QMap<QString, WorkingCopyItem> map;
    for (const WorkingCopyItem &item : items)
        map.insert(item.path, item);
    return map;
}

QStringList sortedList(QStringList list)
{
    list.sort();
    return list;
}

bool sortedByPath(const QList<WorkingCopyItem> &items)
{
    return std::is_sorted(items.begin(), items.end(), [](const WorkingCopyItem &a, const WorkingCopyItem &b) {
        return TextUtil::localizedStandardLess(a.path, b.path);
    });
}

QString statusXml(const QString &entries)
{
    return s("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>\n<target path=\".\">\n") + entries
        + s("</target>\n</status>\n");
}

QString entry(const char *path, const char *item, const char *props = "none", const char *extra = "")
{
    return QString::asprintf("<entry path=\"%s\">\n<wc-status item=\"%s\" props=\"%s\" revision=\"3\">%s</wc-status>\n"
                             "</entry>\n",
        path, item, props, extra);
}

} // namespace

// ---- Local status, real svn output ----

TEST(SvnStatusReader, ReadsEveryStateOfARealWorkingCopy)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path());
    wc.svn({s("mkdir"), s("-q"), s("-m"), s("lib"), wc.repositoryUrl + s("/lib")});
    for (const char *name : {"a.txt", "sp ace.txt", "-r", "a@2x.png", "é.txt", "clean.txt", "locked.txt", "gone.txt"})
        writeFile(QDir(wc.workingCopy).filePath(s(name)), "one\n");
    wc.svn({s("add"), s("-q"), s("--"), s("a.txt"), s("sp ace.txt"), s("-r"), s("a@2x.png@"), s("é.txt"),
        s("clean.txt"), s("locked.txt"), s("gone.txt")});
    commitAs(wc, s("initial"));

    writeFile(QDir(wc.workingCopy).filePath(s("a.txt")), "two\n");
    wc.svn({s("propset"), s("-q"), s("colour"), s("blue"), s("sp ace.txt")});
    wc.svn({s("delete"), s("-q"), s("--"), s("-r")});
    writeFile(QDir(wc.workingCopy).filePath(s("a@2x.png")), "changed\n");
    writeFile(QDir(wc.workingCopy).filePath(s("é.txt")), "changed\n");
    writeFile(QDir(wc.workingCopy).filePath(s("new file.txt")), "new\n");
    wc.svn({s("add"), s("-q"), s("new file.txt")});
    writeFile(QDir(wc.workingCopy).filePath(s("unversioned.txt")), "u\n");
    writeFile(QDir(wc.workingCopy).filePath(s("build.o")), "o\n");
    wc.svn({s("propset"), s("-q"), s("svn:ignore"), s("*.o"), s(".")});
    wc.svn({s("propset"), s("-q"), s("svn:externals"), s("^/lib ext"), s(".")});
    wc.svn({s("update"), s("-q")});
    wc.svn({s("lock"), s("-q"), s("--username"), s("tester"), s("-m"), s("mine"), s("locked.txt")});
    QFile::remove(QDir(wc.workingCopy).filePath(s("gone.txt")));

    const QList<WorkingCopyItem> items
        = SVNXMLParsers::parseStatus(svnText(wc, {s("status"), s("--xml"), s("--no-ignore")}));
    EXPECT_TRUE(sortedByPath(items));
    const QMap<QString, WorkingCopyItem> rows = byPath(items);
    EXPECT_EQ(rows.keys(),
        sortedList({s("."), s("-r"), s("a.txt"), s("a@2x.png"), s("build.o"), s("é.txt"), s("ext"), s("gone.txt"),
            s("new file.txt"), s("sp ace.txt"), s("unversioned.txt")}));
    EXPECT_EQ(rows.value(s("a.txt")),
        (WorkingCopyItem{s("a.txt"), SVNStatusKind::modified, SVNStatusKind::none, s("2"), s("tester"), false}));
    EXPECT_EQ(rows.value(s("sp ace.txt")),
        (WorkingCopyItem{s("sp ace.txt"), SVNStatusKind::normal, SVNStatusKind::modified, s("2"), s("tester"), false}));
    EXPECT_EQ(rows.value(s("-r")).kind, SVNStatusKind::deleted);
    EXPECT_EQ(rows.value(s("a@2x.png")).kind, SVNStatusKind::modified);
    EXPECT_EQ(rows.value(s("é.txt")).kind, SVNStatusKind::modified);
    EXPECT_EQ(rows.value(s("gone.txt")).kind, SVNStatusKind::missing);
    EXPECT_EQ(rows.value(s("new file.txt")),
        (WorkingCopyItem{s("new file.txt"), SVNStatusKind::added, SVNStatusKind::none, s("-1"), std::nullopt, false}));
    EXPECT_EQ(rows.value(s("unversioned.txt")),
        (WorkingCopyItem{
            s("unversioned.txt"), SVNStatusKind::unversioned, SVNStatusKind::none, std::nullopt, std::nullopt, false}));
    EXPECT_EQ(rows.value(s("build.o")).kind, SVNStatusKind::ignored);
    EXPECT_EQ(rows.value(s("ext")).kind, SVNStatusKind::external);
    EXPECT_EQ(rows.value(s(".")).propertiesKind, SVNStatusKind::modified);
    // A lock alone leaves the row clean.
    EXPECT_FALSE(rows.contains(s("locked.txt")));
    EXPECT_FALSE(rows.contains(s("clean.txt")));

    // Without --no-ignore the ignored file is simply absent.
    const QMap<QString, WorkingCopyItem> plain
        = byPath(SVNXMLParsers::parseStatus(svnText(wc, {s("status"), s("--xml")})));
    EXPECT_FALSE(plain.contains(s("build.o")));
    EXPECT_TRUE(plain.contains(s("a.txt")));
}

TEST(SvnStatusReader, ReadsTextAndTreeConflictsFromRealUpdates)
{
    Sandbox box;
    SvnFixture mine = SvnFixture::create(box.path(), s("mine"));
    writeFile(mine.workingCopy + s("/text.txt"), "base\n");
    writeFile(mine.workingCopy + s("/dir/inner.txt"), "base\n");
    writeFile(mine.workingCopy + s("/file.txt"), "base\n");
    writeFile(mine.workingCopy + s("/edited.txt"), "base\n");
    mine.svn({s("add"), s("-q"), s("text.txt"), s("dir"), s("file.txt"), s("edited.txt")});
    commitAs(mine, s("base"));

    SvnFixture theirs = SvnFixture::create(box.path(), s("theirs"));
    writeFile(theirs.workingCopy + s("/text.txt"), "theirs\n");
    writeFile(theirs.workingCopy + s("/edited.txt"), "theirs\n");
    theirs.svn({s("delete"), s("-q"), s("dir"), s("file.txt")});
    commitAs(theirs, s("theirs"));

    writeFile(mine.workingCopy + s("/text.txt"), "mine\n");
    writeFile(mine.workingCopy + s("/dir/inner.txt"), "mine\n");
    writeFile(mine.workingCopy + s("/file.txt"), "mine\n");
    mine.svn({s("delete"), s("-q"), s("edited.txt")});
    mine.svn({s("update"), s("-q"), s("--accept"), s("postpone")});

    const QString xml = svnText(mine, {s("status"), s("--xml")});
    ASSERT_TRUE(xml.contains(s("tree-conflicted=\"true\""))) << "svn marks tree conflicts differently now";
    const QMap<QString, WorkingCopyItem> rows = byPath(SVNXMLParsers::parseStatus(xml));
    EXPECT_EQ(rows.value(s("text.txt")).kind, SVNStatusKind::conflicted);
    EXPECT_FALSE(rows.value(s("text.txt")).treeConflict);
    EXPECT_TRUE(rows.value(s("dir")).treeConflict);
    EXPECT_TRUE(rows.value(s("file.txt")).treeConflict);
    EXPECT_TRUE(rows.value(s("edited.txt")).treeConflict);
    EXPECT_EQ(rows.value(s("edited.txt")).kind, SVNStatusKind::deleted);
    EXPECT_FALSE(rows.value(s("dir/inner.txt")).treeConflict);
    EXPECT_TRUE(rows.contains(s("text.txt.mine")));
}

TEST(SvnStatusReader, KeepsRowsAfterANameWithAControlCharacter)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path());
    writeFile(wc.workingCopy + s("/a.txt"), "a\n");
    writeFile(wc.workingCopy + s("/z.txt"), "z\n");
    wc.svn({s("add"), s("-q"), s("a.txt"), s("z.txt")});
    commitAs(wc, s("base"));
    writeFile(wc.workingCopy + s("/a.txt"), "changed\n");
    writeFile(wc.workingCopy + s("/z.txt"), "changed\n");
    writeFile(wc.workingCopy + s("/m\x1b[1mname.txt"), "x\n");

    const QString xml = svnText(wc, {s("status"), s("--xml")});
    ASSERT_TRUE(xml.contains(QChar(0x1b)));
    const QList<WorkingCopyItem> items = SVNXMLParsers::parseStatus(xml);
    QStringList paths;
    for (const WorkingCopyItem &item : items)
        paths.append(item.path);
    EXPECT_EQ(paths, (QStringList{s("a.txt"), QString::fromUtf16(u"m\uFFFD[1mname.txt"), s("z.txt")}));
    EXPECT_EQ(items.last().kind, SVNStatusKind::modified);
}

// ---- Local status, crafted input ----

TEST(SvnStatusReader, ListingRuleAndDefaults)
{
    EXPECT_TRUE(SVNXMLParsers::parseStatus(QString()).isEmpty());
    EXPECT_TRUE(SVNXMLParsers::parseStatus(s("svn: E155007: not a working copy")).isEmpty());

    const QString xml
        = statusXml(entry("clean", "normal") + entry("props", "normal", "modified") + entry("unv", "unversioned")
            + entry("ign", "ignored") + entry("ext", "external") + entry("gone", "missing") + entry("odd", "sparkling")
            + s("<entry path=\"bare\"></entry>\n") + s("<entry path=\"noitem\"><wc-status props=\"none\"/></entry>\n")
            + s("<entry><wc-status item=\"modified\"/></entry>\n") + entry("after-pathless", "added")
            + s("<changelist name=\"cl\">") + entry("in-changelist", "modified") + s("</changelist>\n")
            + entry("none-kind", "none"));
    const QMap<QString, WorkingCopyItem> rows = byPath(SVNXMLParsers::parseStatus(xml));
    EXPECT_EQ(rows.keys(),
        (QStringList{s("after-pathless"), s("bare"), s("ext"), s("gone"), s("ign"), s("in-changelist"), s("noitem"),
            s("odd"), s("props"), s("unv")}));
    EXPECT_EQ(rows.value(s("props")),
        (WorkingCopyItem{s("props"), SVNStatusKind::normal, SVNStatusKind::modified, s("3"), std::nullopt, false}));
    EXPECT_EQ(rows.value(s("odd")).kind, SVNStatusKind::unknown);
    EXPECT_EQ(rows.value(s("bare")),
        (WorkingCopyItem{s("bare"), SVNStatusKind::unknown, SVNStatusKind::none, std::nullopt, std::nullopt, false}));
    EXPECT_EQ(rows.value(s("noitem")).kind, SVNStatusKind::unknown);
    EXPECT_EQ(rows.value(s("noitem")).revision, std::nullopt);
}

TEST(SvnStatusReader, TreeConflictOnAnOtherwiseCleanRowIsListed)
{
    const QString xml = statusXml(
        s("<entry path=\"attr\"><wc-status item=\"normal\" props=\"none\" tree-conflicted=\"true\"/></entry>\n")
        + s("<entry path=\"element\"><wc-status item=\"normal\" props=\"none\"/><tree-conflict/></entry>\n")
        + s("<entry path=\"false\"><wc-status item=\"normal\" props=\"none\" tree-conflicted=\"false\"/></entry>\n"));
    const QList<WorkingCopyItem> items = SVNXMLParsers::parseStatus(xml);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0],
        (WorkingCopyItem{s("attr"), SVNStatusKind::normal, SVNStatusKind::none, std::nullopt, std::nullopt, true}));
    EXPECT_EQ(items[0].statusLabel(), s("Tree Conflict"));
    EXPECT_EQ(items[1].path, s("element"));
    EXPECT_TRUE(items[1].treeConflict);
}

TEST(SvnStatusReader, AuthorsSortingTruncationAndLineEnds)
{
    const QString authors = statusXml(
        s("<entry path=\"spaced\"><wc-status item=\"modified\"><commit><author>\n  alice \n</author></commit>"
          "</wc-status></entry>\n<entry path=\"empty\"><wc-status item=\"modified\"><commit><author></author>"
          "</commit></wc-status></entry>\n")
        + entry("none", "modified"));
    const QMap<QString, WorkingCopyItem> rows = byPath(SVNXMLParsers::parseStatus(authors));
    EXPECT_EQ(rows.value(s("spaced")).author, s("alice"));
    EXPECT_EQ(rows.value(s("empty")).author, QString());
    EXPECT_TRUE(rows.value(s("empty")).author.has_value());
    EXPECT_EQ(rows.value(s("none")).author, std::nullopt);

    QStringList order;
    for (const WorkingCopyItem &item : SVNXMLParsers::parseStatus(
             statusXml(entry("b", "added") + entry("A", "added") + entry("a10", "added") + entry("a9", "added"))))
        order.append(item.path);
    EXPECT_EQ(order, (QStringList{s("A"), s("a9"), s("a10"), s("b")}));

    const QString full = statusXml(entry("c", "added") + entry("a", "added") + entry("b", "modified"));
    const QString cut = full.left(full.indexOf(s("path=\"b\"")) + 15);
    const QList<WorkingCopyItem> partial = SVNXMLParsers::parseStatus(cut);
    ASSERT_EQ(partial.size(), 2);
    EXPECT_EQ(partial[0].path, s("a"));
    EXPECT_EQ(partial[1].path, s("c"));

    QString crlf = statusXml(entry("win dows", "modified", "none", "<commit><author>bob</author></commit>"));
    crlf.replace(s("\n"), s("\r\n"));
    const QList<WorkingCopyItem> windows = SVNXMLParsers::parseStatus(crlf);
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0].author, s("bob"));

    // Names are compared as written: a prefixed element is another element.
    EXPECT_TRUE(SVNXMLParsers::parseStatus(s("<s:status xmlns:s=\"urn:x\"><s:entry path=\"p\"><s:wc-status "
                                             "item=\"added\"/></s:entry></s:status>"))
                    .isEmpty());
}

// The load reads svn's output on a worker as it arrives: whatever the pieces, the rows are those of the
// whole text, a character or a document cut by a piece's end included.
TEST(SvnStatusReader, ReadsTheOutputInWhateverPiecesItArrives)
{
    const QString names = statusXml(entry("b", "added") + entry("caf\u00e9 \U0001F600", "modified")
        + entry("ctl\x1b[1m", "unversioned") + entry("odd\uFFFE\uFFFF", "added") + entry("\u65e5\u672c", "deleted")
        + s("<entry path=\"held\">\n<wc-status item=\"normal\" props=\"none\" "
            "wc-locked=\"true\"></wc-status>\n</entry>\n")
        + entry("a10", "added", "modified", "<commit><author>\u00e9ve</author></commit>"));
    const QString cut = names.left(names.indexOf(s("path=\"a10\"")) + 12);
    // A "]]>" in text is an error wherever a piece ends.
    QString broken = names;
    broken.insert(names.lastIndexOf(u'<', names.indexOf(s("path=\"a10\""))), s("]]>"));
    for (const QString &text : {names, cut, broken}) {
        const QByteArray bytes = text.toUtf8();
        const QList<WorkingCopyItem> whole = SVNXMLParsers::parseStatus(text);
        ASSERT_GE(whole.size(), 5);
        for (qsizetype size : {1, 2, 3, 5, 64, 4096}) {
            SVNXMLParsers::StatusReading reading;
            for (qsizetype at = 0; at < bytes.size(); at += size)
                reading.add(bytes.mid(at, size));
            const SVNXMLParsers::SVNStatusRead read = reading.finish();
            EXPECT_EQ(read.items, whole) << "pieces of " << size;
            // A folder svn left locked is not a change, but the read says svn left one.
            EXPECT_TRUE(read.workingCopyLocked) << "pieces of " << size;
        }
    }

    // Through the worker, in many batches.
    QString entries;
    for (int i = 0; i < 4000; ++i)
        entries += entry(qPrintable(QStringLiteral("dir%1/caf\u00e9%2.txt").arg(i % 7).arg(i)), "modified");
    const QString large = statusXml(entries);
    const QByteArray bytes = large.toUtf8();
    ASSERT_GT(bytes.size(), 4 * 64 * 1024);
    StreamedReading<SVNXMLParsers::StatusReading> streamed;
    for (qsizetype at = 0; at < bytes.size(); at += 1000)
        streamed.add(bytes.mid(at, 1000));
    QFuture<SVNXMLParsers::SVNStatusRead> rows = streamed.end();
    rows.waitForFinished();
    const QList<WorkingCopyItem> expected = SVNXMLParsers::parseStatus(large);
    ASSERT_EQ(expected.size(), 4000);
    EXPECT_EQ(rows.result().items, expected);
    EXPECT_FALSE(rows.result().workingCopyLocked);
}

// ---- Status against the repository ----

TEST(SvnRemoteStatusReader, ReadsWhatARealCommitElsewhereChanged)
{
    Sandbox box;
    SvnFixture mine = SvnFixture::create(box.path(), s("mine"));
    for (const char *name : {"edit.txt", "drop.txt", "props.txt", "local.txt", "é é.txt"})
        writeFile(mine.workingCopy + u'/' + s(name), "base\n");
    mine.svn({s("add"), s("-q"), s("edit.txt"), s("drop.txt"), s("props.txt"), s("local.txt"), s("é é.txt")});
    commitAs(mine, s("base"));

    SvnFixture theirs = SvnFixture::create(box.path(), s("theirs"));
    writeFile(theirs.workingCopy + s("/edit.txt"), "theirs\n");
    writeFile(theirs.workingCopy + s("/é é.txt"), "theirs\n");
    writeFile(theirs.workingCopy + s("/fresh.txt"), "new\n");
    theirs.svn({s("add"), s("-q"), s("fresh.txt")});
    theirs.svn({s("delete"), s("-q"), s("drop.txt")});
    theirs.svn({s("propset"), s("-q"), s("p"), s("v"), s("props.txt")});
    commitAs(theirs, s("theirs"));

    writeFile(mine.workingCopy + s("/local.txt"), "mine\n");
    const SVNRemoteStatus status = SVNXMLParsers::parseRemoteStatus(svnText(mine, {s("status"), s("--xml"), s("-u")}));
    EXPECT_EQ(status.repositoryRevision, 2);
    EXPECT_TRUE(sortedByPath(status.outdatedItems));
    const QMap<QString, WorkingCopyItem> rows = byPath(status.outdatedItems);
    // The folder itself changed too: it gained and lost an entry.
    EXPECT_EQ(rows.value(s(".")).kind, SVNStatusKind::modified);
    EXPECT_EQ(
        rows.keys(), sortedList({s("."), s("drop.txt"), s("é é.txt"), s("edit.txt"), s("fresh.txt"), s("props.txt")}));
    EXPECT_EQ(rows.value(s("edit.txt")),
        (WorkingCopyItem{s("edit.txt"), SVNStatusKind::modified, SVNStatusKind::none, s("1"), s("tester"), false}));
    EXPECT_EQ(rows.value(s("drop.txt")).kind, SVNStatusKind::deleted);
    EXPECT_EQ(rows.value(s("fresh.txt")).kind, SVNStatusKind::added);
    EXPECT_EQ(rows.value(s("fresh.txt")).revision, std::nullopt);
    EXPECT_EQ(rows.value(s("props.txt")).propertiesKind, SVNStatusKind::modified);
    EXPECT_EQ(rows.value(s("props.txt")).kind, SVNStatusKind::none);
}

TEST(SvnRemoteStatusReader, CraftedAgainstAndRows)
{
    const SVNRemoteStatus empty = SVNXMLParsers::parseRemoteStatus(QString());
    EXPECT_EQ(empty.repositoryRevision, std::nullopt);
    EXPECT_TRUE(empty.outdatedItems.isEmpty());

    auto against
        = [](const char *tags) { return SVNXMLParsers::parseRemoteStatus(statusXml(s(tags))).repositoryRevision; };
    EXPECT_EQ(against("<against revision=\"1234\"/>"), 1234);
    EXPECT_EQ(against("<against/>"), std::nullopt);
    EXPECT_EQ(against("<against revision=\"r12\"/>"), std::nullopt);
    EXPECT_EQ(against("<against revision=\"5\"/><against revision=\"6\"/>"), 6);
    EXPECT_EQ(against("<against revision=\"5\"/><against revision=\"x\"/>"), std::nullopt);

    const QString xml = statusXml(
        s("<entry path=\"same\"><wc-status item=\"modified\" revision=\"4\"/><repos-status item=\"none\" "
          "props=\"none\"/></entry>\n<entry path=\"nothing\"><wc-status item=\"normal\"/></entry>\n"
          "<entry path=\"out\"><wc-status item=\"normal\" revision=\"4\" tree-conflicted=\"true\"/><tree-conflict/>"
          "<repos-status item=\"modified\"/></entry>\n<entry path=\"norev\"><wc-status item=\"none\"/>"
          "<repos-status props=\"modified\"/></entry>\n<entry path=\"weird\"><repos-status item=\"blue\"/></entry>\n"
          "<against revision=\"9\"/>"));
    const SVNRemoteStatus status = SVNXMLParsers::parseRemoteStatus(xml);
    EXPECT_EQ(status.repositoryRevision, 9);
    ASSERT_EQ(status.outdatedItems.size(), 3);
    EXPECT_EQ(status.outdatedItems[0],
        (WorkingCopyItem{s("norev"), SVNStatusKind::none, SVNStatusKind::modified, std::nullopt, std::nullopt, false}));
    EXPECT_EQ(status.outdatedItems[1],
        (WorkingCopyItem{s("out"), SVNStatusKind::modified, SVNStatusKind::none, s("4"), std::nullopt, false}));
    EXPECT_EQ(status.outdatedItems[2].kind, SVNStatusKind::unknown);
}

// ---- Log ----

TEST(SvnLogReader, ReadsARealVerboseLog)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path());
    writeFile(wc.workingCopy + s("/dir/sp ace é.txt"), "a\n");
    wc.svn({s("add"), s("-q"), s("dir")});
    commitAs(wc, s("\n  Add files\n\nwith a body\n"));
    wc.svn({s("copy"), s("-q"), s("dir/sp ace é.txt"), s("dir/copy@2x.txt@")});
    writeFile(wc.workingCopy + s("/dir/sp ace é.txt"), "b\n");
    commitAs(wc, s("Copy"));
    wc.svn({s("delete"), s("-q"), s("dir/copy@2x.txt@")});
    commitAs(wc, s("Drop"));

    const QList<LogEntry> newestFirst = SVNXMLParsers::parseLog(svnText(wc, {s("log"), s("--xml"), s("--verbose")}));
    const QList<LogEntry> oldestFirst
        = SVNXMLParsers::parseLog(svnText(wc, {s("log"), s("--xml"), s("--verbose"), s("-r"), s("1:HEAD")}));
    EXPECT_EQ(newestFirst, oldestFirst);
    ASSERT_EQ(newestFirst.size(), 3);
    EXPECT_EQ(newestFirst[0].revision, 3);
    EXPECT_EQ(newestFirst[2].revision, 1);
    const LogEntry &first = newestFirst[2];
    EXPECT_EQ(first.author, s("tester"));
    EXPECT_EQ(first.message, s("  Add files\n\nwith a body"));
    EXPECT_EQ(first.commitHash, std::nullopt);
    ASSERT_TRUE(first.date);
    EXPECT_LT(qAbs(first.date->secsTo(QDateTime::currentDateTimeUtc())), 600);
    EXPECT_EQ(first.paths,
        (QList<SVNPathChange>{{s("A"), s("/dir"), s("dir")}, {s("A"), s("/dir/sp ace é.txt"), s("file")}}));
    const QList<SVNPathChange> copy = newestFirst[1].paths;
    ASSERT_EQ(copy.size(), 2);
    EXPECT_EQ(copy[0], (SVNPathChange{s("A"), s("/dir/copy@2x.txt"), s("file")}));
    EXPECT_EQ(copy[1], (SVNPathChange{s("M"), s("/dir/sp ace é.txt"), s("file")}));
    EXPECT_EQ(newestFirst[0].paths, (QList<SVNPathChange>{{s("D"), s("/dir/copy@2x.txt"), s("file")}}));

    // Read in pieces as svn writes it, taking entries as it goes: the same entries.
    const QByteArray bytes = svnText(wc, {s("log"), s("--xml"), s("--verbose"), s("-r"), s("1:HEAD")}).toUtf8();
    for (qsizetype size : {1, 3, 64}) {
        QList<LogEntry> taken = readLogInPieces<SVNXMLParsers::LogReading>(bytes, size);
        SVNXMLParsers::sortNewestFirst(taken);
        EXPECT_EQ(taken, newestFirst) << "pieces of " << size;
    }
}

TEST(SvnLogReader, CraftedEntries)
{
    EXPECT_TRUE(SVNXMLParsers::parseLog(QString()).isEmpty());
    const QString xml = s("<log>"
                          "<logentry revision=\"5\"><msg>five</msg></logentry>"
                          "<logentry revision=\"7\"><author> ann </author><date>2024-03-01T10:20:30.123456Z</date>"
                          "<paths><path action=\"M\" kind=\"file\">  /trunk/a.c \n</path><path>/trunk/b</path>"
                          "<path action=\"D\" kind=\"dir\">/old</path></paths>"
                          "<msg>\n  Fix\n\n</msg></logentry>"
                          "<logentry revision=\"6\"><date>2024-03-01T10:20:30Z</date></logentry>"
                          "<logentry><msg>no revision</msg></logentry>"
                          "<logentry revision=\"\"/><logentry revision=\"r12\"/><logentry revision=\" 12\"/>"
                          "<logentry revision=\"8\"><date>yesterday</date></logentry>"
                          "<logentry revision=\"9\"><msg>cut off");
    const QList<LogEntry> entries = SVNXMLParsers::parseLog(xml);
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].revision, 8);
    EXPECT_EQ(entries[0].date, std::nullopt);
    EXPECT_EQ(entries[1].revision, 7);
    EXPECT_EQ(entries[1].author, s("ann"));
    EXPECT_EQ(entries[1].message, s("  Fix"));
    EXPECT_EQ(entries[1].date, QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30, 123), QTimeZone::utc()));
    EXPECT_EQ(entries[1].paths,
        (QList<SVNPathChange>{{s("M"), s("/trunk/a.c"), s("file")}, {QString(), s("/trunk/b"), std::nullopt},
            {s("D"), s("/old"), s("dir")}}));
    EXPECT_EQ(entries[2].revision, 6);
    EXPECT_EQ(entries[2].date, QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30), QTimeZone::utc()));
    EXPECT_EQ(entries[2].author, QString());
    EXPECT_EQ(entries[2].message, QString());
    EXPECT_EQ(entries[3], (LogEntry{5, std::nullopt, QString(), std::nullopt, s("five"), {}}));
}

// Read in pieces, svn's own `path` elements are scanned rather than given to the XML reader: every
// name and every form the scan leaves to the reader reads as the reader alone reads it.
TEST(SvnLogReader, PiecewiseReadingReadsPathsAsTheXmlReader)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path());
    const QStringList names{s("a & b.txt"), s("l<t>g;.txt"), s("q\"u'o.txt"), s(" é 日本 .txt"), s("amp;gt;")};
    for (const QString &name : names)
        writeFile(wc.workingCopy + u'/' + name, "a\n");
    wc.svn(QStringList{s("add"), s("-q")} + names);
    commitAs(wc, s("Add <awkward> & \"names\""));
    wc.svn({s("copy"), s("-q"), s("a & b.txt"), s("c&amp;<d>.txt")});
    commitAs(wc, s("Copy"));
    const QString real = svnText(wc, {s("log"), s("--xml"), s("--verbose")});
    const QString declaration
        = s("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n<logentry revision=\"4\"><paths>\n");
    const QStringList crafted{s("<path kind=\"file\" action=\"A\">/a<!-- c -->b</path>"),
        s("<path action=\"A\">/x&#x41;&#65;</path>"), s("<path action='M'>/single</path>"),
        s("<path action=\"M\">/c\r\nr</path>"), s("<path action=\"M\" action=\"D\">/twice</path>"),
        s("<path action=\"M\">/c]]>d</path>"), s("<path action=\"M\"/>"), s("<path action=\"M\">/a</path >"),
        s("<path action=\"A\nB\" kind=\"f&#10;\">/line</path>"), s("<path other=\"1\">/other</path>"),
        s("<path actionkind=\"dir\">/prefix</path>"), s("<path action=\"M\">/unclosed"),
        s("<path action=\"M\">/a</paths>"), s("text<path>/t</path>"), s("<![CDATA[x]]><path>/c</path>"),
        s("<paths><path>/nested</path></paths>"), s("<path kind=\"file\"action=\"A\">/together</path>")};
    // A path element around a whole entry closes with the attributes of the last path read inside it.
    QStringList documents{real,
        declaration.left(38)
            + s("<logentry><path><logentry revision=\"3\"><paths><path kind=\"\">/in</path></paths></logentry>"
                "</path></logentry>")};
    for (const QString &path : crafted)
        documents.append(declaration + s("<path action=\"D\">/before</path>\n") + path
            + s("\n<path>/after</path></paths><msg>m</msg></logentry>\n<logentry revision=\"3\"><paths>"
                "<path>/next</path></paths></logentry></log>"));
    for (const QString &document : documents) {
        const QList<LogEntry> whole = SVNXMLParsers::parseLog(document);
        for (qsizetype size : {1, 5, 4096}) {
            QList<LogEntry> taken = readLogInPieces<SVNXMLParsers::LogReading>(document.toUtf8(), size);
            SVNXMLParsers::sortNewestFirst(taken);
            EXPECT_EQ(taken, whole) << qPrintable(document.left(300)) << " in pieces of " << size;
        }
    }
    const QList<LogEntry> entries = SVNXMLParsers::parseLog(real);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].paths, (QList<SVNPathChange>{{s("A"), s("/c&amp;<d>.txt"), s("file")}}));
    QStringList listed;
    for (const SVNPathChange &change : entries[1].paths)
        listed.append(change.path.mid(1));
    EXPECT_EQ(sortedList(listed), sortedList(names));
}

// ---- Info ----

TEST(SvnInfoReader, ReadsRealInfoOfAWorkingCopyAndAFile)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path(), s("w c"));
    wc.svn({s("mkdir"), s("-q"), s("my dir")});
    writeFile(wc.workingCopy + s("/my dir/f.txt"), "a\n");
    wc.svn({s("add"), s("-q"), s("my dir/f.txt")});
    commitAs(wc, s("one"));
    writeFile(wc.workingCopy + s("/other.txt"), "b\n");
    wc.svn({s("add"), s("-q"), s("other.txt")});
    commitAs(wc, s("two"));

    const RepositoryInfo root = SVNXMLParsers::parseInfo(svnText(wc, {s("info"), s("--xml")}));
    EXPECT_EQ(root.workingCopyRoot, QFileInfo(wc.workingCopy).absoluteFilePath());
    EXPECT_EQ(root.url, wc.repositoryUrl);
    EXPECT_EQ(root.relativeURL, s("^/"));
    EXPECT_EQ(root.repositoryRoot, wc.repositoryUrl);
    ASSERT_TRUE(root.repositoryUUID);
    EXPECT_EQ(root.repositoryUUID->size(), 36);
    EXPECT_EQ(root.revision, s("2"));
    EXPECT_EQ(root.workingRevision, s("2"));
    EXPECT_EQ(root.lastChangedRevision, s("2"));
    EXPECT_EQ(root.lastChangedAuthor, s("tester"));
    EXPECT_TRUE(root.lastChangedDate);

    const RepositoryInfo file = SVNXMLParsers::parseInfo(svnText(wc, {s("info"), s("--xml"), s("my dir/f.txt")}));
    EXPECT_EQ(file.workingRevision, s("2"));
    EXPECT_EQ(file.revision, s("1"));
    EXPECT_EQ(file.lastChangedRevision, s("1"));
    EXPECT_EQ(file.relativeURL, s("^/my%20dir/f.txt"));
    EXPECT_EQ(file.url, wc.repositoryUrl + s("/my%20dir/f.txt"));

    // A folder scheduled for addition has a sentence where its revision goes, and so no revision.
    wc.svn({s("mkdir"), s("-q"), s("new dir")});
    const RepositoryInfo added = SVNXMLParsers::parseInfo(svnText(wc, {s("info"), s("--xml"), s("new dir")}));
    EXPECT_EQ(added.url, wc.repositoryUrl + s("/new%20dir"));
    EXPECT_EQ(added.revision, std::nullopt);
    EXPECT_EQ(added.workingRevision, std::nullopt);
}

TEST(SvnInfoReader, CraftedScopesAndRevisions)
{
    EXPECT_EQ(SVNXMLParsers::parseInfo(QString()), RepositoryInfo());
    EXPECT_EQ(SVNXMLParsers::parseInfo(s("not xml")), RepositoryInfo());

    const RepositoryInfo info = SVNXMLParsers::parseInfo(
        s("<info><entry revision=\"10\"><url> u </url><relative-url></relative-url>"
          "<repository><url>ignored</url><root>r\n</root><uuid>id</uuid></repository>"
          "<root>outside</root><uuid>outside</uuid><wcroot-abspath>outside</wcroot-abspath>"
          "<wc-info><wcroot-abspath>/w\n</wcroot-abspath></wc-info>"
          "<author>outside</author><date>2024-01-01T00:00:00Z</date>"
          "<commit revision=\"8\"><author>ann</author><date>2024-03-01T10:20:30.5Z</date></commit></entry></info>"));
    EXPECT_EQ(info.url, s("u"));
    EXPECT_EQ(info.relativeURL, QString());
    EXPECT_TRUE(info.relativeURL.has_value());
    EXPECT_EQ(info.repositoryRoot, s("r"));
    EXPECT_EQ(info.repositoryUUID, s("id"));
    EXPECT_EQ(info.workingCopyRoot, s("/w"));
    EXPECT_EQ(info.revision, s("8"));
    EXPECT_EQ(info.workingRevision, s("10"));
    EXPECT_EQ(info.lastChangedRevision, s("8"));
    EXPECT_EQ(info.lastChangedAuthor, s("ann"));
    EXPECT_EQ(info.lastChangedDate, QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30, 500), QTimeZone::utc()));

    const RepositoryInfo noCommitRevision = SVNXMLParsers::parseInfo(
        s("<info><entry revision=\"10\"><commit><author>a</author></commit></entry></info>"));
    EXPECT_EQ(noCommitRevision.revision, s("10"));
    EXPECT_EQ(noCommitRevision.workingRevision, s("10"));
    EXPECT_EQ(noCommitRevision.lastChangedRevision, std::nullopt);

    // Two targets: the later entry's revisions win, fields only the first set stay; a bad date clears.
    const RepositoryInfo two = SVNXMLParsers::parseInfo(
        s("<info><entry revision=\"3\"><url>first</url><wc-info><wcroot-abspath>/w</wcroot-abspath></wc-info>"
          "<commit revision=\"2\"><date>2024-03-01T10:20:30Z</date></commit></entry>"
          "<entry revision=\"4\"><url>second</url><commit><date>soon</date></commit></entry></info>"));
    EXPECT_EQ(two.url, s("second"));
    EXPECT_EQ(two.workingCopyRoot, s("/w"));
    EXPECT_EQ(two.revision, s("4"));
    EXPECT_EQ(two.lastChangedRevision, std::nullopt);
    EXPECT_EQ(two.lastChangedDate, std::nullopt);

    const RepositoryInfo truncated = SVNXMLParsers::parseInfo(s("<info><entry revision=\"7\"><url>x</url><relat"));
    EXPECT_EQ(truncated.url, s("x"));
    EXPECT_EQ(truncated.workingRevision, s("7"));
}
