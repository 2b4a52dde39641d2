#include "AppState.h"

QCoro::Task<bool> AppState::refuseUnusableFolder(Project project)
{
    const std::optional<FolderRefusal> refusal = co_await m_folderGuard.refusal(project);
    if (refusal)
        showAlert(refusal->title, refusal->message);
    co_return refusal.has_value();
}

QCoro::Task<std::optional<Project>> AppState::loadableProject()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        co_return std::nullopt;
    const std::optional<FolderRefusal> refusal = co_await m_folderGuard.refusal(*project);
    // Another project was selected meanwhile: its own loads say what its folder is.
    if (m_selectedProjectID != project->id)
        co_return std::nullopt;
    if (!refusal) {
        setProjectFolderProblem(std::nullopt);
        co_return project;
    }
    // A load begun before the folder went must not bring back what another repository holds.
    for (int group = 0; group < int(LoadGroup::count); ++group)
        m_loads.supersede(LoadGroup(group));
    clearProjectState();
    setProjectFolderProblem(refusal->message);
    co_return std::nullopt;
}

void AppState::startProjectTask(Project project, std::function<QCoro::Task<>()> body)
{
    startTask(
        [this, project = std::move(project), body = std::move(body)] { return runInUsableFolder(project, body); });
}

QCoro::Task<> AppState::runInUsableFolder(Project project, std::function<QCoro::Task<>()> body)
{
    // Looked at when the action runs, after any question it asked.
    const bool refused = co_await refuseUnusableFolder(project);
    if (refused)
        co_return;
    co_await body();
}

QCoro::Task<> AppState::runInSelectedFolder(RunRequest request)
{
    const std::optional<Project> project = selectedProject();
    QString folder;
    if (project)
        folder = co_await m_folderGuard.existingFolder(*project);
    co_await runRequest(std::move(request), folder);
}
