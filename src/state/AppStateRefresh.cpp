#include "AppState.h"

#include "model/TextUtil.h"
#include "state/RepositoryDetection.h"

#include <QDir>

#include <algorithm>

void AppState::start()
{
    if (selectedProject())
        refreshAll();
}

void AppState::refreshAll()
{
    if (!selectedProject())
        return;
    startLoadTask([this] { return refreshAllTask(); });
}

QCoro::Task<> AppState::refreshAllTask()
{
    co_await refreshSelectedProjectKind();
    co_await loadStatus();
    co_await loadInfo();
    // The tab is read now, not when the refresh was asked for.
    switch (m_selectedTab) {
    case WorkflowTab::changes:
        break;
    case WorkflowTab::incoming:
        co_await loadIncoming();
        break;
    case WorkflowTab::history:
        co_await loadHistory();
        break;
    case WorkflowTab::archives:
        co_await loadArchives();
        break;
    }
}

void AppState::projectSelectionChanged()
{
    clearProjectState();
    // The refresh's loads say what the new project's folder is.
    setProjectFolderProblem(std::nullopt);
    if (m_selectedProjectID)
        m_folderGuard.projectSelected(*m_selectedProjectID);
    refreshAll();
}

void AppState::clearProjectState()
{
    m_statusProjectID.reset();
    setChanges({});
    setSelectedChangeID(std::nullopt);
    setSelectedCommitPaths({});
    setDiffText(QByteArray());
    setLogEntries({});
    setSelectedHistoryPath(std::nullopt);
    setSelectedRevision(std::nullopt);
    setHistoryDiffText(QByteArray());
    setArchiveEntries({});
    setSelectedArchiveEntryID(std::nullopt);
    clearIncoming();
    m_staleTabs.clear();
    setRepositoryInfo(RepositoryInfo());
}

void AppState::tabChanged()
{
    switch (m_selectedTab) {
    case WorkflowTab::history:
        if (m_logEntries.isEmpty() || m_staleTabs.contains(WorkflowTab::history))
            refreshHistory();
        break;
    case WorkflowTab::archives:
        if (m_archiveEntries.isEmpty() || m_staleTabs.contains(WorkflowTab::archives))
            refreshArchives();
        break;
    case WorkflowTab::incoming:
        if (!m_incomingBaseRevision || m_staleTabs.contains(WorkflowTab::incoming))
            refreshIncoming();
        break;
    case WorkflowTab::changes:
        break;
    }
}

void AppState::refreshHistory()
{
    setSelectedTab(WorkflowTab::history);
    startLoadTask([this] { return refreshTabTask(WorkflowTab::history); });
}

void AppState::refreshIncoming()
{
    setSelectedTab(WorkflowTab::incoming);
    startLoadTask([this] { return refreshTabTask(WorkflowTab::incoming); });
}

void AppState::refreshArchives()
{
    setSelectedTab(WorkflowTab::archives);
    startLoadTask([this] { return refreshTabTask(WorkflowTab::archives); });
}

QCoro::Task<> AppState::refreshTabTask(WorkflowTab tab)
{
    co_await refreshSelectedProjectKind();
    co_await loadInfo();
    if (tab == WorkflowTab::history)
        co_await loadHistory();
    else if (tab == WorkflowTab::incoming)
        co_await loadIncoming();
    else if (tab == WorkflowTab::archives)
        co_await loadArchives();
}

void AppState::refreshStatus()
{
    startLoadTask([this] { return refreshStatusTask(); });
}

QCoro::Task<> AppState::refreshStatusTask()
{
    co_await refreshSelectedProjectKind();
    co_await loadStatus();
}

QCoro::Task<> AppState::refreshSelectedProjectKind()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        co_return;
    // A folder that is the top of a working copy of the project's kind stays as it is; so does one that
    // is gone. A refresh changes a project only with the user's yes.
    const FolderLook folder = co_await m_folderGuard.look(project->path, project->kind);
    if (!folder.isFolder || folder.root)
        co_return;
    const std::optional<ProjectFolderGuard::Offer> offer = co_await m_folderGuard.rightPlacement(*project);
    if (!offer) {
        m_folderGuard.forget(project->id);
        co_return;
    }
    // Taken before the question, so a refresh meanwhile does not ask it a second time.
    if (m_folderGuard.takeQuestion(*project, *offer))
        co_return;
    const auto &[root, kind] = *offer;
    const QString repository
        = kind == RepositoryKind::git ? QStringLiteral("Git repository") : QStringLiteral("SVN working copy");
    const bool yes = root == QDir::cleanPath(project->path)
        ? confirm(QStringLiteral("Change Project Kind"),
            QStringLiteral("The folder ") + project->path + QStringLiteral(" is now a ") + repository
                + QStringLiteral(". Open the project as ") + displayName(kind) + QStringLiteral("?"))
        : confirm(QStringLiteral("Move Project"),
            QStringLiteral("The folder ") + project->path + QStringLiteral(" is part of the ") + repository + u' '
                + root + QStringLiteral(". Move the project to ") + root + QStringLiteral("?"));
    if (!yes) {
        m_folderGuard.declined(*project);
        co_return;
    }
    // The disk may have changed while the question was open.
    const std::optional<ProjectFolderGuard::Offer> still = co_await m_folderGuard.rightPlacement(*project);
    if (still != offer)
        co_return;
    const auto at = std::find(m_projects.cbegin(), m_projects.cend(), *project);
    if (at == m_projects.cend())
        co_return;
    Project changed = *project;
    changed.kind = kind;
    changed.path = root;
    changed.name = TextUtil::lastPathComponent(root);
    QList<Project> updated = m_projects;
    // The list never holds two projects of one folder: one moved onto a listed folder merges into it.
    const auto listed = std::find_if(m_projects.cbegin(), m_projects.cend(),
        [&](const Project &other) { return other.id != project->id && other.path == root; });
    if (listed != m_projects.cend()) {
        const QUuid kept = listed->id;
        updated.removeAt(at - m_projects.cbegin());
        setProjects(std::move(updated));
        setSelectedProjectID(kept);
        clearProjectState();
    } else {
        updated[at - m_projects.cbegin()] = changed;
        setProjects(std::move(updated));
    }
    saveProjects([project = *project, changed](QList<Project> &stored) {
        const bool listed = std::any_of(stored.cbegin(), stored.cend(),
            [&](const Project &other) { return other.id != project.id && other.path == changed.path; });
        if (listed)
            ProjectStore::remove(stored, project);
        else
            ProjectStore::replace(stored, project, changed);
    });
}
