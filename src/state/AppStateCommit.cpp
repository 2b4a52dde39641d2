#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/SVNCommitTargets.h"
#include "state/RunOutputs.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QFileInfo>

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
    if (items.isEmpty()) {
        showAlert(QStringLiteral("Nothing To Commit"), QStringLiteral("Select at least one changed path."));
        return;
    }
    const QString message = m_commitMessage.trimmed();
    if (message.isEmpty()) {
        showAlert(
            QStringLiteral("Commit Message Required"), QStringLiteral("Enter a commit message before committing."));
        return;
    }
    startTask([this, project = *project, items, message] { return commitTask(project, items, message); });
}

QCoro::Task<> AppState::commitTask(Project project, QList<WorkingCopyItem> items, QString message)
{
    setBusyMessage(QStringLiteral("Committing"));
    QStringList paths;
    paths.reserve(items.size());
    for (const WorkingCopyItem &item : items)
        paths.push_back(item.path);

    SVNCommandResult commitRun;
    try {
        if (project.kind == RepositoryKind::git) {
            // git add stops at a path that is neither on disk nor in the index (a removal already staged);
            // the commit itself takes such a path from HEAD, as it takes a rename's old name.
            QStringList present;
            for (const QString &path : paths) {
                const QFileInfo onDisk(TextUtil::appendingPathComponent(project.path, path));
                if (onDisk.exists() || onDisk.isSymLink())
                    present.push_back(path);
            }
            if (!present.isEmpty()) {
                const QStringList addArguments
                    = QStringList{QStringLiteral("add"), QStringLiteral("--all"), QStringLiteral("--")} + present;
                co_await gitClient().run(addArguments, project.path);
            }
            // A rename is recorded only when its old name, whose removal is staged, goes into the same commit.
            QStringList recorded = paths;
            for (const WorkingCopyItem &item : items) {
                if (item.renamedFrom && !recorded.contains(*item.renamedFrom))
                    recorded.push_back(*item.renamedFrom);
            }
            const QStringList commitArguments
                = QStringList{QStringLiteral("commit"), QStringLiteral("-m"), message, QStringLiteral("--")} + recorded;
            commitRun = co_await gitClient().run(commitArguments, project.path);
        } else {
            QStringList folders;
            QStringList newFolders;
            for (const WorkingCopyItem &item : items) {
                const bool unversioned = item.kind == SVNStatusKind::unversioned;
                if ((unversioned || item.kind == SVNStatusKind::added || item.kind == SVNStatusKind::replaced)
                    && workingCopyPathIsDirectory(item.path, project.path)) {
                    folders.push_back(item.path);
                    if (unversioned)
                        newFolders.push_back(item.path);
                }
                QStringList arguments;
                if (item.kind == SVNStatusKind::missing)
                    arguments = {QStringLiteral("delete"), QStringLiteral("--force"), ToolOperands::svnPath(item.path)};
                else if (unversioned)
                    arguments = {QStringLiteral("add"), ToolOperands::svnPath(item.path)};
                else
                    continue;
                co_await client().run(arguments, project.path);
            }
            // Only the ticked paths: a ticked folder leaves its unticked children behind.
            QStringList committed = paths;
            if (!folders.isEmpty()) {
                const QStringList statusArguments
                    = QStringList{QStringLiteral("status"), QStringLiteral("--xml")} + ToolOperands::svnPaths(folders);
                const SVNCommandResult status = co_await client().run(statusArguments, project.path);
                const QSet<QString> ticked(paths.begin(), paths.end());
                for (const QString &child : SVNCommitTargets::childrenGoingWith(status.stdout, folders, newFolders)) {
                    if (!ticked.contains(child))
                        committed.push_back(child);
                }
            }
            // No "--": the message follows the paths, so svnPaths keeps a leading "-" from reading as an option.
            // svn refuses a message that names a file unless told it is meant.
            const QStringList commitArguments
                = QStringList{QStringLiteral("commit"), QStringLiteral("--depth=empty"), QStringLiteral("--force-log")}
                + ToolOperands::svnPaths(committed) + QStringList{QStringLiteral("-m"), message};
            commitRun = co_await client().run(commitArguments, project.path);
        }
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Commit Failed"), error);
        co_return;
    }
    setBusyMessage(std::nullopt);
    // The message belongs to the project that committed; another one selected meanwhile keeps its text.
    if (m_selectedProjectID == project.id)
        setCommitMessage(QString());
    setCommandOutput(runOutput(QStringLiteral("Commit"), commitRun));
    co_await reloadAfterCommand();
}
