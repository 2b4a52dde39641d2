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

QStringView stripGitPrefix(QStringView path)
{
    if (path.startsWith(u"a/") || path.startsWith(u"b/"))
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
    if (!position.contains(u','))
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

class Parser {
public:
    ParsedDiff parse(QStringView text)
    {
        forEachLine(text, [this](QStringView line) { readLine(line); });
        finishFile();
        return ParsedDiff{std::move(m_files)};
    }

private:
    void readLine(QStringView line)
    {
        if (line.startsWith(u"diff --git ")) {
            finishFile();
            PathPair paths = gitDiffPaths(line);
            m_file = DiffFile{m_nextFileId++, std::move(paths.oldPath), std::move(paths.newPath), {}};
            return;
        }
        if (line.startsWith(u"Index: ")) {
            finishFile();
            const QString path = line.mid(7).toString();
            m_file = DiffFile{m_nextFileId++, path, path, {}};
            return;
        }
        if (!m_file)
            return;
        // A removed line reading "-- x" or an added one reading "++ x" looks like a file header; the
        // hunk's own counts tell them apart.
        if (m_hunk && m_oldRemaining > 0 && line.startsWith(u"--- ")) {
            appendLine(DiffLineKind::deletion, line);
            return;
        }
        if (m_hunk && m_newRemaining > 0 && line.startsWith(u"+++ ")) {
            appendLine(DiffLineKind::addition, line);
            return;
        }
        if (line.startsWith(u"=======") || line.startsWith(u"index ") || line.startsWith(u"new file mode ")
            || line.startsWith(u"deleted file mode ") || line.startsWith(u"similarity index ")
            || line.startsWith(u"rename from ") || line.startsWith(u"rename to "))
            return;
        if (line.startsWith(u"--- ")) {
            m_file->oldPath = headerPath(line);
            return;
        }
        if (line.startsWith(u"+++ ")) {
            m_file->newPath = headerPath(line);
            return;
        }
        if (line.startsWith(u"@@ ")) {
            finishHunk();
            const HunkHeader header = parseHunkHeader(line);
            m_oldLine.reset(header.oldRange.start);
            m_newLine.reset(header.newRange.start);
            m_oldRemaining = header.oldRange.count;
            m_newRemaining = header.newRange.count;
            m_hunk = DiffHunk{m_nextHunkId++, line.toString(), {}};
            return;
        }
        if (!m_hunk)
            return;
        if (line.startsWith(u'\\')) {
            m_hunk->lines.append(
                DiffLine{m_nextLineId++, std::nullopt, std::nullopt, DiffLineKind::note, QString(), line.toString()});
            return;
        }
        if (line.startsWith(u'+'))
            appendLine(DiffLineKind::addition, line);
        else if (line.startsWith(u'-'))
            appendLine(DiffLineKind::deletion, line);
        else
            appendLine(DiffLineKind::context, line);
    }

    void appendLine(DiffLineKind kind, QStringView line)
    {
        static const QString plus = QStringLiteral("+");
        static const QString minus = QStringLiteral("-");
        static const QString blank = QStringLiteral(" ");
        DiffLine diffLine{m_nextLineId++, std::nullopt, std::nullopt, kind, QString(), QString()};
        switch (kind) {
        case DiffLineKind::addition:
            diffLine.newLineNumber = m_newLine.take();
            diffLine.prefix = plus;
            diffLine.text = line.mid(1).toString();
            if (m_newRemaining > 0)
                --m_newRemaining;
            break;
        case DiffLineKind::deletion:
            diffLine.oldLineNumber = m_oldLine.take();
            diffLine.prefix = minus;
            diffLine.text = line.mid(1).toString();
            if (m_oldRemaining > 0)
                --m_oldRemaining;
            break;
        default:
            diffLine.oldLineNumber = m_oldLine.take();
            diffLine.newLineNumber = m_newLine.take();
            diffLine.prefix = blank;
            diffLine.text = line.startsWith(u' ') ? line.mid(1).toString() : line.toString();
            if (m_oldRemaining > 0)
                --m_oldRemaining;
            if (m_newRemaining > 0)
                --m_newRemaining;
            break;
        }
        m_hunk->lines.append(std::move(diffLine));
    }

    void finishHunk()
    {
        if (m_hunk && m_file)
            m_file->hunks.append(std::move(*m_hunk));
        m_hunk.reset();
        m_oldRemaining = 0;
        m_newRemaining = 0;
    }

    void finishFile()
    {
        finishHunk();
        if (m_file)
            m_files.append(std::move(*m_file));
        m_file.reset();
    }

    QList<DiffFile> m_files;
    std::optional<DiffFile> m_file;
    std::optional<DiffHunk> m_hunk;
    LineCounter m_oldLine;
    LineCounter m_newLine;
    qint64 m_oldRemaining = 0;
    qint64 m_newRemaining = 0;
    qint64 m_nextFileId = 0;
    qint64 m_nextHunkId = 0;
    qint64 m_nextLineId = 0;
};

} // namespace

ParsedDiff parse(const QString &text)
{
    return Parser().parse(text);
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
