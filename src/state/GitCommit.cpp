#include "GitCommit.h"

#include "model/TextUtil.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolRunScope.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

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

// The files that mark each operation, in the order of the query's answer lines.
enum Marker {
    mergeHead,
    cherryPickHead,
    revertHead,
    amApplying,
    rebaseMerge,
    rebaseApply,
    sequencer,
    bisectLog,
    squashMessage
};
const char *const markerFiles[] = {"MERGE_HEAD", "CHERRY_PICK_HEAD", "REVERT_HEAD", "rebase-apply/applying",
    "rebase-merge", "rebase-apply", "sequencer", "BISECT_LOG", "SQUASH_MSG"};

// The patch a stopped am is at, from the rest of its state beside its marker: the number of the patch
// and the message it will commit it with.
QString amPatch(const QString &marker)
{
    const QDir state = QFileInfo(marker).dir();
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
    return name.join(u' ');
}

} // namespace

QStringList operationQuery()
{
    QStringList arguments{QStringLiteral("rev-parse")};
    for (const char *file : markerFiles)
        arguments << QStringLiteral("--git-path") << QString::fromLatin1(file);
    return arguments;
}

InProgress operationFromQuery(const QString &answer, const QString &folder)
{
    const QStringList lines = TextUtil::splitLines(answer);
    const auto path = [&](Marker marker) { return QDir(folder).absoluteFilePath(lines.value(marker)); };
    const auto exists
        = [&](Marker marker) { return !lines.value(marker).isEmpty() && QFileInfo::exists(path(marker)); };
    InProgress found;
    if (exists(mergeHead))
        found.operation = Operation::merge;
    else if (exists(cherryPickHead))
        found.operation = Operation::cherryPick;
    else if (exists(revertHead))
        found.operation = Operation::revert;
    else if (exists(amApplying))
        found = {Operation::am, amPatch(path(amApplying))};

    static const QString commands[] = {QString(), QStringLiteral("merge"), QStringLiteral("cherry-pick"),
        QStringLiteral("revert"), QStringLiteral("am")};
    if (found.operation != Operation::am && (exists(rebaseMerge) || exists(rebaseApply)))
        found.command = QStringLiteral("rebase");
    else if (found.operation != Operation::none)
        found.command = commands[static_cast<int>(found.operation)];
    else if (exists(sequencer))
        // git names the sequence by the command of its next step, as its own status does.
        found.command = readHead(QDir(path(sequencer)).filePath(QStringLiteral("todo")), 64).startsWith("revert")
            ? QStringLiteral("revert")
            : QStringLiteral("cherry-pick");
    else if (exists(bisectLog))
        found.command = QStringLiteral("bisect");
    // "git merge --squash" leaves only the message it prepared for the commit that concludes it.
    else if (exists(squashMessage))
        found.command = QStringLiteral("merge --squash");
    return found;
}

QCoro::Task<InProgress> operationInProgress(GitClient &git, QString folder, std::shared_ptr<const ToolRunScope> scope)
{
    const SVNCommandResult query = co_await git.run(operationQuery(), folder, false);
    if (!query.succeeded())
        co_return InProgress();
    InProgress found = co_await awaitInScope(scope, QtConcurrent::run(operationFromQuery, query.stdout, folder));
    if (found.command == u"merge --squash") {
        const QStringList staged{QStringLiteral("diff"), QStringLiteral("--cached"), QStringLiteral("--quiet")};
        if ((co_await git.run(staged, folder, false)).succeeded())
            found.command.clear();
    }
    co_return found;
}

QStringList untrackedFolders(const QList<WorkingCopyItem> &ticked, const std::function<bool(const QString &)> &isFolder)
{
    QStringList folders;
    for (const WorkingCopyItem &item : ticked) {
        if (!isTracked(item) && isFolder(item.path))
            folders.push_back(item.path);
    }
    return folders;
}

Plan plan(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed, const InProgress &inProgress,
    const QString &message, const std::function<bool(const QString &)> &isOnDisk, const QStringList &repositories)
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
    // git add records a repository of its own as a link to its commit, without its files, which no
    // clone can fetch; git's warning would come too late.
    if (!repositories.isEmpty()) {
        const bool one = repositories.size() == 1;
        plan.refusal = alert(QStringLiteral("Repository Inside The Project"),
            TextUtil::namesInProse(repositories)
                + (one ? QStringLiteral(" is a Git repository of its own")
                       : QStringLiteral(" are Git repositories of their own"))
                + QStringLiteral(": a commit would record ") + (one ? QStringLiteral("it") : QStringLiteral("each"))
                + QStringLiteral(" as a link to one of its commits, without its files. Add ")
                + (one ? QStringLiteral("it") : QStringLiteral("each"))
                + QStringLiteral(" as a submodule with \"git submodule add\", or remove its .git folder to commit its "
                                 "files, then commit."));
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
