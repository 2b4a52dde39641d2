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
    // Several derived selections read this on every render: build it once per log and relative URL.
    const std::pair<quint64, std::optional<QString>> key{m_logEntriesGeneration, m_repositoryInfo.relativeURL};
    if (m_fileHistoryKey == key)
        return m_fileHistoryItems;

    QHash<QString, qsizetype> indexByPath;
    QList<FileHistoryItem> items;
    for (const LogEntry &entry : m_logEntries) {
        for (const SVNPathChange &change : entry.paths) {
            if (!change.isFileChange())
                continue;
            const QString path = workingCopyPath(change.path);
            if (path.isEmpty() || path == u".")
                continue;
            FileHistoryRevision revision{
                entry.revision, entry.commitHash, change.action, entry.author, entry.date, entry.message, entry.paths};
            auto found = indexByPath.constFind(path);
            if (found == indexByPath.constEnd()) {
                indexByPath.insert(path, items.size());
                items.push_back(FileHistoryItem{path, {std::move(revision)}});
            } else {
                items[*found].revisions.push_back(std::move(revision));
            }
        }
    }
    for (FileHistoryItem &item : items) {
        std::stable_sort(item.revisions.begin(), item.revisions.end(),
            [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
    }
    // Latest revision descending, then path in the localized order.
    TextUtil::sortByLocalizedKey(items, [](const FileHistoryItem &item) { return item.path; });
    std::stable_sort(items.begin(), items.end(), [](const FileHistoryItem &a, const FileHistoryItem &b) {
        const qint64 latestA = a.revisions.isEmpty() ? 0 : a.revisions.first().revision;
        const qint64 latestB = b.revisions.isEmpty() ? 0 : b.revisions.first().revision;
        return latestA > latestB;
    });
    m_fileHistoryItems = std::move(items);
    m_fileHistoryIndex.clear();
    m_fileHistoryIndex.reserve(m_fileHistoryItems.size());
    for (qsizetype i = 0; i < m_fileHistoryItems.size(); ++i)
        m_fileHistoryIndex.insert(m_fileHistoryItems[i].path, i);
    m_fileHistoryKey = key;
    return m_fileHistoryItems;
}

std::optional<FileHistoryItem> AppState::selectedFileHistoryItem() const
{
    if (!m_selectedHistoryPath)
        return std::nullopt;
    const QList<FileHistoryItem> &items = fileHistoryItems();
    const auto found = m_fileHistoryIndex.constFind(*m_selectedHistoryPath);
    if (found == m_fileHistoryIndex.constEnd())
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
