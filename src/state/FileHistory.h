#pragma once

#include "model/LogEntry.h"

#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Every file the log changed, each with its revisions newest first; the files by latest revision
// descending, then by path in the localized order. `workingCopyPath` turns a repository path into
// the project's own (called from several threads at once); paths that come out empty or "." are left out.
QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath);

// A log's repository path as the project's own, for a working copy at `relativeURL` (svn info's
// "^/..." form): the path below it, "." for itself, the path trimmed of slashes elsewhere.
class WorkingCopyPathMapping {
public:
    explicit WorkingCopyPathMapping(const std::optional<QString> &relativeURL);
    QString operator()(const QString &repositoryPath) const;

private:
    QString m_relative;
};

// The places of a file history's items by path. Made in parallel with the items, in tables of their
// own for each share of the paths' hashes, each slot holding a place in the items, whose paths it
// compares: no path is copied or hashed again.
class FilePathIndex {
public:
    FilePathIndex() = default;
    // The tables for items whose paths have `hashes` (qHash of each, in the items' order), made
    // before the items are.
    explicit FilePathIndex(std::vector<size_t> hashes);
    // The index with its items, once made; the tables move into it.
    FilePathIndex withItems(QList<FileHistoryItem> items) &&;

    // The place of the item with `path`, or `missing`.
    qsizetype value(const QString &path, qsizetype missing = -1) const;
    qsizetype size() const { return m_tables ? m_tables->items.size() : 0; }

private:
    struct Tables {
        QList<FileHistoryItem> items;
        std::vector<size_t> hashes;
        size_t shardCount = 1;
        // Each share's slots: a place in the items, or none.
        std::vector<std::vector<quint32>> shardTables;
    };
    // Shared by copies: a copy costs nothing.
    std::shared_ptr<const Tables> m_tables;
    // Until the items are given.
    std::shared_ptr<Tables> m_made;
};

// A log's file paths worked out while the tool still writes the log, for its grouping by file: each
// path, in the order read, as the project's own, with its hash and sort key. Worked out a chunk at a
// time on threads of its own, leaving cores to the tool and the reading; the grouping takes what
// matches its own paths and works out the rest itself.
class FilePathsReadAhead {
public:
    explicit FilePathsReadAhead(const std::optional<QString> &relativeURL);
    ~FilePathsReadAhead();
    FilePathsReadAhead(const FilePathsReadAhead &) = delete;
    FilePathsReadAhead &operator=(const FilePathsReadAhead &) = delete;

    // The changes from `from` on, next in the log as read; only file changes count.
    void add(const QList<SVNPathChange> &changes, qsizetype from = 0);
    // After the last change: waits until every path is worked out.
    void finish();

    const std::optional<QString> &relativeURL() const { return m_relativeURL; }

    struct Path {
        // Empty for a path left out.
        QString mapped;
        size_t hash = 0;
        const char *key = nullptr;
    };
    // The `ordinal`-th file path read, when it is `path`; its mapped path may be taken, once. Only
    // once finished.
    Path *find(size_t ordinal, const QString &path);

private:
    struct Chunk;
    void startLast();

    WorkingCopyPathMapping m_mapping;
    std::optional<QString> m_relativeURL;
    std::vector<std::shared_ptr<Chunk>> m_chunks;
    bool m_finished = false;
    std::shared_ptr<std::atomic<bool>> m_abandoned = std::make_shared<std::atomic<bool>>(false);
};

// Several derived selections read the file history on every render: it is built once per log and
// relative URL.
struct FileHistoryCache {
    // Cleared when the log changes.
    bool built = false;
    // The relative URL the paths were mapped with.
    std::optional<QString> relativeURL;
    QList<FileHistoryItem> items;
    FilePathIndex indexByPath;

    // Built for the log, with nothing else read: fit for a worker. Takes what `readAhead` worked out of
    // the log's paths.
    static FileHistoryCache build(const QList<LogEntry> &entries, const std::optional<QString> &relativeURL,
        FilePathsReadAhead *readAhead = nullptr);
};

// A loaded log, with its grouping by file where the load made it.
struct LogRead {
    QList<LogEntry> entries;
    std::optional<FileHistoryCache> fileHistory;
};
