#include "AppState.h"

#include "model/TextUtil.h"
#include "state/ActionForms.h"
#include "state/RepositoryDetection.h"

#include <algorithm>

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
    QList<Project> updated = m_projects;
    QUuid selected;
    const auto listed = std::find_if(updated.begin(), updated.end(), [&](const Project &p) { return p.path == path; });
    if (listed != updated.end()) {
        // A listed folder keeps its place and name; only the kind follows the detection.
        listed->kind = kind;
        selected = listed->id;
    } else {
        Project project;
        project.name = TextUtil::lastPathComponent(path);
        project.path = path;
        project.kind = kind;
        selected = project.id;
        updated.push_back(std::move(project));
        TextUtil::sortByLocalizedKey(updated, [](const Project &p) { return p.name; });
    }
    setProjects(std::move(updated));
    m_projectStore.save(m_projects);
    setSelectedProjectID(selected);
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
    remaining.removeIf([&](const Project &p) { return p.id == project->id; });
    setProjects(std::move(remaining));
    m_projectStore.save(m_projects);
    setSelectedProjectID(m_projects.isEmpty() ? std::nullopt : std::optional<QUuid>(m_projects.first().id));
    projectSelectionChanged();
}
