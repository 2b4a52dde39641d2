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

    // Each shard finds the paths whose hash falls in it, numbering them in the order first seen. The
    // revisions are copied afterwards on one thread: copies of one wide entry made on several threads at
    // once contend for its shared data.
    std::vector<qsizetype> groupOf(changes.size(), -1);
    std::vector<qsizetype> groupCounts(shardCount, 0);
    inParallel(shardCount, [&](size_t index) {
        QHash<QString, qsizetype> groupByPath;
        for (size_t i = 0; i < changes.size(); ++i) {
            const Change &change = changes[i];
            if (change.shard != index || change.path.isEmpty() || change.path == u".")
                continue;
            const auto found = groupByPath.constFind(change.path);
            groupOf[i] = found != groupByPath.constEnd()
                ? *found
                : groupByPath.insert(change.path, groupCounts[index]++).value();
        }
    });
    std::vector<std::vector<qsizetype>> itemOfGroup(shardCount);
    qsizetype total = 0;
    for (size_t index = 0; index < shardCount; ++index) {
        itemOfGroup[index].assign(size_t(groupCounts[index]), -1);
        total += groupCounts[index];
    }
    QList<FileHistoryItem> items;
    items.reserve(total);
    for (size_t i = 0; i < changes.size(); ++i) {
        if (groupOf[i] < 0)
            continue;
        Change &change = changes[i];
        qsizetype &item = itemOfGroup[change.shard][size_t(groupOf[i])];
        if (item < 0) {
            item = items.size();
            items.push_back(FileHistoryItem{std::move(change.path), {}});
        }
        items[item].revisions.push_back(FileHistoryRevision{*change.entry, change.change->action});
    }
    for (FileHistoryItem &item : items) {
        if (item.revisions.size() > 1)
            std::stable_sort(item.revisions.begin(), item.revisions.end(),
                [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
    }
    // One sort: a wide revision lists hundreds of thousands of files.
    TextUtil::sortByLocalizedKey(
        items, [](const FileHistoryItem &item) { return item.path; },
        // The latest revision first.
        [](const FileHistoryItem &item) { return item.revisions.isEmpty() ? 0 : -item.revisions.first().revision; });
    return items;
}
