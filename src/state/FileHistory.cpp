#include "FileHistory.h"

#include "model/TextUtil.h"
#include "model/TextUtilSort.h"

#include <QThread>
#include <QUrl>

#include <algorithm>
#include <limits>
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

// The files of the log, grouped and ordered as `buildFileHistory` says, with `index` (where given) made
// from each path to its place.
QList<FileHistoryItem> groupByFile(const QList<LogEntry> &entries,
    const std::function<QString(const QString &)> &workingCopyPath, FilePathIndex *index);

constexpr quint32 noPlace = std::numeric_limits<quint32>::max();

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

FilePathIndex::FilePathIndex(QList<FileHistoryItem> items, std::vector<size_t> hashes)
{
    auto tables = std::make_shared<Tables>();
    tables->items = std::move(items);
    tables->hashes = std::move(hashes);
    const size_t count = size_t(tables->items.size());
    const size_t shardCount = count > 16384 ? size_t(std::max(1, QThread::idealThreadCount())) : 1;
    tables->shardCount = shardCount;
    tables->shardTables.resize(shardCount);
    TextUtil::inParallel(shardCount, [&](size_t shard) {
        size_t capacity = 16;
        while (capacity < 2 * count / shardCount + 2)
            capacity *= 2;
        std::vector<quint32> &table = tables->shardTables[shard];
        table.assign(capacity, noPlace);
        for (size_t place = 0; place < count; ++place) {
            const size_t hash = tables->hashes[place];
            if (hash % shardCount != shard)
                continue;
            size_t slot = (hash / shardCount) & (capacity - 1);
            while (table[slot] != noPlace)
                slot = (slot + 1) & (capacity - 1);
            table[slot] = quint32(place);
        }
    });
    m_tables = std::move(tables);
}

qsizetype FilePathIndex::value(const QString &path, qsizetype missing) const
{
    if (!m_tables || m_tables->items.isEmpty())
        return missing;
    const size_t hash = qHash(path);
    const std::vector<quint32> &table = m_tables->shardTables[hash % m_tables->shardCount];
    const size_t mask = table.size() - 1;
    for (size_t slot = (hash / m_tables->shardCount) & mask;; slot = (slot + 1) & mask) {
        const quint32 place = table[slot];
        if (place == noPlace)
            return missing;
        if (m_tables->hashes[place] == hash && m_tables->items[place].path == path)
            return place;
    }
}

FileHistoryCache FileHistoryCache::build(const QList<LogEntry> &entries, const std::optional<QString> &relativeURL)
{
    FileHistoryCache cache;
    cache.items = groupByFile(entries, WorkingCopyPathMapping(relativeURL), &cache.indexByPath);
    cache.relativeURL = relativeURL;
    cache.built = true;
    return cache;
}

QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath)
{
    return groupByFile(entries, workingCopyPath, nullptr);
}

namespace {

// A copy of an entry whose texts are its own. Copies of one entry made on several threads at once
// contend for its shared data: each thread copies the entries it uses many times from a replica.
LogEntry replicaOf(const LogEntry &entry)
{
    const auto own = [](const QString &text) { return QString(text.constData(), text.size()); };
    LogEntry replica = entry;
    if (entry.commitHash)
        replica.commitHash = own(*entry.commitHash);
    replica.author = own(entry.author);
    replica.message = own(entry.message);
    return replica;
}

QList<FileHistoryItem> groupByFile(const QList<LogEntry> &entries,
    const std::function<QString(const QString &)> &workingCopyPath, FilePathIndex *index)
{
    // A wide revision changes hundreds of thousands of files: they are mapped, grouped, ordered and
    // copied in parallel, and the result comes out the same as one pass in the order of the log would
    // make it.
    struct Change {
        const SVNPathChange *change;
        qsizetype entry;
        // Empty for a path left out.
        QString path;
        size_t hash = 0;
        const char *key = nullptr;
    };
    std::vector<Change> changes;
    {
        size_t count = 0;
        for (const LogEntry &entry : entries)
            count += size_t(std::count_if(entry.paths.begin(), entry.paths.end(),
                [](const SVNPathChange &change) { return change.isFileChange(); }));
        changes.reserve(count);
    }
    for (qsizetype at = 0; at < entries.size(); ++at) {
        for (const SVNPathChange &change : entries[at].paths) {
            if (change.isFileChange())
                changes.push_back({&change, at, QString()});
        }
    }

    // Mapped and hashed in chunks, each chunk's changes put in the shard their hash falls in.
    constexpr size_t chunk = 8192;
    const size_t chunkCount = std::max<size_t>(1, (changes.size() + chunk - 1) / chunk);
    const size_t shardCount = changes.size() > 2 * chunk ? size_t(std::max(1, QThread::idealThreadCount())) : 1;
    std::vector<std::vector<std::vector<quint32>>> shardsOfChunk(chunkCount, std::vector<std::vector<quint32>>(shardCount));
    TextUtil::inParallel(chunkCount, [&](size_t part) {
        for (size_t i = part * chunk; i < std::min(changes.size(), (part + 1) * chunk); ++i) {
            Change &change = changes[i];
            QString path = workingCopyPath(change.change->path);
            if (path.isEmpty() || path == u".")
                continue;
            change.hash = qHash(path);
            change.path = std::move(path);
            shardsOfChunk[part][change.hash % shardCount].push_back(quint32(i));
        }
    });

    // Each shard finds, for each of its changes, the first change of the same path: its leader.
    constexpr quint32 none = noPlace;
    std::vector<quint32> leader(changes.size(), none);
    TextUtil::inParallel(shardCount, [&](size_t shard) {
        size_t count = 0;
        for (const auto &shards : shardsOfChunk)
            count += shards[shard].size();
        size_t capacity = 16;
        while (capacity < 2 * count)
            capacity *= 2;
        std::vector<quint32> table(capacity, none);
        for (const auto &shards : shardsOfChunk) {
            for (const quint32 i : shards[shard]) {
                const Change &change = changes[i];
                for (size_t slot = (change.hash / shardCount) & (capacity - 1);; slot = (slot + 1) & (capacity - 1)) {
                    const quint32 at = table[slot];
                    if (at == none) {
                        table[slot] = i;
                        leader[i] = i;
                        break;
                    }
                    if (changes[at].hash == change.hash && changes[at].path == change.path) {
                        leader[i] = at;
                        break;
                    }
                }
            }
        }
    });
    shardsOfChunk = {};

    // The files numbered in the order first seen, each with its changes in the order of the log.
    std::vector<qsizetype> fileOfLeader(changes.size(), -1);
    std::vector<quint32> firstChange;
    std::vector<qsizetype> starts;
    for (size_t i = 0; i < changes.size(); ++i) {
        if (leader[i] == none)
            continue;
        if (leader[i] == i) {
            fileOfLeader[i] = qsizetype(firstChange.size());
            firstChange.push_back(quint32(i));
            starts.push_back(0);
        }
        ++starts[size_t(fileOfLeader[leader[i]])];
    }
    const qsizetype fileCount = qsizetype(firstChange.size());
    std::vector<qint64> latest(size_t(fileCount), std::numeric_limits<qint64>::min());
    {
        qsizetype start = 0;
        for (qsizetype &at : starts)
            start += std::exchange(at, start);
        starts.push_back(start);
    }
    std::vector<quint32> members(size_t(starts.back()));
    {
        std::vector<qsizetype> next(starts.begin(), starts.end() - 1);
        for (size_t i = 0; i < changes.size(); ++i) {
            if (leader[i] == none)
                continue;
            const size_t file = size_t(fileOfLeader[leader[i]]);
            members[size_t(next[file]++)] = quint32(i);
            latest[file] = std::max(latest[file], entries[changes[i].entry].revision);
        }
    }

    // The files' sort keys, made in parallel.
    constexpr size_t keyChunk = 4096;
    std::vector<std::unique_ptr<TextUtil::StandardSortKeys>> keys(size_t(fileCount + keyChunk - 1) / keyChunk);
    TextUtil::inParallel(std::max<size_t>(1, keys.size()), [&](size_t part) {
        const size_t end = std::min(size_t(fileCount), (part + 1) * keyChunk);
        if (end <= part * keyChunk)
            return;
        auto made = std::make_unique<TextUtil::StandardSortKeys>();
        made->reserve(end - part * keyChunk, (end - part * keyChunk) * 32);
        for (size_t file = part * keyChunk; file < end; ++file)
            made->add(changes[firstChange[file]].path);
        // Where the keys stay once all are made.
        for (size_t file = part * keyChunk; file < end; ++file)
            changes[firstChange[file]].key = made->key(file - part * keyChunk);
        keys[part] = std::move(made);
    });

    // One sort: the latest revision first, then the path in the localized order.
    QList<qsizetype> order(fileCount);
    std::iota(order.begin(), order.end(), qsizetype(0));
    TextUtil::sortByKeys(
        order, [&](qsizetype file) { return changes[firstChange[size_t(file)]].key; },
        [&](qsizetype file) { return -latest[size_t(file)]; });

    // Each file made in its place.
    QList<FileHistoryItem> items(fileCount);
    FileHistoryItem *const placed = items.data();
    constexpr qsizetype fileChunk = 4096;
    // An entry copied this many times or more is copied from a replica.
    constexpr qsizetype wide = 256;
    TextUtil::inParallel(size_t((fileCount + fileChunk - 1) / fileChunk), [&](size_t part) {
        std::vector<std::optional<LogEntry>> replicas;
        const auto source = [&](qsizetype at) -> const LogEntry & {
            const LogEntry &entry = entries[at];
            if (entry.paths.size() < wide)
                return entry;
            if (replicas.empty())
                replicas.resize(size_t(entries.size()));
            std::optional<LogEntry> &replica = replicas[size_t(at)];
            if (!replica)
                replica = replicaOf(entry);
            return *replica;
        };
        // A file changed once shares its list with the files of this part changed alike in the same
        // entry: a wide revision makes a list per part, not one per file.
        struct Single {
            qsizetype entry;
            const QString *action;
            QList<FileHistoryRevision> revisions;
        };
        std::vector<Single> singles;
        const qsizetype end = std::min(fileCount, qsizetype(part + 1) * fileChunk);
        for (qsizetype at = qsizetype(part) * fileChunk; at < end; ++at) {
            const size_t file = size_t(order[at]);
            FileHistoryItem &item = placed[at];
            item.path = changes[firstChange[file]].path;
            if (starts[file + 1] - starts[file] == 1) {
                const Change &change = changes[members[size_t(starts[file])]];
                const auto alike = [&](const Single &single) {
                    return single.entry == change.entry && *single.action == change.change->action;
                };
                auto found = std::find_if(singles.rbegin(), singles.rend(), alike);
                if (found == singles.rend()) {
                    if (singles.size() == 8)
                        singles.erase(singles.begin());
                    singles.push_back({change.entry, &change.change->action,
                        {FileHistoryRevision{source(change.entry), change.change->action}}});
                    found = singles.rbegin();
                }
                item.revisions = found->revisions;
                continue;
            }
            item.revisions.reserve(starts[file + 1] - starts[file]);
            for (qsizetype m = starts[file]; m < starts[file + 1]; ++m) {
                const Change &change = changes[members[size_t(m)]];
                item.revisions.push_back(FileHistoryRevision{source(change.entry), change.change->action});
            }
            if (item.revisions.size() > 1)
                std::stable_sort(item.revisions.begin(), item.revisions.end(),
                    [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
        }
    });
    if (index) {
        std::vector<size_t> hashes(static_cast<size_t>(fileCount));
        for (qsizetype at = 0; at < fileCount; ++at)
            hashes[size_t(at)] = changes[firstChange[size_t(order[at])]].hash;
        *index = FilePathIndex(items, std::move(hashes));
    }
    return items;
}

} // namespace
