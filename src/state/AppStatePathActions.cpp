#include "AppState.h"

#include "model/TextUtil.h"
#include "state/ActionForms.h"
#include "state/RunOutputs.h"
#include "state/SVNCommit.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <functional>

namespace {

const QString noPathsSelected = QStringLiteral("No Paths Selected");
const QString selectChangedPath = QStringLiteral("Select a changed path first.");
const QString selectAtLeastOnePath = QStringLiteral("Select at least one changed path.");

bool isGitProject(const std::optional<RepositoryKind> &kind)
{
    return kind == RepositoryKind::git;
}

// The arguments followed by the action paths, then the reload; alerts when there is no path.
void runOnActionPaths(AppState &state, const QString &title, RepositoryKind tool, const QStringList &arguments)
{
    const QStringList paths = state.actionPaths();
    if (paths.isEmpty()) {
        state.showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    // git's pathspecs are literal; svn needs each path made safe.
    const QStringList operands = tool == RepositoryKind::git ? paths : ToolOperands::svnPaths(paths);
    state.runInSelectedProject(
        {title, tool, {ToolCommand::withPaths(arguments, operands)}, AppState::AfterRun::reload});
}

// svn reverts a folder scheduled for addition, deletion or replacement only with its whole tree ("Can't
// revert ... without reverting children"; a deleted folder would come back empty), while a folder
// changed in place must keep its children's changes: the two go in runs of their own, the scheduled
// ones last, so that a changed child inside them is reverted first. svn also refuses a list that names
// a new folder before its children.
QList<ToolCommand> svnRevertRuns(const QStringList &paths, const std::function<SVNStatusKind(const QString &)> &kindOf)
{
    QStringList inPlace;
    QStringList trees;
    for (const QString &path : paths) {
        const SVNStatusKind kind = kindOf(path);
        const bool scheduled
            = kind == SVNStatusKind::added || kind == SVNStatusKind::deleted || kind == SVNStatusKind::replaced;
        (scheduled ? trees : inPlace).push_back(path);
    }
    // Plain text order of the paths' components, a folder after everything inside it.
    const auto childrenFirst = [](QStringList list) {
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
    };
    QList<ToolCommand> runs;
    if (!inPlace.isEmpty())
        runs.push_back(ToolCommand::withPaths({QStringLiteral("revert")}, childrenFirst(inPlace)));
    if (!trees.isEmpty())
        runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("revert"), QStringLiteral("--depth"), QStringLiteral("infinity")}, childrenFirst(trees)));
    return runs;
}

void copyOrMoveItem(AppState &state, const QString &title, const QString &command)
{
    const std::optional<QHash<QString, QString>> values = state.prompt(title,
        {{QStringLiteral("source"), QStringLiteral("Source"), state.selectedChangeID().value_or(QString())},
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
    const QStringList operands{ToolOperands::svnFormPath(source, state.selectedChangeID().value_or(QString())),
        command == u"copy" ? ToolOperands::svnNewTarget(target) : target};
    const QStringList options = message.isEmpty() ? QStringList() : QStringList{QStringLiteral("-m"), message};
    state.runInSelectedProject({title, RepositoryKind::svn, {ToolOperands::svnArguments({command}, operands, options)},
        AppState::AfterRun::reload});
}

} // namespace

void AppState::updateWorkingCopy()
{
    if (isGitProject(selectedProjectKind()))
        runInSelectedProject({QStringLiteral("Pull"), RepositoryKind::git,
            {{QStringLiteral("pull"), QStringLiteral("--ff-only")}}, AfterRun::reload});
    else
        runInSelectedProject(
            {QStringLiteral("Update"), RepositoryKind::svn, {{QStringLiteral("update")}}, AfterRun::reload});
}

void AppState::showRepositoryInfo()
{
    if (isGitProject(selectedProjectKind()))
        runInSelectedProject({QStringLiteral("Info"), RepositoryKind::git,
            {{QStringLiteral("status"), QStringLiteral("--short"), QStringLiteral("--branch")}}, AfterRun::nothing});
    else
        runInSelectedProject(
            {QStringLiteral("Info"), RepositoryKind::svn, {{QStringLiteral("info")}}, AfterRun::nothing});
}

void AppState::cleanupWorkingCopy()
{
    runInSelectedProject(
        {QStringLiteral("Cleanup"), RepositoryKind::svn, {{QStringLiteral("cleanup")}}, AfterRun::reload});
}

void AppState::upgradeWorkingCopy()
{
    runInSelectedProject(
        {QStringLiteral("Upgrade"), RepositoryKind::svn, {{QStringLiteral("upgrade")}}, AfterRun::reload});
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
    if (url.isEmpty() || !acceptURL(*this, url))
        return;
    runInSelectedProject(
        {QStringLiteral("Switch"), RepositoryKind::svn, {{QStringLiteral("switch"), url}}, AfterRun::reload});
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
    if (from.isEmpty() || to.isEmpty() || !acceptURL(*this, from) || !acceptURL(*this, to))
        return;
    runInSelectedProject(
        {QStringLiteral("Relocate"), RepositoryKind::svn, {{QStringLiteral("relocate"), from, to}}, AfterRun::reload});
}

void AppState::addSelectedPaths()
{
    if (isGitProject(selectedProjectKind())) {
        runOnActionPaths(*this, QStringLiteral("Add"), RepositoryKind::git, {QStringLiteral("add")});
        return;
    }
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    const std::optional<Project> project = selectedProject();
    // An unversioned folder may hold a Git repository, whose .git stays out of svn.
    QStringList folders;
    if (project) {
        for (const QString &path : paths) {
            const auto found = m_changeIndex.constFind(path);
            if (found != m_changeIndex.constEnd() && m_changes.at(*found).kind == SVNStatusKind::unversioned
                && workingCopyPathIsDirectory(path, project->path))
                folders.push_back(path);
        }
    }
    if (folders.isEmpty() || project->kind != RepositoryKind::svn) {
        runInSelectedProject(
            {QStringLiteral("Add"), RepositoryKind::svn, SVNCommit::addition(paths, {}), AfterRun::reload});
        return;
    }
    startTask([this, paths, folders, root = project->path] { return addSVNFolders(paths, folders, root); });
}

QCoro::Task<> AppState::addSVNFolders(QStringList paths, QStringList folders, QString root)
{
    // A new folder may be a large tree: it is searched for nested repositories off the window's thread.
    setBusyMessage(QStringLiteral("Add"));
    const QStringList nestedGit
        = co_await awaitInScope(m_runScope, QtConcurrent::run(nestedGitEntries, folders, root));
    // Named, not a temporary in the co_await: g++ 12 destroys such temporaries twice.
    RunRequest request{
        QStringLiteral("Add"), RepositoryKind::svn, SVNCommit::addition(paths, nestedGit), AfterRun::reload};
    co_await runRequest(std::move(request), root);
}

void AppState::deleteSelectedPaths()
{
    if (isGitProject(selectedProjectKind()))
        runOnActionPaths(*this, QStringLiteral("Delete"), RepositoryKind::git, {QStringLiteral("rm")});
    else
        runOnActionPaths(*this, QStringLiteral("Delete"), RepositoryKind::svn, {QStringLiteral("delete")});
}

void AppState::revertSelectedPaths()
{
    QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    const bool git = isGitProject(selectedProjectKind());
    const auto listedItem = [this](const QString &path) -> const WorkingCopyItem * {
        const auto found = m_changeIndex.constFind(path);
        return found != m_changeIndex.constEnd() ? &m_changes.at(*found) : nullptr;
    };
    if (git) {
        // Untracked files are left alone, as svn revert leaves unversioned ones; git would refuse the
        // whole run over one of them.
        paths.removeIf([&listedItem](const QString &path) {
            const WorkingCopyItem *item = listedItem(path);
            return item && (item->kind == SVNStatusKind::unversioned || item->kind == SVNStatusKind::ignored);
        });
        if (paths.isEmpty()) {
            showAlert(QStringLiteral("Nothing To Revert"),
                QStringLiteral("The selected files are untracked: Revert leaves untracked files alone."));
            return;
        }
    }
    const QString root = selectedProject() ? selectedProject()->path : QString();
    QString question = QStringLiteral("Revert ") + QString::number(paths.size())
        + QStringLiteral(" selected path(s)? Local changes will be discarded.");
    // git lists tracked files one by one: a tracked row that is a folder on disk is a submodule.
    if (git && std::any_of(paths.begin(), paths.end(), [&root](const QString &path) {
            return workingCopyPathIsDirectory(path, root);
        }))
        question += QStringLiteral(" Submodules go back to the commits the project records; files untracked inside "
                                   "them stay.");
    if (!confirm(QStringLiteral("Revert"), question))
        return;
    if (!git) {
        const auto kindOf = [&listedItem](const QString &path) {
            const WorkingCopyItem *item = listedItem(path);
            return item ? item->kind : SVNStatusKind::none;
        };
        runInSelectedProject(
            {QStringLiteral("Revert"), RepositoryKind::svn, svnRevertRuns(paths, kindOf), AfterRun::reload});
        return;
    }
    // Restoring the work tree of a file that was only ever staged deletes it for good; unstaging
    // alone leaves it as an untracked file, as svn revert does. The new name of a rename or copy is
    // such a file.
    QStringList added;
    QStringList others;
    QStringList renameSources;
    for (const QString &path : paths) {
        const WorkingCopyItem *item = listedItem(path);
        const bool isAdded = item && (item->kind == SVNStatusKind::added || item->renamedFrom || item->copiedFrom);
        (isAdded ? added : others).push_back(path);
        if (item && item->renamedFrom)
            renameSources.push_back(*item->renamedFrom);
    }
    // A rename's old name comes back as in HEAD; when something new lies there it is only unstaged.
    for (const QString &source : renameSources) {
        if (added.contains(source) || others.contains(source))
            continue;
        (workingCopyPathExists(source, root) ? added : others).push_back(source);
    }
    QList<ToolCommand> runs;
    // git reset unstages on a branch without commits too, where git restore finds no HEAD.
    if (!added.isEmpty())
        runs.push_back(ToolCommand::withPaths({QStringLiteral("reset"), QStringLiteral("-q")}, added));
    // A submodule is put back to the commit HEAD records, its work tree included.
    if (!others.isEmpty())
        runs.push_back(ToolCommand::withPaths({QStringLiteral("restore"), QStringLiteral("--staged"),
                                                  QStringLiteral("--worktree"), QStringLiteral("--recurse-submodules")},
            others));
    runInSelectedProject({QStringLiteral("Revert"), RepositoryKind::git, runs, AfterRun::reload});
}

void AppState::resolveSelectedPaths(const QString &accept)
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, QStringLiteral("Select a conflicted path first."));
        return;
    }
    runInSelectedProject({QStringLiteral("Resolve"), RepositoryKind::svn,
        {ToolCommand::withPaths(
            {QStringLiteral("resolve"), QStringLiteral("--accept"), accept}, ToolOperands::svnPaths(paths))},
        AfterRun::reload});
}

void AppState::lockSelectedPaths()
{
    runOnActionPaths(*this, QStringLiteral("Lock"), RepositoryKind::svn, {QStringLiteral("lock")});
}

void AppState::unlockSelectedPaths()
{
    runOnActionPaths(*this, QStringLiteral("Unlock"), RepositoryKind::svn, {QStringLiteral("unlock")});
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
    // The paths never read as options; the name may, and then goes after a "--".
    runInSelectedProject({QStringLiteral("Changelist"), RepositoryKind::svn,
        {ToolCommand::withPaths(
            ToolOperands::svnArguments({QStringLiteral("changelist")}, {name}), ToolOperands::svnPaths(paths))},
        AfterRun::reload});
}

void AppState::removeFromChangelist()
{
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectAtLeastOnePath);
        return;
    }
    runInSelectedProject({QStringLiteral("Remove Changelist"), RepositoryKind::svn,
        {ToolCommand::withPaths({QStringLiteral("changelist"), QStringLiteral("--remove")}, ToolOperands::svnPaths(paths))},
        AfterRun::reload});
}

void AppState::applyPatch()
{
    const std::optional<QString> patchFile = choosePath(
        *this, {.title = QStringLiteral("Choose Patch File"), .canChooseFiles = true, .canChooseDirectories = false});
    if (!patchFile)
        return;
    // The chosen file is a path operand like any other: "p@2x.diff" would read as a peg revision.
    runInSelectedProject({QStringLiteral("Patch"), RepositoryKind::svn,
        {{QStringLiteral("patch"), ToolOperands::svnPath(*patchFile)}}, AfterRun::reload});
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
    runInSelectedProject({QStringLiteral("Make Directory"), RepositoryKind::svn,
        {ToolOperands::svnArguments({QStringLiteral("mkdir")}, {ToolOperands::svnNewTarget(path)})}, AfterRun::reload});
}

void AppState::copyItem()
{
    copyOrMoveItem(*this, QStringLiteral("Copy"), QStringLiteral("copy"));
}

void AppState::moveItem()
{
    copyOrMoveItem(*this, QStringLiteral("Move"), QStringLiteral("move"));
}
