#include "GitCommit.h"

#include "model/TextUtil.h"
#include "state/WorkingCopyPaths.h"

#include <QDir>
#include <QFile>
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

AppAlert alert(const QString &title, const QString &message)
{
    AppAlert alert;
    alert.title = title;
    alert.message = message;
    return alert;
}

// At most the first `size` bytes of the file; nothing when it cannot be read.
QByteArray readHead(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

} // namespace

QStringList operationQuery()
{
    return {QStringLiteral("rev-parse"), QStringLiteral("--git-path"), QStringLiteral("MERGE_HEAD"),
        QStringLiteral("--git-path"), QStringLiteral("CHERRY_PICK_HEAD"), QStringLiteral("--git-path"),
        QStringLiteral("REVERT_HEAD"), QStringLiteral("--git-path"), QStringLiteral("rebase-apply/applying"),
        QStringLiteral("--git-path"), QStringLiteral("rebase-merge"), QStringLiteral("--git-path"),
        QStringLiteral("rebase-apply"), QStringLiteral("--git-path"), QStringLiteral("sequencer"),
        QStringLiteral("--git-path"), QStringLiteral("BISECT_LOG"), QStringLiteral("--git-path"),
        QStringLiteral("SQUASH_MSG")};
}

InProgress operationFromQuery(const QString &answer, const QString &folder)
{
    const QStringList paths = TextUtil::splitLines(answer);
    const Operation operations[] = {Operation::merge, Operation::cherryPick, Operation::revert, Operation::am};
    for (qsizetype i = 0; i < paths.size() && i < 4; ++i) {
        const QString path = QDir(folder).absoluteFilePath(paths[i]);
        if (paths[i].isEmpty() || !QFileInfo::exists(path))
            continue;
        if (operations[i] != Operation::am)
            return operations[i];
        // The rest of the am's state lies beside its marker: the number of the patch it stopped at, and
        // the message it will commit it with.
        const QDir state = QFileInfo(path).dir();
        bool isNumber = false;
        const int number = readHead(state.filePath(QStringLiteral("next")), 32).trimmed().toInt(&isNumber);
        const QString subject
            = TextUtil::splitLines(QString::fromUtf8(readHead(state.filePath(QStringLiteral("final-commit")), 4096)))
                  .value(0)
                  .trimmed();
        QStringList name;
        if (isNumber)
            name.push_back(QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0')));
        if (!subject.isEmpty())
            name.push_back(subject);
        return {Operation::am, name.join(u' ')};
    }
    return Operation::none;
}

QString operationInProgress(const QString &answer, const QString &folder)
{
    const QStringList paths = TextUtil::splitLines(answer);
    const auto exists = [&](qsizetype line) {
        return !paths.value(line).isEmpty() && QFileInfo::exists(QDir(folder).absoluteFilePath(paths[line]));
    };
    if (exists(3))
        return QStringLiteral("am");
    if (exists(4) || exists(5))
        return QStringLiteral("rebase");
    const QString names[] = {QStringLiteral("merge"), QStringLiteral("cherry-pick"), QStringLiteral("revert")};
    for (qsizetype line = 0; line < 3; ++line) {
        if (exists(line))
            return names[line];
    }
    if (exists(6)) {
        // git names the sequence by the command of its next step, as its own status does.
        const QByteArray todo
            = readHead(QDir(QDir(folder).absoluteFilePath(paths[6])).filePath(QStringLiteral("todo")), 64);
        return todo.startsWith("revert") ? QStringLiteral("revert") : QStringLiteral("cherry-pick");
    }
    if (exists(7))
        return QStringLiteral("bisect");
    // "git merge --squash" leaves only the message it prepared for the commit that concludes it.
    if (exists(8))
        return QStringLiteral("merge --squash");
    return QString();
}

Plan plan(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed, const InProgress &inProgress,
    const QString &message, const std::function<bool(const QString &)> &isOnDisk)
{
    Plan plan;
    const Operation operation = inProgress.operation;
    // git am commits each patch with its author and message when told to continue; a commit of ours
    // would take the patch's place and leave the am stuck.
    if (operation == Operation::am) {
        const QString patch = inProgress.patch.isEmpty() ? QStringLiteral("a patch")
                                                         : QStringLiteral("the patch \"") + inProgress.patch + u'"';
        plan.refusal = alert(QStringLiteral("Patch In Progress"),
            QStringLiteral("git am is applying ") + patch
                + QStringLiteral(". Finish it with \"git am --continue\" or give it up with \"git am --abort\"."));
        return plan;
    }
    if (ticked.isEmpty() && operation == Operation::none) {
        plan.refusal = alert(QStringLiteral("Nothing To Commit"), QStringLiteral("Select at least one changed path."));
        return plan;
    }
    if (message.isEmpty()) {
        plan.refusal = alert(
            QStringLiteral("Commit Message Required"), QStringLiteral("Enter a commit message before committing."));
        return plan;
    }
    // Adding an unmerged file is how git marks it resolved, conflict markers and all; and git commits
    // nothing while the index holds one.
    QStringList unmerged;
    for (const WorkingCopyItem &item : listed) {
        if (isUnmerged(item))
            unmerged.push_back(item.path);
    }
    if (!unmerged.isEmpty()) {
        plan.refusal = alert(QStringLiteral("Unresolved Conflicts"),
            QStringLiteral("Resolve the conflicts in ") + TextUtil::namesInProse(unmerged)
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
            static const QString names[]
                = {QString(), QStringLiteral("merge"), QStringLiteral("cherry-pick"), QStringLiteral("revert")};
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
        // The commit takes the index as it is, so a tracked file gone from disk must leave the index
        // first; a removal already staged is no longer there, which git rm lets pass.
        QStringList gone;
        for (const WorkingCopyItem &item : ticked) {
            if (isTracked(item) && !isOnDisk(item.path))
                gone.push_back(item.path);
        }
        if (!gone.isEmpty())
            plan.removal = ToolCommand::withPaths({QStringLiteral("rm"), QStringLiteral("--cached"),
                                                      QStringLiteral("--quiet"), QStringLiteral("--ignore-unmatch")},
                gone);
        // A conflict resolved back to HEAD leaves nothing to record but the conclusion itself, which git
        // refuses after a cherry-pick or revert unless told that an empty commit is meant.
        QStringList arguments{QStringLiteral("commit")};
        if (ticked.isEmpty())
            arguments.push_back(QStringLiteral("--allow-empty"));
        plan.commit = ToolCommand::withPaths(arguments, {}, message);
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
