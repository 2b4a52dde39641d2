#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "parsers/SVNXMLParsers.h"
#include "state/RepositoryDetection.h"

namespace {

const QString loadingIncoming = QStringLiteral("Loading incoming");
const QString loadingHistory = QStringLiteral("Loading history");
const QString loadingArchives = QStringLiteral("Loading archives");

// Git entries are numbered by position, so after new commits the same number names another commit:
// find the entry by its hash instead.
std::optional<qint64> revisionOfHash(const QList<LogEntry> &entries, const std::optional<QString> &hash)
{
    if (!hash)
        return std::nullopt;
    for (const LogEntry &entry : entries) {
        if (entry.commitHash == hash)
            return entry.revision;
    }
    return std::nullopt;
}

std::optional<QString> hashOfRevision(const QList<LogEntry> &entries, const std::optional<qint64> &revision)
{
    if (!revision)
        return std::nullopt;
    for (const LogEntry &entry : entries) {
        if (entry.revision == *revision)
            return entry.commitHash;
    }
    return std::nullopt;
}

QCoro::Task<QList<LogEntry>> loadLogEntries(SVNClient &svn, GitClient &git, Project project, int limit = 100)
{
    if (project.kind == RepositoryKind::git) {
        const QStringList arguments{QStringLiteral("log"), QStringLiteral("--no-ext-diff"),
            QStringLiteral("--no-color"), QStringLiteral("--date=iso-strict"), QStringLiteral("--name-status"),
            QStringLiteral("--format=--KORVEL-GIT-COMMIT--%H%x09%an%x09%aI%x09%s"),
            QStringLiteral("--max-count=") + QString::number(limit)};
        ToolRun run{arguments, project.path};
        run.decodeOutput = false;
        std::optional<SVNClientError> failure;
        SVNCommandResult result;
        try {
            result = co_await git.run(std::move(run));
        } catch (const SVNClientError &error) {
            if (!error.isCommandFailed())
                throw;
            failure = error;
        }
        if (failure) {
            // A branch without commits has no history, though git log fails on it.
            if (co_await gitUnbornBranch(git, project.path))
                co_return {};
            throw *failure;
        }
        co_return GitParsers::parseLog(QByteArrayView(result.stdoutData));
    }
    const QStringList arguments{QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"),
        QStringLiteral("-l"), QString::number(limit)};
    const SVNCommandResult result = co_await svn.run(arguments, project.path);
    co_return SVNXMLParsers::parseLog(result.stdout);
}

} // namespace

void AppState::clearIncoming()
{
    setIncomingEntries({});
    setSelectedIncomingRevision(std::nullopt);
    setIncomingDiffText(QByteArray());
    setIncomingBaseRevision(std::nullopt);
    setIncomingHeadRevision(std::nullopt);
    setIncomingOutdatedItems({});
}

QCoro::Task<> AppState::loadIncoming()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        clearIncoming();
        co_return;
    }
    if (project->kind == RepositoryKind::git) {
        clearIncoming();
        m_staleTabs.remove(WorkflowTab::incoming);
        co_return;
    }
    const LoadTicket ticket = m_loads.begin(LoadGroup::incoming, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    setBusyMessage(loadingIncoming);

    // Both queries may reach the repository: run them at the same time.
    const QStringList infoArguments{QStringLiteral("info"), QStringLiteral("--xml")};
    const QStringList remoteArguments{QStringLiteral("status"), QStringLiteral("--xml"), QStringLiteral("-u")};
    QCoro::Task<SVNCommandResult> infoQuery = client().run(infoArguments, project->path);
    QCoro::Task<SVNCommandResult> remoteQuery = client().run(remoteArguments, project->path);
    SVNCommandResult infoResult;
    SVNCommandResult remoteResult;
    std::exception_ptr failure;
    try {
        infoResult = co_await std::move(infoQuery);
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        // Awaited even after a failure, so the alert waits until the second run has ended.
        remoteResult = co_await std::move(remoteQuery);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &error) {
            failLoad(ticket, loadingIncoming, QStringLiteral("Incoming Failed"), error);
        }
        co_return;
    }
    if (!keepLoad(ticket, loadingIncoming))
        co_return;

    const RepositoryInfo info = SVNXMLParsers::parseInfo(infoResult.stdout);
    const SVNRemoteStatus remote = SVNXMLParsers::parseRemoteStatus(remoteResult.stdout);
    setRepositoryInfo(info);
    setIncomingOutdatedItems(remote.outdatedItems);

    // svn writes -1 for items added in the repository; such numbers are no base.
    std::optional<qint64> base;
    for (const WorkingCopyItem &item : remote.outdatedItems) {
        if (!item.revision)
            continue;
        const std::optional<qint64> revision = TextUtil::parseInt64(*item.revision);
        if (revision && *revision >= 0 && (!base || *revision < *base))
            base = revision;
    }
    if (!base) {
        if (info.workingRevision)
            base = TextUtil::parseInt64(*info.workingRevision);
        if (!base && info.revision)
            base = TextUtil::parseInt64(*info.revision);
    }
    const std::optional<qint64> head = remote.repositoryRevision;
    setIncomingBaseRevision(base);
    setIncomingHeadRevision(head);

    if (!base || !head || *base >= *head) {
        setIncomingEntries({});
        setSelectedIncomingRevision(std::nullopt);
        setIncomingDiffText(QByteArray());
        m_staleTabs.remove(WorkflowTab::incoming);
        setBusyMessage(std::nullopt);
        co_return;
    }

    const QStringList logArguments{QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"),
        QStringLiteral("-r"), QString::number(*base + 1) + u':' + QString::number(*head)};
    SVNCommandResult logResult;
    try {
        logResult = co_await client().run(logArguments, project->path);
    } catch (const std::exception &error) {
        failLoad(ticket, loadingIncoming, QStringLiteral("Incoming Failed"), error);
        co_return;
    }
    if (!keepLoad(ticket, loadingIncoming))
        co_return;
    QList<LogEntry> kept;
    for (LogEntry &entry : SVNXMLParsers::parseLog(logResult.stdout)) {
        if (entry.revision > *base && entry.revision <= *head)
            kept.push_back(std::move(entry));
    }
    setIncomingEntries(std::move(kept));
    m_staleTabs.remove(WorkflowTab::incoming);
    if (!selectedIncomingLogEntry())
        setSelectedIncomingRevision(
            m_incomingEntries.isEmpty() ? std::nullopt : std::optional<qint64>(m_incomingEntries.first().revision));
    setBusyMessage(std::nullopt);
    co_await loadDiffForSelectedIncomingRevision();
}

QCoro::Task<std::optional<QList<LogEntry>>> AppState::loadLog(
    LoadGroup group, QString busyText, QString failureTitle, Project project)
{
    const LoadTicket ticket = m_loads.begin(group, project.id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    setBusyMessage(busyText);
    QList<LogEntry> entries;
    try {
        entries = co_await loadLogEntries(client(), gitClient(), project);
    } catch (const std::exception &error) {
        failLoad(ticket, busyText, failureTitle, error);
        co_return std::nullopt;
    }
    if (!keepLoad(ticket, busyText))
        co_return std::nullopt;
    co_return entries;
}

QCoro::Task<> AppState::loadHistory()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        co_return;
    std::optional<QList<LogEntry>> entries
        = co_await loadLog(LoadGroup::history, loadingHistory, QStringLiteral("History Failed"), *project);
    if (!entries)
        co_return;

    const std::optional<QString> selectedHash
        = project->kind == RepositoryKind::git ? hashOfRevision(m_logEntries, m_selectedRevision) : std::nullopt;
    setLogEntries(std::move(*entries));
    m_staleTabs.remove(WorkflowTab::history);
    if (selectedHash) {
        if (const std::optional<qint64> moved = revisionOfHash(m_logEntries, selectedHash))
            setSelectedRevision(moved);
    }

    const QList<FileHistoryItem> &items = fileHistoryItems();
    if (!selectedFileHistoryItem())
        setSelectedHistoryPath(items.isEmpty() ? std::nullopt : std::optional<QString>(items.first().path));
    const QList<FileHistoryRevision> revisions = selectedFileHistoryRevisions();
    if (!selectedFileHistoryRevision()) {
        if (!revisions.isEmpty())
            setSelectedRevision(revisions.first().revision);
        else if (!m_logEntries.isEmpty())
            setSelectedRevision(m_logEntries.first().revision);
        else
            setSelectedRevision(std::nullopt);
    }
    setBusyMessage(std::nullopt);
    co_await loadDiffForSelectedHistoryRevision();
}

QCoro::Task<> AppState::loadArchives()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        co_return;
    std::optional<QList<LogEntry>> entries
        = co_await loadLog(LoadGroup::archives, loadingArchives, QStringLiteral("Archives Failed"), *project);
    if (!entries)
        co_return;
    const std::optional<QString> selectedHash = project->kind == RepositoryKind::git
        ? hashOfRevision(m_archiveEntries, m_selectedArchiveEntryID)
        : std::nullopt;
    setArchiveEntries(std::move(*entries));
    m_staleTabs.remove(WorkflowTab::archives);
    if (selectedHash) {
        if (const std::optional<qint64> moved = revisionOfHash(m_archiveEntries, selectedHash))
            setSelectedArchiveEntryID(moved);
    }
    if (!selectedArchiveEntry())
        setSelectedArchiveEntryID(
            m_archiveEntries.isEmpty() ? std::nullopt : std::optional<qint64>(m_archiveEntries.first().revision));
    setBusyMessage(std::nullopt);
}
