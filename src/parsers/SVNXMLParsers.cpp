#include "SVNXMLParsers.h"

#include "model/TextUtil.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace SVNXMLParsers {

namespace {

bool isForbiddenInXml(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}

// svn writes file names into its XML unescaped, so a name holding a control character (ESC, say)
// makes the document ill-formed and every row after it would be lost. Such characters become U+FFFD.
QByteArray xmlSafeUtf8(const QString &text)
{
    const QChar *begin = text.constData();
    const QChar *end = begin + text.size();
    const QChar *bad = std::find_if(begin, end, [](QChar c) { return isForbiddenInXml(c.unicode()); });
    if (bad == end)
        return text.toUtf8();
    QString copy = text;
    for (qsizetype i = bad - begin; i < copy.size(); ++i) {
        if (isForbiddenInXml(copy.at(i).unicode()))
            copy[i] = QChar::ReplacementCharacter;
    }
    return copy.toUtf8();
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

bool isListed(SVNStatusKind kind)
{
    return kind != SVNStatusKind::normal && kind != SVNStatusKind::none;
}

// The frame every reader shares: `text` is cleared before each start tag is handled, collects the
// character data, and is cleared after each end tag is handled. The reader stops at the first
// well-formedness error; whatever was collected until then stands.
template <typename Reader> void runReader(const QString &input, Reader &reader)
{
    QXmlStreamReader xml(xmlSafeUtf8(input));
    xml.setNamespaceProcessing(false);
    QString text;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (xml.hasError())
            break;
        switch (token) {
        case QXmlStreamReader::StartElement:
            text.resize(0);
            reader.start(xml.qualifiedName(), xml.attributes());
            break;
        case QXmlStreamReader::Characters:
            text.append(xml.text());
            break;
        case QXmlStreamReader::EndElement:
            reader.end(xml.qualifiedName(), text);
            text.resize(0);
            break;
        default:
            break;
        }
    }
}

class StatusParser {
public:
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (name == u"entry") {
            m_currentPath = attribute(attributes, u"path");
            m_currentKind = SVNStatusKind::unknown;
            m_currentPropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            m_currentAuthor.reset();
            m_currentTreeConflict = false;
        } else if (name == u"wc-status") {
            m_currentKind = SVNStatusKind::unknown;
            m_currentPropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            for (const QXmlStreamAttribute &attr : attributes) {
                const QStringView attrName = attr.qualifiedName();
                if (attrName == u"item")
                    m_currentKind = svnStatusKindFromRawSVN(attr.value());
                else if (attrName == u"props")
                    m_currentPropsKind = svnStatusKindFromRawSVN(attr.value());
                else if (attrName == u"revision")
                    m_currentRevision = attr.value().toString();
                // svn 1.14 marks a tree conflict with this attribute rather than an element.
                else if (attrName == u"tree-conflicted" && attr.value() == u"true")
                    m_currentTreeConflict = true;
            }
        } else if (name == u"tree-conflict") {
            m_currentTreeConflict = true;
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (name == u"author") {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (name == u"entry" && m_currentPath) {
            if (isListed(m_currentKind) || isListed(m_currentPropsKind) || m_currentTreeConflict) {
                m_items.append(WorkingCopyItem{std::move(*m_currentPath), m_currentKind, m_currentPropsKind,
                    std::move(m_currentRevision), std::move(m_currentAuthor), m_currentTreeConflict});
            }
            m_currentPath.reset();
        }
    }

    QList<WorkingCopyItem> result()
    {
        TextUtil::sortByLocalizedKey(m_items, [](const WorkingCopyItem &item) { return item.path; });
        return std::move(m_items);
    }

private:
    QList<WorkingCopyItem> m_items;
    std::optional<QString> m_currentPath;
    SVNStatusKind m_currentKind = SVNStatusKind::unknown;
    SVNStatusKind m_currentPropsKind = SVNStatusKind::none;
    std::optional<QString> m_currentRevision;
    std::optional<QString> m_currentAuthor;
    bool m_currentTreeConflict = false;
};

class RemoteStatusParser {
public:
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (name == u"entry") {
            m_currentPath = attribute(attributes, u"path");
            m_currentRemoteKind = SVNStatusKind::none;
            m_currentRemotePropsKind = SVNStatusKind::none;
            m_currentRevision.reset();
            m_currentAuthor.reset();
        } else if (name == u"wc-status") {
            m_currentRevision = attribute(attributes, u"revision");
        } else if (name == u"repos-status") {
            m_currentRemoteKind = statusAttribute(attributes, u"item", SVNStatusKind::none);
            m_currentRemotePropsKind = statusAttribute(attributes, u"props", SVNStatusKind::none);
        } else if (name == u"against") {
            m_repositoryRevision = integerAttribute(attributes, u"revision");
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (name == u"author") {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (name == u"entry" && m_currentPath) {
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
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (name == u"logentry") {
            m_currentRevision = integerAttribute(attributes, u"revision");
            m_currentAuthor.clear();
            m_currentDate.reset();
            m_currentMessage.clear();
            m_currentPaths.clear();
        } else if (name == u"path") {
            m_currentPathAction = attribute(attributes, u"action").value_or(QString());
            m_currentPathKind = attribute(attributes, u"kind");
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (name == u"author") {
            m_currentAuthor = TextUtil::trimmed(text);
        } else if (name == u"date") {
            m_currentDate = TextUtil::parseInternetDateTime(TextUtil::trimmed(text));
        } else if (name == u"msg") {
            m_currentMessage = TextUtil::trimmedNewlines(text);
        } else if (name == u"path") {
            m_currentPaths.append(SVNPathChange{m_currentPathAction, TextUtil::trimmed(text), m_currentPathKind});
        } else if (name == u"logentry" && m_currentRevision) {
            m_entries.append(LogEntry{*m_currentRevision, std::nullopt, m_currentAuthor, m_currentDate,
                m_currentMessage, std::move(m_currentPaths)});
            m_currentPaths = {};
        }
    }

    QList<LogEntry> result()
    {
        std::stable_sort(m_entries.begin(), m_entries.end(),
            [](const LogEntry &a, const LogEntry &b) { return a.revision > b.revision; });
        return std::move(m_entries);
    }

private:
    QList<LogEntry> m_entries;
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
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        if (name == u"entry") {
            m_currentEntryRevision = attribute(attributes, u"revision");
            m_info.revision = m_currentEntryRevision;
            m_info.workingRevision = m_currentEntryRevision;
        } else if (name == u"repository") {
            m_inRepository = true;
        } else if (name == u"wc-info") {
            m_inWorkingCopy = true;
        } else if (name == u"commit") {
            m_inCommit = true;
            const std::optional<QString> revision = attribute(attributes, u"revision");
            if (revision)
                m_info.revision = revision;
            m_info.lastChangedRevision = revision;
        }
    }

    void end(QStringView name, const QString &text)
    {
        if (name == u"url") {
            if (!m_inRepository)
                m_info.url = TextUtil::trimmed(text);
        } else if (name == u"relative-url") {
            m_info.relativeURL = TextUtil::trimmed(text);
        } else if (name == u"root") {
            if (m_inRepository)
                m_info.repositoryRoot = TextUtil::trimmed(text);
        } else if (name == u"uuid") {
            if (m_inRepository)
                m_info.repositoryUUID = TextUtil::trimmed(text);
        } else if (name == u"wcroot-abspath") {
            if (m_inWorkingCopy)
                m_info.workingCopyRoot = TextUtil::trimmed(text);
        } else if (name == u"author") {
            if (m_inCommit)
                m_info.lastChangedAuthor = TextUtil::trimmed(text);
        } else if (name == u"date") {
            if (m_inCommit)
                m_info.lastChangedDate = TextUtil::parseInternetDateTime(TextUtil::trimmed(text));
        } else if (name == u"repository") {
            m_inRepository = false;
        } else if (name == u"wc-info") {
            m_inWorkingCopy = false;
        } else if (name == u"commit") {
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

template <typename Reader> auto parseWith(const QString &text)
{
    Reader reader;
    runReader(text, reader);
    return reader.result();
}

} // namespace

QList<WorkingCopyItem> parseStatus(const QString &text)
{
    return parseWith<StatusParser>(text);
}

SVNRemoteStatus parseRemoteStatus(const QString &text)
{
    return parseWith<RemoteStatusParser>(text);
}

QList<LogEntry> parseLog(const QString &text)
{
    return parseWith<LogParser>(text);
}

RepositoryInfo parseInfo(const QString &text)
{
    return parseWith<InfoParser>(text);
}

} // namespace SVNXMLParsers
