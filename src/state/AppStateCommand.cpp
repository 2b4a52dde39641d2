#include "AppState.h"

#include "state/RunOutputs.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

void AppState::showAlert(const QString &title, const QString &message)
{
    AppAlert alert;
    alert.title = title;
    alert.message = message;
    setAlert(std::move(alert));
}

ToolClient &AppState::toolFor(RepositoryKind kind) const
{
    if (kind == RepositoryKind::git)
        return gitClient();
    return client();
}

QCoro::Task<> AppState::runRequest(RunRequest request, QString workingDirectory)
{
    setBusyMessage(request.title);
    SVNCommandResult shown;
    qsizetype done = 0;
    std::exception_ptr failure;
    ToolClient &tool = toolFor(request.tool);
    try {
        for (const ToolCommand &command : std::as_const(request.runs)) {
            ToolRun run = command.in(workingDirectory);
            run.decodeOutput = false;
            const SVNCommandResult result = co_await tool.run(std::move(run));
            appendRun(shown, result, done++ == 0);
        }
    } catch (const std::exception &) {
        failure = std::current_exception();
    }
    if (failure) {
        setBusyMessage(std::nullopt);
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &error) {
            showError(request.title + QStringLiteral(" Failed"), error);
        }
        if (request.after == AfterRun::reload)
            co_await reloadKeepingFailure(true);
        co_return;
    }
    std::optional<ToolRun> mimeTypeQuery;
    if (request.mimeTypeQuery)
        mimeTypeQuery = request.mimeTypeQuery->in(workingDirectory, false);
    CommandOutput output = co_await shownRunOutput(
        request.title, std::move(shown), request.showsFile, tool, std::move(mimeTypeQuery), m_runScope);
    setBusyMessage(std::nullopt);
    output.stdout += request.note;
    setCommandOutput(std::move(output));
    if (request.after == AfterRun::reload)
        co_await reloadAfterCommand();
}

bool AppState::currentTaskStopped() const
{
    const std::shared_ptr<ToolRunMark> &mark = m_runScope->currentMark();
    return mark && mark->ended();
}

QCoro::Task<> AppState::reportStoppedAction(std::optional<QUuid> alertBefore)
{
    // The action's own failure alert names it; only its message changes.
    const bool alerted = m_alert && m_alert->id != alertBefore;
    const QString title = alerted ? m_alert->title : QStringLiteral("Stopped");
    const QString message
        = (title.endsWith(QStringLiteral(" Failed")) ? title.chopped(7) : QStringLiteral("The action"))
        + QStringLiteral(" was stopped before it finished.");
    showAlert(title, message);
    co_await reloadKeepingFailure(true);
}

QCoro::Task<> AppState::reloadAfterCommand()
{
    co_await loadStatus();
    co_await loadInfo();
    // The tab is read anew at each step: a switch during the reload counts.
    if (m_selectedTab == WorkflowTab::history)
        co_await loadHistory();
    else
        m_staleTabs.insert(WorkflowTab::history);
    if (m_selectedTab == WorkflowTab::archives)
        co_await loadArchives();
    else
        m_staleTabs.insert(WorkflowTab::archives);
    if (m_selectedTab == WorkflowTab::incoming)
        co_await loadIncoming();
    else
        m_staleTabs.insert(WorkflowTab::incoming);
}

void AppState::runInSelectedProject(RunRequest request)
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    if (project->kind != request.tool) {
        if (request.tool == RepositoryKind::svn)
            showAlert(QStringLiteral("SVN Command Unavailable"),
                QStringLiteral("This project is a Git repository. Use Git-backed actions from Changes and History."));
        else
            showAlert(
                QStringLiteral("Git Command Unavailable"), QStringLiteral("This project is an SVN working copy."));
        return;
    }
    startProjectTask(
        *project, [this, request = std::move(request), folder = project->path] { return runRequest(request, folder); });
}

std::optional<QHash<QString, QString>> AppState::prompt(const QString &title, const QList<PromptField> &fields)
{
    if (!m_dialogs)
        return std::nullopt;
    m_dialogs->bringToFront();
    const std::optional<QStringList> texts = m_dialogs->prompt(title, fields);
    if (!texts)
        return std::nullopt;
    QHash<QString, QString> values;
    // A key that comes again takes the text of its lower row.
    for (qsizetype i = 0; i < fields.size(); ++i)
        values.insert(fields[i].key, texts->value(i).trimmed());
    return values;
}

std::optional<QString> AppState::promptValue(const QString &title, const PromptField &field)
{
    const std::optional<QHash<QString, QString>> values = prompt(title, {field});
    if (!values)
        return std::nullopt;
    return values->value(field.key);
}

bool AppState::confirm(const QString &title, const QString &message)
{
    if (!m_dialogs)
        return false;
    m_dialogs->bringToFront();
    return m_dialogs->confirm(title, message);
}

QStringList AppState::actionPaths() const
{
    if (m_selectedChangeID)
        return {*m_selectedChangeID};
    // By character code: QString's own order compares UTF-16 units and puts characters beyond U+FFFF
    // before U+E000 to U+FFFF. UTF-8 bytes keep the code point order.
    std::vector<std::pair<QByteArray, QString>> keyed;
    keyed.reserve(m_selectedCommitPaths.size());
    for (const QString &path : m_selectedCommitPaths)
        keyed.emplace_back(path.toUtf8(), path);
    std::sort(keyed.begin(), keyed.end());
    QStringList paths;
    paths.reserve(qsizetype(keyed.size()));
    for (auto &[key, path] : keyed)
        paths.push_back(std::move(path));
    return paths;
}
