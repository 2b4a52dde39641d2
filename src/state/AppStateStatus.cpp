#include "AppState.h"
#include "IgnoreFiles.h"
#include "RepositoryDetection.h"
#include "StatusFilter.h"
#include "WorkingCopyPaths.h"

#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "parsers/IgnoreRules.h"
#include "parsers/SVNXMLParsers.h"
#include "tools/StreamedReading.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <array>
#include <vector>

// What a status load set: the order it sorted its list by, the list, the ticks (every one on a
// listed path); whether svn marked the working copy locked; and the warning told of each project, kept
// for as long as the program runs so that coming back to a project does not interrupt the user with it
// again.
struct LoadedStatus {
    StatusOrder order;
    QList<WorkingCopyItem> changes;
    QSet<QString> ticked;
    QHash<QUuid, QString> warningsTold;
    bool svnLocked = false;
};

namespace {

const QString loadingStatus = QStringLiteral("Loading status");

// What the list on screen was when a status run ended; the new ticks and the "unchanged" answers are
// worked out against it off the UI thread.
struct ShownStatus {
    QList<WorkingCopyItem> changes;
    QHash<QString, qsizetype> changeIndex;
    QSet<QString> ticked;
    bool sameProject = false;
    std::shared_ptr<const LoadedStatus> loaded;
};

struct StatusOutcome {
    QList<WorkingCopyItem> changes;
    QHash<QString, qsizetype> changeIndex;
    QSet<QString> ticked;
    bool changesUnchanged = false;
    StatusOrder order;
};

// Whether each status item is a folder, asked of the disk at most once per item and only when needed.
// Git lists every path as a file (ignored folders file by file), a nested repository with a "/" at
// its end; only a tracked row can be a submodule, the one kind of folder it prints without one.
class FolderProbe {
public:
    FolderProbe(RepositoryKind kind, const QList<WorkingCopyItem> &items, const QString &root)
        : m_git(kind == RepositoryKind::git), m_items(items), m_root(root), m_known(size_t(items.size()), -1)
    { }

    bool operator()(qsizetype index)
    {
        qint8 &known = m_known[size_t(index)];
        if (known < 0)
            known = look(m_items[index]) ? 1 : 0;
        return known == 1;
    }

private:
    bool look(const WorkingCopyItem &item) const
    {
        if (m_git) {
            if (item.path.endsWith(u'/'))
                return true;
            if (item.kind == SVNStatusKind::unversioned || item.kind == SVNStatusKind::ignored)
                return false;
        }
        return workingCopyPathIsDirectory(IgnoreRules::normalizePath(item.path), m_root);
    }

    bool m_git;
    const QList<WorkingCopyItem> &m_items;
    QString m_root;
    std::vector<qint8> m_known;
};

// What the user is told of a git status that succeeded but wrote to standard error ("could not open
// directory" for a folder it could not read, whose files are then not listed): every line but git's
// advice and its notices that a setting is deprecated, which git prints at every run and which change
// nothing that is listed. A folder past the path limit fills a line of 4 KiB, which is cut in the
// middle; at most ten lines are given. Empty when nothing is worth telling.
QString statusWarning(const QByteArray &stderrData)
{
    constexpr qsizetype shownLines = 10;
    constexpr qsizetype half = 120;
    // Only a line shaped as git's notice names a setting; a path it could not open may hold the words.
    static const QRegularExpression deprecatedSetting(QStringLiteral("^warning: [A-Za-z0-9._-]+ is deprecated"));
    const QString text = QString::fromUtf8(stderrData);
    QStringList told;
    qsizetype more = 0;
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u"hint:") || deprecatedSetting.match(line).hasMatch())
            continue;
        if (told.size() == shownLines) {
            ++more;
            continue;
        }
        if (line.size() > 2 * half + 1) {
            const qsizetype head = line[half - 1].isHighSurrogate() ? half - 1 : half;
            const qsizetype tail = line[line.size() - half].isLowSurrogate() ? half - 1 : half;
            told.push_back(line.first(head).toString() + QChar(0x2026) + line.last(tail).toString());
        } else {
            told.push_back(line.toString());
        }
    }
    if (told.isEmpty())
        return {};
    QString message = QStringLiteral("git listed what it could read and warned:\n\n") + told.join(u'\n');
    if (more > 0)
        message += QStringLiteral("\n(and %1 more)").arg(more);
    return message;
}

// svn's word that the folder is versioned no longer: it lists a folder of a working copy it does not
// version as one row, the folder itself, unversioned or ignored.
bool svnFolderUnversioned(const QList<WorkingCopyItem> &items)
{
    return items.size() == 1 && IgnoreRules::normalizePath(items.constFirst().path).isEmpty()
        && (items.constFirst().kind == SVNStatusKind::unversioned || items.constFirst().kind == SVNStatusKind::ignored);
}

// Whether every tick is on a listed path.
bool ticksAreListed(const ShownStatus &shown)
{
    return std::all_of(shown.ticked.cbegin(), shown.ticked.cend(),
        [&shown](const QString &path) { return shown.changeIndex.contains(path); });
}

// The ignore files and the filter of one status run's items (sorted by path, or in the tool's order), and
// what the list on screen makes of the result; kept off the UI thread because a large working copy makes
// each of them take a while.
StatusOutcome filterStatus(RepositoryKind kind, const QList<WorkingCopyItem> &items, bool itemsSorted,
    const QString &root, const ShownStatus &shown)
{
    QStringList candidates;
    candidates.reserve(items.size());
    for (const WorkingCopyItem &item : items)
        candidates.push_back(item.path);
    FolderProbe isFolder(kind, items, root);
    const auto probe = [&isFolder](qsizetype index) { return isFolder(index); };
    // A listed folder's own ignore files are read only where the filter may look below it: an
    // unversioned folder whose re-included files it lists. Any other folder's rules only concern paths
    // listed inside it, which make it a folder above them anyway; asking the disk about every
    // modified file took longer than the rest of the filter.
    const auto mayBeWalked
        = [&](qsizetype index) { return items[index].kind == SVNStatusKind::unversioned && isFolder(index); };
    const IgnoreRules rules = IgnoreFiles::load(root, candidates, mayBeWalked);

    StatusOutcome outcome;
    if (shown.loaded)
        outcome.order = shown.loaded->order;
    outcome.changes = statusItemsByApplyingIgnoreRules(items, root, rules, probe, itemsSorted, &outcome.order);
    outcome.changesUnchanged = outcome.changes == shown.changes;
    // The list made here is freed here: freed on the UI thread, a long one held the window a moment.
    if (outcome.changesUnchanged)
        outcome.changes = shown.changes;
    // An unchanged reload of the same list (every window activation makes one) keeps its index and,
    // while every tick is on a listed path, its ticks as they are: those the last load set are, others
    // are counted.
    const bool ticksAsLoaded
        = shown.loaded && shown.changes.isSharedWith(shown.loaded->changes) && shown.ticked == shown.loaded->ticked;
    if (outcome.changesUnchanged && shown.sameProject && (ticksAsLoaded || ticksAreListed(shown))) {
        outcome.changeIndex = shown.changeIndex;
        outcome.ticked = shown.ticked;
        return outcome;
    }
    outcome.changeIndex.reserve(outcome.changes.size());
    // A reload of the same project keeps the user's ticks on paths still listed; the first load of a
    // project, and paths new to the list, get the default ticks.
    for (qsizetype i = 0; i < outcome.changes.size(); ++i) {
        const WorkingCopyItem &item = std::as_const(outcome.changes)[i];
        outcome.changeIndex.insert(item.path, i);
        const bool wasListed = shown.sameProject && shown.changeIndex.contains(item.path);
        if (wasListed ? shown.ticked.contains(item.path) : item.isTickedByDefault())
            outcome.ticked.insert(item.path);
    }
    return outcome;
}

// The files svn wrote for the listed conflicts, relative to the project folder. svn status lists them as
// unversioned files like any other; svn info of the conflicted paths names them exactly, whatever
// suffix svn had to choose.
QCoro::Task<QSet<QString>> conflictFiles(SVNClient &svn, QStringList conflicted, QString root)
{
    QSet<QString> files;
    if (conflicted.isEmpty())
        co_return files;
    const ToolCommand query
        = ToolCommand::withPaths({QStringLiteral("info"), QStringLiteral("--xml")}, ToolOperands::svnPaths(conflicted));
    // A path svn cannot report on (gone since the status) still leaves the others' answers.
    const SVNCommandResult result = co_await svn.run(query.in(root, false));
    // svn gives absolute paths from the folder as the system resolves it.
    const QStringList prefixes{root + u'/', QFileInfo(root).canonicalFilePath() + u'/'};
    for (const QString &file : SVNXMLParsers::parseConflictFiles(result.stdout)) {
        for (const QString &prefix : prefixes) {
            if (file.startsWith(prefix)) {
                files.insert(IgnoreRules::normalizePath(file.mid(prefix.size())));
                break;
            }
        }
    }
    co_return files;
}

QStringList conflictedPaths(const QList<WorkingCopyItem> &items)
{
    QStringList paths;
    for (const WorkingCopyItem &item : items) {
        if (item.kind == SVNStatusKind::conflicted || item.propertiesKind == SVNStatusKind::conflicted)
            paths.push_back(item.path);
    }
    return paths;
}

QCoro::Task<RepositoryInfo> loadGitInfo(GitClient &git, Project project)
{
    const std::array<std::pair<QStringList, bool>, 6> queries = {{
        {{QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel")}, true},
        {{QStringLiteral("rev-parse"), QStringLiteral("--abbrev-ref"), QStringLiteral("HEAD")}, false},
        {{QStringLiteral("rev-parse"), QStringLiteral("--short"), QStringLiteral("HEAD")}, false},
        {{QStringLiteral("config"), QStringLiteral("--get"), QStringLiteral("remote.origin.url")}, false},
        {{QStringLiteral("log"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"), QStringLiteral("-1"),
             QStringLiteral("--format=%an")},
            false},
        {{QStringLiteral("log"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"), QStringLiteral("-1"),
             QStringLiteral("--format=%aI")},
            false},
    }};
    // All six start at once; they are awaited in order.
    std::vector<QCoro::Task<SVNCommandResult>> running;
    running.reserve(queries.size());
    for (const auto &[arguments, checkStatus] : queries)
        running.push_back(git.run(arguments, project.path, checkStatus));

    std::array<QString, 6> outputs;
    std::exception_ptr failure;
    for (size_t i = 0; i < running.size(); ++i) {
        try {
            const SVNCommandResult result = co_await std::move(running[i]);
            // An author imported from a Latin-1 system shows with replacement characters, not as nothing.
            if (!failure)
                outputs[i] = QString::fromUtf8(result.stdoutData).trimmed();
        } catch (...) {
            // The remaining queries still run to their end before the first error is passed on.
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);

    const QString &root = outputs[0];
    QString &branch = outputs[1];
    const QString &hash = outputs[2];
    // Before the first commit git names no branch for HEAD ("HEAD"), though HEAD already names one.
    if (hash.isEmpty()) {
        if (const std::optional<QString> unborn = co_await gitUnbornBranch(git, project.path))
            branch = *unborn;
    }
    const QString &remote = outputs[3];
    QStringList revisionParts;
    if (!branch.isEmpty())
        revisionParts << branch;
    if (!hash.isEmpty())
        revisionParts << hash;

    RepositoryInfo info;
    info.workingCopyRoot = root.isEmpty() ? project.path : root;
    info.url = remote.isEmpty() ? root : remote;
    info.repositoryRoot = root;
    info.revision = revisionParts.join(u' ');
    info.lastChangedAuthor = outputs[4];
    info.lastChangedDate = TextUtil::parseInternetDateTime(outputs[5]);
    co_return info;
}

} // namespace

QCoro::Task<> AppState::loadStatus()
{
    const std::optional<Project> project = co_await loadableProject();
    if (!project)
        co_return;
    const LoadTicket ticket = m_loads.begin(LoadGroup::status, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    setBusyMessage(loadingStatus);
    const RepositoryKind kind = project->kind;
    const bool git = kind == RepositoryKind::git;
    const QStringList arguments = git
        ? QStringList{QStringLiteral("status"), QStringLiteral("--porcelain=v1"),
            QStringLiteral("--untracked-files=all"), QStringLiteral("--ignored")}
        : QStringList{QStringLiteral("status"), QStringLiteral("--xml"), QStringLiteral("--no-ignore")};
    ToolClient &tool = toolFor(kind);
    // The output is read on a worker while the tool still writes it: svn's as svn walks the working
    // copy, git's as git prints what it found.
    std::optional<StreamedReading<SVNXMLParsers::StatusReading>> streamed;
    std::optional<StreamedReading<GitParsers::StatusReading>> gitStreamed;
    ToolRun run{arguments, project->path};
    run.decodeOutput = false;
    if (git) {
        gitStreamed.emplace();
        run.onOutput = [&gitStreamed](const QByteArray &piece) { gitStreamed->add(piece); };
        run.keepOutput = false;
    } else {
        streamed.emplace();
        run.onOutput = [&streamed](const QByteArray &piece) { streamed->add(piece); };
    }
    SVNCommandResult result;
    try {
        result = co_await tool.run(std::move(run));
    } catch (const std::exception &error) {
        failLoad(ticket, loadingStatus, QStringLiteral("Status Failed"), error);
        co_return;
    }
    if (!keepLoad(ticket, loadingStatus))
        co_return;
    const QString warning = git ? statusWarning(result.stderrData) : QString();

    QList<WorkingCopyItem> items;
    bool svnLocked = false;
    if (git) {
        items = co_await awaitInScope(m_runScope, gitStreamed->end());
    } else {
        SVNXMLParsers::SVNStatusRead read = co_await awaitInScope(m_runScope, streamed->end());
        items = std::move(read.items);
        svnLocked = read.workingCopyLocked;
    }
    if (!keepLoad(ticket, loadingStatus))
        co_return;
    // A project kept below its top whose folder an update took out of version control: committing
    // "." would add it to the working copy around it. The declined move no longer holds, so every
    // action refuses as for any folder that is not a working copy.
    if (!git && svnFolderUnversioned(items)) {
        m_folderGuard.forget(project->id);
        setBusyMessage(std::nullopt);
        co_await loadableProject();
        co_return;
    }
    QSet<QString> conflictArtefacts;
    if (!git) {
        try {
            conflictArtefacts = co_await conflictFiles(client(), conflictedPaths(items), project->path);
        } catch (const ToolRunAbandoned &) {
            throw;
        } catch (...) {
            // The status stands without them.
        }
        if (!keepLoad(ticket, loadingStatus))
            co_return;
    }
    ShownStatus shown{
        m_changes, m_changeIndex, m_selectedCommitPaths, m_statusProjectID == project->id, m_loadedStatus};
    // Started outside the await: a lambda that owns values must not be a temporary of a co_await.
    QFuture<StatusOutcome> filtering
        = QtConcurrent::run([kind, git, items = std::move(items), stdoutData = std::move(result.stdoutData),
                                root = project->path, shown, conflictArtefacts]() mutable {
              // Output that is not UTF-8 lists nothing, read whole or in pieces. (Git's names are read
              // as their bytes, whatever they are.)
              if (!git && !TextUtil::isValidUtf8(stdoutData))
                  items.clear();
              if (!conflictArtefacts.isEmpty()) {
                  for (WorkingCopyItem &item : items)
                      item.conflictFile = conflictArtefacts.contains(IgnoreRules::normalizePath(item.path));
              }
              // Git's rows come in git's order: they are sorted once the ignore rules have left out
              // what they hide.
              return filterStatus(kind, items, !git, root, shown);
          });
    StatusOutcome outcome = co_await awaitInScope(m_runScope, std::move(filtering));
    if (!keepLoad(ticket, loadingStatus))
        co_return;

    // What was worked out on the worker holds while the list, the ticks and the project on screen are
    // still those it was worked out against; otherwise the ticks are worked out again here.
    const bool sameProject = m_statusProjectID == project->id;
    QHash<QUuid, QString> warningsTold = m_loadedStatus ? m_loadedStatus->warningsTold : QHash<QUuid, QString>();
    if (m_changes.isSharedWith(shown.changes) && m_selectedCommitPaths == shown.ticked
        && sameProject == shown.sameProject) {
        if (!outcome.changesUnchanged)
            adoptChanges(std::move(outcome.changes), std::move(outcome.changeIndex));
        m_statusProjectID = project->id;
        setSelectedCommitPaths(std::move(outcome.ticked));
    } else {
        QSet<QString> ticked;
        for (const WorkingCopyItem &item : std::as_const(outcome.changes)) {
            const bool wasListed = sameProject && m_changeIndex.contains(item.path);
            const bool tick = wasListed ? m_selectedCommitPaths.contains(item.path) : item.isTickedByDefault();
            if (tick)
                ticked.insert(item.path);
        }
        setChanges(std::move(outcome.changes));
        m_statusProjectID = project->id;
        setSelectedCommitPaths(std::move(ticked));
    }
    // Like a load's failure, the warning waits while another alert is shown, and is told at a later load.
    // One that went away is news again when it comes back.
    const bool tell = !warning.isEmpty() && warningsTold.value(project->id) != warning && !m_alert;
    if (warning.isEmpty())
        warningsTold.remove(project->id);
    else if (tell)
        warningsTold.insert(project->id, warning);
    m_loadedStatus = std::make_shared<const LoadedStatus>(
        LoadedStatus{std::move(outcome.order), m_changes, m_selectedCommitPaths, std::move(warningsTold), svnLocked});
    if (!m_selectedChangeID || !m_changeIndex.contains(*m_selectedChangeID))
        setSelectedChangeID(m_changes.isEmpty() ? std::nullopt : std::optional<QString>(m_changes.constFirst().path));
    setBusyMessage(std::nullopt);
    if (tell)
        showAlert(QStringLiteral("Status Warning"), warning);
    co_await loadDiffForSelectedChange();
}

QCoro::Task<> AppState::loadInfo()
{
    const std::optional<Project> project = co_await loadableProject();
    if (!project)
        co_return;
    const LoadTicket ticket = m_loads.begin(LoadGroup::info, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    RepositoryInfo info;
    try {
        if (project->kind == RepositoryKind::git) {
            info = co_await loadGitInfo(gitClient(), *project);
        } else {
            const QStringList arguments{QStringLiteral("info"), QStringLiteral("--xml")};
            const SVNCommandResult result = co_await client().run(arguments, project->path);
            info = SVNXMLParsers::parseInfo(result.stdout);
        }
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) {
        info = RepositoryInfo();
    }
    if (!isCurrent(ticket))
        co_return;
    setRepositoryInfo(std::move(info));
}

QCoro::Task<> AppState::reloadKeepingFailure(bool everything)
{
    // A Stop ended the action: the stop's own report reloads.
    if (currentTaskStopped())
        co_return;
    const std::optional<QUuid> project = m_selectedProjectID;
    const std::optional<AppAlert> failure = m_alert;
    const std::shared_ptr<const LoadedStatus> before = m_loadedStatus;
    // A load of the reload that fails leaves the failure's alert shown (see failLoad).
    if (everything)
        co_await reloadAfterCommand();
    else
        co_await loadStatus();
    // The status the reload read marks a folder svn left locked. Said in the failure's alert, unless
    // the user closed it meanwhile or another took its place.
    const bool locked = m_loadedStatus != before && m_statusProjectID == project && m_loadedStatus->svnLocked;
    if (locked && failure && m_alert && m_alert->id == failure->id) {
        QString message = m_alert->message;
        while (message.endsWith(u'\n'))
            message.chop(1);
        showAlert(m_alert->title,
            message + QStringLiteral("\n\nsvn left the working copy locked. Run Cleanup before anything else."));
    }
}
