#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "state/GitBranchNames.h"
#include "state/RunOutputs.h"
#include "tools/ToolOperands.h"

#include <algorithm>

void AppState::switchGitBranch()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    if (project->kind != RepositoryKind::git) {
        showAlert(QStringLiteral("Git Command Unavailable"), QStringLiteral("This project is an SVN working copy."));
        return;
    }
    startTask([this, project = *project] { return loadBranchesAndSwitch(project); });
}

QCoro::Task<> AppState::loadBranchesAndSwitch(Project project)
{
    setBusyMessage(QStringLiteral("Loading branches"));
    SVNCommandResult listing;
    try {
        const QStringList arguments{QStringLiteral("for-each-ref"), QStringLiteral("--no-color"),
            QStringLiteral("--format=%(HEAD)%09%(refname)%09%(refname:short)"), QStringLiteral("refs/heads"),
            QStringLiteral("refs/remotes")};
        listing = co_await gitClient().run(arguments, project.path);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Switch Branch Failed"), error);
        co_return;
    }
    setBusyMessage(std::nullopt);
    // The run resumed this task from a queued event, so the dialog's own event loop does not nest
    // inside a process signal.
    const std::optional<GitBranchSwitchTarget> target
        = promptGitBranchSwitch(GitParsers::parseBranches(listing.stdout));
    if (!target)
        co_return;
    co_await switchGitBranch(*target, project);
}

std::optional<AppState::GitBranchSwitchTarget> AppState::promptGitBranchSwitch(const QList<GitBranch> &branches)
{
    if (!m_dialogs)
        return std::nullopt;
    m_dialogs->bringToFront();

    BranchChoiceRequest request;
    for (const GitBranch &branch : branches)
        request.itemTitles.push_back(gitBranchPromptTitle(branch));
    const auto current = std::find_if(branches.begin(), branches.end(), [](const GitBranch &b) { return b.isCurrent; });
    if (current != branches.end()) {
        request.preselectedIndex = int(current - branches.begin());
    } else {
        const QString name = currentGitBranchName();
        const auto named
            = std::find_if(branches.begin(), branches.end(), [&name](const GitBranch &b) { return b.name == name; });
        if (!name.isEmpty() && named != branches.end())
            request.preselectedIndex = int(named - branches.begin());
    }
    request.textPlaceholder
        = branches.isEmpty() ? QStringLiteral("Branch name") : QStringLiteral("Optional branch name");

    const std::optional<BranchChoiceAnswer> answer = m_dialogs->chooseBranch(request);
    if (!answer)
        return std::nullopt;
    const QString typed = TextUtil::trimmed(answer->text);
    if (!typed.isEmpty()) {
        const auto listed
            = std::find_if(branches.begin(), branches.end(), [&typed](const GitBranch &b) { return b.name == typed; });
        return GitBranchSwitchTarget{typed, listed != branches.end() && listed->isRemote};
    }
    if (branches.isEmpty() || !answer->selectedIndex)
        return std::nullopt;
    const int index = *answer->selectedIndex;
    if (index < 0 || index >= branches.size())
        return std::nullopt;
    return GitBranchSwitchTarget{branches[index].name, branches[index].isRemote};
}

QString AppState::currentGitBranchName() const
{
    const QStringList words = m_repositoryInfo.revision.value_or(QString()).split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first() == QStringLiteral("HEAD"))
        return QString();
    return words.first();
}

QCoro::Task<> AppState::switchGitBranch(GitBranchSwitchTarget target, Project project)
{
    setBusyMessage(QStringLiteral("Switching branch"));
    SVNCommandResult result;
    try {
        // git would read such a name as an option; "-" alone is the previous branch.
        if (ToolOperands::readsAsOption(target.name) && target.name != u'-')
            throw SVNClientError::launchFailed(QStringLiteral("Branch names cannot begin with '-'."));
        QStringList arguments{QStringLiteral("switch")};
        QStringList fallback{QStringLiteral("checkout")};
        if (target.isRemote) {
            arguments.push_back(QStringLiteral("--track"));
            fallback.push_back(QStringLiteral("--track"));
        }
        arguments.push_back(target.name);
        // Without "--", checkout reads a name that is no branch as a file and discards its changes.
        fallback.push_back(target.name);
        fallback.push_back(QStringLiteral("--"));
        result = co_await runGitSwitch(arguments, fallback, project.path);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Switch Branch Failed"), error);
        co_return;
    }
    setBusyMessage(std::nullopt);
    setCommandOutput(runOutput(QStringLiteral("Switch Branch"), result));
    co_await reloadAfterCommand();
}

QCoro::Task<SVNCommandResult> AppState::runGitSwitch(
    QStringList arguments, QStringList fallbackArguments, QString folder)
{
    SVNCommandResult first = co_await gitClient().run(arguments, folder, false);
    if (first.succeeded())
        co_return first;
    if (!gitSwitchUnavailable(first))
        throw SVNClientError::commandFailed(std::move(first));
    co_return co_await gitClient().run(fallbackArguments, folder, true);
}
