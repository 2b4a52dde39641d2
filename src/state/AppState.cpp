#include "AppState.h"

#include "state/RunOutputs.h"

#include <QFutureWatcher>
#include <QMetaObject>
#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

AppClients AppClients::real(QSettings *settings)
{
    AppClients clients;
    clients.svn = std::make_unique<SVNClient>(settings);
    clients.svnAdmin = std::make_unique<SVNAdminClient>(settings);
    clients.git = std::make_unique<GitClient>();
    clients.archiveZip = std::make_unique<ArchiveZipClient>();
    return clients;
}

AppState::AppState(QSettings *settings, QObject *parent) : AppState(settings, AppClients::real(settings), parent)
{ }

AppState::AppState(QSettings *settings, AppClients clients, QObject *parent)
    : QObject(parent), m_clients(std::move(clients)), m_settings(settings), m_projectStore(settings)
{
    const std::initializer_list<ToolClient *> tools{m_clients.svn.get(), m_clients.svnAdmin.get(), m_clients.git.get()};
    for (ToolClient *tool : tools) {
        if (tool)
            tool->setRunScope(m_runScope);
    }
    if (m_clients.archiveZip)
        m_clients.archiveZip->setRunScope(m_runScope);
    ProjectStore::Unreadable unreadable;
    m_projects = m_projectStore.load(&unreadable);
    if (!m_projects.isEmpty())
        m_selectedProjectID = m_projects.first().id;
    if (!unreadable.fileError.isEmpty()) {
        showAlert(QStringLiteral("Projects Not Read"),
            QStringLiteral("The saved project list in ") + m_projectStore.fileName()
                + QStringLiteral(" could not be read: ") + unreadable.fileError
                + QStringLiteral(". No project is listed, and nothing is saved over the file."));
    } else if (!unreadable.backupKey.isEmpty()) {
        const QString kept = QStringLiteral("kept as \"") + unreadable.backupKey + QStringLiteral("\" in ")
            + m_projectStore.fileName() + u'.';
        showAlert(QStringLiteral("Projects Not Read"),
            unreadable.wholeList
                ? QStringLiteral("The saved project list could not be read, so no project is listed. It is ") + kept
                : QString::number(unreadable.entries)
                    + QStringLiteral(" saved project(s) could not be read and are not listed. The whole saved list is ")
                    + kept);
    }
}

void AppState::saveProjects(ProjectStore::Change change)
{
    QFuture<std::optional<QString>> saving = m_projectStore.startUpdate(std::move(change));
    startLoadTask([this, saving] { return reportProjectsSaved(saving); }, false);
}

QCoro::Task<> AppState::reportProjectsSaved(QFuture<std::optional<QString>> saving)
{
    if (const std::optional<QString> failure = co_await awaitInScope(m_runScope, std::move(saving)))
        showAlert(QStringLiteral("Projects Not Saved"), *failure);
}

AppState::~AppState()
{
    // No tool outlives the state, and no task resumes into it: each one waiting on a run now gets
    // ToolRunAbandoned instead of its result.
    m_runScope->endAll();
}

namespace {

bool sameValue(const std::optional<AppAlert> &a, const std::optional<AppAlert> &b)
{
    return a.has_value() == b.has_value() && (!a || a->id == b->id);
}

bool sameValue(const std::optional<CommandOutput> &a, const std::optional<CommandOutput> &b)
{
    return a.has_value() == b.has_value() && (!a || a->id == b->id);
}

template <typename T> bool sameValue(const T &a, const T &b)
{
    return a == b;
}

} // namespace

template <typename T> void AppState::assign(T &field, T &&value)
{
    if (sameValue(field, value))
        return;
    field = std::move(value);
    emit changed();
}

void AppState::setProjects(QList<Project> value)
{
    assign(m_projects, std::move(value));
}
void AppState::setSelectedProjectID(std::optional<QUuid> value)
{
    assign(m_selectedProjectID, std::move(value));
}
void AppState::setSelectedTab(WorkflowTab value)
{
    assign(m_selectedTab, std::move(value));
}

void AppState::setChanges(QList<WorkingCopyItem> value)
{
    if (m_changes == value)
        return;
    m_changes = std::move(value);
    m_changeIndex.clear();
    m_changeIndex.reserve(m_changes.size());
    for (qsizetype i = 0; i < m_changes.size(); ++i)
        m_changeIndex.insert(m_changes.at(i).path, i);
    emit changed();
}

void AppState::adoptChanges(QList<WorkingCopyItem> value, QHash<QString, qsizetype> index)
{
    m_changes = std::move(value);
    m_changeIndex = std::move(index);
    emit changed();
}

void AppState::setSelectedChangeID(std::optional<QString> value)
{
    assign(m_selectedChangeID, std::move(value));
}
void AppState::setSelectedCommitPaths(QSet<QString> value)
{
    assign(m_selectedCommitPaths, std::move(value));
}
void AppState::setDiffText(QByteArray value)
{
    assign(m_diffText, std::move(value));
}

void AppState::setLogEntries(QList<LogEntry> value)
{
    if (m_logEntries == value)
        return;
    m_logEntries = std::move(value);
    m_fileHistory.built = false;
    emit changed();
}

void AppState::setSelectedHistoryPath(std::optional<QString> value)
{
    assign(m_selectedHistoryPath, std::move(value));
}
void AppState::setSelectedRevision(std::optional<qint64> value)
{
    assign(m_selectedRevision, std::move(value));
}
void AppState::setHistoryDiffText(QByteArray value)
{
    assign(m_historyDiffText, std::move(value));
}
void AppState::setArchiveEntries(QList<LogEntry> value)
{
    assign(m_archiveEntries, std::move(value));
}
void AppState::setSelectedArchiveEntryID(std::optional<qint64> value)
{
    assign(m_selectedArchiveEntryID, std::move(value));
}
void AppState::setIncomingEntries(QList<LogEntry> value)
{
    assign(m_incomingEntries, std::move(value));
}
void AppState::setSelectedIncomingRevision(std::optional<qint64> value)
{
    assign(m_selectedIncomingRevision, std::move(value));
}
void AppState::setIncomingDiffText(QByteArray value)
{
    assign(m_incomingDiffText, std::move(value));
}
void AppState::setIncomingBaseRevision(std::optional<qint64> value)
{
    assign(m_incomingBaseRevision, std::move(value));
}
void AppState::setIncomingHeadRevision(std::optional<qint64> value)
{
    assign(m_incomingHeadRevision, std::move(value));
}
void AppState::setIncomingOutdatedItems(QList<WorkingCopyItem> value)
{
    assign(m_incomingOutdatedItems, std::move(value));
}
void AppState::setCommitMessage(QString value)
{
    assign(m_commitMessage, std::move(value));
}
void AppState::setRepositoryInfo(RepositoryInfo value)
{
    assign(m_repositoryInfo, std::move(value));
}
void AppState::setBusyMessage(std::optional<QString> value)
{
    std::shared_ptr<ToolRunMark> task = m_runScope->currentMark();
    while (task && task->whole())
        task = task->whole();
    // What is left of a stopped task no longer names itself.
    if (value && task && task->ended())
        return;
    m_busyTexts.removeIf([&task](const BusyText &busy) { return busy.task == task; });
    if (value)
        m_busyTexts.push_back({std::move(task), std::move(*value)});
    assign(m_busyMessage, m_busyTexts.isEmpty() ? std::nullopt : std::optional<QString>(m_busyTexts.last().text));
}

void AppState::dropBusyText(const std::shared_ptr<ToolRunMark> &task)
{
    if (!task)
        return;
    m_busyTexts.removeIf([&task](const BusyText &busy) { return busy.task == task; });
    assign(m_busyMessage, m_busyTexts.isEmpty() ? std::nullopt : std::optional<QString>(m_busyTexts.last().text));
}
void AppState::setAlert(std::optional<AppAlert> value)
{
    assign(m_alert, std::move(value));
}
void AppState::setCommandOutput(std::optional<CommandOutput> value)
{
    if (value)
        ++m_outputsAsked;
    assign(m_commandOutput, std::move(value));
}
void AppState::setProjectFolderProblem(std::optional<QString> value)
{
    assign(m_projectFolderProblem, std::move(value));
}

void AppState::showError(const QString &title, const std::exception &error)
{
    // A failed run's description is already the tool's reason, else the status sentence.
    const auto *clientError = dynamic_cast<const SVNClientError *>(&error);
    if (clientError && clientError->isCommandFailed())
        showRunOutput(title, clientError->result());
    showAlert(title, errorDescription(error));
}

void AppState::showRunOutput(const QString &title, const SVNCommandResult &result)
{
    if (!judgedAside(result)) {
        setCommandOutput(runOutput(title, result));
        return;
    }
    auto *judging = new QFutureWatcher<CommandOutput>(this);
    connect(judging, &QFutureWatcherBase::finished, this, [this, judging, asked = ++m_outputsAsked] {
        judging->deleteLater();
        if (m_outputsAsked == asked)
            setCommandOutput(judging->result());
    });
    judging->setFuture(QtConcurrent::run(runOutput, title, result));
}

bool AppState::isCurrent(const LoadTicket &ticket) const
{
    // A stopped load is dropped as a superseded one is, but it still owns its busy text.
    return m_loads.isNewest(ticket) && m_selectedProjectID == ticket.project && !(ticket.runs && ticket.runs->ended());
}

bool AppState::keepLoad(const LoadTicket &ticket, const QString &busyText)
{
    if (isCurrent(ticket))
        return true;
    // Only this load's own text goes: a newer load of the group holds its own.
    if (!busyText.isEmpty())
        setBusyMessage(std::nullopt);
    return false;
}

void AppState::failLoad(
    const LoadTicket &ticket, const QString &busyText, const QString &title, const std::exception &error)
{
    if (!keepLoad(ticket, busyText))
        return;
    setBusyMessage(std::nullopt);
    // An alert that is shown is news the user has not read yet, mostly the failure of the action this
    // load reloads after: a load fails again at the next refresh, so its failure waits until then.
    if (m_alert)
        return;
    showError(title, error);
}

void AppState::startTask(std::function<QCoro::Task<>()> body)
{
    ++m_runningTasks;
    auto action = std::make_shared<ToolRunMark>();
    m_runningActions.push_back(action);
    emit changed();
    QMetaObject::invokeMethod(
        this,
        [this, body = std::move(body), action = std::move(action)]() mutable {
            runTask(std::move(body), std::move(action), true);
        },
        Qt::QueuedConnection);
}

void AppState::startLoadTask(std::function<QCoro::Task<>()> body, bool stoppable)
{
    ++m_runningTasks;
    // Every task has a mark, so the loads begun in it are its parts.
    auto mark = std::make_shared<ToolRunMark>();
    if (stoppable)
        addRunningLoad(mark);
    QMetaObject::invokeMethod(
        this,
        [this, body = std::move(body), mark = std::move(mark)]() mutable {
            runTask(std::move(body), std::move(mark), false);
        },
        Qt::QueuedConnection);
}

void AppState::addRunningLoad(const std::shared_ptr<ToolRunMark> &mark)
{
    m_runningLoads.push_back(mark);
    if (m_busyMessage)
        emit changed();
}

void AppState::removeRunningLoad(const std::shared_ptr<ToolRunMark> &mark)
{
    if (m_runningLoads.removeOne(mark) && m_busyMessage)
        emit changed();
}

QCoro::Task<> AppState::runTask(std::function<QCoro::Task<>()> body, std::shared_ptr<ToolRunMark> mark, bool action)
{
    const std::optional<QUuid> alertBefore = m_alert ? std::optional<QUuid>(m_alert->id) : std::nullopt;
    std::shared_ptr<ToolRunMark> reload;
    // Nobody awaits these tasks, so an error escaping here would vanish silently.
    try {
        // The body runs up to its first wait here: the runs it starts on the way carry the task's mark.
        QCoro::Task<> started = [&] {
            const ToolRunScope::Marked marked(*m_runScope, mark);
            return body();
        }();
        co_await std::move(started);
        if (action && mark->stoppedRuns() > 0) {
            // The reload that follows is one more load that may wait on the same silent server.
            reload = std::make_shared<ToolRunMark>();
            addRunningLoad(reload);
            const ToolRunScope::Marked marked(*m_runScope, reload);
            co_await reportStoppedAction(alertBefore);
        }
    } catch (const ToolRunAbandoned &) {
        // The state is gone.
        co_return;
    } catch (...) { }
    if (action && m_runningActions.removeOne(mark))
        emit changed();
    removeRunningLoad(mark);
    removeRunningLoad(reload);
    // A task that ended on an error leaves no busy text behind.
    dropBusyText(mark);
    dropBusyText(reload);
    if (--m_runningTasks == 0)
        emit idle();
}

void AppState::stopRunningAction()
{
    if (!canStop())
        return;
    // What is left of a stopped action (its alert, the reload) is no longer for this Stop to end.
    const std::shared_ptr<ToolRunMark> named = m_busyTexts.isEmpty() ? nullptr : m_busyTexts.last().task;
    if (named && (m_runningActions.removeOne(named) || m_runningLoads.removeOne(named))) {
        m_runScope->endMarked(named);
        dropBusyText(named);
        emit changed();
        return;
    }
    for (const std::shared_ptr<ToolRunMark> &mark : std::exchange(m_runningActions, {}))
        m_runScope->endMarked(mark);
    for (const std::shared_ptr<ToolRunMark> &mark : std::exchange(m_runningLoads, {}))
        m_runScope->endMarked(mark);
    emit changed();
}
