#include "AppState.h"

#include "model/TextUtil.h"
#include "state/RepositoryDetection.h"

#include <QDir>

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
    refreshAll();
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
    std::pair<QString, RepositoryKind> detected;
    try {
        detected = co_await detectRepository(client(), gitClient(), project->path);
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) {
        co_return;
    }
    const QString detectedPath = QDir::cleanPath(detected.first);
    if (detected.second == project->kind && detectedPath == QDir::cleanPath(project->path))
        co_return;
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_projects.size(); ++i) {
        if (m_projects[i].id == project->id) {
            index = i;
            break;
        }
    }
    if (index < 0)
        co_return;
    QList<Project> updated = m_projects;
    updated[index].kind = detected.second;
    updated[index].path = detectedPath;
    updated[index].name = TextUtil::lastPathComponent(detectedPath);
    const Project changed = updated[index];
    setProjects(std::move(updated));
    saveProjects([project = *project, changed](QList<Project> &stored) {
        ProjectStore::replace(stored, project, changed);
    });
}
