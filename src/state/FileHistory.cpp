#include "FileHistory.h"

#include "model/TextUtil.h"

#include <QUrl>

#include <algorithm>

namespace {

QString trimmedSlashes(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u'/')
        ++start;
    while (end > start && text[end - 1] == u'/')
        --end;
    return text.mid(start, end - start);
}

} // namespace

WorkingCopyPathMapping::WorkingCopyPathMapping(const std::optional<QString> &relativeURL)
{
    if (!relativeURL || relativeURL->isEmpty())
        return;
    // svn info percent-encodes the relative URL while log paths are plain text. The "^" marker goes
    // first: a "^" in a name is encoded ("%5E") and must survive.
    QString relative = *relativeURL;
    relative.remove(u'^');
    m_relative = trimmedSlashes(QUrl::fromPercentEncoding(relative.toUtf8()));
}

QString WorkingCopyPathMapping::operator()(const QString &repositoryPath) const
{
    const QString trimmed = trimmedSlashes(repositoryPath);
    if (m_relative.isEmpty())
        return trimmed;
    if (trimmed == m_relative)
        return QStringLiteral(".");
    if (trimmed.size() > m_relative.size() && trimmed.startsWith(m_relative) && trimmed[m_relative.size()] == u'/')
        return trimmed.mid(m_relative.size() + 1);
    return trimmed;
}

FileHistoryCache FileHistoryCache::build(const QList<LogEntry> &entries, const std::optional<QString> &relativeURL)
{
    FileHistoryCache cache;
    cache.items = buildFileHistory(entries, WorkingCopyPathMapping(relativeURL));
    cache.indexByPath.reserve(cache.items.size());
    for (qsizetype i = 0; i < cache.items.size(); ++i)
        cache.indexByPath.insert(cache.items[i].path, i);
    cache.relativeURL = relativeURL;
    cache.built = true;
    return cache;
}

QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath)
{
    qsizetype changes = 0;
    for (const LogEntry &entry : entries)
        changes += entry.paths.size();
    QHash<QString, qsizetype> indexByPath;
    indexByPath.reserve(changes);
    QList<FileHistoryItem> items;
    items.reserve(changes);
    for (const LogEntry &entry : entries) {
        for (const SVNPathChange &change : entry.paths) {
            if (!change.isFileChange())
                continue;
            const QString path = workingCopyPath(change.path);
            if (path.isEmpty() || path == u".")
                continue;
            FileHistoryRevision revision{entry, change.action};
            auto found = indexByPath.constFind(path);
            if (found == indexByPath.constEnd()) {
                indexByPath.insert(path, items.size());
                items.push_back(FileHistoryItem{path, {std::move(revision)}});
            } else {
                items[*found].revisions.push_back(std::move(revision));
            }
        }
    }
    for (FileHistoryItem &item : items) {
        if (item.revisions.size() > 1)
            std::stable_sort(item.revisions.begin(), item.revisions.end(),
                [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
    }
    // One sort: a wide revision lists hundreds of thousands of files.
    TextUtil::sortByLocalizedKey(
        items, [](const FileHistoryItem &item) { return item.path; },
        [](const FileHistoryItem &a, const FileHistoryItem &b) {
            const qint64 latestA = a.revisions.isEmpty() ? 0 : a.revisions.first().revision;
            const qint64 latestB = b.revisions.isEmpty() ? 0 : b.revisions.first().revision;
            return latestA > latestB;
        });
    return items;
}
