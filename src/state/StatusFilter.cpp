#include "StatusFilter.h"

#include "WorkingCopyPaths.h"
#include "model/TextUtil.h"

#include <QFileInfo>
#include <QSet>

#include <numeric>
#include <vector>

QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(
    const QList<WorkingCopyItem> &items, const QString &root, const IgnoreRules &rules)
{
    const auto isFolder = [&](qsizetype index) {
        return workingCopyPathIsDirectory(IgnoreRules::normalizePath(items[index].path), root);
    };
    return statusItemsByApplyingIgnoreRules(items, root, rules, isFolder, false);
}

namespace {

void sortByPath(QList<WorkingCopyItem> &items, StatusOrder *order)
{
    if (!order) {
        TextUtil::sortByLocalizedKey(items, [](const WorkingCopyItem &item) { return item.path; });
        return;
    }
    QStringList kept;
    kept.reserve(items.size());
    for (const WorkingCopyItem &item : std::as_const(items))
        kept.push_back(item.path);
    QString locale = TextUtil::workingLocale().bcp47Name();
    if (order->locale != locale || order->keptPaths != kept) {
        QList<qsizetype> from(items.size());
        std::iota(from.begin(), from.end(), qsizetype(0));
        TextUtil::sortByLocalizedKey(from, [&items](qsizetype at) { return std::as_const(items)[at].path; });
        *order = StatusOrder{std::move(locale), std::move(kept), std::move(from)};
    }
    // Put in place along the permutation's cycles: a second list this long would cost more in fresh
    // pages than the moves themselves.
    const QList<qsizetype> &from = order->sortedFrom;
    std::vector<bool> placed(size_t(items.size()), false);
    for (qsizetype start = 0; start < items.size(); ++start) {
        if (placed[size_t(start)])
            continue;
        WorkingCopyItem first = std::move(items[start]);
        qsizetype at = start;
        while (from[at] != start) {
            items[at] = std::move(items[from[at]]);
            placed[size_t(at)] = true;
            at = from[at];
        }
        items[at] = std::move(first);
        placed[size_t(at)] = true;
    }
}

} // namespace

QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(const QList<WorkingCopyItem> &items, const QString &root,
    const IgnoreRules &rules, const std::function<bool(qsizetype item)> &itemIsFolder, bool itemsSorted,
    StatusOrder *order)
{
    QList<WorkingCopyItem> result;
    result.reserve(items.size());
    QSet<QString> seen;
    seen.reserve(items.size());
    // Items kept in their sorted order with their paths as they were need no sorting again.
    bool inOrder = itemsSorted;
    // `path` is the item's path normalized.
    auto appendIfNeeded = [&](WorkingCopyItem item, QString path) {
        if (path.isEmpty() || seen.contains(path))
            return;
        seen.insert(path);
        if (inOrder && path != item.path)
            inOrder = false;
        item.path = std::move(path);
        result.push_back(std::move(item));
    };

    // The working copy's own folder (a property set on it, an update that never finished) is one row
    // under svn's name for it, ahead of the rest, and no ignore rule hides it.
    std::optional<WorkingCopyItem> rootItem;
    const bool noRules = rules.isEmpty();
    for (qsizetype index = 0; index < items.size(); ++index) {
        const WorkingCopyItem &item = items[index];
        QString path = IgnoreRules::normalizePath(item.path);
        if (path.isEmpty()) {
            if (!rootItem && item.kind != SVNStatusKind::ignored) {
                rootItem = item;
                rootItem->path = workingCopyRootPath.toString();
            }
            continue;
        }
        // A nested repository's own folder: git lists an svn working copy's .svn files one by one.
        if (isRepositoryAdministrativePath(item.path))
            continue;
        if (noRules) {
            if (item.kind != SVNStatusKind::ignored)
                appendIfNeeded(item, std::move(path));
            continue;
        }
        const std::optional<bool> decision = rules.decision(path, [&] { return itemIsFolder(index); });
        const bool ignored = decision == true;
        const bool included = decision == false;
        if (ignored) {
            if (item.kind == SVNStatusKind::unversioned && rules.hasIncludedDescendant(path) && itemIsFolder(index)) {
                for (const WorkingCopyItem &inner : includedUnversionedDescendants(path, root, rules)) {
                    inOrder = false;
                    appendIfNeeded(inner, IgnoreRules::normalizePath(inner.path));
                }
            }
            continue;
        }
        if (item.kind == SVNStatusKind::ignored) {
            if (!included)
                continue;
            WorkingCopyItem shown = item;
            shown.kind = SVNStatusKind::unversioned;
            appendIfNeeded(std::move(shown), std::move(path));
            continue;
        }
        appendIfNeeded(item, std::move(path));
    }
    if (!inOrder)
        sortByPath(result, order);
    if (rootItem)
        result.prepend(std::move(*rootItem));
    return result;
}

QList<WorkingCopyItem> includedUnversionedDescendants(
    const QString &folder, const QString &root, const IgnoreRules &rules)
{
    if (!rules.hasIncludedDescendant(folder))
        return {};
    QList<WorkingCopyItem> listed;
    // Depth first, pre-order; symbolic links to folders are listed but never entered, so the walk
    // cannot loop or leave the project.
    std::vector<QString> pending{folder};
    while (!pending.empty()) {
        const QString current = pending.back();
        pending.pop_back();
        const QFileInfoList entries = workingCopyFolderEntries(current, root);
        std::vector<QString> subfolders;
        for (const QFileInfo &entry : entries) {
            const QString name = entry.fileName();
            if (name == u".git" || name == u".svn")
                continue;
            const QString relative = current + u'/' + name;
            const bool isDirectory = entry.isDir();
            const bool descend = isDirectory && !entry.isSymLink();
            if (rules.ignores(relative, isDirectory)) {
                if (descend && rules.hasIncludedDescendant(relative))
                    subfolders.push_back(relative);
                continue;
            }
            listed.push_back(WorkingCopyItem{
                relative, SVNStatusKind::unversioned, SVNStatusKind::none, std::nullopt, std::nullopt, false});
            if (descend)
                subfolders.push_back(relative);
        }
        // Walk the subfolders in name order: push them reversed onto the stack.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back(*it);
    }
    return listed;
}
