#include "FileHistory.h"

#include "model/TextUtil.h"
#include "model/TextUtilSort.h"

#include <QFuture>
#include <QThread>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

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
    const std::function<QString(const QString &)> &workingCopyPath, FilePathIndex *index,
    FilePathsReadAhead *readAhead);

// File paths a read-ahead chunk holds.
constexpr qsizetype readAheadChunk = 4096;

constexpr quint32 noPlace = std::numeric_limits<quint32>::max();

// A path that names no file of the project: the working copy itself, or nothing.
bool leftOut(const QString &path)
{
    return path.isEmpty() || path == u".";
}

// An open-addressing table of places for `count` hashes of one share, at most half full.
std::vector<quint32> emptyTable(size_t count)
{
    size_t capacity = 16;
    while (capacity < 2 * count)
        capacity *= 2;
    return std::vector<quint32>(capacity, noPlace);
}

// The slot of `table` for `hash` in a share of `shardCount`: the first from the hash's own that is empty
// or holds a place `same` takes for the one sought.
template <typename Same>
size_t slotOf(const std::vector<quint32> &table, size_t hash, size_t shardCount, const Same &same)
{
    const size_t mask = table.size() - 1;
    size_t slot = (hash / shardCount) & mask;
    while (table[slot] != noPlace && !same(table[slot]))
        slot = (slot + 1) & mask;
    return slot;
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

FilePathIndex::FilePathIndex(std::vector<size_t> hashes)
{
    auto tables = std::make_shared<Tables>();
    tables->hashes = std::move(hashes);
    const size_t count = tables->hashes.size();
    const size_t shardCount = count > 16384 ? size_t(std::max(1, QThread::idealThreadCount())) : 1;
    tables->shardCount = shardCount;
    tables->shardTables.resize(shardCount);
    TextUtil::inParallel(shardCount, [&](size_t shard) {
        const std::vector<size_t> &hashes = tables->hashes;
        const auto inShard = [&](size_t hash) { return hash % shardCount == shard; };
        std::vector<quint32> &table = tables->shardTables[shard];
        table = emptyTable(size_t(std::count_if(hashes.begin(), hashes.end(), inShard)));
        for (size_t place = 0; place < count; ++place) {
            if (inShard(hashes[place]))
                table[slotOf(table, hashes[place], shardCount, [](quint32) { return false; })] = quint32(place);
        }
    });
    m_made = std::move(tables);
}

FilePathIndex FilePathIndex::withItems(QList<FileHistoryItem> items) &&
{
    Q_ASSERT(m_made && size_t(items.size()) == m_made->hashes.size());
    std::shared_ptr<Tables> tables = std::move(m_made);
    tables->items = std::move(items);
    FilePathIndex index;
    index.m_tables = std::move(tables);
    return index;
}

qsizetype FilePathIndex::value(const QString &path, qsizetype missing) const
{
    if (!m_tables || m_tables->items.isEmpty())
        return missing;
    const size_t hash = qHash(path);
    const std::vector<quint32> &table = m_tables->shardTables[hash % m_tables->shardCount];
    const quint32 place = table[slotOf(table, hash, m_tables->shardCount,
        [&](quint32 at) { return m_tables->hashes[at] == hash && m_tables->items[at].path == path; })];
    return place == noPlace ? missing : qsizetype(place);
}

struct FilePathsReadAhead::Chunk {
    // The log's paths, as read.
    QList<QString> sources;
    std::vector<Path> paths;
    TextUtil::StandardSortKeys keys;
    QFuture<void> work;
};

FilePathsReadAhead::FilePathsReadAhead(const std::optional<QString> &relativeURL)
    : m_mapping(relativeURL), m_relativeURL(relativeURL)
{ }

FilePathsReadAhead::~FilePathsReadAhead()
{
    // Never waited for here, where a load given up may end it on the UI thread: the work holds its
    // chunk, and what has not started is skipped.
    m_abandoned->store(true);
}

void FilePathsReadAhead::add(const QList<SVNPathChange> &changes, qsizetype from)
{
    for (qsizetype at = from; at < changes.size(); ++at) {
        if (!changes[at].isFileChange())
            continue;
        if (m_chunks.empty() || m_chunks.back()->sources.size() == readAheadChunk) {
            if (!m_chunks.empty())
                startLast();
            m_chunks.push_back(std::make_shared<Chunk>());
            m_chunks.back()->sources.reserve(readAheadChunk);
        }
        m_chunks.back()->sources.push_back(changes[at].path);
    }
}

void FilePathsReadAhead::startLast()
{
    // The tool writing the log and the thread reading it keep cores of their own.
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 2));
        return made;
    }();
    const std::shared_ptr<Chunk> chunk = m_chunks.back();
    const auto work = [chunk, abandoned = m_abandoned, mapping = m_mapping] {
        if (abandoned->load())
            return;
        const qsizetype count = chunk->sources.size();
        chunk->paths.resize(size_t(count));
        chunk->keys.reserve(size_t(count));
        for (qsizetype at = 0; at < count; ++at) {
            Path &path = chunk->paths[size_t(at)];
            path.mapped = mapping(std::as_const(chunk->sources)[at]);
            if (leftOut(path.mapped))
                path.mapped.clear();
            else
                path.hash = qHash(path.mapped);
            chunk->keys.add(path.mapped);
        }
        // Where the keys stay once all are made.
        for (qsizetype at = 0; at < count; ++at)
            chunk->paths[size_t(at)].key = chunk->keys.key(size_t(at));
    };
    chunk->work = QtConcurrent::run(pool, work);
}

void FilePathsReadAhead::finish()
{
    if (!m_chunks.empty() && !m_finished)
        startLast();
    m_finished = true;
    for (const std::shared_ptr<Chunk> &chunk : m_chunks)
        chunk->work.waitForFinished();
}

FilePathsReadAhead::Path *FilePathsReadAhead::find(size_t ordinal, const QString &path)
{
    const size_t at = ordinal / size_t(readAheadChunk);
    if (!m_finished || at >= m_chunks.size())
        return nullptr;
    Chunk &chunk = *m_chunks[at];
    const qsizetype inChunk = qsizetype(ordinal % size_t(readAheadChunk));
    if (inChunk >= chunk.sources.size())
        return nullptr;
    const QString &source = chunk.sources[inChunk];
    if (source.constData() != path.constData() && source != path)
        return nullptr;
    return &chunk.paths[size_t(inChunk)];
}

FileHistoryCache FileHistoryCache::build(
    const QList<LogEntry> &entries, const std::optional<QString> &relativeURL, FilePathsReadAhead *readAhead)
{
    FileHistoryCache cache;
    if (readAhead && readAhead->relativeURL() != relativeURL)
        readAhead = nullptr;
    cache.items = groupByFile(entries, WorkingCopyPathMapping(relativeURL), &cache.indexByPath, readAhead);
    cache.relativeURL = relativeURL;
    cache.built = true;
    return cache;
}

QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath)
{
    return groupByFile(entries, workingCopyPath, nullptr, nullptr);
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
    const std::function<QString(const QString &)> &workingCopyPath, FilePathIndex *index, FilePathsReadAhead *readAhead)
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
        TextUtil::touchPages(changes.data(), count * sizeof(Change));
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
    std::vector<std::vector<std::vector<quint32>>> shardsOfChunk(
        chunkCount, std::vector<std::vector<quint32>>(shardCount));
    TextUtil::inParallel(chunkCount, [&](size_t part) {
        for (size_t i = part * chunk; i < std::min(changes.size(), (part + 1) * chunk); ++i) {
            Change &change = changes[i];
            if (FilePathsReadAhead::Path *read = readAhead ? readAhead->find(i, change.change->path) : nullptr) {
                if (read->mapped.isEmpty())
                    continue;
                change.path = std::move(read->mapped);
                change.hash = read->hash;
                change.key = read->key;
            } else {
                QString path = workingCopyPath(change.change->path);
                if (leftOut(path))
                    continue;
                change.hash = qHash(path);
                change.path = std::move(path);
            }
            shardsOfChunk[part][change.hash % shardCount].push_back(quint32(i));
        }
    });

    // Each shard finds, for each of its changes, the first change of the same path: its leader.
    std::vector<quint32> leader = TextUtil::filledVector(changes.size(), noPlace);
    TextUtil::inParallel(shardCount, [&](size_t shard) {
        size_t count = 0;
        for (const auto &shards : shardsOfChunk)
            count += shards[shard].size();
        std::vector<quint32> table = emptyTable(count);
        for (const auto &shards : shardsOfChunk) {
            for (const quint32 i : shards[shard]) {
                const Change &change = changes[i];
                quint32 &slot = table[slotOf(table, change.hash, shardCount,
                    [&](quint32 at) { return changes[at].hash == change.hash && changes[at].path == change.path; })];
                if (slot == noPlace)
                    slot = i;
                leader[i] = slot;
            }
        }
    });
    shardsOfChunk = {};

    // The files numbered in the order first seen, each with its changes in the order of the log: the
    // leaders numbered and placed in parallel, the changes that repeat a path then taken in order.
    std::vector<size_t> leadersOfChunk(chunkCount);
    std::vector<std::vector<quint32>> repeatsOfChunk(chunkCount);
    TextUtil::inParallel(chunkCount, [&](size_t part) {
        for (size_t i = part * chunk; i < std::min(changes.size(), (part + 1) * chunk); ++i) {
            if (leader[i] == i)
                ++leadersOfChunk[part];
            else if (leader[i] != noPlace)
                repeatsOfChunk[part].push_back(quint32(i));
        }
    });
    std::vector<qsizetype> firstFileOfChunk(chunkCount + 1, 0);
    for (size_t part = 0; part < chunkCount; ++part)
        firstFileOfChunk[part + 1] = firstFileOfChunk[part] + qsizetype(leadersOfChunk[part]);
    const qsizetype fileCount = firstFileOfChunk[chunkCount];
    std::vector<qsizetype> fileOfLeader = TextUtil::filledVector<qsizetype>(changes.size(), -1);
    std::vector<quint32> firstChange = TextUtil::filledVector<quint32>(size_t(fileCount));
    // Each file's changes: its leader's alone until the repeats are counted.
    std::vector<qsizetype> starts = TextUtil::filledVector<qsizetype>(size_t(fileCount) + 1, 1);
    TextUtil::inParallel(chunkCount, [&](size_t part) {
        qsizetype file = firstFileOfChunk[part];
        for (size_t i = part * chunk; i < std::min(changes.size(), (part + 1) * chunk); ++i) {
            if (leader[i] == i) {
                fileOfLeader[i] = file;
                firstChange[size_t(file++)] = quint32(i);
            }
        }
    });
    for (const std::vector<quint32> &repeats : repeatsOfChunk) {
        for (const quint32 i : repeats)
            ++starts[size_t(fileOfLeader[leader[i]])];
    }
    {
        qsizetype start = 0;
        for (qsizetype &at : starts)
            start += std::exchange(at, start);
    }
    std::vector<quint32> members = TextUtil::filledVector<quint32>(size_t(starts.back()));
    std::vector<qint64> latest = TextUtil::filledVector<qint64>(size_t(fileCount));
    TextUtil::inParallel(chunkCount, [&](size_t part) {
        for (qsizetype file = firstFileOfChunk[part]; file < firstFileOfChunk[part + 1]; ++file) {
            const quint32 i = firstChange[size_t(file)];
            members[size_t(starts[size_t(file)])] = i;
            latest[size_t(file)] = entries[changes[i].entry].revision;
        }
    });
    if (starts.back() > fileCount) {
        std::vector<qsizetype> next = TextUtil::filledVector<qsizetype>(size_t(fileCount), 1);
        for (const std::vector<quint32> &repeats : repeatsOfChunk) {
            for (const quint32 i : repeats) {
                const size_t file = size_t(fileOfLeader[leader[i]]);
                members[size_t(starts[file] + next[file]++)] = i;
                latest[file] = std::max(latest[file], entries[changes[i].entry].revision);
            }
        }
    }

    // The files' sort keys the read-ahead did not make, made in parallel.
    constexpr size_t keyChunk = 4096;
    std::vector<std::unique_ptr<TextUtil::StandardSortKeys>> keys(size_t(fileCount + keyChunk - 1) / keyChunk);
    TextUtil::inParallel(std::max<size_t>(1, keys.size()), [&](size_t part) {
        std::vector<Change *> missing;
        for (size_t file = part * keyChunk; file < std::min(size_t(fileCount), (part + 1) * keyChunk); ++file) {
            if (!changes[firstChange[file]].key)
                missing.push_back(&changes[firstChange[file]]);
        }
        if (missing.empty())
            return;
        auto made = std::make_unique<TextUtil::StandardSortKeys>();
        made->reserve(missing.size());
        for (const Change *change : missing)
            made->add(change->path);
        // Where the keys stay once all are made.
        for (size_t at = 0; at < missing.size(); ++at)
            missing[at]->key = made->key(at);
        keys[part] = std::move(made);
    });

    // One sort: the latest revision first, then the path in the localized order.
    QList<qsizetype> order(fileCount);
    std::iota(order.begin(), order.end(), qsizetype(0));
    TextUtil::sortByKeys(
        order, [&](qsizetype file) { return changes[firstChange[size_t(file)]].key; },
        [&](qsizetype file) { return -latest[size_t(file)]; });

    // Read by the threads below, which never write the list.
    const qsizetype *const fileAt = order.constData();

    // The index's tables made while the files are.
    QFuture<FilePathIndex> indexing;
    if (index) {
        indexing = QtConcurrent::run([&] {
            std::vector<size_t> hashes = TextUtil::filledVector<size_t>(size_t(fileCount));
            constexpr qsizetype part = 16384;
            TextUtil::inParallelRanges(fileCount, part, [&](qsizetype begin, qsizetype end) {
                for (qsizetype place = begin; place < end; ++place)
                    hashes[size_t(place)] = changes[firstChange[size_t(fileAt[place])]].hash;
            });
            return FilePathIndex(std::move(hashes));
        });
    }

    // Each file made in its place.
    QList<FileHistoryItem> items = TextUtil::defaultList<FileHistoryItem>(fileCount);
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
            const size_t file = size_t(fileAt[at]);
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
    if (index)
        *index = indexing.result().withItems(items);
    // What the grouping made for itself is freed on the pool: a wide revision's changes take as long
    // to free as to make.
    (void)QtConcurrent::run([changes = std::move(changes), keys = std::move(keys), leader = std::move(leader),
                                fileOfLeader = std::move(fileOfLeader), members = std::move(members)] {});
    return items;
}

} // namespace
