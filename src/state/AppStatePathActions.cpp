#include "AppState.h"

#include "model/TextUtil.h"
#include "state/RunOutputs.h"
#include "tools/ToolOperands.h"

#include <QFileInfo>

namespace {

const QString noPathsSelected = QStringLiteral("No Paths Selected");
const QString selectChangedPath = QStringLiteral("Select a changed path first.");
const QString selectAtLeastOnePath = QStringLiteral("Select at least one changed path.");

bool isGitProject(const std::optional<RepositoryKind> &kind)
{
    return kind == RepositoryKind::git;
}

} // namespace

void AppState::runOnActionPaths(const QString &title, const QString &command, bool refreshAfter)
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    runSelectedProjectCommand(title, QStringList{command} + ToolOperands::svnPaths(paths), refreshAfter, true);
}

void AppState::runOnGitActionPaths(const QString &title, const QStringList &arguments, bool refreshAfter)
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    runSelectedGitPathCommands(title, {arguments + paths}, refreshAfter);
}

void AppState::runSelectedGitPathCommands(
    const QString &title, const QList<QStringList> &argumentLists, bool refreshAfter)
{
    const std::optional<Project> project = selectedProject();
    if (!project || project->kind != RepositoryKind::git) {
        // The frame's own alerts for a missing or mismatched project.
        runSelectedGitCommand(title, argumentLists.value(0), refreshAfter, true);
        return;
    }
    const QString folder = project->path;
    startTask([this, title, argumentLists, folder, refreshAfter] {
        return runGitPathCommands(title, argumentLists, folder, refreshAfter);
    });
}

QCoro::Task<> AppState::runGitPathCommands(
    QString title, QList<QStringList> argumentLists, QString workingDirectory, bool refreshAfter)
{
    setBusyMessage(title);
    SVNCommandResult shown;
    try {
        for (qsizetype i = 0; i < argumentLists.size(); ++i) {
            const SVNCommandResult result = co_await gitClient().run(argumentLists[i], workingDirectory);
            if (i == 0) {
                shown = result;
                continue;
            }
            shown.commandLine += u'\n' + result.commandLine;
            shown.stdout += result.stdout;
            shown.stderr += result.stderr;
            shown.stdoutData += result.stdoutData;
            shown.stderrData += result.stderrData;
        }
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(title + QStringLiteral(" Failed"), error);
        co_return;
    }
    setBusyMessage(std::nullopt);
    setCommandOutput(runOutput(title, shown));
    if (refreshAfter)
        co_await reloadAfterCommand();
}

void AppState::updateWorkingCopy()
{
    if (isGitProject(selectedProjectKind()))
        runSelectedGitCommand(
            QStringLiteral("Pull"), {QStringLiteral("pull"), QStringLiteral("--ff-only")}, true, true);
    else
        runSelectedProjectCommand(QStringLiteral("Update"), {QStringLiteral("update")}, true, true);
}

void AppState::showRepositoryInfo()
{
    if (isGitProject(selectedProjectKind()))
        runSelectedGitCommand(QStringLiteral("Info"),
            {QStringLiteral("status"), QStringLiteral("--short"), QStringLiteral("--branch")}, false, true);
    else
        runSelectedProjectCommand(QStringLiteral("Info"), {QStringLiteral("info")}, false, true);
}

void AppState::cleanupWorkingCopy()
{
    runSelectedProjectCommand(QStringLiteral("Cleanup"), {QStringLiteral("cleanup")}, true, true);
}

void AppState::upgradeWorkingCopy()
{
    runSelectedProjectCommand(QStringLiteral("Upgrade"), {QStringLiteral("upgrade")}, true, true);
}

void AppState::switchWorkingCopyURL()
{
    if (isGitProject(selectedProjectKind())) {
        switchGitBranch();
        return;
    }
    const std::optional<QHash<QString, QString>> values = prompt(QStringLiteral("Switch"),
        {{QStringLiteral("url"), QStringLiteral("Repository URL"), m_repositoryInfo.url.value_or(QString())}});
    if (!values)
        return;
    const QString url = values->value(QStringLiteral("url"));
    if (url.isEmpty() || !acceptURL(url))
        return;
    runSelectedProjectCommand(QStringLiteral("Switch"), {QStringLiteral("switch"), url}, true, true);
}

void AppState::relocateWorkingCopyURL()
{
    const std::optional<QHash<QString, QString>> values = prompt(QStringLiteral("Relocate"),
        {{QStringLiteral("from"), QStringLiteral("From URL"), m_repositoryInfo.repositoryRoot.value_or(QString())},
            {QStringLiteral("to"), QStringLiteral("To URL"), QString()}});
    if (!values)
        return;
    const QString from = values->value(QStringLiteral("from"));
    const QString to = values->value(QStringLiteral("to"));
    if (from.isEmpty() || to.isEmpty() || !acceptURL(from) || !acceptURL(to))
        return;
    runSelectedProjectCommand(QStringLiteral("Relocate"), {QStringLiteral("relocate"), from, to}, true, true);
}

void AppState::addSelectedPaths()
{
    if (isGitProject(selectedProjectKind()))
        runOnGitActionPaths(QStringLiteral("Add"), {QStringLiteral("add"), QStringLiteral("--")}, true);
    else
        runOnActionPaths(QStringLiteral("Add"), QStringLiteral("add"), true);
}

void AppState::deleteSelectedPaths()
{
    if (isGitProject(selectedProjectKind()))
        runOnGitActionPaths(QStringLiteral("Delete"), {QStringLiteral("rm"), QStringLiteral("--")}, true);
    else
        runOnActionPaths(QStringLiteral("Delete"), QStringLiteral("delete"), true);
}

void AppState::revertSelectedPaths()
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    if (!confirm(QStringLiteral("Revert"),
            QStringLiteral("Revert ") + QString::number(paths.size())
                + QStringLiteral(" selected path(s)? Local changes will be discarded.")))
        return;
    if (!isGitProject(selectedProjectKind())) {
        runSelectedProjectCommand(QStringLiteral("Revert"),
            QStringList{QStringLiteral("revert")} + ToolOperands::svnPaths(paths), true, true);
        return;
    }
    // Restoring the work tree of a file that was only ever staged deletes it for good; unstaging
    // alone leaves it as an untracked file, as svn revert does. The new name of a rename or copy is
    // such a file.
    QStringList added;
    QStringList others;
    QStringList renameSources;
    for (const QString &path : paths) {
        const auto found = m_changeIndex.constFind(path);
        const WorkingCopyItem *item = found != m_changeIndex.constEnd() ? &m_changes.at(*found) : nullptr;
        const bool isAdded = item && (item->kind == SVNStatusKind::added || item->renamedFrom || item->copiedFrom);
        (isAdded ? added : others).push_back(path);
        if (item && item->renamedFrom)
            renameSources.push_back(*item->renamedFrom);
    }
    // A rename's old name comes back as in HEAD; when something new lies there it is only unstaged.
    const QString root = selectedProject() ? selectedProject()->path : QString();
    for (const QString &source : renameSources) {
        if (added.contains(source) || others.contains(source))
            continue;
        const QFileInfo onDisk(TextUtil::appendingPathComponent(root, source));
        (onDisk.exists() || onDisk.isSymLink() ? added : others).push_back(source);
    }
    QList<QStringList> runs;
    if (!added.isEmpty())
        runs.push_back(
            QStringList{QStringLiteral("restore"), QStringLiteral("--staged"), QStringLiteral("--")} + added);
    if (!others.isEmpty())
        runs.push_back(QStringList{QStringLiteral("restore"), QStringLiteral("--staged"), QStringLiteral("--worktree"),
                           QStringLiteral("--")}
            + others);
    runSelectedGitPathCommands(QStringLiteral("Revert"), runs, true);
}

void AppState::resolveSelectedPaths(const QString &accept)
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, QStringLiteral("Select a conflicted path first."));
        return;
    }
    runSelectedProjectCommand(QStringLiteral("Resolve"),
        QStringList{QStringLiteral("resolve"), QStringLiteral("--accept"), accept} + ToolOperands::svnPaths(paths),
        true, true);
}

void AppState::lockSelectedPaths()
{
    runOnActionPaths(QStringLiteral("Lock"), QStringLiteral("lock"), true);
}

void AppState::unlockSelectedPaths()
{
    runOnActionPaths(QStringLiteral("Unlock"), QStringLiteral("unlock"), true);
}

void AppState::createChangelist()
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectAtLeastOnePath);
        return;
    }
    const std::optional<QHash<QString, QString>> values
        = prompt(QStringLiteral("Changelist"), {{QStringLiteral("name"), QStringLiteral("Name"), QString()}});
    if (!values)
        return;
    const QString name = values->value(QStringLiteral("name"));
    if (name.isEmpty())
        return;
    runSelectedProjectCommand(QStringLiteral("Changelist"),
        ToolOperands::svnArguments({QStringLiteral("changelist")}, QStringList{name} + ToolOperands::svnPaths(paths)),
        true, true);
}

void AppState::removeFromChangelist()
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectAtLeastOnePath);
        return;
    }
    runSelectedProjectCommand(QStringLiteral("Remove Changelist"),
        QStringList{QStringLiteral("changelist"), QStringLiteral("--remove")} + ToolOperands::svnPaths(paths), true,
        true);
}

void AppState::applyPatch()
{
    if (!m_dialogs)
        return;
    OpenPanelOptions options;
    options.title = QStringLiteral("Choose Patch File");
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    const std::optional<QString> patchFile = m_dialogs->openPanel(options);
    if (!patchFile || patchFile->isEmpty())
        return;
    // The chosen file is a path operand like any other: "p@2x.diff" would read as a peg revision.
    runSelectedProjectCommand(
        QStringLiteral("Patch"), {QStringLiteral("patch"), ToolOperands::svnPath(*patchFile)}, true, true);
}

void AppState::makeDirectoryInWorkingCopy()
{
    const std::optional<QHash<QString, QString>> values
        = prompt(QStringLiteral("Make Directory"), {{QStringLiteral("path"), QStringLiteral("Path"), QString()}});
    if (!values)
        return;
    const QString path = values->value(QStringLiteral("path"));
    if (path.isEmpty())
        return;
    runSelectedProjectCommand(QStringLiteral("Make Directory"),
        ToolOperands::svnArguments({QStringLiteral("mkdir")}, {ToolOperands::svnNewTarget(path)}), true, true);
}

void AppState::copyItem()
{
    copyOrMoveItem(QStringLiteral("Copy"), QStringLiteral("copy"));
}

void AppState::moveItem()
{
    copyOrMoveItem(QStringLiteral("Move"), QStringLiteral("move"));
}

void AppState::copyOrMoveItem(const QString &title, const QString &command)
{
    const std::optional<QHash<QString, QString>> values = prompt(title,
        {{QStringLiteral("source"), QStringLiteral("Source"), m_selectedChangeID.value_or(QString())},
            {QStringLiteral("target"), QStringLiteral("Target"), QString()},
            {QStringLiteral("message"), QStringLiteral("Message"), QString()}});
    if (!values)
        return;
    const QString source = values->value(QStringLiteral("source"));
    const QString target = values->value(QStringLiteral("target"));
    const QString message = values->value(QStringLiteral("message"));
    if (source.isEmpty() || target.isEmpty())
        return;
    // The proposed source is the selected file's name; svn takes move's target verbatim but reads a
    // peg revision in copy's.
    const QStringList operands{ToolOperands::svnFormPath(source, m_selectedChangeID.value_or(QString())),
        command == u"copy" ? ToolOperands::svnNewTarget(target) : target};
    const QStringList options = message.isEmpty() ? QStringList() : QStringList{QStringLiteral("-m"), message};
    runSelectedProjectCommand(title, ToolOperands::svnArguments({command}, operands, options), true, true);
}
