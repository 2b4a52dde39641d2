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

QString trimmedSlashes(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u'/')
        ++start;
    while (end > start && text[end - 1] == u'/')
        --end;
    return text.mid(start, end - start);
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
    m_fileHistory.items = buildFileHistory(m_logEntries, [this](const QString &path) { return workingCopyPath(path); });
    m_fileHistory.indexByPath.clear();
    m_fileHistory.indexByPath.reserve(m_fileHistory.items.size());
    for (qsizetype i = 0; i < m_fileHistory.items.size(); ++i)
        m_fileHistory.indexByPath.insert(m_fileHistory.items[i].path, i);
    m_fileHistory.relativeURL = m_repositoryInfo.relativeURL;
    m_fileHistory.built = true;
    return m_fileHistory.items;
}

std::optional<FileHistoryItem> AppState::selectedFileHistoryItem() const
{
    if (!m_selectedHistoryPath)
        return std::nullopt;
    const QList<FileHistoryItem> &items = fileHistoryItems();
    const auto found = m_fileHistory.indexByPath.constFind(*m_selectedHistoryPath);
    if (found == m_fileHistory.indexByPath.constEnd())
        return std::nullopt;
    return items.at(*found);
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
    const QString trimmed = trimmedSlashes(repositoryPath);
    const std::optional<QString> &relativeURL = m_repositoryInfo.relativeURL;
    if (!relativeURL || relativeURL->isEmpty())
        return trimmed;
    // svn info percent-encodes the relative URL while log paths are plain text. The "^" marker goes
    // first: a "^" in a name is encoded ("%5E") and must survive.
    QString relative = *relativeURL;
    relative.remove(u'^');
    relative = QUrl::fromPercentEncoding(relative.toUtf8());
    relative = trimmedSlashes(relative);
    if (relative.isEmpty())
        return trimmed;
    if (trimmed == relative)
        return QStringLiteral(".");
    if (trimmed.startsWith(relative + u'/'))
        return trimmed.mid(relative.size() + 1);
    return trimmed;
}
