#include "parsers/UnifiedDiffParser.h"

#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <limits>

using namespace TestSupport;

namespace {

QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

using Number = std::optional<qint64>;

// A line in a compact form for comparisons: kind letter, old number, new number, text.
struct Row {
    char kind;
    Number oldLine;
    Number newLine;
    QString text;
    bool operator==(const Row &) const = default;
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.kind << ' ' << (row.oldLine ? std::to_string(*row.oldLine) : "-") << ' '
         << (row.newLine ? std::to_string(*row.newLine) : "-") << " \"" << row.text.toStdString() << '"';
}

QList<Row> rows(const DiffHunk &hunk)
{
    QList<Row> result;
    for (const DiffLine &line : hunk.lines) {
        const char kind = line.kind == DiffLineKind::addition ? '+'
            : line.kind == DiffLineKind::deletion             ? '-'
            : line.kind == DiffLineKind::note                 ? '\\'
                                                              : ' ';
        result.append(Row{kind, line.oldLineNumber, line.newLineNumber, line.text});
    }
    return result;
}

const DiffFile *fileNamed(const ParsedDiff &diff, const QString &path)
{
    for (const DiffFile &file : diff.files) {
        if (file.newPath == path)
            return &file;
    }
    return nullptr;
}

} // namespace

// ---- Real tool output ----

TEST(UnifiedDiffReader, ReadsARealSvnDiffWithPropertiesAndAwkwardNames)
{
    Sandbox box;
    SvnFixture wc = SvnFixture::create(box.path());
    writeFile(wc.workingCopy + s("/sp ace é.txt"), "one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine\nten\n");
    writeFile(wc.workingCopy + s("/-r"), "dash\n");
    writeFile(wc.workingCopy + s("/old.txt"), "gone\n");
    wc.commitAll();
    writeFile(wc.workingCopy + s("/sp ace é.txt"), "one\nTWO\nthree\nfour\nfive\nsix\nseven\neight\nnine\nten\nmore");
    writeFile(wc.workingCopy + s("/-r"), "dash\n-- sql comment\n");
    wc.svn({s("propset"), s("-q"), s("colour"), s("blue"), s("./-r")});
    wc.svn({s("delete"), s("-q"), s("old.txt")});
    wc.svn({s("propset"), s("-q"), s("svn:ignore"), s("x\ny\n"), s(".")});

    const ParsedDiff diff = UnifiedDiffParser::parse(QString::fromUtf8(wc.svn({s("diff")})));
    ASSERT_EQ(diff.files.size(), 4);
    for (qsizetype i = 0; i < diff.files.size(); ++i)
        EXPECT_EQ(diff.files[i].id, i);

    const DiffFile *dash = fileNamed(diff, s("-r"));
    ASSERT_TRUE(dash);
    EXPECT_EQ(dash->oldPath, s("-r"));
    // The property svn prints after the hunks is a hunk of the file under the property's name.
    ASSERT_EQ(dash->hunks.size(), 2);
    EXPECT_EQ(rows(dash->hunks[0]), (QList<Row>{{' ', 1, 1, s("dash")}, {'+', std::nullopt, 2, s("-- sql comment")}}));
    EXPECT_EQ(dash->hunks[1].header, s("Added: colour"));
    EXPECT_EQ(rows(dash->hunks[1]),
        (QList<Row>{{'+', std::nullopt, 1, s("blue")},
            {'\\', std::nullopt, std::nullopt, s("\\ No newline at end of property")}}));
    EXPECT_EQ(dash->additions(), 2);

    // The working copy's own folder changed only its properties.
    const DiffFile *root = fileNamed(diff, s("."));
    ASSERT_TRUE(root);
    ASSERT_EQ(root->hunks.size(), 1);
    EXPECT_EQ(root->hunks[0].header, s("Added: svn:ignore"));
    EXPECT_EQ(rows(root->hunks[0]), (QList<Row>{{'+', std::nullopt, 1, s("x")}, {'+', std::nullopt, 2, s("y")}}));

    const DiffFile *spaced = fileNamed(diff, s("sp ace é.txt"));
    ASSERT_TRUE(spaced);
    ASSERT_EQ(spaced->hunks.size(), 2);
    EXPECT_EQ(rows(spaced->hunks[0]),
        (QList<Row>{{' ', 1, 1, s("one")}, {'-', 2, std::nullopt, s("two")}, {'+', std::nullopt, 2, s("TWO")},
            {' ', 3, 3, s("three")}, {' ', 4, 4, s("four")}, {' ', 5, 5, s("five")}}));
    EXPECT_EQ(rows(spaced->hunks[1]),
        (QList<Row>{{' ', 8, 8, s("eight")}, {' ', 9, 9, s("nine")}, {' ', 10, 10, s("ten")},
            {'+', std::nullopt, 11, s("more")},
            {'\\', std::nullopt, std::nullopt, s("\\ No newline at end of file")}}));
    EXPECT_EQ(spaced->hunks[1].lines.last().prefix, QString());

    const DiffFile *old = fileNamed(diff, s("old.txt"));
    ASSERT_TRUE(old);
    ASSERT_EQ(old->hunks.size(), 1);
    EXPECT_EQ(rows(old->hunks[0]), (QList<Row>{{'-', 1, std::nullopt, s("gone")}}));
}

TEST(UnifiedDiffReader, KeepsSqlAndCounterLinesThatLookLikeFileHeaders)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    writeFile(repo.path + s("/schema.sql"), "-- old heading\nselect 1;\n++ counter\n-- keep\nend;\n");
    writeFile(repo.path + s("/second.txt"), "a\n");
    repo.commitAll();
    writeFile(repo.path + s("/schema.sql"), "++ new counter\nselect 1;\n-- keep\n--- dashes\nend;\n");
    writeFile(repo.path + s("/second.txt"), "b\n");

    const QString text = QString::fromUtf8(repo.git({s("diff")}));
    ASSERT_TRUE(text.contains(s("\n--- old heading\n")));
    ASSERT_TRUE(text.contains(s("\n+++ new counter\n")));
    const ParsedDiff diff = UnifiedDiffParser::parse(text);
    ASSERT_EQ(diff.files.size(), 2);
    const DiffFile &schema = diff.files[0];
    EXPECT_EQ(schema.oldPath, s("schema.sql"));
    EXPECT_EQ(schema.newPath, s("schema.sql"));
    ASSERT_EQ(schema.hunks.size(), 1);
    EXPECT_EQ(rows(schema.hunks[0]),
        (QList<Row>{{'-', 1, std::nullopt, s("-- old heading")}, {'+', std::nullopt, 1, s("++ new counter")},
            {' ', 2, 2, s("select 1;")}, {'-', 3, std::nullopt, s("++ counter")}, {' ', 4, 3, s("-- keep")},
            {'+', std::nullopt, 4, s("--- dashes")}, {' ', 5, 5, s("end;")}}));
    EXPECT_EQ(diff.files[1].oldPath, s("second.txt"));
    EXPECT_EQ(
        rows(diff.files[1].hunks[0]), (QList<Row>{{'-', 1, std::nullopt, s("a")}, {'+', std::nullopt, 1, s("b")}}));
}

TEST(UnifiedDiffReader, ReadsRealGitShowWithNewRenamedBinaryAndQuotedFiles)
{
    Sandbox box;
    GitFixture repo = GitFixture::create(box.path());
    writeFile(repo.path + s("/moved.txt"), "same content that stays the same\nline two\n");
    writeFile(repo.path + s("/img.png"), QByteArray("\x89PNG\0\0\0", 7));
    repo.commitAll();
    repo.git({s("mv"), s("moved.txt"), s("renamed.txt")});
    writeFile(repo.path + s("/img.png"), QByteArray("\x89PNG\0\1\0", 7));
    writeFile(repo.path + s("/x"), "new\n");
    writeFile(repo.path + s("/é.txt"), "accent\n");
    repo.commitAll(s("second"));

    const ParsedDiff diff = UnifiedDiffParser::parse(QString::fromUtf8(repo.git({s("show"), s("HEAD")})));
    ASSERT_EQ(diff.files.size(), 4);
    const DiffFile &image = diff.files[0];
    EXPECT_EQ(image.oldPath, s("img.png"));
    EXPECT_EQ(image.newPath, s("img.png"));
    EXPECT_TRUE(image.hunks.isEmpty());
    const DiffFile &renamed = diff.files[1];
    EXPECT_EQ(renamed.oldPath, s("moved.txt"));
    EXPECT_EQ(renamed.newPath, s("renamed.txt"));
    EXPECT_TRUE(renamed.hunks.isEmpty());
    const DiffFile &added = diff.files[2];
    EXPECT_EQ(added.oldPath, s("/dev/null"));
    EXPECT_EQ(added.newPath, s("x"));
    ASSERT_EQ(added.hunks.size(), 1);
    EXPECT_EQ(added.hunks[0].header, s("@@ -0,0 +1 @@"));
    EXPECT_EQ(rows(added.hunks[0]), (QList<Row>{{'+', std::nullopt, 1, s("new")}}));
    EXPECT_EQ(diff.files[3].hunks.size(), 1);
    EXPECT_EQ(diff.files[3].hunks[0].id, 1);
}

// ---- Crafted input ----

TEST(UnifiedDiffReader, TextWithoutFileHeadersGivesNoFiles)
{
    EXPECT_TRUE(UnifiedDiffParser::parse(QString()).files.isEmpty());
    EXPECT_TRUE(UnifiedDiffParser::parse(s("(no text diff)")).files.isEmpty());
    EXPECT_TRUE(UnifiedDiffParser::parse(s("--- a\n+++ b\n@@ -1 +1 @@\n-x\n+y\n")).files.isEmpty());
}

TEST(UnifiedDiffReader, FileHeadersAndPaths)
{
    const ParsedDiff binary
        = UnifiedDiffParser::parse(s("diff --git a/img.png b/img.png\nBinary files a/img.png and b/img.png differ\n"));
    EXPECT_EQ(binary.files, (QList<DiffFile>{{0, s("img.png"), s("img.png"), {}}}));

    const ParsedDiff odd
        = UnifiedDiffParser::parse(s("diff --git nospace\nIndex: a/readme\n"
                                     "===================================================================\n"
                                     "--- a/readme\t(revision 3)\n+++ a/readme \t(working copy)\n"));
    ASSERT_EQ(odd.files.size(), 2);
    EXPECT_EQ(odd.files[0].oldPath, s("Diff"));
    EXPECT_EQ(odd.files[0].newPath, s("Diff"));
    EXPECT_EQ(odd.files[1].oldPath, s("readme"));
    EXPECT_EQ(odd.files[1].newPath, s("readme"));

    const ParsedDiff svn
        = UnifiedDiffParser::parse(s("Index: dir/f.c\n"
                                     "===================================================================\n"
                                     "--- dir/f.c\t(revision 12)\n+++ dir/f.c\t(working copy)\n"
                                     "@@ -3,2 +3,3 @@\n a\n+b\n c\n"));
    ASSERT_EQ(svn.files.size(), 1);
    EXPECT_EQ(svn.files[0].oldPath, s("dir/f.c"));
    ASSERT_EQ(svn.files[0].hunks.size(), 1);
    const QList<DiffLine> &lines = svn.files[0].hunks[0].lines;
    EXPECT_EQ(rows(svn.files[0].hunks[0]),
        (QList<Row>{{' ', 3, 3, s("a")}, {'+', std::nullopt, 4, s("b")}, {' ', 4, 5, s("c")}}));
    EXPECT_EQ((QList<qint64>{lines[0].id, lines[1].id, lines[2].id}), (QList<qint64>{0, 1, 2}));
    EXPECT_EQ(lines[1].prefix, s("+"));
    EXPECT_EQ(lines[0].prefix, s(" "));
}

TEST(UnifiedDiffReader, PropertyChangesAreHunksOfTheirFile)
{
    const QString rule(67, u'_');
    const ParsedDiff diff = UnifiedDiffParser::parse(s("Index: .\n") + QString(67, u'=')
        + s("\n--- .\t(revision 5)\n+++ .\t(working copy)\n\nProperty changes on: .\n") + rule
        + s("\nModified: svn:mergeinfo\n## -0,1 +0,1 ##\n   Reverse-merged /branches/feat:r4\n"
            "   Merged /branches/feat:r5-6\nModified: svn:ignore\n## -2,2 +2,2 ##\n a\n-b\n+B\n## -30 +30 ##\n"
            "-z\n+Z\nDeleted: p\n## -1 +0,0 ##\n--- v\n\\ No newline at end of property\n"
            "Property changes on: old\n")
        + rule + s("\nName: q\n   + w\n"));
    ASSERT_EQ(diff.files.size(), 2);
    const DiffFile &root = diff.files[0];
    EXPECT_EQ(root.newPath, s("."));
    QStringList headers;
    for (const DiffHunk &hunk : root.hunks)
        headers << hunk.header;
    EXPECT_EQ(headers,
        (QStringList{s("Modified: svn:mergeinfo"), s("Modified: svn:ignore"), s("## -30 +30 ##"), s("Deleted: p")}));
    ASSERT_EQ(root.hunks.size(), 4);
    EXPECT_EQ(rows(root.hunks[0]),
        (QList<Row>{{'\\', std::nullopt, std::nullopt, s("Reverse-merged /branches/feat:r4")},
            {'\\', std::nullopt, std::nullopt, s("Merged /branches/feat:r5-6")}}));
    EXPECT_EQ(rows(root.hunks[1]),
        (QList<Row>{{' ', 2, 2, s("a")}, {'-', 3, std::nullopt, s("b")}, {'+', std::nullopt, 3, s("B")}}));
    EXPECT_EQ(rows(root.hunks[2]), (QList<Row>{{'-', 30, std::nullopt, s("z")}, {'+', std::nullopt, 30, s("Z")}}));
    EXPECT_EQ(rows(root.hunks[3]),
        (QList<Row>{{'-', 1, std::nullopt, s("-- v")},
            {'\\', std::nullopt, std::nullopt, s("\\ No newline at end of property")}}));
    // Properties written without a file section of their own, as svn before 1.7 did, open one.
    EXPECT_EQ(diff.files[1].newPath, s("old"));
    ASSERT_EQ(diff.files[1].hunks.size(), 1);
    EXPECT_EQ(diff.files[1].hunks[0].header, s("Name: q"));
    EXPECT_EQ(rows(diff.files[1].hunks[0]), (QList<Row>{{' ', 0, 0, s("  + w")}}));
}

TEST(UnifiedDiffReader, IdsRunAcrossFilesAndHunks)
{
    const QString section = s("diff --git a/f b/f\n--- a/f\n+++ b/f\n@@ -1 +1 @@\n-x\n+y\n@@ -9 +9 @@\n-x\n+y\n");
    const ParsedDiff diff = UnifiedDiffParser::parse(section + section);
    ASSERT_EQ(diff.files.size(), 2);
    QList<qint64> fileIds, hunkIds, lineIds;
    for (const DiffFile &file : diff.files) {
        fileIds.append(file.id);
        for (const DiffHunk &hunk : file.hunks) {
            hunkIds.append(hunk.id);
            for (const DiffLine &line : hunk.lines)
                lineIds.append(line.id);
        }
    }
    EXPECT_EQ(fileIds, (QList<qint64>{0, 1}));
    EXPECT_EQ(hunkIds, (QList<qint64>{0, 1, 2, 3}));
    EXPECT_EQ(lineIds, (QList<qint64>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(UnifiedDiffParser::parse(section + section), diff);
}

TEST(UnifiedDiffReader, HunkHeadersAndOddLines)
{
    auto starts = [](const char *header) {
        const ParsedDiff diff = UnifiedDiffParser::parse(s("Index: f\n") + s(header) + s("\n x\n"));
        const DiffLine &line = diff.files[0].hunks[0].lines[0];
        return std::pair(line.oldLineNumber.value_or(-1), line.newLineNumber.value_or(-1));
    };
    using Starts = std::pair<qint64, qint64>;
    EXPECT_EQ(starts("@@ -0,0 +1 @@"), Starts(0, 1));
    EXPECT_EQ(starts("@@ -5 +7 @@"), Starts(5, 7));
    EXPECT_EQ(starts("@@   -5,2   +7,3   @@ int main()"), Starts(5, 7));
    EXPECT_EQ(starts("@@ broken"), Starts(0, 0));
    EXPECT_EQ(starts("@@ -x,1 +,4 @@"), Starts(0, 4));

    const ParsedDiff diff = UnifiedDiffParser::parse(s("Index: f\nbefore hunk\n@@ -1,4 +1,4 @@\n"
                                                       " a\n\nplain\n\\ No newline at end of file\n-b\n+c\n\n"));
    ASSERT_EQ(diff.files[0].hunks.size(), 1);
    const DiffHunk &hunk = diff.files[0].hunks[0];
    EXPECT_EQ(rows(hunk),
        (QList<Row>{{' ', 1, 1, s("a")}, {' ', 2, 2, QString()}, {' ', 3, 3, s("plain")},
            {'\\', std::nullopt, std::nullopt, s("\\ No newline at end of file")}, {'-', 4, std::nullopt, s("b")},
            {'+', std::nullopt, 4, s("c")}, {' ', 5, 5, QString()}}));
    EXPECT_EQ(hunk.lines[2].prefix, s(" "));
    EXPECT_EQ(hunk.lines[4].id, hunk.lines[3].id + 1);
    // One final line feed adds no empty line.
    EXPECT_EQ(UnifiedDiffParser::parse(s("Index: f\n@@ -1 +1 @@\n x\n")).files[0].hunks[0].lines.size(), 1);
}

TEST(UnifiedDiffReader, HeaderLikeLinesFollowTheHunkCounts)
{
    // Inside the counts they are lines; once the counts are used up the header rule stands again.
    const ParsedDiff diff = UnifiedDiffParser::parse(
        s("diff --git a/q.sql b/q.sql\n--- a/q.sql\n+++ b/q.sql\n@@ -1,2 +1 @@\n--- comment\n+++ plus\n-x\n"
          "--- a/late\n+++ b/late\n@@ -7 +7,2 @@\n+++ one\n+++ two\n"));
    ASSERT_EQ(diff.files.size(), 1);
    const DiffFile &file = diff.files[0];
    EXPECT_EQ(file.oldPath, s("late"));
    EXPECT_EQ(file.newPath, s("late"));
    ASSERT_EQ(file.hunks.size(), 2);
    EXPECT_EQ(rows(file.hunks[0]),
        (QList<Row>{{'-', 1, std::nullopt, s("-- comment")}, {'+', std::nullopt, 1, s("++ plus")},
            {'-', 2, std::nullopt, s("x")}}));
    EXPECT_EQ(
        rows(file.hunks[1]), (QList<Row>{{'+', std::nullopt, 7, s("++ one")}, {'+', std::nullopt, 8, s("++ two")}}));
}

TEST(UnifiedDiffReader, LineNumbersStopAtTheLargestValue)
{
    const qint64 max = std::numeric_limits<qint64>::max();
    const ParsedDiff diff = UnifiedDiffParser::parse(
        s("Index: f\n@@ -9223372036854775806,3 +9223372036854775807,3 @@\n a\n b\n c\n@@ -99999999999999999999 +1 @@\n"
          " d\n"));
    ASSERT_EQ(diff.files[0].hunks.size(), 2);
    EXPECT_EQ(rows(diff.files[0].hunks[0]),
        (QList<Row>{
            {' ', max - 1, max, s("a")}, {' ', max, std::nullopt, s("b")}, {' ', std::nullopt, std::nullopt, s("c")}}));
    EXPECT_EQ(rows(diff.files[0].hunks[1]), (QList<Row>{{' ', 0, 1, s("d")}}));

    // Counts at the limit neither overflow nor reserve room for lines that are not there.
    const ParsedDiff huge
        = UnifiedDiffParser::parse(s("Index: f\n@@ -1,9223372036854775807 +1,9223372036854775807 @@\n--- a\n+++ b\n"));
    EXPECT_EQ(rows(huge.files[0].hunks[0]),
        (QList<Row>{{'-', 1, std::nullopt, s("-- a")}, {'+', std::nullopt, 1, s("++ b")}}));
}

TEST(UnifiedDiffReader, CarriageReturnsStayInLinesButNotInPaths)
{
    const ParsedDiff diff = UnifiedDiffParser::parse(s(
        "Index: f.txt\r\n===\r\n--- f.txt\t(revision 1)\r\n+++ f.txt\t(working copy)\r\n@@ -1 +1 @@\r\n-a\r\n+b\r\n"));
    ASSERT_EQ(diff.files.size(), 1);
    EXPECT_EQ(diff.files[0].oldPath, s("f.txt"));
    EXPECT_EQ(diff.files[0].newPath, s("f.txt"));
    ASSERT_EQ(diff.files[0].hunks.size(), 1);
    EXPECT_EQ(
        rows(diff.files[0].hunks[0]), (QList<Row>{{'-', 1, std::nullopt, s("a\r")}, {'+', std::nullopt, 1, s("b\r")}}));
}

TEST(UnifiedDiffReader, UnversionedFileDiff)
{
    const QString text = UnifiedDiffParser::unversionedFileDiff(s("notes.txt"), s("a\nb\n"));
    EXPECT_EQ(text,
        s("Index: notes.txt\n") + QString(67, u'=')
            + s("\n--- notes.txt\t(nonexistent)\n"
                "+++ notes.txt\t(working copy)\n"
                "@@ -0,0 +1,2 @@\n+a\n+b"));
    const ParsedDiff diff = UnifiedDiffParser::parse(text);
    ASSERT_EQ(diff.files.size(), 1);
    EXPECT_EQ(diff.files[0].newPath, s("notes.txt"));
    ASSERT_EQ(diff.files[0].hunks.size(), 1);
    EXPECT_EQ(
        rows(diff.files[0].hunks[0]), (QList<Row>{{'+', std::nullopt, 1, s("a")}, {'+', std::nullopt, 2, s("b")}}));

    for (const char *empty : {"", "\n"})
        EXPECT_TRUE(UnifiedDiffParser::unversionedFileDiff(s("e"), s(empty)).endsWith(s("@@ -0,0 +1,0 @@")));
    EXPECT_TRUE(UnifiedDiffParser::unversionedFileDiff(s("e"), s("\n\n")).endsWith(s("@@ -0,0 +1,2 @@\n+\n+")));
    // A file whose own lines look like headers reads back whole.
    const ParsedDiff sql
        = UnifiedDiffParser::parse(UnifiedDiffParser::unversionedFileDiff(s("q.sql"), s("++ x\n-- y\n")));
    EXPECT_EQ(rows(sql.files[0].hunks[0]),
        (QList<Row>{{'+', std::nullopt, 1, s("++ x")}, {'+', std::nullopt, 2, s("-- y")}}));
    EXPECT_EQ(sql.files[0].newPath, s("q.sql"));
}

TEST(UnifiedDiffReader, MissingCountMeansOneLineWithOrWithoutItsComma)
{
    // Each side holds one line, so "--- x" and "+++ y" are that hunk's lines, not a file header.
    for (const QString &header : {s("@@ -1, +1, @@"), s("@@ -1 +1 @@"), s("@@ -1, +1 @@")}) {
        const ParsedDiff diff
            = UnifiedDiffParser::parse(s("diff --git a/a b/a\n--- a/a\n+++ b/a\n") + header + s("\n--- x\n+++ y\n"));
        ASSERT_EQ(diff.files.size(), 1) << header.toStdString();
        EXPECT_EQ(diff.files[0].oldPath, s("a")) << header.toStdString();
        EXPECT_EQ(diff.files[0].newPath, s("a"));
        ASSERT_EQ(diff.files[0].hunks.size(), 1);
        EXPECT_EQ(rows(diff.files[0].hunks[0]),
            (QList<Row>{{'-', 1, std::nullopt, s("-- x")}, {'+', std::nullopt, 1, s("++ y")}}))
            << header.toStdString();
    }
}
