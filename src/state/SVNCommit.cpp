#include "SVNCommit.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"
#include "parsers/SVNCommitTargets.h"
#include "tools/ToolOperands.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace SVNCommit {

QList<WorkingCopyItem> committable(const QList<WorkingCopyItem> &items)
{
    QList<WorkingCopyItem> kept;
    kept.reserve(items.size());
    for (const WorkingCopyItem &item : items) {
        if (!item.conflictFile)
            kept.push_back(item);
    }
    return kept;
}

QList<WorkingCopyItem> withMoveHalves(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed)
{
    QList<WorkingCopyItem> items = ticked;
    const bool anyMove = std::any_of(
        ticked.begin(), ticked.end(), [](const WorkingCopyItem &item) { return item.movedFrom || item.movedTo; });
    if (!anyMove)
        return items;
    QSet<QString> included;
    for (const WorkingCopyItem &item : ticked)
        included.insert(item.path);
    QHash<QString, qsizetype> listedIndex;
    for (qsizetype i = 0; i < listed.size(); ++i)
        listedIndex.insert(listed[i].path, i);
    const auto addHalf = [&](const std::optional<QString> &name, SVNStatusKind kind) {
        const QString path = name ? IgnoreRules::normalizePath(*name) : QString();
        if (path.isEmpty() || included.contains(path))
            return;
        included.insert(path);
        if (const auto found = listedIndex.constFind(path); found != listedIndex.constEnd()) {
            items.push_back(listed[*found]);
            return;
        }
        // A half the list does not show (hidden by an ignore rule) is committed all the same.
        WorkingCopyItem half;
        half.path = path;
        half.kind = kind;
        items.push_back(half);
    };
    for (const WorkingCopyItem &item : ticked) {
        addHalf(item.movedFrom, SVNStatusKind::deleted);
        addHalf(item.movedTo, SVNStatusKind::added);
    }
    return items;
}

namespace {

// The ticked moves whose old name is not ticked, each with that name.
QList<std::pair<QString, QString>> movesLeavingOldNames(const QList<WorkingCopyItem> &ticked)
{
    QSet<QString> tickedPaths;
    for (const WorkingCopyItem &item : ticked)
        tickedPaths.insert(item.path);
    QList<std::pair<QString, QString>> moves;
    for (const WorkingCopyItem &item : ticked) {
        const QString oldName = item.movedFrom ? IgnoreRules::normalizePath(*item.movedFrom) : QString();
        if (!oldName.isEmpty() && !tickedPaths.contains(oldName))
            moves.push_back({item.path, oldName});
    }
    return moves;
}

} // namespace

QStringList untickedOldNames(const QList<WorkingCopyItem> &ticked)
{
    QStringList names;
    for (const auto &move : movesLeavingOldNames(ticked)) {
        if (!names.contains(move.second))
            names.push_back(move.second);
    }
    return names;
}

std::optional<ToolCommand> oldNamesQuery(const QStringList &oldNames)
{
    if (oldNames.isEmpty())
        return std::nullopt;
    const QStringList arguments{QStringLiteral("status"), QStringLiteral("--xml")};
    QStringList line = arguments + QStringList{QStringLiteral("--depth=empty")} + ToolOperands::svnPaths(oldNames);
    if (OperandFiles::fits(line))
        return line;
    return arguments;
}

std::optional<AppAlert> moveRefusal(const QList<WorkingCopyItem> &ticked, const QString &statusXml)
{
    const QStringList standing = SVNCommitTargets::notOnlyDeleted(statusXml, untickedOldNames(ticked));
    QStringList moved;
    QStringList oldNames;
    for (const auto &[path, oldName] : movesLeavingOldNames(ticked)) {
        if (!standing.contains(oldName))
            continue;
        moved.push_back(path);
        oldNames.push_back(oldName);
    }
    if (moved.isEmpty())
        return std::nullopt;
    AppAlert alert;
    alert.title = QStringLiteral("Move Needs Its Old Name");
    alert.message = TextUtil::namesInProse(moved) + QStringLiteral(" moved away from ")
        + TextUtil::namesInProse(oldNames)
        + QStringLiteral(", where something new is scheduled now; svn commits both together. Tick ")
        + TextUtil::namesInProse(oldNames) + QStringLiteral(" too, or untick ") + TextUtil::namesInProse(moved) + u'.';
    return alert;
}

QStringList deletions(const QList<WorkingCopyItem> &items)
{
    QStringList missing;
    for (const WorkingCopyItem &item : items) {
        if (item.kind == SVNStatusKind::missing)
            missing.push_back(item.path);
    }
    return missing;
}

QList<ToolCommand> addition(const QStringList &paths, const QStringList &nestedGit)
{
    QList<ToolCommand> runs{ToolCommand::withPaths({QStringLiteral("add")}, ToolOperands::svnPaths(paths))};
    if (!nestedGit.isEmpty())
        runs.push_back(
            ToolCommand::withPaths({QStringLiteral("revert"), QStringLiteral("--depth"), QStringLiteral("infinity")},
                ToolOperands::svnPaths(nestedGit)));
    return runs;
}

QList<ToolCommand> scheduling(const QList<WorkingCopyItem> &items, const QStringList &nestedGit)
{
    const QStringList missing = deletions(items);
    QStringList unversioned;
    for (const WorkingCopyItem &item : items) {
        if (item.kind == SVNStatusKind::unversioned)
            unversioned.push_back(item.path);
    }
    QList<ToolCommand> runs;
    if (!missing.isEmpty())
        runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("delete"), QStringLiteral("--force")}, ToolOperands::svnPaths(missing)));
    if (!unversioned.isEmpty())
        runs += addition(unversioned, nestedGit);
    return runs;
}

Folders folders(const QList<WorkingCopyItem> &items, const std::function<bool(const QString &)> &isDirectory)
{
    Folders folders;
    for (const WorkingCopyItem &item : items) {
        const bool unversioned = item.kind == SVNStatusKind::unversioned;
        if (!unversioned && item.kind != SVNStatusKind::added && item.kind != SVNStatusKind::replaced)
            continue;
        if (!isDirectory(item.path))
            continue;
        folders.all.push_back(item.path);
        if (unversioned)
            folders.added.push_back(item.path);
    }
    return folders;
}

std::optional<ToolCommand> statusQuery(const Folders &folders, const QStringList &deletions)
{
    if (folders.all.isEmpty() && deletions.isEmpty())
        return std::nullopt;
    const QStringList arguments{QStringLiteral("status"), QStringLiteral("--xml")};
    QStringList line = arguments + ToolOperands::svnPaths(folders.all + deletions);
    if (OperandFiles::fits(line))
        return line;
    return arguments;
}

QStringList committedPaths(
    const QList<WorkingCopyItem> &items, const QString &statusXml, const Folders &folders, const QStringList &deletions)
{
    const QStringList stillDeleted = SVNCommitTargets::scheduledForDeletion(statusXml, deletions);
    const QSet<QString> gone
        = QSet<QString>(deletions.begin(), deletions.end()) - QSet<QString>(stillDeleted.begin(), stillDeleted.end());
    QStringList paths;
    paths.reserve(items.size());
    for (const WorkingCopyItem &item : items) {
        if (!gone.contains(item.path))
            paths.push_back(item.path);
    }
    if (folders.all.isEmpty())
        return paths;
    // Only the ticked paths: a ticked folder leaves its unticked children behind.
    const QSet<QString> ticked(paths.begin(), paths.end());
    for (const QString &child : SVNCommitTargets::childrenGoingWith(statusXml, folders.all, folders.added)) {
        if (!ticked.contains(child))
            paths.push_back(child);
    }
    return paths;
}

ToolCommand commit(const QStringList &paths, const QString &message)
{
    // svn refuses a message that names a file unless told it is meant; the paths never read as options.
    return ToolCommand::withPaths(
        {QStringLiteral("commit"), QStringLiteral("--depth=empty"), QStringLiteral("--force-log")},
        ToolOperands::svnPaths(paths), message);
}

} // namespace SVNCommit
