#pragma once

#include "model/CommandOutput.h"
#include "model/LogEntry.h"
#include "model/WorkingCopyItem.h"
#include "state/AppClients.h"
#include "state/AppDialogs.h"
#include "state/FileHistory.h"
#include "state/LoadTickets.h"
#include "state/ProjectFolderGuard.h"
#include "state/ProjectStore.h"
#include "state/RunRequest.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace RevertPlan {
struct Plan;
}
struct LoadedStatus;

// The one state object of the application, on the UI thread: what the window shows, the loaders that fill
// it and the user's actions. A published property's change emits `changed()` once; views coalesce those.
class AppState : public QObject {
    Q_OBJECT

public:
    // The settings hold the project list and the chosen svn path; they must outlive the state.
    explicit AppState(QSettings *settings, QObject *parent = nullptr);
    AppState(QSettings *settings, AppClients clients, QObject *parent = nullptr);
    ~AppState() override;

    // Published properties. The diff texts are UTF-8 as the tools print them: half a QString's memory.
    const QList<Project> &projects() const { return m_projects; }
    const std::optional<QUuid> &selectedProjectID() const { return m_selectedProjectID; }
    WorkflowTab selectedTab() const { return m_selectedTab; }
    const QList<WorkingCopyItem> &changes() const { return m_changes; }
    const std::optional<QString> &selectedChangeID() const { return m_selectedChangeID; }
    const QSet<QString> &selectedCommitPaths() const { return m_selectedCommitPaths; }
    const QByteArray &diffText() const { return m_diffText; }
    const QList<LogEntry> &logEntries() const { return m_logEntries; }
    const std::optional<QString> &selectedHistoryPath() const { return m_selectedHistoryPath; }
    const std::optional<qint64> &selectedRevision() const { return m_selectedRevision; }
    const QByteArray &historyDiffText() const { return m_historyDiffText; }
    const QList<LogEntry> &archiveEntries() const { return m_archiveEntries; }
    const std::optional<qint64> &selectedArchiveEntryID() const { return m_selectedArchiveEntryID; }
    const QList<LogEntry> &incomingEntries() const { return m_incomingEntries; }
    const std::optional<qint64> &selectedIncomingRevision() const { return m_selectedIncomingRevision; }
    const QByteArray &incomingDiffText() const { return m_incomingDiffText; }
    const std::optional<qint64> &incomingBaseRevision() const { return m_incomingBaseRevision; }
    const std::optional<qint64> &incomingHeadRevision() const { return m_incomingHeadRevision; }
    const QList<WorkingCopyItem> &incomingOutdatedItems() const { return m_incomingOutdatedItems; }
    const QString &commitMessage() const { return m_commitMessage; }
    const RepositoryInfo &repositoryInfo() const { return m_repositoryInfo; }
    const std::optional<QString> &busyMessage() const { return m_busyMessage; }
    const std::optional<AppAlert> &alert() const { return m_alert; }
    const std::optional<CommandOutput> &commandOutput() const { return m_commandOutput; }
    // Why the selected project's folder shows nothing; the Changes tab says it in place of the list.
    const std::optional<QString> &projectFolderProblem() const { return m_projectFolderProblem; }

    // Writers; each notifies only when the value really changes.
    void setProjects(QList<Project> value);
    void setSelectedProjectID(std::optional<QUuid> value);
    void setSelectedTab(WorkflowTab value);
    void setChanges(QList<WorkingCopyItem> value);
    void setSelectedChangeID(std::optional<QString> value);
    void setSelectedCommitPaths(QSet<QString> value);
    void setDiffText(QByteArray value);
    void setLogEntries(QList<LogEntry> value);
    void setSelectedHistoryPath(std::optional<QString> value);
    void setSelectedRevision(std::optional<qint64> value);
    void setHistoryDiffText(QByteArray value);
    void setArchiveEntries(QList<LogEntry> value);
    void setSelectedArchiveEntryID(std::optional<qint64> value);
    void setIncomingEntries(QList<LogEntry> value);
    void setSelectedIncomingRevision(std::optional<qint64> value);
    void setIncomingDiffText(QByteArray value);
    void setIncomingBaseRevision(std::optional<qint64> value);
    void setIncomingHeadRevision(std::optional<qint64> value);
    void setIncomingOutdatedItems(QList<WorkingCopyItem> value);
    void setCommitMessage(QString value);
    void setRepositoryInfo(RepositoryInfo value);
    // The text set last by a running task shows; clearing it shows the one before it again.
    void setBusyMessage(std::optional<QString> value);
    void setAlert(std::optional<AppAlert> value);
    void setCommandOutput(std::optional<CommandOutput> value);
    void setProjectFolderProblem(std::optional<QString> value);

    // The clients.
    SVNClient &client() const { return *m_clients.svn; }
    SVNAdminClient &adminClient() const { return *m_clients.svnAdmin; }
    GitClient &gitClient() const { return *m_clients.git; }
    ArchiveZipClient &archiveZipClient() const { return *m_clients.archiveZip; }
    // The scope of every child and temporary file the state makes; it ends with the state.
    const std::shared_ptr<ToolRunScope> &runScope() const { return m_runScope; }

    // Derived selections.
    std::optional<Project> selectedProject() const;
    std::optional<WorkingCopyItem> selectedChange() const;
    std::optional<LogEntry> selectedArchiveEntry() const;
    std::optional<LogEntry> selectedIncomingLogEntry() const;
    const QList<FileHistoryItem> &fileHistoryItems() const;
    // The row of each file of fileHistoryItems() by its path.
    const FilePathIndex &fileHistoryIndex() const;
    std::optional<FileHistoryItem> selectedFileHistoryItem() const;
    QList<FileHistoryRevision> selectedFileHistoryRevisions() const;
    std::optional<FileHistoryRevision> selectedFileHistoryRevision() const;
    QString selectedProjectName() const;
    QString selectedProjectPath() const;
    std::optional<RepositoryKind> selectedProjectKind() const;
    QString selectedActionPath() const;
    // The highlighted change alone, else every ticked path in plain text order.
    QStringList actionPaths() const;
    QString selectedRevisionToken() const;
    QString incomingRangeDescription() const;
    QString workingCopyPath(const QString &repositoryPath) const;

    // Refresh entry points: each returns at once; the work runs in a task on the next event-loop turn.
    void start();
    void refreshAll();
    void projectSelectionChanged();
    void tabChanged();
    void refreshHistory();
    void refreshIncoming();
    void refreshArchives();
    void refreshStatus();

    // Selection change handlers, called by the lists when the user changes a selection.
    void selectedChangeChanged();
    void selectedHistoryPathChanged();
    void selectedHistoryRevisionChanged();
    void selectedIncomingRevisionChanged();

    // Turns an error into the alert (and, for a failed run, the command output) titled `title`.
    void showError(const QString &title, const std::exception &error);
    // Shows a finished run's output. A large one is judged on a worker and shows when that is done,
    // unless a newer output has been asked for meanwhile, whenever its own judging ends.
    void showRunOutput(const QString &title, const SVNCommandResult &result);
    void showAlert(const QString &title, const QString &message);

    // Tasks started by the entry points that have not finished yet (tests wait for zero).
    int runningTasks() const { return m_runningTasks; }

    // An action the user started is still running (loads do not count).
    bool actionRunning() const { return !m_runningActions.isEmpty(); }
    // The busy indicator offers Stop: an action runs, or a refresh or reload waits behind the busy text.
    bool canStop() const { return actionRunning() || (m_busyMessage && !m_runningLoads.isEmpty()); }
    // Ends what the busy text names (the action, refresh or reload that set it; its runs end as at quit);
    // the others go on, and the busy text set before comes back. A stopped action alerts that it was
    // stopped (for svn, whether the working copy was left locked) and the project reloads; a stopped load
    // keeps its list, without an alert. Without such a busy text all but a selection's diff load end.
    void stopRunningAction();

    // The most of a diff a preview reads; past it the preview shows the diff's start and says it was cut.
    qsizetype largestDiffPreview() const { return m_largestDiffPreview; }
    void setLargestDiffPreview(qsizetype bytes) { m_largestDiffPreview = bytes; }
    // How long a change of the project list waits for another running copy to let the list go.
    void setProjectsLockWait(std::chrono::milliseconds wait) { m_projectStore.setLockWait(wait); }

    // The modal dialogs the actions ask through, set by the window; without any, every answer is cancel.
    void setDialogs(AppDialogs *dialogs) { m_dialogs = dialogs; }
    AppDialogs *dialogs() const { return m_dialogs; }

    // Repository actions: projects, checkout, create, import and export.
    void addExistingWorkingCopy();
    void removeSelectedProject();
    void checkoutRepository();
    void createSVNRepository();
    void importDirectory();
    void exportRepository();

    // Repository actions: working-copy paths and commit.
    void updateWorkingCopy();
    void showRepositoryInfo();
    void cleanupWorkingCopy();
    void upgradeWorkingCopy();
    void switchWorkingCopyURL();
    void relocateWorkingCopyURL();
    void addSelectedPaths();
    void deleteSelectedPaths();
    void revertSelectedPaths();
    // The accept value ("working", "mine-full", "theirs-full") goes to svn as one argument.
    void resolveSelectedPaths(const QString &accept);
    void lockSelectedPaths();
    void unlockSelectedPaths();
    void createChangelist();
    void removeFromChangelist();
    void applyPatch();
    void makeDirectoryInWorkingCopy();
    void copyItem();
    void moveItem();
    void setCommitSelection(const WorkingCopyItem &item, bool selected);
    void commitSelected();

    // Repository actions: history, remote, properties, svn executable and free-form command.
    void listTarget();
    void catTarget();
    void makeRemoteDirectory();
    void showBlame();
    void showDiffAgainstRevision();
    void pullFileAtRevision();
    void exportFileAtRevision();
    void rollbackSelectedRevision();
    void merge();
    void listProperties();
    void getProperty();
    void setProperty();
    void deleteProperty();
    void setSVNExecutable();
    void resetSVNExecutable();
    void showSVNVersion();
    void showSVNHelp();
    void runCustomSVNCommand();

    // Repository actions: ignore files, archive zips and Git branches.
    // Append rules to the project's ignore file, then reload the status. They never run a tool.
    void ignoreSelectedPaths();
    void includeIgnoredPath();
    // Writes a zip of the selected Archives entry to a file the user chooses.
    void createArchiveZip();
    // Lists the branches, asks which one, and switches to it.
    void switchGitBranch();

    // The tool a project of the kind runs.
    ToolClient &toolFor(RepositoryKind kind) const;
    using AfterRun = ::AfterRun;
    // In the selected project's folder; a project of another kind, or none, alerts and runs nothing.
    void runInSelectedProject(RunRequest request);
    // The command frame's task: the request in the folder (the application's own when empty).
    QCoro::Task<> runRequest(RunRequest request, QString workingDirectory);
    // Every action on a project: its body, run once a fresh look finds the folder usable, else refused.
    void startProjectTask(Project project, std::function<QCoro::Task<>()> body);
    // A form's trimmed values by key, or the one field's; nothing when cancelled.
    std::optional<QHash<QString, QString>> prompt(const QString &title, const QList<PromptField> &fields);
    std::optional<QString> promptValue(const QString &title, const PromptField &field);
    bool confirm(const QString &title, const QString &message);

signals:
    // Some published property changed.
    void changed();
    // The last running task finished.
    void idle();

protected:
    // The loads alone, for measuring them.
    QCoro::Task<> loadStatus();
    QCoro::Task<> loadIncoming();
    QCoro::Task<> loadHistory();
    QCoro::Task<> loadArchives();

private:
    // Puts the folder into the list (or finds it there by its exact path), saves, selects it and refreshes.
    void addProject(const QString &folder, RepositoryKind kind);
    QCoro::Task<> addWorkingCopyTask(QString folder);
    QCoro::Task<> checkoutTask(QString url, QString destination);
    QCoro::Task<> importTask(QString source, QString url, QString message);
    // `items` are the ticked changes, `listed` the whole list they were ticked in.
    QCoro::Task<> commitTask(
        Project project, QList<WorkingCopyItem> items, QList<WorkingCopyItem> listed, QString message);
    // Each tool's commit: the commit run's result, or nothing when the commit was refused with an alert.
    QCoro::Task<std::optional<SVNCommandResult>> commitGit(
        Project project, QList<WorkingCopyItem> items, QList<WorkingCopyItem> listed, QString message);
    QCoro::Task<std::optional<SVNCommandResult>> commitSVN(
        Project project, QList<WorkingCopyItem> items, QList<WorkingCopyItem> listed, QString message);
    QCoro::Task<> addSVNFolders(QStringList paths, QStringList folders, QString root);
    // The revert agreed to (`unasked`: asked once git told of its submodules), planned again when it runs.
    QCoro::Task<> revertTask(Project project, RevertPlan::Plan asked, QList<WorkingCopyItem> listed, bool unasked);
    // `rulesFor` gives the rules once the ignore file is read, off the UI thread.
    QCoro::Task<> appendIgnorePatterns(QString failureTitle, std::function<QStringList()> rulesFor, Project project);
    QCoro::Task<> loadBranchesAndSwitch(Project project);
    // Asks, then reverts the commit into the work tree, unless git is in the middle of an operation the
    // revert would end (looked at before the question and again after it).
    QCoro::Task<> rollbackGitCommit(QString hash, QString folder);

    // Still the newest load of its group, and its project still selected.
    bool isCurrent(const LoadTicket &ticket) const;
    // After an await: true when the load may apply its results, else drops it.
    bool keepLoad(const LoadTicket &ticket, const QString &busyText);
    // A failed load that is still current clears its busy text and shows the error under `title`.
    void failLoad(const LoadTicket &ticket, const QString &busyText, const QString &title, const std::exception &error);

    // Runs an action's body on the next event-loop turn, counted, stoppable, its errors swallowed.
    void startTask(std::function<QCoro::Task<>()> body);
    // The same for a refresh, or (not `stoppable`) a selection's load, which Stop leaves alone.
    void startLoadTask(std::function<QCoro::Task<>()> body, bool stoppable = true);
    QCoro::Task<> runTask(std::function<QCoro::Task<>()> body, std::shared_ptr<ToolRunMark> mark, bool action);
    // The folder's guard, looking as each runs: an action refused with an alert; a load's project, or none
    // and an unusable folder's reason shown; a run needing no working copy, in the folder while it is one.
    QCoro::Task<> runInUsableFolder(Project project, std::function<QCoro::Task<>()> body);
    QCoro::Task<bool> refuseUnusableFolder(Project project);
    QCoro::Task<std::optional<Project>> loadableProject();
    QCoro::Task<> runInSelectedFolder(RunRequest request);
    // Marks the running refresh or reload as one Stop ends, or no longer.
    void addRunningLoad(const std::shared_ptr<ToolRunMark> &mark);
    void removeRunningLoad(const std::shared_ptr<ToolRunMark> &mark);
    // Takes the task's busy text away; the one set before it shows again.
    void dropBusyText(const std::shared_ptr<ToolRunMark> &task);
    // After an action whose runs were stopped: its alert says so, and the project reloads.
    QCoro::Task<> reportStoppedAction(std::optional<QUuid> alertBefore);
    // A failed run may have changed files: reloads, its failure still shown (`everything`: the tabs too).
    QCoro::Task<> reloadKeepingFailure(bool everything);

    // Loaders.
    QCoro::Task<> refreshSelectedProjectKind();
    // Empties the per-project lists, selections, diffs and info.
    void clearProjectState();
    QCoro::Task<> loadInfo();
    void clearIncoming();
    // The newest log entries as the ticket's load (run under its mark), read and for History grouped on a
    // worker; nothing when it failed (alerted) or was superseded. The caller clears the busy text.
    QCoro::Task<std::optional<LogRead>> loadLog(
        LoadTicket ticket, QString busyText, QString failureTitle, Project project);
    QCoro::Task<> loadDiffForSelectedChange();
    QCoro::Task<> loadDiffForSelectedHistoryRevision();
    QCoro::Task<> loadDiffForSelectedIncomingRevision();
    std::optional<QString> repositoryURL(const QString &workingCopyPath, qint64 pegRevision) const;
    // The operand svn cats a file at a revision by: a path that left the working copy goes by its URL.
    QString svnFileAtRevision(const QString &path, const QString &revision, const QString &selectedPath) const;
    QCoro::Task<> refreshAllTask();
    QCoro::Task<> refreshTabTask(WorkflowTab tab);
    QCoro::Task<> refreshStatusTask();

    // The task running now was stopped: its runs fail at once, and the stop's own report reloads.
    bool currentTaskStopped() const;
    // Status, info, then history, archives and incoming: loaded when visible, else marked stale.
    QCoro::Task<> reloadAfterCommand();

    template <typename T> void assign(T &field, T &&value);
    // Applies this copy's change to the stored project list (the list shown already holds it) off the UI
    // thread, so the change must hold copies of what it uses; a save that fails is alerted, and the list
    // shown stays.
    void saveProjects(ProjectStore::Change change);
    QCoro::Task<> reportProjectsSaved(QFuture<std::optional<QString>> saving);
    // Stores the chosen svn executable, or none, as saveProjects stores a change; once stored, the
    // clients read it.
    void saveSVNExecutable(const std::optional<QString> &path);
    QCoro::Task<> reportSVNExecutableSaved(QFuture<std::optional<QString>> saving);
    // Publishes a list known to differ from `changes`, with its index by path built elsewhere.
    void adoptChanges(QList<WorkingCopyItem> value, QHash<QString, qsizetype> index);

    AppClients m_clients;
    AppDialogs *m_dialogs = nullptr;
    // Only read: the project store writes the file, and the clients read the svn path from here.
    QSettings *m_settings;
    ProjectStore m_projectStore;
    // Every child the clients start; destroying the state ends them, and the tasks waiting unwind.
    std::shared_ptr<ToolRunScope> m_runScope = std::make_shared<ToolRunScope>();
    LoadTickets m_loads{m_runScope};
    ProjectFolderGuard m_folderGuard{m_clients, m_runScope};
    int m_runningTasks = 0;
    // The marks of the actions' runs, oldest first.
    QList<std::shared_ptr<ToolRunMark>> m_runningActions;
    // The marks of the refreshes and reloads that Stop ends; their loads are parts of them.
    QList<std::shared_ptr<ToolRunMark>> m_runningLoads;
    // 64 MiB: a larger diff than the 50 MB one the previews are measured with.
    qsizetype m_largestDiffPreview = 64 * 1024 * 1024;

    QList<Project> m_projects;
    std::optional<QUuid> m_selectedProjectID;
    WorkflowTab m_selectedTab = WorkflowTab::changes;
    QList<WorkingCopyItem> m_changes;
    std::optional<QString> m_selectedChangeID;
    QSet<QString> m_selectedCommitPaths;
    QByteArray m_diffText;
    QList<LogEntry> m_logEntries;
    std::optional<QString> m_selectedHistoryPath;
    std::optional<qint64> m_selectedRevision;
    QByteArray m_historyDiffText;
    QList<LogEntry> m_archiveEntries;
    std::optional<qint64> m_selectedArchiveEntryID;
    QList<LogEntry> m_incomingEntries;
    std::optional<qint64> m_selectedIncomingRevision;
    QByteArray m_incomingDiffText;
    std::optional<qint64> m_incomingBaseRevision;
    std::optional<qint64> m_incomingHeadRevision;
    QList<WorkingCopyItem> m_incomingOutdatedItems;
    QString m_commitMessage;
    RepositoryInfo m_repositoryInfo;
    std::optional<QString> m_busyMessage;
    // The busy texts of the tasks that set one, by the task's mark; the last is busyMessage.
    struct BusyText {
        std::shared_ptr<ToolRunMark> task;
        QString text;
    };
    QList<BusyText> m_busyTexts;
    std::optional<AppAlert> m_alert;
    std::optional<CommandOutput> m_commandOutput;
    // Counts the outputs asked for: one judged on a worker shows only if it is still the last asked for.
    quint64 m_outputsAsked = 0;
    std::optional<QString> m_projectFolderProblem;

    // The project whose status is in `changes`: a reload of the same project keeps the user's ticks.
    std::optional<QUuid> m_statusProjectID;
    QHash<QString, qsizetype> m_changeIndex;
    // What the last status load set, for a reload that lists the same.
    std::shared_ptr<const LoadedStatus> m_loadedStatus;
    mutable FileHistoryCache m_fileHistory;
    // Tabs whose list a command may have changed while they were hidden.
    QSet<WorkflowTab> m_staleTabs;
};
