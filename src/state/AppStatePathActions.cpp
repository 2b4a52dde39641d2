#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/SVNXMLParsers.h"
#include "state/ActionForms.h"
#include "state/RevertPlan.h"
#include "state/RunOutputs.h"
#include "state/SVNCommit.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

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
    // A fast-forward whatever the user's pull.rebase says: a rebasing pull refuses any unstaged edit.
    if (isGitProject(selectedProjectKind()))
        runInSelectedProject({QStringLiteral("Pull"), RepositoryKind::git,
            {{QStringLiteral("pull"), QStringLiteral("--ff-only"), QStringLiteral("--no-rebase")}},
            AfterRun::reload});
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
    startProjectTask(
        *project, [this, paths, folders, root = project->path] { return addSVNFolders(paths, folders, root); });
}

QCoro::Task<> AppState::addSVNFolders(QStringList paths, QStringList folders, QString root)
{
    // A new folder may be a large tree: it is searched for nested repositories off the window's thread.
    setBusyMessage(QStringLiteral("Add"));
    const QStringList nestedGit = co_await awaitInScope(m_runScope, QtConcurrent::run(nestedGitEntries, folders, root));
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
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(noPathsSelected, selectChangedPath);
        return;
    }
    const bool git = isGitProject(selectedProjectKind());
    const QString root = selectedProject() ? selectedProject()->path : QString();
    const auto standing = [&root](const QString &path) { return workingCopyPathEntry(path, root); };
    const RevertPlan::Plan plan
        = git ? RevertPlan::git(paths, m_changes, standing) : RevertPlan::svn(paths, m_changes, standing);
    if (plan.runs.isEmpty()) {
        if (plan.alert)
            setAlert(plan.alert);
        return;
    }
    // What a submodule holds is git's to tell: its question waits for the answer.
    const bool unasked = !plan.submodules.isEmpty();
    if (!unasked && !confirm(QStringLiteral("Revert"), RevertPlan::question(plan)))
        return;
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    startProjectTask(*project, [this, project = *project, plan, listed = m_changes, unasked] {
        return revertTask(project, plan, listed, unasked);
    });
}

QCoro::Task<> AppState::revertTask(Project project, RevertPlan::Plan asked, QList<WorkingCopyItem> listed, bool unasked)
{
    const QString title = QStringLiteral("Revert");
    const bool git = project.kind == RepositoryKind::git;
    const auto standing = [&project](const QString &path) { return workingCopyPathEntry(path, project.path); };
    std::optional<RevertPlan::Plan> plan;
    std::optional<AppAlert> refusal;
    bool failed = false;
    try {
        if (unasked) {
            const QList<RevertPlan::Submodule> submodules
                = co_await RevertPlan::submodules(gitClient(), project.path, asked.submodules);
            refusal = RevertPlan::submoduleRefusal(submodules);
            if (refusal) {
                setAlert(refusal);
                co_return;
            }
            if (!confirm(title, RevertPlan::question(asked) + RevertPlan::submoduleSentence(submodules)))
                co_return;
        }
        // The disk, and what svn holds under a replaced folder, may have changed while the question was
        // open: the plan is made again for what the question counted, as things are now.
        setBusyMessage(title);
        const QStringList folders
            = git ? QStringList() : RevertPlan::svnReplacedFolders(asked.reverted, listed, standing);
        if (!folders.isEmpty()) {
            const ToolCommand query = ToolCommand::withPaths(
                {QStringLiteral("status"), QStringLiteral("--xml"), QStringLiteral("--verbose"),
                    QStringLiteral("--depth"), QStringLiteral("infinity")},
                ToolOperands::svnPaths(folders));
            const SVNCommandResult tree = co_await client().run(query.in(project.path));
            // svn lists every path of the trees, which may be many: read off the window's thread.
            QFuture<QList<WorkingCopyItem>> reading = QtConcurrent::run([listed, text = tree.stdout] {
                return RevertPlan::withDeletionsInside(listed, SVNXMLParsers::parseStatus(text));
            });
            listed = co_await awaitInScope(m_runScope, std::move(reading));
        }
        plan = git ? RevertPlan::git(asked.reverted, listed, standing, asked.refused)
                   : RevertPlan::svn(asked.reverted, listed, standing, asked.refused);
        // So is what a submodule holds.
        if (!plan->runs.isEmpty() && !plan->submodules.isEmpty())
            refusal = RevertPlan::submoduleRefusal(
                co_await RevertPlan::submodules(gitClient(), project.path, plan->submodules));
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(title + QStringLiteral(" Failed"), error);
        failed = true;
    }
    if (failed)
        co_return;
    const std::optional<AppAlert> alert = refusal ? refusal : plan->alert;
    if (alert)
        setAlert(alert);
    if (refusal || plan->runs.isEmpty()) {
        // Something came in the way while the question was open: the list shows it.
        setBusyMessage(std::nullopt);
        co_await loadStatus();
        co_return;
    }
    RunRequest request{title, project.kind, plan->runs, AfterRun::reload};
    co_await runRequest(std::move(request), project.path);
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
    const QString typed = values->value(QStringLiteral("path"));
    if (typed.isEmpty())
        return;
    // svn makes the folder wherever a link leads and adds it to the working copy it finds there.
    const std::optional<TypedWorkingCopyPath> path = acceptWorkingCopyPath(*this, typed);
    if (!path)
        return;
    runOnTypedPath(*this,
        {QStringLiteral("Make Directory"), RepositoryKind::svn,
            {ToolOperands::svnArguments({QStringLiteral("mkdir")}, {ToolOperands::svnNewTarget(path->path)})},
            AfterRun::reload},
        *path);
}

void AppState::copyItem()
{
    copyOrMoveItem(*this, QStringLiteral("Copy"), QStringLiteral("copy"));
}

void AppState::moveItem()
{
    copyOrMoveItem(*this, QStringLiteral("Move"), QStringLiteral("move"));
}
