#include "FileHistory.h"

#include "model/TextUtil.h"

#include <QThread>
#include <QUrl>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <numeric>
#include <vector>

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
    // A wide revision changes hundreds of thousands of files: they are mapped and grouped in parallel,
    // each path's group made by the shard its hash falls in, then put back in the order of first sight.
    struct Change {
        const LogEntry *entry;
        const SVNPathChange *change;
        QString path;
        size_t shard = 0;
    };
    std::vector<Change> changes;
    for (const LogEntry &entry : entries) {
        for (const SVNPathChange &change : entry.paths) {
            if (change.isFileChange())
                changes.push_back({&entry, &change, QString()});
        }
    }
    constexpr size_t chunk = 8192;
    const size_t shardCount = changes.size() > 2 * chunk ? size_t(std::max(1, QThread::idealThreadCount())) : 1;
    const auto inParallel = [](size_t count, const std::function<void(size_t)> &work) {
        std::vector<size_t> parts(count);
        std::iota(parts.begin(), parts.end(), size_t(0));
        if (count == 1)
            work(0);
        else
            QtConcurrent::blockingMap(parts, work);
    };
    inParallel((changes.size() + chunk - 1) / chunk, [&](size_t part) {
        for (size_t i = part * chunk; i < std::min(changes.size(), (part + 1) * chunk); ++i) {
            changes[i].path = workingCopyPath(changes[i].change->path);
            changes[i].shard = qHash(changes[i].path) % shardCount;
        }
    });

    struct Shard {
        QList<FileHistoryItem> items;
        // The change each item was first seen at.
        std::vector<size_t> firstSeen;
    };
    std::vector<Shard> shards(shardCount);
    inParallel(shardCount, [&](size_t index) {
        Shard &shard = shards[index];
        QHash<QString, qsizetype> indexByPath;
        for (size_t i = 0; i < changes.size(); ++i) {
            const Change &change = changes[i];
            if (change.shard != index || change.path.isEmpty() || change.path == u".")
                continue;
            FileHistoryRevision revision{*change.entry, change.change->action};
            auto found = indexByPath.constFind(change.path);
            if (found == indexByPath.constEnd()) {
                indexByPath.insert(change.path, shard.items.size());
                shard.items.push_back(FileHistoryItem{change.path, {std::move(revision)}});
                shard.firstSeen.push_back(i);
            } else {
                shard.items[*found].revisions.push_back(std::move(revision));
            }
        }
    });
    std::vector<std::pair<size_t, qsizetype>> seenAt(changes.size(), {shardCount, 0});
    qsizetype total = 0;
    for (size_t index = 0; index < shardCount; ++index) {
        for (qsizetype item = 0; item < shards[index].items.size(); ++item)
            seenAt[shards[index].firstSeen[size_t(item)]] = {index, item};
        total += shards[index].items.size();
    }
    QList<FileHistoryItem> items;
    items.reserve(total);
    for (const auto &[index, item] : seenAt) {
        if (index < shardCount)
            items.push_back(std::move(shards[index].items[item]));
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
