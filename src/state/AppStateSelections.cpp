#include "AppState.h"

#include "model/TextUtil.h"

#include <QUrl>

namespace {

template <typename List, typename Id>
auto firstWithId(const List &list, const std::optional<Id> &id) -> std::optional<typename List::value_type>
{
    if (!id)
        return std::nullopt;
    for (const auto &element : list) {
        if (element.id() == *id)
            return element;
    }
    return std::nullopt;
}

} // namespace

std::optional<Project> AppState::selectedProject() const
{
    if (!m_selectedProjectID)
        return std::nullopt;
    for (const Project &project : m_projects) {
        if (project.id == *m_selectedProjectID)
            return project;
    }
    return std::nullopt;
}

std::optional<WorkingCopyItem> AppState::selectedChange() const
{
    if (!m_selectedChangeID)
        return std::nullopt;
    const auto found = m_changeIndex.constFind(*m_selectedChangeID);
    if (found == m_changeIndex.constEnd())
        return std::nullopt;
    return m_changes.at(*found);
}

std::optional<LogEntry> AppState::selectedArchiveEntry() const
{
    return firstWithId(m_archiveEntries, m_selectedArchiveEntryID);
}

std::optional<LogEntry> AppState::selectedIncomingLogEntry() const
{
    return firstWithId(m_incomingEntries, m_selectedIncomingRevision);
}

const QList<FileHistoryItem> &AppState::fileHistoryItems() const
{
    if (m_fileHistory.built && m_fileHistory.relativeURL == m_repositoryInfo.relativeURL)
        return m_fileHistory.items;
    m_fileHistory = FileHistoryCache::build(m_logEntries, m_repositoryInfo.relativeURL);
    return m_fileHistory.items;
}

const FilePathIndex &AppState::fileHistoryIndex() const
{
    fileHistoryItems();
    return m_fileHistory.indexByPath;
}

std::optional<FileHistoryItem> AppState::selectedFileHistoryItem() const
{
    if (!m_selectedHistoryPath)
        return std::nullopt;
    const QList<FileHistoryItem> &items = fileHistoryItems();
    const qsizetype found = m_fileHistory.indexByPath.value(*m_selectedHistoryPath);
    if (found < 0)
        return std::nullopt;
    return items.at(found);
}

QList<FileHistoryRevision> AppState::selectedFileHistoryRevisions() const
{
    const std::optional<FileHistoryItem> item = selectedFileHistoryItem();
    return item ? item->revisions : QList<FileHistoryRevision>();
}

std::optional<FileHistoryRevision> AppState::selectedFileHistoryRevision() const
{
    return firstWithId(selectedFileHistoryRevisions(), m_selectedRevision);
}

QString AppState::selectedProjectName() const
{
    const std::optional<Project> project = selectedProject();
    return project ? project->name : QStringLiteral("KorvelSVN");
}

QString AppState::selectedProjectPath() const
{
    const std::optional<Project> project = selectedProject();
    return project ? project->path : QString();
}

std::optional<RepositoryKind> AppState::selectedProjectKind() const
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        return std::nullopt;
    return project->kind;
}

QString AppState::selectedActionPath() const
{
    if (m_selectedChangeID)
        return *m_selectedChangeID;
    if (m_selectedHistoryPath)
        return *m_selectedHistoryPath;
    return QString();
}

QString AppState::selectedRevisionToken() const
{
    if (selectedProjectKind() == RepositoryKind::git) {
        if (const std::optional<FileHistoryRevision> revision = selectedFileHistoryRevision())
            return revision->commitHash.value_or(QString());
    }
    if (m_selectedTab == WorkflowTab::incoming)
        return m_selectedIncomingRevision ? QString::number(*m_selectedIncomingRevision) : QString();
    return m_selectedRevision ? QString::number(*m_selectedRevision) : QString();
}

QString AppState::incomingRangeDescription() const
{
    if (!m_incomingBaseRevision || !m_incomingHeadRevision)
        return QString();
    return u'r' + QString::number(*m_incomingBaseRevision) + QStringLiteral(" to r")
        + QString::number(*m_incomingHeadRevision);
}

QString AppState::workingCopyPath(const QString &repositoryPath) const
{
    return WorkingCopyPathMapping(m_repositoryInfo.relativeURL)(repositoryPath);
}
