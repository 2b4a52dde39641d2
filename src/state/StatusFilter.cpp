#include "StatusFilter.h"

#include "WorkingCopyPaths.h"
#include "model/TextUtil.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
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

// What becomes of a status item.
enum class Verdict : qint8 { left, root, listed, listedAsUnversioned, walked };

// The row a kept item is listed as.
WorkingCopyItem listedRow(const WorkingCopyItem &item, Verdict verdict, const QString &path)
{
    WorkingCopyItem row = item;
    row.path = path;
    if (verdict == Verdict::listedAsUnversioned)
        row.kind = SVNStatusKind::unversioned;
    return row;
}

void sortByPath(QList<WorkingCopyItem> &items, StatusOrder *order)
{
    if (!order) {
        TextUtil::sortByLocalizedKey(items, [](const WorkingCopyItem &item) { return item.path; });
        return;
    }
    // The same paths in the same order sort alike: the last list, read through the last sort, says
    // whether they are.
    QString locale = TextUtil::workingLocale().bcp47Name();
    const StatusOrder &last = *order;
    bool samePaths = last.locale == locale && last.sorted.size() == items.size();
    for (qsizetype at = 0; samePaths && at < items.size(); ++at)
        samePaths = std::as_const(items)[last.sortedFrom[at]].path == last.sorted[at].path;
    if (!samePaths) {
        QList<qsizetype> from(items.size());
        std::iota(from.begin(), from.end(), qsizetype(0));
        TextUtil::sortByLocalizedKey(from, [&items](qsizetype at) { return std::as_const(items)[at].path; });
        order->locale = std::move(locale);
        order->sortedFrom = std::move(from);
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
    order->sorted = items;
}

} // namespace

QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(const QList<WorkingCopyItem> &items, const QString &root,
    const IgnoreRules &rules, const std::function<bool(qsizetype item)> &itemIsFolder, bool itemsSorted,
    StatusOrder *order)
{
    // What becomes of each item, worked out for a long list in parts on several threads.
    std::vector<Verdict> verdicts(size_t(items.size()), Verdict::left);
    std::vector<QString> normalized(size_t(items.size()));
    const bool noRules = rules.isEmpty();
    constexpr qsizetype part = 4096;
    TextUtil::inParallelRanges(items.size(), part, [&](qsizetype begin, qsizetype end) {
        for (qsizetype index = begin; index < end; ++index) {
            const WorkingCopyItem &item = items[index];
            QString path = IgnoreRules::normalizePath(item.path);
            Verdict &verdict = verdicts[size_t(index)];
            if (path.isEmpty()) {
                verdict = Verdict::root;
                continue;
            }
            // A nested repository's own folder: git lists an svn working copy's .svn files one by one.
            if (isRepositoryAdministrativePath(item.path))
                continue;
            if (noRules) {
                if (item.kind != SVNStatusKind::ignored)
                    verdict = Verdict::listed;
            } else {
                const std::optional<bool> decision = rules.decision(path, [&] { return itemIsFolder(index); });
                if (decision == true) {
                    if (item.kind == SVNStatusKind::unversioned && rules.hasIncludedDescendant(path)
                        && itemIsFolder(index))
                        verdict = Verdict::walked;
                } else if (item.kind != SVNStatusKind::ignored) {
                    verdict = Verdict::listed;
                } else if (decision == false) {
                    verdict = Verdict::listedAsUnversioned;
                }
            }
            normalized[size_t(index)] = std::move(path);
        }
    });

    // The working copy's own folder (a property set on it, an update that never finished) is one row
    // under svn's name for it, ahead of the rest, and no ignore rule hides it.
    std::optional<WorkingCopyItem> rootItem;
    std::vector<qsizetype> kept;
    kept.reserve(items.size());
    bool walked = false;
    for (qsizetype index = 0; index < items.size(); ++index) {
        const Verdict verdict = verdicts[size_t(index)];
        if (verdict == Verdict::root) {
            if (!rootItem && items[index].kind != SVNStatusKind::ignored) {
                rootItem = items[index];
                rootItem->path = workingCopyRootPath.toString();
            }
        } else if (verdict != Verdict::left) {
            walked = walked || verdict == Verdict::walked;
            kept.push_back(index);
        }
    }
    const auto withRoot = [&rootItem](QList<WorkingCopyItem> list) {
        if (rootItem)
            list.prepend(std::move(*rootItem));
        return list;
    };

    // The rows of the last list, in the same order of the tool's, are that list again (a reload of an
    // unchanged working copy): told apart from it row by row, without a list made or a path hashed.
    if (order && !itemsSorted && !walked && order->sorted.size() == qsizetype(kept.size())
        && order->locale == TextUtil::workingLocale().bcp47Name()) {
        // Read only: the last list shares its rows with the list on screen.
        const StatusOrder &last = *order;
        std::atomic<bool> same = true;
        TextUtil::inParallelRanges(last.sorted.size(), part, [&](qsizetype begin, qsizetype end) {
            for (qsizetype place = begin; place < end && same.load(std::memory_order_relaxed); ++place) {
                const qsizetype index = kept[size_t(last.sortedFrom[place])];
                if (!(listedRow(items[index], verdicts[size_t(index)], normalized[size_t(index)])
                        == last.sorted[place]))
                    same = false;
            }
        });
        if (same)
            return withRoot(order->sorted);
    }

    QList<WorkingCopyItem> result;
    result.reserve(qsizetype(kept.size()));
    QSet<QString> seen;
    seen.reserve(qsizetype(kept.size()));
    // Items kept in their sorted order with their paths as they were need no sorting again.
    bool inOrder = itemsSorted;
    const auto append = [&](WorkingCopyItem row) {
        if (seen.contains(row.path))
            return;
        seen.insert(row.path);
        result.push_back(std::move(row));
    };
    for (const qsizetype index : kept) {
        const WorkingCopyItem &item = items[index];
        const Verdict verdict = verdicts[size_t(index)];
        QString &path = normalized[size_t(index)];
        if (verdict == Verdict::walked) {
            for (const WorkingCopyItem &inner : includedUnversionedDescendants(path, root, rules)) {
                inOrder = false;
                QString innerPath = IgnoreRules::normalizePath(inner.path);
                if (!innerPath.isEmpty())
                    append(listedRow(inner, Verdict::listed, innerPath));
            }
            continue;
        }
        if (inOrder && path != item.path)
            inOrder = false;
        append(listedRow(item, verdict, path));
    }
    if (!inOrder)
        sortByPath(result, order);
    return withRoot(std::move(result));
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
