#include "RevertPlan.h"

#include "tools/ToolOperands.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace RevertPlan {

namespace {

using PathTest = std::function<bool(const QString &)>;

bool isInside(const QString &path, const QString &folder)
{
    if (folder == workingCopyRootPath)
        return path != folder;
    return path.size() > folder.size() && path.startsWith(folder) && path[folder.size()] == u'/';
}

bool isWithinAny(const QString &path, const QStringList &folders, bool orEqual)
{
    return std::any_of(folders.begin(), folders.end(),
        [&path, orEqual](const QString &folder) { return (orEqual && path == folder) || isInside(path, folder); });
}

// Plain text order of the paths' components, a folder after everything inside it: svn refuses a list
// that names a new folder before its children.
QStringList childrenFirst(QStringList list)
{
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        const qsizetype common = std::min(a.size(), b.size());
        qsizetype i = 0;
        while (i < common && a[i] == b[i])
            ++i;
        if (i == a.size())
            return i < b.size() && b[i] != u'/';
        if (i == b.size())
            return a[i] == u'/';
        if (a[i] == u'/' || b[i] == u'/')
            return a[i] == u'/';
        return a[i] < b[i];
    });
    return ToolOperands::svnPaths(list);
}

QHash<QString, const WorkingCopyItem *> rowsByPath(const QList<WorkingCopyItem> &listed)
{
    QHash<QString, const WorkingCopyItem *> rows;
    rows.reserve(listed.size());
    for (const WorkingCopyItem &item : listed)
        rows.insert(item.path, &item);
    return rows;
}

// "The folder t.txt stands ...", "The folder t.txt and the file A stand ...".
AppAlert inTheWay(const QStringList &paths, const PathTest &isDirectory, bool othersReverted)
{
    QStringList names;
    for (const QString &path : paths)
        names.push_back((isDirectory(path) ? QStringLiteral("the folder ") : QStringLiteral("the file ")) + path);
    const bool one = names.size() == 1;
    QString subject = names.takeLast();
    if (!names.isEmpty())
        subject = names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + subject;
    subject[0] = subject[0].toUpper();
    const QString them = one ? QStringLiteral("it") : QStringLiteral("them");
    AppAlert alert;
    alert.title = QStringLiteral("Path In The Way");
    alert.message = subject + (one ? QStringLiteral(" stands") : QStringLiteral(" stand"))
        + QStringLiteral(" where the repository has something else, and Revert would delete ") + them
        + QStringLiteral(". Move ") + them + QStringLiteral(" elsewhere first, then revert.");
    if (othersReverted)
        alert.message += QStringLiteral(" The other selected paths are reverted.");
    return alert;
}

} // namespace

Plan svn(const QStringList &paths, const QList<WorkingCopyItem> &listed, const PathTest &isDirectory)
{
    const QHash<QString, const WorkingCopyItem *> rows = rowsByPath(listed);
    // svn revert deletes whatever stands where it tracks something else, a folder with all it holds.
    // Where svn has a file scheduled for deletion, it does not even report the folder standing there:
    // a deleted row that is a folder on disk with nothing of svn's listed inside it.
    QStringList obstructions;
    QStringList deletedFolders;
    for (const WorkingCopyItem &item : listed) {
        if (item.kind == SVNStatusKind::obstructed)
            obstructions.push_back(item.path);
        else if (item.kind == SVNStatusKind::deleted && isDirectory(item.path))
            deletedFolders.push_back(item.path);
    }
    if (!deletedFolders.isEmpty()) {
        QSet<QString> holdingRows;
        for (const WorkingCopyItem &item : listed) {
            const QString &path = item.path;
            for (qsizetype slash = path.lastIndexOf(u'/'); slash > 0; slash = path.lastIndexOf(u'/', slash - 1))
                holdingRows.insert(path.left(slash));
        }
        for (const QString &path : std::as_const(deletedFolders)) {
            if (!holdingRows.contains(path))
                obstructions.push_back(path);
        }
    }
    Plan plan;
    QStringList refused;
    QStringList inPlace;
    QStringList copies;
    QStringList trees;
    for (const QString &path : paths) {
        const auto obstruction = std::find_if(obstructions.begin(), obstructions.end(),
            [&path](const QString &in) { return path == in || isInside(path, in); });
        if (obstruction != obstructions.end()) {
            if (!refused.contains(*obstruction))
                refused.push_back(*obstruction);
            continue;
        }
        const WorkingCopyItem *item = rows.value(path);
        const SVNStatusKind kind = item ? item->kind : SVNStatusKind::none;
        // svn revert deletes a copy from disk, the user's files in it included; unscheduling it keeps
        // them, as the revert of anything else added does. What a copy replaced then comes back over
        // it, and the copy's files the repository does not have there stay.
        const bool copy = item && item->copied && (kind == SVNStatusKind::added || kind == SVNStatusKind::replaced);
        // svn reverts a folder scheduled for addition, deletion or replacement only with its whole tree
        // ("Can't revert ... without reverting children"; a deleted or missing folder would come back
        // empty), while a folder changed in place keeps its children's changes.
        const bool tree = kind == SVNStatusKind::replaced
            || (!copy
                && (kind == SVNStatusKind::added || kind == SVNStatusKind::deleted || kind == SVNStatusKind::missing));
        // The whole tree goes back, and with it whatever stands in the way inside it.
        if (tree) {
            const auto inside = std::find_if(
                obstructions.begin(), obstructions.end(), [&path](const QString &in) { return isInside(in, path); });
            if (inside != obstructions.end()) {
                if (!refused.contains(*inside))
                    refused.push_back(*inside);
                continue;
            }
        }
        plan.reverted.push_back(path);
        if (copy)
            copies.push_back(path);
        if (tree)
            trees.push_back(path);
        else if (!copy)
            inPlace.push_back(path);
    }
    // Taking back the new half of a move takes back its old half, which would otherwise stay deleted.
    for (const WorkingCopyItem &item : listed) {
        if (!item.movedFrom || !(isWithinAny(item.path, copies, true) || isWithinAny(item.path, trees, true)))
            continue;
        const QString &source = *item.movedFrom;
        if (isWithinAny(source, copies, true) || isWithinAny(source, trees, true)
            || isWithinAny(source, obstructions, true))
            continue;
        trees.push_back(source);
    }
    // A copy inside a folder reverted whole goes with it, and svn keeps its files when it is not named
    // itself; whatever lies inside a copy is unscheduled with it and keeps the user's edits.
    const QStringList allCopies = copies;
    copies.removeIf([&trees, &allCopies](const QString &path) {
        return isWithinAny(path, trees, false) || isWithinAny(path, allCopies, false);
    });
    const auto insideCopy = [&allCopies](const QString &path) { return isWithinAny(path, allCopies, false); };
    trees.removeIf(insideCopy);
    inPlace.removeIf(insideCopy);

    // Changed files first, then the copies while svn still knows them, then the scheduled trees.
    if (!inPlace.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths({QStringLiteral("revert")}, childrenFirst(inPlace)));
    if (!copies.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("delete"), QStringLiteral("--keep-local"), QStringLiteral("--force")},
            childrenFirst(copies)));
    if (!trees.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("revert"), QStringLiteral("--depth"), QStringLiteral("infinity")}, childrenFirst(trees)));
    if (!refused.isEmpty())
        plan.alert = inTheWay(refused, isDirectory, !plan.runs.isEmpty());
    return plan;
}

Plan git(const QStringList &paths, const QList<WorkingCopyItem> &listed, const PathTest &isDirectory,
    const PathTest &isOnDisk)
{
    const QHash<QString, const WorkingCopyItem *> rows = rowsByPath(listed);
    Plan plan;
    QStringList refused;
    for (const QString &path : paths) {
        const WorkingCopyItem *item = rows.value(path);
        // Untracked files are left alone, as svn revert leaves unversioned ones; git would refuse the
        // whole run over one of them.
        if (item && (item->kind == SVNStatusKind::unversioned || item->kind == SVNStatusKind::ignored))
            continue;
        // A folder where git tracks a file holds only untracked files, and git restore deletes it.
        if (item && item->kind == SVNStatusKind::deleted && isDirectory(path)) {
            refused.push_back(path);
            continue;
        }
        plan.reverted.push_back(path);
    }
    if (plan.reverted.isEmpty()) {
        if (!refused.isEmpty()) {
            plan.alert = inTheWay(refused, isDirectory, false);
        } else {
            plan.alert.emplace();
            plan.alert->title = QStringLiteral("Nothing To Revert");
            plan.alert->message
                = QStringLiteral("The selected files are untracked: Revert leaves untracked files alone.");
        }
        return plan;
    }
    // git lists tracked files one by one: a tracked row that is a folder on disk is a submodule.
    plan.submodules = std::any_of(plan.reverted.begin(), plan.reverted.end(), isDirectory);

    // Restoring the work tree of a file that was only ever staged deletes it for good; unstaging
    // alone leaves it as an untracked file, as svn revert does. The new name of a rename or copy is
    // such a file.
    QStringList added;
    QStringList others;
    QStringList renameSources;
    for (const QString &path : plan.reverted) {
        const WorkingCopyItem *item = rows.value(path);
        const bool isAdded = item && (item->kind == SVNStatusKind::added || item->renamedFrom || item->copiedFrom);
        (isAdded ? added : others).push_back(path);
        if (item && item->renamedFrom)
            renameSources.push_back(*item->renamedFrom);
    }
    // A rename's old name comes back as in HEAD; when something new lies there it is only unstaged.
    for (const QString &source : renameSources) {
        if (added.contains(source) || others.contains(source))
            continue;
        (isOnDisk(source) ? added : others).push_back(source);
    }
    // git reset unstages on a branch without commits too, where git restore finds no HEAD.
    if (!added.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths({QStringLiteral("reset"), QStringLiteral("-q")}, added));
    // A submodule is put back to the commit HEAD records, its work tree included.
    if (!others.isEmpty())
        plan.runs.push_back(
            ToolCommand::withPaths({QStringLiteral("restore"), QStringLiteral("--staged"), QStringLiteral("--worktree"),
                                       QStringLiteral("--recurse-submodules")},
                others));
    if (!refused.isEmpty())
        plan.alert = inTheWay(refused, isDirectory, true);
    return plan;
}

} // namespace RevertPlan
