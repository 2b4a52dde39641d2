#include "AppState.h"

#include "model/TextUtil.h"
#include "state/ActionForms.h"
#include "state/RepositoryDetection.h"

void AppState::addExistingWorkingCopy()
{
    const std::optional<QString> folder = choosePath(
        *this, {.title = QStringLiteral("Add Working Copy"), .canChooseFiles = false, .canChooseDirectories = true});
    if (!folder)
        return;
    startTask([this, folder = *folder] { return addWorkingCopyTask(folder); });
}

QCoro::Task<> AppState::addWorkingCopyTask(QString folder)
{
    setBusyMessage(QStringLiteral("Checking project"));
    std::pair<QString, RepositoryKind> detected;
    try {
        detected = co_await detectRepository(client(), gitClient(), folder);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Could Not Add Project"), error);
        co_return;
    }
    setBusyMessage(std::nullopt);
    addProject(detected.first, detected.second);
}

void AppState::addProject(const QString &folder, RepositoryKind kind)
{
    const QString path = TextUtil::standardizedPath(folder);
    Project project;
    project.name = TextUtil::lastPathComponent(path);
    project.path = path;
    project.kind = kind;
    // A listed folder keeps its place and name; only the kind follows the detection.
    QList<Project> updated = m_projects;
    project.id = ProjectStore::add(updated, project);
    setProjects(std::move(updated));
    saveProjects([project](QList<Project> &stored) { ProjectStore::add(stored, project); });
    // The next panel opens beside the project, not inside it.
    if (m_dialogs)
        m_dialogs->rememberFolder(TextUtil::deletingLastPathComponent(path));
    setSelectedProjectID(project.id);
    projectSelectionChanged();
}

void AppState::removeSelectedProject()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        return;
    if (!confirm(QStringLiteral("Remove Project"),
            QStringLiteral("Remove ") + project->name
                + QStringLiteral(" from the project list? The working copy on disk will not be deleted.")))
        return;
    QList<Project> remaining = m_projects;
    ProjectStore::remove(remaining, *project);
    setProjects(std::move(remaining));
    saveProjects([project = *project](QList<Project> &stored) { ProjectStore::remove(stored, project); });
    setSelectedProjectID(m_projects.isEmpty() ? std::nullopt : std::optional<QUuid>(m_projects.first().id));
    projectSelectionChanged();
}
