#include "AppState.h"

std::optional<FolderRefusal> AppState::projectFolderRefusal(const Project &project) const
{
    const FolderLook folder = m_clients.folderLook(project.path);
    std::optional<FolderRefusal> refusal = folderRefusal(project.path, project.kind, folder);
    if (!refusal || !folder.isFolder || project.kind != RepositoryKind::svn)
        return refusal;
    // svn works in any folder of its working copy; git lists paths from its top, which a project below
    // it would take for its own.
    const auto answer = m_placementAnswers.constFind(project.id);
    if (answer != m_placementAnswers.constEnd() && answer->keptBelow && answer->path == project.path
        && answer->kind == project.kind && m_clients.folderLook(answer->offer.first).svnRoot)
        return std::nullopt;
    return refusal;
}

bool AppState::refuseUnusableFolder(const Project &project)
{
    const std::optional<FolderRefusal> refusal = projectFolderRefusal(project);
    if (refusal)
        showAlert(refusal->title, refusal->message);
    return refusal.has_value();
}

bool AppState::folderBlocksLoad(const Project &project)
{
    const std::optional<FolderRefusal> refusal = projectFolderRefusal(project);
    if (!refusal) {
        setProjectFolderProblem(std::nullopt);
        return false;
    }
    blockLoads(refusal->message);
    return true;
}

void AppState::blockLoads(const QString &problem)
{
    // A load begun before the folder went must not bring back what another repository holds.
    for (int group = 0; group < int(LoadGroup::count); ++group)
        m_loads.supersede(LoadGroup(group));
    clearProjectState();
    setProjectFolderProblem(problem);
}

void AppState::startProjectTask(Project project, std::function<QCoro::Task<>()> body)
{
    startTask(
        [this, project = std::move(project), body = std::move(body)] { return runInUsableFolder(project, body); });
}

QCoro::Task<> AppState::runInUsableFolder(Project project, std::function<QCoro::Task<>()> body)
{
    // Looked at when the action runs, after any question it asked.
    if (refuseUnusableFolder(project))
        co_return;
    co_await body();
}

QString AppState::usableSelectedFolder() const
{
    const std::optional<Project> project = selectedProject();
    return project && !projectFolderRefusal(*project) ? project->path : QString();
}

QCoro::Task<> AppState::runInSelectedFolder(RunRequest request)
{
    const std::optional<Project> project = selectedProject();
    if (project && refuseUnusableFolder(*project))
        co_return;
    const QString folder = project ? project->path : QString();
    co_await runRequest(std::move(request), folder);
}
