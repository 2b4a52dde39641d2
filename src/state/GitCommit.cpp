#include "GitCommit.h"

#include "model/TextUtil.h"
#include "state/WorkingCopyPaths.h"

#include <QDir>
#include <QFileInfo>

namespace GitCommit {

namespace {

// git reports exactly its unmerged pairs (DD, AU, UD, UA, DU, AA, UU) as conflicted.
bool isUnmerged(const WorkingCopyItem &item)
{
    return item.kind == SVNStatusKind::conflicted;
}

bool isTracked(const WorkingCopyItem &item)
{
    return item.kind != SVNStatusKind::unversioned && item.kind != SVNStatusKind::ignored;
}

// "a.txt", "a.txt and b.txt", "a.txt, b.txt and c.txt", at most ten names.
QString namesInProse(const QStringList &paths)
{
    constexpr qsizetype shown = 10;
    QStringList names;
    for (qsizetype i = 0; i < paths.size() && i < shown; ++i)
        names.push_back(TextUtil::displayFileName(paths[i]));
    if (paths.size() > shown)
        names.push_back(QString::number(paths.size() - shown) + QStringLiteral(" more"));
    if (names.size() == 1)
        return names.front();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

AppAlert alert(const QString &title, const QString &message)
{
    AppAlert alert;
    alert.title = title;
    alert.message = message;
    return alert;
}

} // namespace

QStringList operationQuery()
{
    return {QStringLiteral("rev-parse"), QStringLiteral("--git-path"), QStringLiteral("MERGE_HEAD"),
        QStringLiteral("--git-path"), QStringLiteral("CHERRY_PICK_HEAD"), QStringLiteral("--git-path"),
        QStringLiteral("REVERT_HEAD")};
}

Operation operationFromQuery(const QString &answer, const QString &folder)
{
    const QStringList paths = TextUtil::splitLines(answer);
    const Operation operations[] = {Operation::merge, Operation::cherryPick, Operation::revert};
    for (qsizetype i = 0; i < paths.size() && i < 3; ++i) {
        if (!paths[i].isEmpty() && QFileInfo::exists(QDir(folder).absoluteFilePath(paths[i])))
            return operations[i];
    }
    return Operation::none;
}

Plan plan(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed, Operation operation,
    const QString &message, const std::function<bool(const QString &)> &isOnDisk)
{
    Plan plan;
    // Adding an unmerged file is how git marks it resolved, conflict markers and all; and git commits
    // nothing while the index holds one.
    QStringList unmerged;
    for (const WorkingCopyItem &item : listed) {
        if (isUnmerged(item))
            unmerged.push_back(item.path);
    }
    if (!unmerged.isEmpty()) {
        plan.refusal = alert(QStringLiteral("Unresolved Conflicts"),
            QStringLiteral("Resolve the conflicts in ") + namesInProse(unmerged)
                + QStringLiteral(" first, then commit."));
        return plan;
    }

    QStringList paths;
    paths.reserve(ticked.size());
    for (const WorkingCopyItem &item : ticked)
        paths.push_back(item.path);

    // git concludes a merge, cherry-pick or revert with one commit of the whole index, which records
    // its second parent; a commit of some paths is refused.
    if (operation != Operation::none) {
        const QSet<QString> tickedPaths(paths.begin(), paths.end());
        for (const WorkingCopyItem &item : listed) {
            if (!isTracked(item) || tickedPaths.contains(item.path))
                continue;
            static const QString titles[] = {QString(), QStringLiteral("Merge In Progress"),
                QStringLiteral("Cherry-Pick In Progress"), QStringLiteral("Revert In Progress")};
            static const QString names[] = {QString(), QStringLiteral("merge"), QStringLiteral("cherry-pick"),
                QStringLiteral("revert")};
            const int index = static_cast<int>(operation);
            plan.refusal = alert(titles[index],
                QStringLiteral("The ") + names[index]
                    + QStringLiteral(" must be committed as a whole. Tick every listed change, then commit."));
            return plan;
        }
    }

    // git add stops at a path that is neither on disk nor in the index (a removal already staged); the
    // commit itself takes such a path from HEAD, as it takes a rename's old name.
    QStringList present;
    for (const QString &path : paths) {
        // A nested svn working copy's .svn is that tool's own, never the project's.
        if (isOnDisk(path) && !isRepositoryAdministrativePath(path))
            present.push_back(path);
    }
    if (!present.isEmpty())
        plan.stage = ToolCommand::withPaths({QStringLiteral("add"), QStringLiteral("--all")}, present);

    if (operation != Operation::none) {
        plan.commit = ToolCommand::withPaths({QStringLiteral("commit")}, {}, message);
        return plan;
    }
    // A rename is recorded only when its old name, whose removal is staged, goes into the same commit.
    QStringList recorded = paths;
    for (const WorkingCopyItem &item : ticked) {
        if (item.renamedFrom && !recorded.contains(*item.renamedFrom))
            recorded.push_back(*item.renamedFrom);
    }
    plan.commit = ToolCommand::withPaths({QStringLiteral("commit")}, recorded, message);
    return plan;
}

} // namespace GitCommit
