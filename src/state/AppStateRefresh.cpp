#include "AppState.h"

#include "model/TextUtil.h"
#include "state/RepositoryDetection.h"

#include <QDir>
#include <QFileInfo>

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
    const std::optional<Project> project = selectedProject();
    const std::optional<FolderRefusal> refusal = project ? projectFolderRefusal(*project) : std::nullopt;
    setProjectFolderProblem(refusal ? std::optional<QString>(refusal->message) : std::nullopt);
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
    const FolderLook folder = m_clients.folderLook(project->path);
    if (!folder.isFolder || !folderRefusal(project->path, project->kind, folder))
        co_return;
    const std::optional<std::pair<QString, RepositoryKind>> offer = co_await rightPlacement(*project);
    if (!offer) {
        m_placementAnswers.remove(project->id);
        co_return;
    }
    const auto answered = m_placementAnswers.constFind(project->id);
    if (answered != m_placementAnswers.constEnd() && answered->path == project->path && answered->kind == project->kind
        && answered->offer == *offer)
        co_return;
    // Taken before the question, so a refresh meanwhile does not ask it a second time.
    m_placementAnswers.insert(project->id, {project->path, project->kind, *offer});
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
        if (kind == project->kind)
            m_placementAnswers[project->id].keptBelow = true;
        co_return;
    }
    // The disk may have changed while the question was open.
    if (co_await rightPlacement(*project) != offer)
        co_return;
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_projects.size(); ++i) {
        if (m_projects[i] == *project) {
            index = i;
            break;
        }
    }
    if (index < 0)
        co_return;
    QList<Project> updated = m_projects;
    updated[index].kind = kind;
    updated[index].path = root;
    updated[index].name = TextUtil::lastPathComponent(root);
    const Project changed = updated[index];
    setProjects(std::move(updated));
    saveProjects(
        [project = *project, changed](QList<Project> &stored) { ProjectStore::replace(stored, project, changed); });
}

QCoro::Task<std::optional<std::pair<QString, RepositoryKind>>> AppState::rightPlacement(Project project)
{
    std::pair<QString, RepositoryKind> detected;
    try {
        detected = co_await detectRepository(client(), gitClient(), project.path);
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) {
        co_return std::nullopt;
    }
    const QString root = QDir::cleanPath(detected.first);
    const RepositoryKind kind = detected.second;
    const QString folder = QDir::cleanPath(project.path);
    if (root == folder)
        co_return kind == project.kind ? std::nullopt : std::optional(std::pair{root, kind});
    // svn finds a root above only for a folder it versions; git finds one for any folder below it, also
    // for a repository of its own that lost its .git.
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const bool above = !canonicalRoot.isEmpty()
        && canonicalFolder.startsWith(canonicalRoot.endsWith(u'/') ? canonicalRoot : canonicalRoot + u'/');
    if (!above || (kind == RepositoryKind::git && !co_await gitTracksFolder(gitClient(), project.path)))
        co_return std::nullopt;
    co_return std::pair{root, kind};
}
