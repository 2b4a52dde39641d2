#include "AppState.h"

#include "state/GitCommit.h"
#include "state/RunOutputs.h"
#include "state/SVNCommit.h"
#include "state/WorkingCopyPaths.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// What a commit reads of the disk, each read on a worker: a slow mount, or many thousands of ticks,
// would hold the window. (Named functions, not lambdas: gcc 12 breaks a lambda's captures inside a
// co_await.)
QStringList untrackedFoldersOnDisk(const QList<WorkingCopyItem> &items, const QString &root)
{
    return GitCommit::untrackedFolders(
        items, [&root](const QString &path) { return workingCopyPathEntry(path, root) == DiskEntry::folder; });
}

GitCommit::Plan gitPlanOnDisk(const QList<WorkingCopyItem> &items, const QList<WorkingCopyItem> &listed,
    const GitCommit::InProgress &inProgress, const QString &message, const QStringList &repositories,
    const QString &root)
{
    return GitCommit::plan(items, listed, inProgress, message,
        [&root](const QString &path) { return workingCopyPathExists(path, root); }, repositories);
}

SVNCommit::Folders svnFoldersOnDisk(const QList<WorkingCopyItem> &items, const QString &root)
{
    return SVNCommit::folders(items, [&root](const QString &path) { return workingCopyPathIsDirectory(path, root); });
}

} // namespace

void AppState::setCommitSelection(const WorkingCopyItem &item, bool selected)
{
    QSet<QString> paths = m_selectedCommitPaths;
    if (selected)
        paths.insert(item.path);
    else
        paths.remove(item.path);
    setSelectedCommitPaths(std::move(paths));
}

void AppState::commitSelected()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        return;
    // A tick on a path no longer listed is not committed.
    QList<WorkingCopyItem> items;
    for (const WorkingCopyItem &item : m_changes) {
        if (!m_selectedCommitPaths.contains(item.path))
            continue;
        items.push_back(item);
        // Something new listed under a rename's old name goes by its own tick, and git would commit it
        // with the old name.
        if (item.renamedFrom && m_changeIndex.contains(*item.renamedFrom))
            items.back().renamedFrom.reset();
    }
    // With nothing ticked git may still have a merge to conclude; its commit plan asks.
    const bool planLater = items.isEmpty() && project->kind == RepositoryKind::git;
    if (items.isEmpty() && !planLater) {
        showAlert(QStringLiteral("Nothing To Commit"), QStringLiteral("Select at least one changed path."));
        return;
    }
    const QString message = m_commitMessage.trimmed();
    if (message.isEmpty() && !planLater) {
        showAlert(
            QStringLiteral("Commit Message Required"), QStringLiteral("Enter a commit message before committing."));
        return;
    }
    startProjectTask(*project, [this, project = *project, items, listed = m_changes, message] {
        return commitTask(project, items, listed, message);
    });
}

QCoro::Task<> AppState::commitTask(
    Project project, QList<WorkingCopyItem> items, QList<WorkingCopyItem> listed, QString message)
{
    setBusyMessage(QStringLiteral("Committing"));
    std::optional<SVNCommandResult> commitRun;
    bool failed = false;
    try {
        if (project.kind == RepositoryKind::git)
            commitRun = co_await commitGit(project, items, listed, message);
        else
            commitRun = co_await commitSVN(project, items, listed, message);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Commit Failed"), error);
        failed = true;
    }
    // The runs before the failure may have scheduled paths: the list shows what they left. The
    // commit's failure stays what the user reads, whatever the reload says.
    if (failed) {
        co_await reloadKeepingFailure(false);
        co_return;
    }
    setBusyMessage(std::nullopt);
    // Refused before anything ran: the alert is out already.
    if (!commitRun)
        co_return;
    // The message belongs to the project that committed; another one selected meanwhile keeps its text.
    if (m_selectedProjectID == project.id)
        setCommitMessage(QString());
    showRunOutput(QStringLiteral("Commit"), *commitRun);
    co_await reloadAfterCommand();
}

QCoro::Task<std::optional<SVNCommandResult>> AppState::commitGit(
    Project project, QList<WorkingCopyItem> items, QList<WorkingCopyItem> listed, QString message)
{
    const GitCommit::InProgress inProgress
        = co_await GitCommit::operationInProgress(gitClient(), project.path, m_runScope);
    // The disk is read off the UI thread: a slow mount, or many thousands of ticks, would hold the window.
    const QStringList untrackedFolders
        = co_await awaitInScope(m_runScope, QtConcurrent::run(untrackedFoldersOnDisk, items, project.path));
    // A folder is a repository of its own when git, asked inside it, finds itself at its top.
    QStringList repositories;
    for (const QString &folder : untrackedFolders) {
        const QStringList prefix{QStringLiteral("rev-parse"), QStringLiteral("--show-prefix")};
        const SVNCommandResult answer = co_await gitClient().run(prefix, project.path + u'/' + folder, false);
        if (answer.succeeded() && answer.stdout.trimmed().isEmpty())
            repositories.push_back(folder);
    }
    const GitCommit::Plan plan = co_await awaitInScope(m_runScope,
        QtConcurrent::run(gitPlanOnDisk, items, listed, inProgress, message, repositories, project.path));
    if (plan.refusal) {
        setAlert(*plan.refusal);
        co_return std::nullopt;
    }
    if (plan.stage)
        co_await gitClient().run(plan.stage->in(project.path));
    if (plan.removal)
        co_await gitClient().run(plan.removal->in(project.path));
    co_return co_await gitClient().run(plan.commit.in(project.path));
}

QCoro::Task<std::optional<SVNCommandResult>> AppState::commitSVN(
    Project project, QList<WorkingCopyItem> ticked, QList<WorkingCopyItem> listed, QString message)
{
    if (const std::optional<ToolCommand> query = SVNCommit::oldNamesQuery(SVNCommit::untickedOldNames(ticked))) {
        // svn warns and fails for a name it does not know, and still lists the others.
        const SVNCommandResult oldNames = co_await client().run(query->in(project.path, false));
        if (const std::optional<AppAlert> refusal = SVNCommit::moveRefusal(ticked, oldNames.stdout)) {
            setAlert(*refusal);
            co_return std::nullopt;
        }
    }
    const QList<WorkingCopyItem> items = SVNCommit::withMoveHalves(SVNCommit::committable(ticked), listed);
    if (items.isEmpty()) {
        showAlert(QStringLiteral("Nothing To Commit"),
            QStringLiteral("svn wrote the selected files for a conflict; they are never committed. Resolve the "
                           "conflict instead."));
        co_return std::nullopt;
    }
    const SVNCommit::Folders folders
        = co_await awaitInScope(m_runScope, QtConcurrent::run(svnFoldersOnDisk, items, project.path));
    QStringList nestedGit;
    if (!folders.added.isEmpty())
        nestedGit = co_await awaitInScope(m_runScope, QtConcurrent::run(nestedGitEntries, folders.added, project.path));
    for (const ToolCommand &run : SVNCommit::scheduling(items, nestedGit))
        co_await client().run(run.in(project.path));
    const QStringList deletions = SVNCommit::deletions(items);
    QString status;
    if (const std::optional<ToolCommand> query = SVNCommit::statusQuery(folders, deletions))
        status = (co_await client().run(query->in(project.path))).stdout;
    const QStringList committed = SVNCommit::committedPaths(items, status, folders, deletions);
    // Everything ticked was an addition svn has now forgotten: nothing is left to commit.
    if (committed.isEmpty()) {
        showAlert(QStringLiteral("Nothing To Commit"),
            QStringLiteral("The selected paths were added, then removed from disk; nothing is left to commit."));
        co_await loadStatus();
        co_return std::nullopt;
    }
    co_return co_await client().run(SVNCommit::commit(committed, message).in(project.path));
}
