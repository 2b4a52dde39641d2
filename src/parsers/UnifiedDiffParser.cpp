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
        finishHunk();
        if (m_inFile)
            m_visitor.endFile(m_oldPath, m_newPath);
        m_inFile = false;
    }

private:
    void readLine(QStringView line)
    {
        // Every rule looks at the line's beginning, so the first character picks the few that can apply.
        const char16_t first = line.isEmpty() ? u'\0' : line.front().unicode();
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
            return;
        }
        if (!m_inFile)
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

    void openFile(QString oldPath, QString newPath)
    {
        m_inFile = true;
        m_oldPath = std::move(oldPath);
        m_newPath = std::move(newPath);
        m_visitor.beginFile();
    }

    void openHunk(QStringView line)
    {
        finishHunk();
        const HunkHeader header = parseHunkHeader(line);
        m_oldLine.reset(header.oldRange.start);
        m_newLine.reset(header.newRange.start);
        m_oldRemaining = header.oldRange.count;
        m_newRemaining = header.newRange.count;
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
        m_oldRemaining = 0;
        m_newRemaining = 0;
    }

    Visitor &m_visitor;
    bool m_inFile = false;
    bool m_inHunk = false;
    QString m_oldPath;
    QString m_newPath;
    LineCounter m_oldLine;
    LineCounter m_newLine;
    qint64 m_oldRemaining = 0;
    qint64 m_newRemaining = 0;
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
