#include "FileHistory.h"

#include "model/TextUtil.h"

#include <algorithm>

QList<FileHistoryItem> buildFileHistory(
    const QList<LogEntry> &entries, const std::function<QString(const QString &)> &workingCopyPath)
{
    QHash<QString, qsizetype> indexByPath;
    QList<FileHistoryItem> items;
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
        std::stable_sort(item.revisions.begin(), item.revisions.end(),
            [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
    }
    TextUtil::sortByLocalizedKey(items, [](const FileHistoryItem &item) { return item.path; });
    std::stable_sort(items.begin(), items.end(), [](const FileHistoryItem &a, const FileHistoryItem &b) {
        const qint64 latestA = a.revisions.isEmpty() ? 0 : a.revisions.first().revision;
        const qint64 latestB = b.revisions.isEmpty() ? 0 : b.revisions.first().revision;
        return latestA > latestB;
    });
    return items;
}
