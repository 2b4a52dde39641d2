#pragma once

#include "model/LogEntry.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

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

// Several derived selections read the file history on every render: it is built once per log and
// relative URL.
struct FileHistoryCache {
    // Cleared when the log changes.
    bool built = false;
    // The relative URL the paths were mapped with.
    std::optional<QString> relativeURL;
    QList<FileHistoryItem> items;
    QHash<QString, qsizetype> indexByPath;

    // Built for the log, with nothing else read: fit for a worker.
    static FileHistoryCache build(const QList<LogEntry> &entries, const std::optional<QString> &relativeURL);
};

// A loaded log, with its grouping by file where the load made it.
struct LogRead {
    QList<LogEntry> entries;
    std::optional<FileHistoryCache> fileHistory;
};
