#include "ProjectFolderGuard.h"

#include "state/AppClients.h"
#include "tools/ToolRunScope.h"

#include <QDir>

ProjectFolderGuard::ProjectFolderGuard(const AppClients &clients, std::shared_ptr<const ToolRunScope> scope)
    : m_clients(clients), m_scope(std::move(scope))
{ }

QCoro::Task<FolderLook> ProjectFolderGuard::look(QString path, RepositoryKind kind)
{
    return m_clients.folderLook(*m_clients.svn, *m_clients.git, m_scope, std::move(path), kind);
}

QCoro::Task<std::optional<FolderRefusal>> ProjectFolderGuard::refusal(Project project)
{
    const FolderLook folder = co_await look(project.path, project.kind);
    const std::optional<FolderRefusal> refusal = folderRefusal(project.path, project.kind, folder);
    const Answer *answer = refusal && folder.isFolder ? answerFor(project) : nullptr;
    if (!answer || !answer->keptBelow)
        co_return refusal;
    const QString top = answer->offer.first;
    // git lists paths from its top, which a project below it would take for its own.
    if (project.kind == RepositoryKind::git)
        co_return FolderRefusal{QStringLiteral("Inside A Git Repository"),
            QStringLiteral("The folder ") + project.path + QStringLiteral(" is part of the Git repository ") + top
                + QStringLiteral(". Select the project again to move it there.")};
    const FolderLook above = co_await look(top, project.kind);
    co_return above.root ? std::nullopt : refusal;
}

QCoro::Task<QString> ProjectFolderGuard::existingFolder(Project project)
{
    const FolderLook folder = co_await look(project.path, project.kind);
    co_return folder.isFolder ? project.path : QString();
}

QCoro::Task<std::optional<ProjectFolderGuard::Offer>> ProjectFolderGuard::rightPlacement(Project project)
{
    std::optional<Placement> svn;
    std::optional<Placement> git;
    try {
        // svn first: a working copy inside a Git work tree is svn's.
        svn = co_await svnPlacement(*m_clients.svn, project.path);
        if (!svn)
            git = co_await gitPlacement(*m_clients.git, project.path);
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) {
        co_return std::nullopt;
    }
    const RepositoryKind kind = svn ? RepositoryKind::svn : RepositoryKind::git;
    const std::optional<Placement> &found = svn ? svn : git;
    if (!found || (found->atTop && kind == project.kind))
        co_return std::nullopt;
    // git finds a top above any folder below it, also a repository of its own that lost its .git.
    if (!found->atTop && kind == RepositoryKind::git && !co_await gitTracksFolder(*m_clients.git, project.path))
        co_return std::nullopt;
    // git names its top by the resolved path; the same folder keeps the name the user gave it.
    co_return Offer{found->atTop ? QDir::cleanPath(project.path) : found->top, kind};
}

bool ProjectFolderGuard::takeQuestion(const Project &project, const Offer &offer)
{
    const Answer *answer = answerFor(project);
    if (answer && answer->offer == offer)
        return true;
    m_answers.insert(project.id, {project.path, project.kind, offer});
    return false;
}

void ProjectFolderGuard::declined(const Project &project)
{
    const auto answer = m_answers.find(project.id);
    if (answer != m_answers.end() && answer->offer.second == project.kind)
        answer->keptBelow = true;
}

void ProjectFolderGuard::projectSelected(const QUuid &project)
{
    const auto answer = m_answers.constFind(project);
    if (answer != m_answers.constEnd() && !(answer->keptBelow && answer->kind == RepositoryKind::svn))
        m_answers.erase(answer);
}

const ProjectFolderGuard::Answer *ProjectFolderGuard::answerFor(const Project &project) const
{
    const auto answer = m_answers.constFind(project.id);
    if (answer == m_answers.constEnd() || answer->path != project.path || answer->kind != project.kind)
        return nullptr;
    return &*answer;
}
