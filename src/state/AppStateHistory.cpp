#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "parsers/SVNXMLParsers.h"
#include "state/RepositoryDetection.h"
#include "tools/StreamedReading.h"

#include <type_traits>
#include <vector>

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

// A log read on a worker while the tool writes it: svn's XML or git's lines, kept to the revisions of
// `range` where one is given, and grouped by file where asked. An entry equal to one of `previous`, the
// list the load replaces, is taken from that list, so a reload never holds two copies of a long log; a
// log equal to that list gives the list itself back.
struct LogReadRequest {
    QList<LogEntry> previous;
    // After the first revision, up to and including the second.
    std::optional<std::pair<qint64, qint64>> range;
    bool groupByFile = false;
    // The working copy's relative URL the files are grouped under, and the grouping of `previous`.
    std::optional<QString> relativeURL;
    FileHistoryCache previousFileHistory;
};

template <typename Parser> class LogListReading {
public:
    static constexpr bool svn = std::is_same_v<Parser, SVNXMLParsers::LogReading>;

    explicit LogListReading(LogReadRequest request) : m_request(std::move(request))
    {
        // A first load's files are worked out as the log comes; a reload mostly finds its log unchanged.
        if (m_request.groupByFile && m_request.previous.isEmpty())
            m_readAhead = std::make_unique<FilePathsReadAhead>(m_request.relativeURL);
    }

    void add(QByteArray piece)
    {
        if constexpr (svn)
            checkUtf8(piece);
        m_parser.add(std::move(piece));
        QList<LogEntry> entries = m_parser.takeEntries();
        readAhead(entries);
        keep(std::move(entries));
    }

    LogRead finish()
    {
        m_parser.finish();
        QList<LogEntry> entries = m_parser.takeEntries();
        readAhead(entries);
        if (m_readAhead)
            m_readAhead->finish();
        keep(std::move(entries));
        if constexpr (svn) {
            // Output that is not UTF-8 lists nothing, as a whole reading would.
            if (!m_heldUtf8.isEmpty())
                m_validUtf8 = m_validUtf8 && TextUtil::isValidUtf8(m_heldUtf8);
            if (!m_validUtf8) {
                m_order.clear();
                m_fresh.clear();
            }
        }
        const QList<LogEntry> &previous = m_request.previous;
        const bool unchanged = listsPrevious();
        LogRead read;
        if (unchanged) {
            read.entries = previous;
        } else {
            read.entries.reserve(qsizetype(m_order.size()));
            for (const qsizetype at : m_order)
                read.entries.push_back(at >= 0 ? previous[at] : std::move(m_fresh[-at - 1]));
            m_fresh.clear();
            if constexpr (svn)
                SVNXMLParsers::sortNewestFirst(read.entries);
        }
        if (m_request.groupByFile) {
            const FileHistoryCache &before = m_request.previousFileHistory;
            read.fileHistory = unchanged && before.built && before.relativeURL == m_request.relativeURL
                ? before
                : FileHistoryCache::build(read.entries, m_request.relativeURL, m_readAhead.get());
        }
        // What the reading made for itself is freed on the pool, neither before the result is given nor
        // where it is taken: the paths a wide revision had read ahead take milliseconds to free.
        (void)QtConcurrent::run(
            [readAhead = std::shared_ptr<FilePathsReadAhead>(std::move(m_readAhead)),
                previousIndex = std::exchange(m_previousIndex, {}), order = std::exchange(m_order, {})] {});
        return read;
    }

private:
    // Hands the paths read since the last piece to the read-ahead: those of the entries completed, less
    // what was handed over while the first of them was still being read, then those of the entry that is.
    void readAhead(const QList<LogEntry> &completed)
    {
        if (!m_readAhead)
            return;
        for (const LogEntry &entry : completed)
            m_readAhead->add(entry.paths, std::exchange(m_pendingPathsRead, 0));
        if constexpr (requires { m_parser.pendingPaths(); }) {
            const QList<SVNPathChange> &pending = m_parser.pendingPaths();
            m_readAhead->add(pending, m_pendingPathsRead);
            m_pendingPathsRead = pending.size();
        }
    }

    void keep(QList<LogEntry> entries)
    {
        if (entries.isEmpty())
            return;
        // Read only: a write access would copy the list the state still shows.
        const QList<LogEntry> &previous = m_request.previous;
        if (m_previousIndex.isEmpty() && !previous.isEmpty()) {
            m_order.reserve(size_t(previous.size()));
            m_previousIndex.reserve(previous.size());
            for (qsizetype i = 0; i < previous.size(); ++i)
                m_previousIndex.insert(previous[i].revision, i);
        }
        for (LogEntry &entry : entries) {
            if (m_request.range
                && (entry.revision <= m_request.range->first || entry.revision > m_request.range->second))
                continue;
            const auto found = m_previousIndex.constFind(entry.revision);
            if (found != m_previousIndex.constEnd() && previous[*found] == entry) {
                m_order.push_back(*found);
            } else {
                m_fresh.push_back(std::move(entry));
                m_order.push_back(-m_fresh.size());
            }
        }
    }

    // Whether the log read is the previous list, entry for entry once in its order.
    bool listsPrevious() const
    {
        const QList<LogEntry> &previous = m_request.previous;
        if (!m_fresh.isEmpty() || qsizetype(m_order.size()) != previous.size())
            return false;
        if constexpr (!svn) {
            for (size_t i = 0; i < m_order.size(); ++i) {
                if (m_order[i] != qsizetype(i))
                    return false;
            }
            return true;
        }
        // svn's entries are put newest first: each entry of a list already in that order, once, gives that list.
        const auto notFalling = [](const LogEntry &a, const LogEntry &b) { return a.revision <= b.revision; };
        if (std::adjacent_find(previous.begin(), previous.end(), notFalling) != previous.end())
            return false;
        std::vector<bool> seen(m_order.size());
        for (const qsizetype at : m_order) {
            if (seen[size_t(at)])
                return false;
            seen[size_t(at)] = true;
        }
        return true;
    }

    // Checks what came except a last character that the next piece may complete.
    void checkUtf8(const QByteArray &piece)
    {
        if (!m_validUtf8)
            return;
        QByteArray bytes = std::exchange(m_heldUtf8, QByteArray()) + piece;
        qsizetype cut = bytes.size();
        for (int back = 0; back < 3 && cut > 0 && (uchar(bytes[cut - 1]) & 0xC0) == 0x80; ++back)
            --cut;
        if (cut > 0 && uchar(bytes[cut - 1]) >= 0xC0)
            --cut;
        m_heldUtf8 = bytes.sliced(cut);
        m_validUtf8 = TextUtil::isValidUtf8(QByteArrayView(bytes).first(cut));
    }

    LogReadRequest m_request;
    Parser m_parser;
    QHash<qint64, qsizetype> m_previousIndex;
    // The entries read, in the order read: an index of the previous list, or -1 - an index of `m_fresh`.
    std::vector<qsizetype> m_order;
    QList<LogEntry> m_fresh;
    QByteArray m_heldUtf8;
    bool m_validUtf8 = true;
    // The file paths worked out while the log is read, for its grouping by file.
    std::unique_ptr<FilePathsReadAhead> m_readAhead;
    qsizetype m_pendingPathsRead = 0;
};

// The log run with its output read on a worker as it comes; the UI thread only takes the result.
template <typename Parser>
QCoro::Task<LogRead> readLog(ToolClient &tool, ToolRun run, LogReadRequest request, std::shared_ptr<ToolRunScope> scope)
{
    const auto reading = std::make_shared<StreamedReading<LogListReading<Parser>>>(std::move(request));
    run.decodeOutput = false;
    run.onOutput = [reading](const QByteArray &piece) { reading->add(piece); };
    // The reading holds what it needs: a long log is not kept a second time, whole, until the run ends.
    // A failed log then reports its standard error alone, which is where the tools say why.
    run.keepOutput = false;
    (void)co_await tool.run(std::move(run));
    co_return co_await awaitInScope(scope, reading->end());
}

QCoro::Task<LogRead> loadLogEntries(SVNClient &svn, GitClient &git, Project project, LogReadRequest request,
    std::shared_ptr<ToolRunScope> scope, int limit = 100)
{
    if (project.kind == RepositoryKind::git) {
        const QStringList arguments{QStringLiteral("log"), QStringLiteral("--no-ext-diff"),
            QStringLiteral("--no-color"), QStringLiteral("--date=iso-strict"), QStringLiteral("--name-status"),
            QStringLiteral("--format=--KORVEL-GIT-COMMIT--%H%x09%an%x09%aI%x09%s"),
            QStringLiteral("--max-count=") + QString::number(limit)};
        // Named, not a temporary of the co_await, which GCC would destroy twice.
        ToolRun run{arguments, project.path};
        std::optional<SVNClientError> failure;
        LogRead read;
        try {
            read = co_await readLog<GitParsers::LogReading>(git, std::move(run), std::move(request), std::move(scope));
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
        co_return read;
    }
    const QStringList arguments{QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"),
        QStringLiteral("-l"), QString::number(limit)};
    ToolRun run{arguments, project.path};
    co_return co_await readLog<SVNXMLParsers::LogReading>(svn, std::move(run), std::move(request), std::move(scope));
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
    const std::optional<Project> loadable = co_await loadableProject();
    if (!loadable)
        co_return;
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

    RepositoryInfo info = SVNXMLParsers::parseInfo(infoResult.stdout);
    SVNRemoteStatus remote = SVNXMLParsers::parseRemoteStatus(remoteResult.stdout);

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
    // The range, its paths and its list go on show together: a load that stops, fails or is superseded
    // before its log is read leaves the tab as it was.
    const auto applyRange = [&] {
        setRepositoryInfo(std::move(info));
        setIncomingOutdatedItems(std::move(remote.outdatedItems));
        setIncomingBaseRevision(base);
        setIncomingHeadRevision(head);
    };

    if (!base || !head || *base >= *head) {
        applyRange();
        setIncomingEntries({});
        setSelectedIncomingRevision(std::nullopt);
        setIncomingDiffText(QByteArray());
        m_staleTabs.remove(WorkflowTab::incoming);
        setBusyMessage(std::nullopt);
        co_return;
    }

    const QStringList logArguments{QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"),
        QStringLiteral("-r"), QString::number(*base + 1) + u':' + QString::number(*head)};
    ToolRun logRun{logArguments, project->path};
    LogReadRequest request{m_incomingEntries, std::pair(*base, *head)};
    LogRead read;
    try {
        read = co_await readLog<SVNXMLParsers::LogReading>(client(), std::move(logRun), std::move(request), m_runScope);
    } catch (const std::exception &error) {
        failLoad(ticket, loadingIncoming, QStringLiteral("Incoming Failed"), error);
        co_return;
    }
    if (!keepLoad(ticket, loadingIncoming))
        co_return;
    applyRange();
    setIncomingEntries(std::move(read.entries));
    m_staleTabs.remove(WorkflowTab::incoming);
    if (!selectedIncomingLogEntry())
        setSelectedIncomingRevision(m_incomingEntries.isEmpty()
                ? std::nullopt
                : std::optional<qint64>(m_incomingEntries.constFirst().revision));
    setBusyMessage(std::nullopt);
    co_await loadDiffForSelectedIncomingRevision();
}

QCoro::Task<std::optional<LogRead>> AppState::loadLog(
    LoadTicket ticket, QString busyText, QString failureTitle, Project project)
{
    setBusyMessage(busyText);
    const bool history = ticket.group == LoadGroup::history;
    LogReadRequest request{history ? m_logEntries : m_archiveEntries};
    if (history) {
        request.groupByFile = true;
        request.relativeURL = m_repositoryInfo.relativeURL;
        request.previousFileHistory = m_fileHistory;
    }
    LogRead read;
    try {
        read = co_await loadLogEntries(client(), gitClient(), project, std::move(request), m_runScope);
    } catch (const std::exception &error) {
        failLoad(ticket, busyText, failureTitle, error);
        co_return std::nullopt;
    }
    if (!keepLoad(ticket, busyText))
        co_return std::nullopt;
    co_return read;
}

QCoro::Task<> AppState::loadHistory()
{
    const std::optional<Project> project = co_await loadableProject();
    if (!project)
        co_return;
    // The busy text is set and cleared under the load's mark, so it is the task's it runs in.
    const LoadTicket ticket = m_loads.begin(LoadGroup::history, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    std::optional<LogRead> read = co_await loadLog(ticket, loadingHistory, QStringLiteral("History Failed"), *project);
    if (!read)
        co_return;

    const std::optional<QString> selectedHash
        = project->kind == RepositoryKind::git ? hashOfRevision(m_logEntries, m_selectedRevision) : std::nullopt;
    setLogEntries(std::move(read->entries));
    if (read->fileHistory)
        m_fileHistory = std::move(*read->fileHistory);
    m_staleTabs.remove(WorkflowTab::history);
    if (selectedHash) {
        if (const std::optional<qint64> moved = revisionOfHash(m_logEntries, selectedHash))
            setSelectedRevision(moved);
    }

    const QList<FileHistoryItem> &items = fileHistoryItems();
    if (!selectedFileHistoryItem())
        setSelectedHistoryPath(items.isEmpty() ? std::nullopt : std::optional<QString>(items.constFirst().path));
    const QList<FileHistoryRevision> revisions = selectedFileHistoryRevisions();
    if (!selectedFileHistoryRevision()) {
        if (!revisions.isEmpty())
            setSelectedRevision(revisions.constFirst().revision);
        else if (!m_logEntries.isEmpty())
            setSelectedRevision(m_logEntries.constFirst().revision);
        else
            setSelectedRevision(std::nullopt);
    }
    setBusyMessage(std::nullopt);
    co_await loadDiffForSelectedHistoryRevision();
}

QCoro::Task<> AppState::loadArchives()
{
    const std::optional<Project> project = co_await loadableProject();
    if (!project)
        co_return;
    const LoadTicket ticket = m_loads.begin(LoadGroup::archives, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    std::optional<LogRead> read
        = co_await loadLog(ticket, loadingArchives, QStringLiteral("Archives Failed"), *project);
    if (!read)
        co_return;
    const std::optional<QString> selectedHash = project->kind == RepositoryKind::git
        ? hashOfRevision(m_archiveEntries, m_selectedArchiveEntryID)
        : std::nullopt;
    setArchiveEntries(std::move(read->entries));
    m_staleTabs.remove(WorkflowTab::archives);
    if (selectedHash) {
        if (const std::optional<qint64> moved = revisionOfHash(m_archiveEntries, selectedHash))
            setSelectedArchiveEntryID(moved);
    }
    if (!selectedArchiveEntry())
        setSelectedArchiveEntryID(
            m_archiveEntries.isEmpty() ? std::nullopt : std::optional<qint64>(m_archiveEntries.constFirst().revision));
    setBusyMessage(std::nullopt);
}
