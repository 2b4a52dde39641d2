#pragma once

#include "model/LogEntry.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
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
    // `hashes[i]` is qHash of the path of `items[i]`.
    FilePathIndex(QList<FileHistoryItem> items, std::vector<size_t> hashes);

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

    // Built for the log, with nothing else read: fit for a worker.
    static FileHistoryCache build(const QList<LogEntry> &entries, const std::optional<QString> &relativeURL);
};

// A loaded log, with its grouping by file where the load made it.
struct LogRead {
    QList<LogEntry> entries;
    std::optional<FileHistoryCache> fileHistory;
};
