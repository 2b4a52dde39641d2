#include "SVNXMLParsers.h"

#include "model/TextUtil.h"

#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

namespace SVNXMLParsers {

namespace {

// svn writes file names into its XML unescaped, so a name holding a control character (ESC, say)
// makes the document ill-formed and every row after it would be lost. The bytes XML 1.0 forbids (C0
// controls but tab, line feed and carriage return; U+FFFE and U+FFFF) become U+FFFD.
QByteArray xmlSafeUtf8(QByteArray bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    // A branch-free look for suspects (a C0 control, or the lead byte 0xEF of U+FFFE and U+FFFF) over
    // blocks, so clean text is checked quickly.
    constexpr qsizetype block = 4096;
    qsizetype suspect = -1;
    for (qsizetype start = 0; start < size && suspect < 0; start += block) {
        const qsizetype end = std::min(size, start + block);
        unsigned char found = 0;
        for (qsizetype i = start; i < end; ++i) {
            const unsigned char c = data[i];
            found |= (c < 0x20) & (c != '\t') & (c != '\n') & (c != '\r');
            found |= (c == 0xEF);
        }
        if (found)
            suspect = start;
    }
    if (suspect < 0)
        return bytes;
    QByteArray repaired;
    repaired.reserve(size + 16);
    repaired.append(bytes.constData(), suspect);
    for (qsizetype i = suspect; i < size; ++i) {
        const unsigned char c = data[i];
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            repaired.append("\xEF\xBF\xBD");
        } else if (c == 0xEF && i + 2 < size && data[i + 1] == 0xBF && (data[i + 2] == 0xBE || data[i + 2] == 0xBF)) {
            repaired.append("\xEF\xBF\xBD");
            i += 2;
        } else {
            repaired.append(char(c));
        }
    }
    return repaired;
}

// Whether a name is the given one, as written. Inline, since it runs for every tag and attribute.
template <qsizetype N> bool is(QStringView name, const char16_t (&literal)[N])
{
    if (name.size() != N - 1)
        return false;
    for (qsizetype i = 0; i < N - 1; ++i) {
        if (name[i] != literal[i])
            return false;
    }
    return true;
}

// One attribute of the current start tag by its name as written; absent when missing.
std::optional<QString> attribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &attr : attributes) {
        if (attr.qualifiedName() == name)
            return attr.value().toString();
    }
    return std::nullopt;
}

SVNStatusKind statusAttribute(const QXmlStreamAttributes &attributes, QStringView name, SVNStatusKind missing)
{
    for (const QXmlStreamAttribute &attr : attributes) {
        if (attr.qualifiedName() == name)
            return svnStatusKindFromRawSVN(attr.value());
    }
    return missing;
}

std::optional<qint64> integerAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &attr : attributes) {
        if (attr.qualifiedName() == name)
            return TextUtil::parseInt64(attr.value());
    }
    return std::nullopt;
}

// A revision number as svn wrote it, or nothing: for a path scheduled for addition `svn info` writes a
// sentence ("Resource is not under version control.") where the number goes.
std::optional<QString> revisionAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    const std::optional<QString> text = attribute(attributes, name);
    if (!text || !TextUtil::parseInt64(*text))
        return std::nullopt;
    return text;
}

bool isListed(SVNStatusKind kind)
{
    return kind != SVNStatusKind::normal && kind != SVNStatusKind::none;
}

// The frame every reader shares: `text` is cleared before each start tag is handled, collects the
// character data, and is cleared after each end tag is handled. The reader stops at the first
// well-formedness error; whatever was collected until then stands.
//
// Readers only look at the text of a few elements, so character data is kept only while the
// innermost open element is one of those (`Reader::usesText`); for them the text is exactly what
// the frame would have collected, and every other element sees an empty text.
//
// The XML goes in a piece of UTF-8 at a time, as the tool writes it, and is read as far as it goes; a
// document still open when the output has ended stops there.
template <typename Reader> class XmlReading {
public:
    Reader reader;

    XmlReading() { m_xml.setNamespaceProcessing(false); }

    void add(QByteArray piece)
    {
        if (m_stopped || piece.isEmpty())
            return;
        // U+FFFE and U+FFFF are three bytes, which a piece's end may cut: those bytes wait for the next one.
        if (!m_held.isEmpty())
            piece.prepend(std::exchange(m_held, QByteArray()));
        qsizetype keep = 0;
        if (piece.endsWith('\xEF'))
            keep = 1;
        else if (piece.endsWith("\xEF\xBF"))
            keep = 2;
        // The XML reader misses a "]]>" in text that comes cut after its "]]": those wait too.
        else if (piece.endsWith("]]"))
            keep = 2;
        else if (piece.endsWith(']'))
            keep = 1;
        if (keep > 0) {
            m_held = piece.last(keep);
            piece.chop(keep);
        }
        m_xml.addData(xmlSafeUtf8(std::move(piece)));
        readAvailable();
    }

    // Whether the document ended or broke off.
    bool stopped() const { return m_stopped; }

    // After the last piece.
    void finish()
    {
        if (!m_held.isEmpty() && !m_stopped)
            m_xml.addData(xmlSafeUtf8(std::exchange(m_held, QByteArray())));
        m_ended = true;
        readAvailable();
    }

private:
    void readAvailable()
    {
        while (!m_stopped) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            if (m_xml.hasError()) {
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !m_ended)
                    return;
                m_stopped = true;
                return;
            }
            switch (token) {
            case QXmlStreamReader::StartElement: {
                if (!m_text.isEmpty())
                    m_text.resize(0);
                const QStringView name = m_xml.qualifiedName();
                m_collecting.append(Reader::usesText(name));
                reader.start(name, m_xml.attributes());
                break;
            }
            case QXmlStreamReader::Characters:
                if (!m_collecting.isEmpty() && m_collecting.last())
                    m_text.append(m_xml.text());
                break;
            case QXmlStreamReader::EndElement:
                reader.end(m_xml.qualifiedName(), m_text);
                if (!m_text.isEmpty())
                    m_text.resize(0);
                if (!m_collecting.isEmpty())
                    m_collecting.removeLast();
                break;
            case QXmlStreamReader::EndDocument:
                m_stopped = true;
                return;
            default:
                break;
            }
        }
    }

    QXmlStreamReader m_xml;
    QByteArray m_held;
    QString m_text;
    QVarLengthArray<bool, 32> m_collecting;
    bool m_ended = false;
    bool m_stopped = false;
};

class StatusParser {
public:
    static bool usesText(QStringView name) { return is(name, u"author"); }

    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (is(name, u"entry")) {
            m_currentPath = attribute(attributes, u"path");
            m_currentKind = SVNStatusKind::unknown;
            m_currentPropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            m_currentAuthor.reset();
            m_currentTreeConflict = false;
            m_currentCopied = false;
            m_currentMovedFrom.reset();
            m_currentMovedTo.reset();
        } else if (is(name, u"wc-status")) {
            m_currentKind = SVNStatusKind::unknown;
            m_currentPropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            for (const QXmlStreamAttribute &attr : attributes) {
                const QStringView attrName = attr.qualifiedName();
                if (is(attrName, u"item"))
                    m_currentKind = svnStatusKindFromRawSVN(attr.value());
                else if (is(attrName, u"props"))
                    m_currentPropsKind = svnStatusKindFromRawSVN(attr.value());
                else if (is(attrName, u"revision"))
                    m_currentRevision = attr.value().toString();
                // svn 1.14 marks a tree conflict with this attribute rather than an element.
                else if (is(attrName, u"tree-conflicted") && is(attr.value(), u"true"))
                    m_currentTreeConflict = true;
                else if (is(attrName, u"copied") && is(attr.value(), u"true"))
                    m_currentCopied = true;
                else if (is(attrName, u"moved-from"))
                    m_currentMovedFrom = attr.value().toString();
                else if (is(attrName, u"moved-to"))
                    m_currentMovedTo = attr.value().toString();
                else if (is(attrName, u"wc-locked") && is(attr.value(), u"true"))
                    m_locked = true;
            }
        } else if (is(name, u"tree-conflict")) {
            m_currentTreeConflict = true;
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (is(name, u"author")) {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (is(name, u"entry") && m_currentPath) {
            if (isListed(m_currentKind) || isListed(m_currentPropsKind) || m_currentTreeConflict) {
                WorkingCopyItem item{std::move(*m_currentPath), m_currentKind, m_currentPropsKind,
                    std::move(m_currentRevision), std::move(m_currentAuthor), m_currentTreeConflict};
                item.copied = m_currentCopied;
                item.movedFrom = std::move(m_currentMovedFrom);
                item.movedTo = std::move(m_currentMovedTo);
                m_items.append(std::move(item));
            }
            m_currentPath.reset();
        }
    }

    QList<WorkingCopyItem> result()
    {
        TextUtil::sortByLocalizedKey(m_items, [](const WorkingCopyItem &item) { return item.path; });
        return std::move(m_items);
    }

    bool locked() const { return m_locked; }

private:
    QList<WorkingCopyItem> m_items;
    bool m_locked = false;
    std::optional<QString> m_currentPath;
    SVNStatusKind m_currentKind = SVNStatusKind::unknown;
    SVNStatusKind m_currentPropsKind = SVNStatusKind::none;
    std::optional<QString> m_currentRevision;
    std::optional<QString> m_currentAuthor;
    bool m_currentTreeConflict = false;
    bool m_currentCopied = false;
    std::optional<QString> m_currentMovedFrom;
    std::optional<QString> m_currentMovedTo;
};

class RemoteStatusParser {
public:
    static bool usesText(QStringView name) { return is(name, u"author"); }

    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (is(name, u"entry")) {
            m_currentPath = attribute(attributes, u"path");
            m_currentRemoteKind = SVNStatusKind::none;
            m_currentRemotePropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            m_currentAuthor.reset();
        } else if (is(name, u"wc-status")) {
            m_currentRevision = attribute(attributes, u"revision");
        } else if (is(name, u"repos-status")) {
            m_currentRemoteKind = statusAttribute(attributes, u"item", SVNStatusKind::none);
            m_currentRemotePropsKind = statusAttribute(attributes, u"props", SVNStatusKind::none);
        } else if (is(name, u"against")) {
            m_repositoryRevision = integerAttribute(attributes, u"revision");
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (is(name, u"author")) {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (is(name, u"entry") && m_currentPath) {
            if (isListed(m_currentRemoteKind) || isListed(m_currentRemotePropsKind)) {
                m_items.append(WorkingCopyItem{std::move(*m_currentPath), m_currentRemoteKind, m_currentRemotePropsKind,
                    std::move(m_currentRevision), std::move(m_currentAuthor), false});
            }
            m_currentPath.reset();
        }
    }

    SVNRemoteStatus result()
    {
        TextUtil::sortByLocalizedKey(m_items, [](const WorkingCopyItem &item) { return item.path; });
        return SVNRemoteStatus{m_repositoryRevision, std::move(m_items)};
    }

private:
    std::optional<qint64> m_repositoryRevision;
    QList<WorkingCopyItem> m_items;
    std::optional<QString> m_currentPath;
    SVNStatusKind m_currentRemoteKind = SVNStatusKind::none;
    SVNStatusKind m_currentRemotePropsKind = SVNStatusKind::none;
    std::optional<QString> m_currentRevision;
    std::optional<QString> m_currentAuthor;
};

class LogParser {
public:
    static bool usesText(QStringView name)
    {
        return is(name, u"author") || is(name, u"date") || is(name, u"msg") || is(name, u"path");
    }

    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        m_pathsJustOpened = is(name, u"paths");
        if (is(name, u"logentry")) {
            m_currentRevision = integerAttribute(attributes, u"revision");
            m_currentAuthor.clear();
            m_currentDate.reset();
            m_currentMessage.clear();
            m_currentPaths.clear();
        } else if (is(name, u"path")) {
            m_currentPathAction = attribute(attributes, u"action").value_or(QString());
            m_currentPathKind = attribute(attributes, u"kind");
        }
    }

    void end(QStringView name, const QString &text)
    {
        m_pathsJustOpened = false;
        if (is(name, u"author")) {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (is(name, u"date")) {
            m_currentDate = TextUtil::parseInternetDateTime(TextUtil::trimmed(text));
        } else if (is(name, u"msg")) {
            m_currentMessage = TextUtil::trimmedNewlines(text);
        } else if (is(name, u"path")) {
            m_currentPaths.append(SVNPathChange{m_currentPathAction, TextUtil::trimmed(text), m_currentPathKind});
        } else if (is(name, u"logentry") && m_currentRevision) {
            m_entries.append(LogEntry{*m_currentRevision, std::nullopt, m_currentAuthor, m_currentDate,
                m_currentMessage, std::move(m_currentPaths)});
            m_currentPaths = {};
        }
    }

    QList<LogEntry> result()
    {
        sortNewestFirst(m_entries);
        return std::move(m_entries);
    }

    QList<LogEntry> takeEntries() { return std::exchange(m_entries, {}); }

    // Whether the last tag read opened a `paths` element.
    bool pathsJustOpened() const { return m_pathsJustOpened; }
    // The changes of `path` elements read apart, as if read here.
    void addPaths(const QList<SVNPathChange> &paths)
    {
        m_currentPaths.append(paths);
        // A `path` element closed around them takes the attributes last read, as the reader would have.
        if (!paths.isEmpty()) {
            m_currentPathAction = paths.last().action;
            m_currentPathKind = paths.last().kind;
        }
    }

private:
    QList<LogEntry> m_entries;
    bool m_pathsJustOpened = false;
    std::optional<qint64> m_currentRevision;
    QString m_currentAuthor;
    std::optional<QDateTime> m_currentDate;
    QString m_currentMessage;
    QList<SVNPathChange> m_currentPaths;
    QString m_currentPathAction;
    std::optional<QString> m_currentPathKind;
};

class InfoParser {
public:
    static bool usesText(QStringView name)
    {
        return is(name, u"url") || is(name, u"relative-url") || is(name, u"root") || is(name, u"uuid")
            || is(name, u"wcroot-abspath") || is(name, u"author") || is(name, u"date");
    }

    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (is(name, u"entry")) {
            m_currentEntryRevision = revisionAttribute(attributes, u"revision");
            m_info.revision = m_currentEntryRevision;
            m_info.workingRevision = m_currentEntryRevision;
        } else if (is(name, u"repository")) {
            m_inRepository = true;
        } else if (is(name, u"wc-info")) {
            m_inWorkingCopy = true;
        } else if (is(name, u"commit")) {
            m_inCommit = true;
            const std::optional<QString> revision = revisionAttribute(attributes, u"revision");
            if (revision)
                m_info.revision = revision;
            m_info.lastChangedRevision = revision;
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (is(name, u"url")) {
            if (!m_inRepository)
                m_info.url = TextUtil::trimmed(text);
        } else if (is(name, u"relative-url")) {
            m_info.relativeURL = TextUtil::trimmed(text);
        } else if (is(name, u"root")) {
            if (m_inRepository)
                m_info.repositoryRoot = TextUtil::trimmed(text);
        } else if (is(name, u"uuid")) {
            if (m_inRepository)
                m_info.repositoryUUID = TextUtil::trimmed(text);
        } else if (is(name, u"wcroot-abspath")) {
            if (m_inWorkingCopy)
                m_info.workingCopyRoot = TextUtil::trimmed(text);
        } else if (is(name, u"author")) {
            if (m_inCommit)
                m_info.lastChangedAuthor = TextUtil::trimmed(text);
        } else if (is(name, u"date")) {
            if (m_inCommit)
                m_info.lastChangedDate = TextUtil::parseInternetDateTime(TextUtil::trimmed(text));
        } else if (is(name, u"repository")) {
            m_inRepository = false;
        } else if (is(name, u"wc-info")) {
            m_inWorkingCopy = false;
        } else if (is(name, u"commit")) {
            m_inCommit = false;
        }
    }

    RepositoryInfo result() { return m_info; }

private:
    RepositoryInfo m_info;
    std::optional<QString> m_currentEntryRevision;
    bool m_inRepository = false;
    bool m_inWorkingCopy = false;
    bool m_inCommit = false;
};

// The files svn wrote beside conflicted paths, as `conflict` elements name them.
class ConflictFilesParser {
public:
    static bool usesText(QStringView name)
    {
        return is(name, u"prev-base-file") || is(name, u"prev-wc-file") || is(name, u"cur-base-file")
            || is(name, u"prop-file");
    }

    void start(QStringView name, const QXmlStreamAttributes &)
    {
        if (is(name, u"conflict"))
            m_inConflict = true;
    }

    void end(QStringView name, const QString &text)
    {
        if (is(name, u"conflict"))
            m_inConflict = false;
        else if (m_inConflict && usesText(name) && !text.isEmpty())
            m_files.append(text);
    }

    QStringList result() { return std::move(m_files); }

private:
    QStringList m_files;
    bool m_inConflict = false;
};

template <typename Reader> auto parseWith(const QString &text)
{
    // The text goes in as UTF-8 a slice at a time: the XML reader then never holds a converted copy of
    // the whole output, whose allocation and first touch cost a large status a tenth of its time.
    constexpr qsizetype sliceSize = 16 * 1024;
    XmlReading<Reader> reading;
    for (qsizetype fed = 0; fed < text.size();) {
        qsizetype end = std::min(text.size(), fed + sliceSize);
        if (end < text.size() && text.at(end - 1).isHighSurrogate())
            ++end;
        reading.add(QStringView(text).mid(fed, end - fed).toUtf8());
        fed = end;
    }
    reading.finish();
    return reading.reader.result();
}

} // namespace

QList<WorkingCopyItem> parseStatus(const QString &text)
{
    return parseWith<StatusParser>(text);
}

struct StatusReading::Reading : XmlReading<StatusParser> { };

StatusReading::StatusReading() : m_reading(std::make_unique<Reading>())
{ }

StatusReading::~StatusReading() = default;

void StatusReading::add(QByteArray piece)
{
    m_reading->add(std::move(piece));
}

SVNStatusRead StatusReading::finish()
{
    m_reading->finish();
    return {m_reading->reader.result(), m_reading->reader.locked()};
}

SVNRemoteStatus parseRemoteStatus(const QString &text)
{
    return parseWith<RemoteStatusParser>(text);
}

void sortNewestFirst(QList<LogEntry> &entries)
{
    // A range asked oldest first comes in rising order: turned round in place, with no second copy.
    const auto notRising = [](const LogEntry &a, const LogEntry &b) { return a.revision >= b.revision; };
    if (std::adjacent_find(entries.begin(), entries.end(), notRising) == entries.end()) {
        std::reverse(entries.begin(), entries.end());
        return;
    }
    std::stable_sort(
        entries.begin(), entries.end(), [](const LogEntry &a, const LogEntry &b) { return a.revision > b.revision; });
}

// One `path` element as svn writes it, from its UTF-8: `<path`, double-quoted attributes of svn's names,
// the text, `</path>`. Absent for anything else (other references, a line end the XML reader would
// normalise, a comment, ...), which the XML reader then reads instead.
std::optional<SVNPathChange> readPlainPath(QByteArrayView element)
{
    if (std::any_of(element.begin(), element.end(), [](char c) { return uchar(c) >= 0x80; })
        && !TextUtil::isValidUtf8(element))
        return std::nullopt;
    const char *at = element.data();
    const char *const end = at + element.size();
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    const auto take = [&](std::string_view word) {
        if (end - at < qsizetype(word.size()) || std::string_view(at, word.size()) != word)
            return false;
        at += word.size();
        return true;
    };
    // The text up to `stop`, with the references svn writes decoded.
    QByteArray decoded;
    const auto readText = [&](char stop, bool attributeValue) {
        decoded.resize(0);
        for (;;) {
            const char *const run = at;
            while (at < end && *at != stop && *at != '&' && *at != '<' && *at != '\r'
                && !(attributeValue && (*at == '\n' || *at == '\t'))
                && !(*at == '>' && at - run >= 2 && at[-1] == ']' && at[-2] == ']'))
                ++at;
            decoded.append(run, at - run);
            if (at == end || *at != '&')
                return at < end && *at == stop;
            static constexpr std::pair<std::string_view, char> references[] = {{"&amp;", '&'}, {"&lt;", '<'},
                {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&#9;", '\t'}, {"&#10;", '\n'}, {"&#13;", '\r'}};
            const auto known = std::find_if(std::begin(references), std::end(references),
                [&](const auto &reference) { return take(reference.first); });
            if (known == std::end(references))
                return false;
            decoded.append(known->second);
        }
    };
    if (!take("<path") || at == end || !isSpace(*at))
        return std::nullopt;
    SVNPathChange change;
    static constexpr std::string_view names[]
        = {"action", "kind", "prop-mods", "text-mods", "copyfrom-path", "copyfrom-rev"};
    unsigned seen = 0;
    for (;;) {
        const char *const spaceStart = at;
        while (at < end && isSpace(*at))
            ++at;
        if (take(">"))
            break;
        // Attributes stand apart by white space; the XML reader refuses them run together.
        if (at == spaceStart)
            return std::nullopt;
        const char *const nameStart = at;
        unsigned name = 0;
        while (name < std::size(names) && !(take(names[name]) && take("=\""))) {
            at = nameStart;
            ++name;
        }
        // A name given twice is an error the XML reader reports.
        if (name == std::size(names) || (seen & (1u << name)) || !readText('"', true))
            return std::nullopt;
        ++at;
        seen |= 1u << name;
        if (name == 0)
            change.action = QString::fromUtf8(decoded);
        else if (name == 1)
            change.kind = QString::fromUtf8(decoded);
    }
    if (!readText('<', false) || !take("</path"))
        return std::nullopt;
    while (at < end && isSpace(*at))
        ++at;
    if (!take(">") || at != end)
        return std::nullopt;
    change.path = TextUtil::trimmed(QString::fromUtf8(decoded));
    return change;
}

// svn's log, with the `path` elements it writes in its own regular form read by a plain scan: a wide
// revision lists hundreds of thousands, far more than the XML reader keeps up with. The scan only
// stands in for the reader where the output is svn's UTF-8 with no comments, sections or
// instructions; from the first of those, or the first `path` element it does not read, the XML reader
// reads everything.
struct LogReading::Reading : XmlReading<LogParser> {
    static constexpr std::string_view declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
    static constexpr QByteArrayView pathsStart = "<paths>";
    static constexpr QByteArrayView pathsEnd = "</paths>";

    // What came and is not yet given to the reader.
    QByteArray pending;
    enum class Scan { undecided, on, off } scan = Scan::undecided;
    // Within a `paths` element the reader has opened, where the scan reads its `path` elements.
    bool inPaths = false;
    // The changes scanned and not yet given to the reader.
    QList<SVNPathChange> scanned;

    void take(QByteArray piece)
    {
        pending += piece;
        if (scan == Scan::undecided) {
            const qsizetype known = std::min(pending.size(), qsizetype(declaration.size()));
            if (QByteArrayView(pending).first(known) != QByteArrayView(declaration.data(), known))
                scan = Scan::off;
            else if (known < qsizetype(declaration.size()))
                return;
            else
                scan = Scan::on;
            if (scan == Scan::on) {
                add(pending.first(known));
                pending.remove(0, known);
            }
        }
        // Everything before `done` is given to the reader or scanned.
        qsizetype done = 0;
        while (scan == Scan::on) {
            if (inPaths) {
                qsizetype at = done;
                while (at < pending.size() && (pending[at] == ' ' || pending[at] == '\n' || pending[at] == '\t'))
                    ++at;
                const QByteArrayView rest = QByteArrayView(pending).sliced(at);
                if (rest.startsWith(pathsEnd)) {
                    inPaths = false;
                    giveScanned();
                    continue;
                }
                const qsizetype close = pending.indexOf("</path", at);
                const qsizetype closed = close < 0 ? -1 : pending.indexOf('>', close);
                if (closed < 0) {
                    // An element still coming, or the end of the `paths`.
                    if (rest.size() >= pathsEnd.size() && !rest.startsWith("<path"))
                        scan = Scan::off;
                    break;
                }
                std::optional<SVNPathChange> change = readPlainPath(xmlSafeUtf8(pending.sliced(at, closed + 1 - at)));
                if (!change) {
                    scan = Scan::off;
                    break;
                }
                scanned.append(std::move(*change));
                done = closed + 1;
                continue;
            }
            const qsizetype start = pending.indexOf(pathsStart, done);
            if (hasUnusualMarkup(done, start < 0 ? pending.size() : start)) {
                scan = Scan::off;
                break;
            }
            if (start < 0) {
                // What could be the start of "<paths>" waits for the next piece.
                const qsizetype keep = std::min(pending.size() - done, pathsStart.size() - 1);
                giveUpTo(done, pending.size() - keep);
                break;
            }
            giveUpTo(done, start + pathsStart.size());
            inPaths = !stopped() && reader.pathsJustOpened();
        }
        if (scan == Scan::off)
            giveUpTo(done, pending.size());
        pending.remove(0, done);
    }

    void end()
    {
        qsizetype done = 0;
        giveUpTo(done, pending.size());
        pending.clear();
        finish();
    }

    void giveScanned()
    {
        if (!scanned.isEmpty())
            reader.addPaths(std::exchange(scanned, {}));
    }

    void giveUpTo(qsizetype &done, qsizetype to)
    {
        giveScanned();
        if (to > done)
            add(pending.sliced(done, to - done));
        done = std::max(done, to);
    }

    // Whether a "<!" or "<?" starts between `from` and `before`.
    bool hasUnusualMarkup(qsizetype from, qsizetype before) const
    {
        for (qsizetype at = pending.indexOf('<', from); at >= 0 && at + 1 < pending.size() && at < before;
             at = pending.indexOf('<', at + 1)) {
            if (pending[at + 1] == '!' || pending[at + 1] == '?')
                return true;
        }
        return false;
    }
};

LogReading::LogReading() : m_reading(std::make_unique<Reading>())
{ }

LogReading::~LogReading() = default;

void LogReading::add(QByteArray piece)
{
    m_reading->take(std::move(piece));
}

void LogReading::finish()
{
    m_reading->end();
}

QList<LogEntry> LogReading::takeEntries()
{
    return m_reading->reader.takeEntries();
}

QList<LogEntry> parseLog(const QString &text)
{
    return parseWith<LogParser>(text);
}

RepositoryInfo parseInfo(const QString &text)
{
    return parseWith<InfoParser>(text);
}

QStringList parseConflictFiles(const QString &text)
{
    return parseWith<ConflictFilesParser>(text);
}

} // namespace SVNXMLParsers
