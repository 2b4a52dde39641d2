#include "UnifiedDiffParser.h"

#include "model/TextUtil.h"

#include <limits>
#include <optional>

namespace UnifiedDiffParser {

namespace {

// The lines of the text as views into it: cut at line feeds, and a final line feed adds no empty
// last line ("" is one empty line).
template <typename Fn> void forEachLine(QStringView text, Fn fn)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) {
            if (start < text.size() || start == 0)
                fn(text.mid(start));
            return;
        }
        fn(text.mid(start, end - start));
        start = end + 1;
    }
}

template <qsizetype N> bool begins(QStringView line, const char16_t (&prefix)[N])
{
    if (line.size() < N - 1)
        return false;
    for (qsizetype i = 0; i < N - 1; ++i) {
        if (line[i] != prefix[i])
            return false;
    }
    return true;
}

QStringView stripGitPrefix(QStringView path)
{
    if (begins(path, u"a/") || begins(path, u"b/"))
        return path.mid(2);
    return path;
}

struct PathPair {
    QString oldPath;
    QString newPath;
};

PathPair gitDiffPaths(QStringView line)
{
    const QStringView rest = line.mid(11);
    const qsizetype blank = rest.indexOf(u' ');
    if (blank < 0)
        return {QStringLiteral("Diff"), QStringLiteral("Diff")};
    return {stripGitPrefix(rest.left(blank)).toString(), stripGitPrefix(rest.mid(blank + 1)).toString()};
}

QString headerPath(QStringView line)
{
    QStringView rest = line.mid(4);
    const qsizetype tab = rest.indexOf(u'\t');
    if (tab >= 0)
        rest = rest.left(tab);
    return stripGitPrefix(rest.trimmed()).toString();
}

struct HunkRange {
    qint64 start = 0;
    // How many lines of this side the hunk holds; a range without a count holds one.
    qint64 count = 0;
};

HunkRange parseHunkPosition(QStringView piece)
{
    const QStringView position = piece.mid(1);
    HunkRange range;
    QStringView start = u"0";
    bool haveStart = false;
    bool haveCount = false;
    for (QStringView part : position.tokenize(u',', Qt::SkipEmptyParts)) {
        if (!haveStart) {
            start = part;
            haveStart = true;
        } else if (!haveCount) {
            haveCount = true;
            range.count = std::max<qint64>(TextUtil::parseInt64(part).value_or(0), 0);
        }
    }
    range.start = TextUtil::parseInt64(start).value_or(0);
    if (!haveCount)
        range.count = 1;
    return range;
}

struct HunkHeader {
    HunkRange oldRange;
    HunkRange newRange;
};

HunkHeader parseHunkHeader(QStringView line)
{
    HunkHeader header;
    int index = 0;
    for (QStringView piece : line.tokenize(u' ', Qt::SkipEmptyParts)) {
        if (index == 1)
            header.oldRange = parseHunkPosition(piece);
        else if (index == 2)
            header.newRange = parseHunkPosition(piece);
        if (++index > 2)
            break;
    }
    if (index < 3)
        return {};
    return header;
}

// A line number that stops counting at the largest value instead of overflowing: past it the lines
// carry no number.
class LineCounter {
public:
    void reset(qint64 start) { m_next = start; }
    std::optional<qint64> take()
    {
        const std::optional<qint64> current = m_next;
        if (m_next)
            m_next = *m_next < std::numeric_limits<qint64>::max() ? std::optional(*m_next + 1) : std::nullopt;
        return current;
    }

private:
    std::optional<qint64> m_next = 0;
};

} // namespace

class Parser {
public:
    explicit Parser(Visitor &visitor) : m_visitor(visitor) { }

    void read(QStringView text)
    {
        forEachLine(text, [this, text](QStringView line) {
            readLine(line, text.size() - (line.data() + line.size() - text.data()));
        });
        finishFile();
    }

    void readLine(QStringView line, qsizetype textLeft)
    {
        m_textLeft = textLeft;
        readLine(line);
    }

    void finishFile()
    {
        if (m_blankHeld)
            appendLine(DiffLineKind::context, m_heldBlank);
        m_blankHeld = false;
        finishHunk();
        if (m_inFile)
            m_visitor.endFile(m_oldPath, m_newPath);
        m_inFile = false;
        m_inProperties = false;
        m_indexPath.clear();
    }

private:
    void readLine(QStringView line)
    {
        // Every rule looks at the line's beginning, so the first character picks the few that can apply.
        const char16_t first = line.isEmpty() ? u'\0' : line.front().unicode();
        const bool propertiesFollow = first == u'P' && begins(line, u"Property changes on: ");
        if (m_blankHeld) {
            // svn writes a blank line between a file's hunks and its property changes, which belongs
            // to neither; anywhere else it is the hunk's empty line. The line stands in the text before
            // this one: an empty view at this line's start keeps the place.
            m_blankHeld = false;
            if (!propertiesFollow)
                appendLine(DiffLineKind::context, line.first(0));
        }
        if (first == u'd' && begins(line, u"diff --git ")) {
            finishFile();
            PathPair paths = gitDiffPaths(line);
            openFile(std::move(paths.oldPath), std::move(paths.newPath));
            return;
        }
        if (first == u'I' && begins(line, u"Index: ")) {
            finishFile();
            const QString path = line.mid(7).toString();
            openFile(path, path);
            m_indexPath = path;
            return;
        }
        if (propertiesFollow) {
            // svn's properties of the file: each property a hunk under its own name, read in the
            // file's section. svn before 1.7 wrote a folder's without an "Index: " line: another path
            // than the section's opens a section of its own.
            const QStringView path = line.mid(21);
            if (!m_inFile || (!m_indexPath.isEmpty() && path != m_indexPath)) {
                finishFile();
                openFile(path.toString(), path.toString());
                m_indexPath = path.toString();
            }
            finishHunk();
            m_inProperties = true;
            return;
        }
        if (!m_inFile)
            return;
        if (m_inProperties && readPropertyLine(line, first))
            return;
        switch (first) {
        case u'-':
            if (begins(line, u"--- ")) {
                // A removed line reading "-- x" looks like a file header; the hunk's count tells them apart.
                if (m_inHunk && m_oldRemaining > 0)
                    appendLine(DiffLineKind::deletion, line);
                else
                    m_oldPath = headerPath(line);
                return;
            }
            break;
        case u'+':
            if (begins(line, u"+++ ")) {
                if (m_inHunk && m_newRemaining > 0)
                    appendLine(DiffLineKind::addition, line);
                else
                    m_newPath = headerPath(line);
                return;
            }
            break;
        case u'=':
            if (begins(line, u"======="))
                return;
            break;
        case u'i':
            if (begins(line, u"index "))
                return;
            break;
        case u'n':
            if (begins(line, u"new file mode "))
                return;
            break;
        case u'd':
            if (begins(line, u"deleted file mode "))
                return;
            break;
        case u's':
            if (begins(line, u"similarity index "))
                return;
            break;
        case u'r':
            if (begins(line, u"rename from ") || begins(line, u"rename to "))
                return;
            break;
        case u'@':
            if (begins(line, u"@@ ")) {
                openHunk(line);
                return;
            }
            break;
        default:
            break;
        }
        if (!m_inHunk)
            return;
        if (line.isEmpty() && !m_inProperties && m_oldRemaining == 0 && m_newRemaining == 0) {
            m_blankHeld = true;
            m_heldBlank = line;
            return;
        }
        switch (first) {
        case u'\\':
            m_visitor.line(DiffLineKind::note, std::nullopt, std::nullopt, QStringView(), line);
            break;
        case u'+':
            appendLine(DiffLineKind::addition, line);
            break;
        case u'-':
            appendLine(DiffLineKind::deletion, line);
            break;
        default:
            appendLine(DiffLineKind::context, line);
            break;
        }
    }

    // The lines of a property section that are no lines of a property's value. Those are read as
    // any hunk's lines.
    bool readPropertyLine(QStringView line, char16_t first)
    {
        switch (first) {
        case u'_':
            return begins(line, u"___");
        case u'A':
        case u'M':
        case u'D':
        case u'N':
            // "Name: " is how svn before 1.7 named a property.
            if (begins(line, u"Added: ") || begins(line, u"Modified: ") || begins(line, u"Deleted: ")
                || begins(line, u"Name: ")) {
                finishHunk();
                m_oldLine.reset(0);
                m_newLine.reset(0);
                m_inHunk = true;
                m_rangePending = true;
                m_visitor.hunk(line, 0);
                return true;
            }
            return false;
        case u'-':
        case u'+':
            // A property's value never names the file again.
            if (m_inHunk && (begins(line, u"--- ") || begins(line, u"+++ "))) {
                appendLine(first == u'-' ? DiffLineKind::deletion : DiffLineKind::addition, line);
                return true;
            }
            return false;
        case u'#':
            if (!begins(line, u"## "))
                return false;
            // The first range of a property numbers the lines under its name; a further one is a hunk.
            if (m_inHunk && m_rangePending) {
                takeRanges(parseHunkHeader(line));
                m_rangePending = false;
            } else {
                openHunk(line);
            }
            return true;
        case u' ':
            // svn tells what an svn:mergeinfo change merged in words of its own rather than as lines.
            if (m_inHunk && (begins(line, u"   Merged ") || begins(line, u"   Reverse-merged "))) {
                m_visitor.line(DiffLineKind::note, std::nullopt, std::nullopt, QStringView(), line.mid(3));
                return true;
            }
            return false;
        default:
            return false;
        }
    }

    void openFile(QString oldPath, QString newPath)
    {
        m_inFile = true;
        m_oldPath = std::move(oldPath);
        m_newPath = std::move(newPath);
        m_visitor.beginFile();
    }

    // The lines that follow are numbered and counted from the header's ranges.
    void takeRanges(const HunkHeader &header)
    {
        m_oldLine.reset(header.oldRange.start);
        m_newLine.reset(header.newRange.start);
        m_oldRemaining = header.oldRange.count;
        m_newRemaining = header.newRange.count;
    }

    void openHunk(QStringView line)
    {
        finishHunk();
        takeRanges(parseHunkHeader(line));
        m_inHunk = true;
        // The counts say how many lines follow; the rest of the text bounds a header that lies.
        const qint64 expected
            = std::min(m_oldRemaining, qint64(m_textLeft)) + std::min(m_newRemaining, qint64(m_textLeft));
        m_visitor.hunk(line, std::min(expected, qint64(m_textLeft)));
    }

    void appendLine(DiffLineKind kind, QStringView line)
    {
        static constexpr QStringView blank = u" ";
        switch (kind) {
        case DiffLineKind::addition:
            m_visitor.line(kind, std::nullopt, m_newLine.take(), line.first(1), line.mid(1));
            if (m_newRemaining > 0)
                --m_newRemaining;
            break;
        case DiffLineKind::deletion:
            m_visitor.line(kind, m_oldLine.take(), std::nullopt, line.first(1), line.mid(1));
            if (m_oldRemaining > 0)
                --m_oldRemaining;
            break;
        default: {
            const std::optional<qint64> oldNumber = m_oldLine.take();
            const std::optional<qint64> newNumber = m_newLine.take();
            if (line.startsWith(u' '))
                m_visitor.line(kind, oldNumber, newNumber, line.first(1), line.mid(1));
            else
                m_visitor.line(kind, oldNumber, newNumber, blank, line);
            if (m_oldRemaining > 0)
                --m_oldRemaining;
            if (m_newRemaining > 0)
                --m_newRemaining;
            break;
        }
        }
    }

    void finishHunk()
    {
        m_inHunk = false;
        m_rangePending = false;
        m_oldRemaining = 0;
        m_newRemaining = 0;
    }

    Visitor &m_visitor;
    bool m_inFile = false;
    bool m_inHunk = false;
    QString m_oldPath;
    QString m_newPath;
    // The path of an svn section's "Index: " line; empty for a git section.
    QString m_indexPath;
    LineCounter m_oldLine;
    LineCounter m_newLine;
    qint64 m_oldRemaining = 0;
    qint64 m_newRemaining = 0;
    // In a file's property changes, and a property named whose range has not come yet.
    bool m_inProperties = false;
    bool m_rangePending = false;
    // An empty line after a hunk's counted lines, held until the next line tells what it is.
    bool m_blankHeld = false;
    QStringView m_heldBlank;
    // Characters of the text after the current line.
    qsizetype m_textLeft = 0;
};

LineReader::LineReader(Visitor &visitor) : m_parser(std::make_unique<Parser>(visitor))
{ }

LineReader::~LineReader() = default;

void LineReader::readLine(QStringView line, qsizetype textLeft)
{
    m_parser->readLine(line, textLeft);
}

void LineReader::finish()
{
    m_parser->finishFile();
}

namespace {

// Files, hunks and lines as records of their own.
class RecordBuilder : public Visitor {
public:
    void beginFile() override { m_file = DiffFile{m_nextFileId++, QString(), QString(), {}}; }
    void hunk(QStringView header, qint64 expectedLines) override
    {
        m_file.hunks.append(DiffHunk{m_nextHunkId++, header.toString(), {}});
        m_file.hunks.last().lines.reserve(expectedLines);
    }
    void line(DiffLineKind kind, std::optional<qint64> oldLineNumber, std::optional<qint64> newLineNumber, QStringView,
        QStringView text) override
    {
        static const QString plus = QStringLiteral("+");
        static const QString minus = QStringLiteral("-");
        static const QString blank = QStringLiteral(" ");
        QString sharedPrefix;
        if (kind == DiffLineKind::addition)
            sharedPrefix = plus;
        else if (kind == DiffLineKind::deletion)
            sharedPrefix = minus;
        else if (kind != DiffLineKind::note)
            sharedPrefix = blank;
        m_file.hunks.last().lines.append(
            DiffLine{m_nextLineId++, oldLineNumber, newLineNumber, kind, sharedPrefix, text.toString()});
    }
    void endFile(const QString &oldPath, const QString &newPath) override
    {
        m_file.oldPath = oldPath;
        m_file.newPath = newPath;
        m_files.append(std::move(m_file));
        m_file = DiffFile();
    }

    ParsedDiff take() { return ParsedDiff{std::move(m_files)}; }

private:
    QList<DiffFile> m_files;
    DiffFile m_file;
    qint64 m_nextFileId = 0;
    qint64 m_nextHunkId = 0;
    qint64 m_nextLineId = 0;
};

} // namespace

ParsedDiff parse(const QString &text)
{
    RecordBuilder builder;
    Parser(builder).read(text);
    return builder.take();
}

void read(QStringView text, Visitor &visitor)
{
    Parser(visitor).read(text);
}

QString unversionedFileDiff(const QString &path, const QString &text)
{
    QStringList lines = TextUtil::splitLines(text);
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    QString result;
    result.reserve(text.size() + lines.size() + 4 * path.size() + 160);
    result += QStringLiteral("Index: ") + path + u'\n';
    result += QString(67, u'=') + u'\n';
    result += QStringLiteral("--- ") + path + QStringLiteral("\t(nonexistent)\n");
    result += QStringLiteral("+++ ") + path + QStringLiteral("\t(working copy)\n");
    result += QStringLiteral("@@ -0,0 +1,") + QString::number(lines.size()) + QStringLiteral(" @@");
    for (const QString &line : std::as_const(lines)) {
        result += QStringLiteral("\n+");
        result += line;
    }
    return result;
}

} // namespace UnifiedDiffParser
