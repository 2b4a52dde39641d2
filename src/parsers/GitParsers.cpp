#include "GitParsers.h"

#include "model/TextUtil.h"

#include <QSet>

#include <algorithm>

namespace GitParsers {

namespace {

const QString commitMarker = QStringLiteral("--KORVEL-GIT-COMMIT--");
constexpr QByteArrayView commitMarkerBytes = "--KORVEL-GIT-COMMIT--";

// Calls `fn` with each line of the text (or bytes), cut at line feeds, without a carriage return that
// ends it. git ends its lines with bare line feeds and quotes a carriage return inside a name, so a
// trailing one can only come from a conversion on the way.
template <typename View, typename Fn> void forEachLine(View text, Fn fn)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        View line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        fn(line);
        start = end + 1;
    }
}

// Cuts at tabs into at most `maxFields` pieces (the last keeps further tabs), keeping empty pieces.
QList<QStringView> splitTabs(QStringView text, qsizetype maxFields)
{
    QList<QStringView> fields;
    qsizetype start = 0;
    while (fields.size() + 1 < maxFields) {
        const qsizetype tab = text.indexOf(u'\t', start);
        if (tab < 0)
            break;
        fields.append(text.mid(start, tab - start));
        start = tab + 1;
    }
    fields.append(text.mid(start));
    return fields;
}

// The end of a quoted name that begins at `text[0]`: the index just past its closing quote, or -1.
qsizetype quotedNameEnd(QStringView text)
{
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'\\')
            ++i;
        else if (text[i] == u'"')
            return i + 1;
    }
    return -1;
}

// The index of the " -> " that parts a porcelain entry's old and new names, or -1. A quoted old name
// may itself hold " -> ", so the arrow is looked for after its closing quote.
qsizetype statusArrow(QStringView path)
{
    qsizetype from = 0;
    if (path.startsWith(u'"')) {
        const qsizetype end = quotedNameEnd(path);
        if (end > 0)
            from = end;
    }
    // Few names hold a ">": looking for that alone first is much quicker than for the arrow.
    if (!path.sliced(from).contains(u'>'))
        return -1;
    return path.indexOf(u" -> ", from);
}

SVNStatusKind statusKind(QChar index, QChar workTree)
{
    if (index == u'!' && workTree == u'!')
        return SVNStatusKind::ignored;
    if (index == u'?' && workTree == u'?')
        return SVNStatusKind::unversioned;
    if (index == u'U' || workTree == u'U' || (index == u'A' && workTree == u'A') || (index == u'D' && workTree == u'D'))
        return SVNStatusKind::conflicted;
    if (index == u'A' || workTree == u'A')
        return SVNStatusKind::added;
    if (index == u'D' || workTree == u'D')
        return SVNStatusKind::deleted;
    if (index == u'R' || workTree == u'R')
        return SVNStatusKind::replaced;
    return SVNStatusKind::modified;
}

std::optional<WorkingCopyItem> parseStatusLine(QStringView line)
{
    if (line.size() < 3)
        return std::nullopt;
    const SVNStatusKind kind = statusKind(line[0], line[1]);
    const QStringView path = line.mid(3);
    const qsizetype arrow = statusArrow(path);
    WorkingCopyItem item{unquotePath((arrow < 0 ? path : path.mid(arrow + 4)).toString()), kind, SVNStatusKind::none,
        std::nullopt, std::nullopt, kind == SVNStatusKind::conflicted};
    const QStringView code = line.left(2);
    item.absentFromHead = code == u"DU" || code == u"UA" || code == u"DD";
    if (arrow >= 0) {
        const QChar letter = line[0] == u'R' || line[0] == u'C' ? line[0] : line[1];
        if (letter == u'R')
            item.renamedFrom = unquotePath(path.left(arrow).toString());
        else if (letter == u'C')
            item.copiedFrom = unquotePath(path.left(arrow).toString());
    }
    return item;
}

// The status and the path of a `--name-status` line, as text or as bytes: the fields before and after
// the first tab, the path being the third field (the new name) for a rename or copy. Absent without a tab.
template <typename View> std::optional<std::pair<View, View>> nameStatusFields(View line)
{
    const qsizetype tab = line.indexOf('\t');
    if (tab < 0)
        return std::nullopt;
    qsizetype start = tab + 1;
    qsizetype end = line.indexOf('\t', start);
    if ((line.startsWith('R') || line.startsWith('C')) && end >= 0) {
        start = end + 1;
        end = line.indexOf('\t', start);
    }
    return std::pair{line.first(tab), line.sliced(start, (end < 0 ? line.size() : end) - start)};
}

std::optional<SVNPathChange> parseNameStatusLine(QStringView line)
{
    const auto fields = nameStatusFields(line);
    if (!fields)
        return std::nullopt;
    return SVNPathChange{
        fields->first.left(1).toString(), unquotePath(fields->second.toString()), QStringLiteral("file")};
}

// git's one-letter statuses, shared rather than made for each of a wide commit's paths.
QString statusLetter(char letter)
{
    switch (letter) {
    case 'A':
        return QStringLiteral("A");
    case 'C':
        return QStringLiteral("C");
    case 'D':
        return QStringLiteral("D");
    case 'M':
        return QStringLiteral("M");
    case 'R':
        return QStringLiteral("R");
    case 'T':
        return QStringLiteral("T");
    default:
        return QString(QLatin1Char(letter));
    }
}

// A `--name-status` line from its bytes: the status, a tab, the path (or a rename's or copy's two
// paths). A quoted path, or a line of another form, is read from its decoded text instead.
std::optional<SVNPathChange> parseNameStatusBytes(QByteArrayView line)
{
    const auto fields = nameStatusFields(line);
    if (!fields || fields->first.isEmpty() || uchar(line[0]) >= 0x80 || fields->second.startsWith('"'))
        return parseNameStatusLine(TextUtil::decodeFileName(line));
    return SVNPathChange{statusLetter(line[0]), TextUtil::decodeFileName(fields->second), QStringLiteral("file")};
}

struct PartialGitLogEntry {
    QString hash;
    QString author;
    std::optional<QDateTime> date;
    QString subject;
    QList<SVNPathChange> paths;
};

// The log read a line at a time.
class LogReader {
public:
    // A line of paths, kept as bytes until its path is cut out.
    void readPaths(QByteArrayView line)
    {
        if (line.isEmpty() || !m_current)
            return;
        if (std::optional<SVNPathChange> change = parseNameStatusBytes(line))
            m_current->paths.append(std::move(*change));
    }

    void read(QStringView line)
    {
        if (line.startsWith(commitMarker)) {
            finishCurrent();
            const QList<QStringView> fields = splitTabs(line.mid(commitMarker.size()), 4);
            if (fields.size() < 4)
                return;
            m_current = PartialGitLogEntry{fields[0].toString(), fields[1].toString(),
                TextUtil::parseInternetDateTime(fields[2]), fields[3].toString(), {}};
        } else if (line.isEmpty()) {
            return;
        } else if (m_current) {
            if (std::optional<SVNPathChange> change = parseNameStatusLine(line))
                m_current->paths.append(std::move(*change));
        }
    }

    QList<LogEntry> finish()
    {
        finishCurrent();
        return std::move(m_entries);
    }

    QList<LogEntry> takeEntries() { return std::exchange(m_entries, {}); }

    const QList<SVNPathChange> &pendingPaths() const
    {
        static const QList<SVNPathChange> none;
        return m_current ? m_current->paths : none;
    }

private:
    void finishCurrent()
    {
        if (!m_current)
            return;
        m_entries.append(LogEntry{m_nextRevision, std::move(m_current->hash), std::move(m_current->author),
            m_current->date, std::move(m_current->subject), std::move(m_current->paths)});
        --m_nextRevision;
        m_current.reset();
    }

    QList<LogEntry> m_entries;
    std::optional<PartialGitLogEntry> m_current;
    qint64 m_nextRevision = 1000000;
};

// The byte of a C letter escape such as "\\t", or 0.
char letterEscape(QChar c)
{
    static constexpr QStringView letters = u"abtnvfr";
    const qsizetype index = letters.indexOf(c);
    return index < 0 ? 0 : "\a\b\t\n\v\f\r"[index];
}

int octalDigit(QChar c)
{
    return c >= u'0' && c <= u'7' ? c.unicode() - u'0' : -1;
}

} // namespace

QString unquotePath(const QString &path)
{
    if (!path.startsWith(u'"') || !path.endsWith(u'"'))
        return path;
    const QStringView inner = QStringView(path).mid(1, std::max<qsizetype>(path.size() - 2, 0));
    if (!inner.contains(u'\\'))
        return inner.toString();
    // Octal escapes are single bytes of the name, so the name is built as bytes.
    QByteArray bytes;
    bytes.reserve(inner.size());
    qsizetype runStart = 0;
    qsizetype i = 0;
    auto flushRun
        = [&](qsizetype runEnd) { bytes += TextUtil::encodeFileName(inner.mid(runStart, runEnd - runStart)); };
    while (i < inner.size()) {
        if (inner[i] != u'\\') {
            ++i;
            continue;
        }
        flushRun(i);
        if (i + 1 == inner.size()) {
            // A lone backslash at the end is kept.
            bytes += '\\';
            runStart = inner.size();
            break;
        }
        const QChar escaped = inner[i + 1];
        qsizetype consumed = 2;
        const int d0 = octalDigit(escaped);
        const int d1 = i + 2 < inner.size() ? octalDigit(inner[i + 2]) : -1;
        const int d2 = i + 3 < inner.size() ? octalDigit(inner[i + 3]) : -1;
        if (const char letter = letterEscape(escaped)) {
            bytes += letter;
        } else if (d0 >= 0 && d0 <= 3 && d1 >= 0 && d2 >= 0) {
            bytes += char(d0 * 64 + d1 * 8 + d2);
            consumed = 4;
        } else {
            // Any other escaped character, the quote and the backslash among them, stands for itself.
            if (escaped.isHighSurrogate() && i + 2 < inner.size())
                consumed = 3;
            bytes += TextUtil::encodeFileName(inner.mid(i + 1, consumed - 1));
        }
        i += consumed;
        runStart = i;
    }
    flushRun(inner.size());
    return TextUtil::decodeFileName(bytes);
}

namespace {

void readStatusLines(QStringView text, QList<WorkingCopyItem> &items)
{
    forEachLine(text, [&](QStringView line) {
        if (line.isEmpty())
            return;
        if (std::optional<WorkingCopyItem> item = parseStatusLine(line))
            items.append(std::move(*item));
    });
}

// decodeFileName reads each UTF-8 sequence on its own, and none spans a line feed: reading the output
// this way, whole or a run of lines at a time, reads every entry as its own bytes, and one name that is
// not UTF-8 costs nothing but its own bytes.
void readStatusLines(QByteArrayView output, QList<WorkingCopyItem> &items)
{
    readStatusLines(QStringView(TextUtil::decodeFileName(output)), items);
}

template <typename Text> QList<WorkingCopyItem> sortedStatus(Text text)
{
    QList<WorkingCopyItem> items;
    items.reserve(text.count('\n') + 1);
    readStatusLines(text, items);
    TextUtil::sortByLocalizedKey(items, [](const WorkingCopyItem &item) { return item.path; });
    return items;
}

} // namespace

QList<WorkingCopyItem> parseStatus(const QString &text)
{
    return sortedStatus(QStringView(text));
}

QList<WorkingCopyItem> parseStatus(QByteArrayView output)
{
    return sortedStatus(output);
}

void StatusReading::add(QByteArray piece)
{
    const qsizetype lineEnd = piece.lastIndexOf('\n');
    if (lineEnd < 0) {
        m_held += piece;
        return;
    }
    QByteArray lines = std::exchange(m_held, piece.sliced(lineEnd + 1));
    lines += QByteArrayView(piece).first(lineEnd);
    readStatusLines(QByteArrayView(lines), m_items);
}

QList<WorkingCopyItem> StatusReading::finish()
{
    readStatusLines(QByteArrayView(std::exchange(m_held, QByteArray())), m_items);
    return std::move(m_items);
}

QList<LogEntry> parseLog(const QString &text)
{
    LogReader reader;
    forEachLine(QStringView(text), [&](QStringView line) { reader.read(line); });
    return reader.finish();
}

namespace {

void readLogLines(LogReader &reader, QByteArrayView output)
{
    forEachLine(output, [&](QByteArrayView line) {
        // A header holds an author and a message, which replacement characters show well enough; the
        // other lines hold paths, which must keep their exact bytes.
        if (line.startsWith(commitMarkerBytes))
            reader.read(QString::fromUtf8(line));
        else
            reader.readPaths(line);
    });
}

} // namespace

QList<LogEntry> parseLog(QByteArrayView output)
{
    LogReader reader;
    readLogLines(reader, output);
    return reader.finish();
}

struct LogReading::Reading {
    LogReader reader;
    // The start of a line whose end has not come yet.
    QByteArray held;
    // What the reader had not given when the output ended.
    QList<LogEntry> last;
};

LogReading::LogReading() : m_reading(std::make_unique<Reading>())
{ }

LogReading::~LogReading() = default;

void LogReading::add(QByteArray piece)
{
    const qsizetype lineEnd = piece.lastIndexOf('\n');
    if (lineEnd < 0) {
        m_reading->held += piece;
        return;
    }
    QByteArray lines = std::exchange(m_reading->held, piece.sliced(lineEnd + 1));
    lines += QByteArrayView(piece).first(lineEnd);
    readLogLines(m_reading->reader, lines);
}

void LogReading::finish()
{
    readLogLines(m_reading->reader, std::exchange(m_reading->held, QByteArray()));
    m_reading->last = m_reading->reader.finish();
}

QList<LogEntry> LogReading::takeEntries()
{
    if (!m_reading->last.isEmpty())
        return std::exchange(m_reading->last, {});
    return m_reading->reader.takeEntries();
}

const QList<SVNPathChange> &LogReading::pendingPaths() const
{
    return m_reading->reader.pendingPaths();
}

QList<GitBranch> parseBranches(const QString &text)
{
    QList<GitBranch> branches;
    QSet<QString> seen;
    forEachLine(QStringView(text), [&](QStringView line) {
        if (line.isEmpty())
            return;
        const QList<QStringView> fields = splitTabs(line, 3);
        if (fields.size() < 3)
            return;
        // git's short name turns "v1.0" into "heads/v1.0" when a tag shares it, and neither git switch
        // nor a user knows the branch by that: the name is the full one less its kind's prefix.
        const QStringView ref = fields[1].trimmed();
        const bool isRemote = ref.startsWith(u"refs/remotes/");
        if (!isRemote && !ref.startsWith(u"refs/heads/"))
            return;
        const QString name = ref.mid(isRemote ? 13 : 11).toString();
        // A local branch may share its name with a remote-tracking one; both stay reachable.
        const QString key = (isRemote ? QStringLiteral("r ") : QStringLiteral("h ")) + name;
        if (name.isEmpty() || ref.endsWith(u"/HEAD") || seen.contains(key))
            return;
        seen.insert(key);
        branches.append(GitBranch{name, fields[0] == u"*", isRemote});
    });
    // Current first, then local, then remote; each group by name.
    auto group = [](const GitBranch &branch) { return branch.isCurrent ? 0 : (branch.isRemote ? 2 : 1); };
    TextUtil::sortByLocalizedKey(branches, [](const GitBranch &branch) { return branch.name; });
    std::stable_sort(
        branches.begin(), branches.end(), [&](const GitBranch &a, const GitBranch &b) { return group(a) < group(b); });
    return branches;
}

} // namespace GitParsers
