#include "SVNCommit.h"

#include "parsers/SVNCommitTargets.h"
#include "tools/ToolOperands.h"

#include <QSet>

namespace SVNCommit {

QList<ToolCommand> scheduling(const QList<WorkingCopyItem> &items)
{
    QStringList missing;
    QStringList unversioned;
    for (const WorkingCopyItem &item : items) {
        if (item.kind == SVNStatusKind::missing)
            missing.push_back(item.path);
        else if (item.kind == SVNStatusKind::unversioned)
            unversioned.push_back(item.path);
    }
    QList<ToolCommand> runs;
    if (!missing.isEmpty())
        runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("delete"), QStringLiteral("--force")}, ToolOperands::svnPaths(missing)));
    if (!unversioned.isEmpty())
        runs.push_back(ToolCommand::withPaths({QStringLiteral("add")}, ToolOperands::svnPaths(unversioned)));
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

ToolCommand childrenQuery(const Folders &folders)
{
    const QStringList arguments{QStringLiteral("status"), QStringLiteral("--xml")};
    QStringList line = arguments + ToolOperands::svnPaths(folders.all);
    if (OperandFiles::fits(line))
        return line;
    return arguments;
}

QStringList committedPaths(const QList<WorkingCopyItem> &items, const QString &statusXml, const Folders &folders)
{
    QStringList paths;
    paths.reserve(items.size());
    for (const WorkingCopyItem &item : items)
        paths.push_back(item.path);
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
