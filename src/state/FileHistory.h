#pragma once

#include "model/LogEntry.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Every file the log changed, each with its revisions newest first; the files by latest revision
// descending, then by path in the localized order. `workingCopyPath` turns a repository path into
// the project's own; paths that come out empty or "." are left out.
QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath);

// Several derived selections read the file history on every render: it is built once per log and
// relative URL.
struct FileHistoryCache {
    // Cleared when the log changes.
    bool built = false;
    // The relative URL the paths were mapped with.
    std::optional<QString> relativeURL;
    QList<FileHistoryItem> items;
    QHash<QString, qsizetype> indexByPath;
};
