#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "state/GitBranchNames.h"
#include "state/RunOutputs.h"
#include "tools/ToolOperands.h"

#include <algorithm>

namespace {

struct GitBranchSwitchTarget {
    QString name;
    bool isRemote = false;
};

// The branch named in the repository information's revision ("main 1a2b3c4"); empty when detached.
QString currentGitBranchName(const RepositoryInfo &info)
{
    const QStringList words = info.revision.value_or(QString()).split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first() == QStringLiteral("HEAD"))
        return QString();
    return words.first();
}

std::optional<GitBranchSwitchTarget> promptGitBranchSwitch(
    AppDialogs *dialogs, const QList<GitBranch> &branches, const RepositoryInfo &info)
{
    if (!dialogs)
        return std::nullopt;
    dialogs->bringToFront();

    BranchChoiceRequest request;
    for (const GitBranch &branch : branches)
        request.itemTitles.push_back(gitBranchPromptTitle(branch));
    const auto current = std::find_if(branches.begin(), branches.end(), [](const GitBranch &b) { return b.isCurrent; });
    if (current != branches.end()) {
        request.preselectedIndex = int(current - branches.begin());
    } else {
        const QString name = currentGitBranchName(info);
        const auto named
            = std::find_if(branches.begin(), branches.end(), [&name](const GitBranch &b) { return b.name == name; });
        if (!name.isEmpty() && named != branches.end())
            request.preselectedIndex = int(named - branches.begin());
    }
    request.textPlaceholder
        = branches.isEmpty() ? QStringLiteral("Branch name") : QStringLiteral("Optional branch name");

    const std::optional<BranchChoiceAnswer> answer = dialogs->chooseBranch(request);
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

QCoro::Task<SVNCommandResult> runGitSwitch(
    GitClient &git, QStringList arguments, QStringList fallbackArguments, QString folder)
{
    SVNCommandResult first = co_await git.run(arguments, folder, false);
    if (first.succeeded())
        co_return first;
    if (!gitSwitchUnavailable(first))
        throw SVNClientError::commandFailed(std::move(first));
    co_return co_await git.run(fallbackArguments, folder, true);
}

// Whether the switch ran; a failure has been shown.
QCoro::Task<bool> switchToBranch(AppState &state, GitBranchSwitchTarget target, Project project)
{
    state.setBusyMessage(QStringLiteral("Switching branch"));
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
        // A remote-tracking branch goes by its full name, which no tag or local branch can shadow; git
        // names the new local branch after the part behind the remote's name all the same.
        const QString name = target.isRemote ? QStringLiteral("refs/remotes/") + target.name : target.name;
        arguments.push_back(name);
        // Without "--", checkout reads a name that is no branch as a file and discards its changes.
        fallback.push_back(name);
        fallback.push_back(QStringLiteral("--"));
        result = co_await runGitSwitch(state.gitClient(), arguments, fallback, project.path);
    } catch (const std::exception &error) {
        state.setBusyMessage(std::nullopt);
        state.showError(QStringLiteral("Switch Branch Failed"), error);
        co_return false;
    }
    state.setBusyMessage(std::nullopt);
    state.showRunOutput(QStringLiteral("Switch Branch"), result);
    co_return true;
}

} // namespace

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
    startProjectTask(*project, [this, project = *project] { return loadBranchesAndSwitch(project); });
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
        = promptGitBranchSwitch(m_dialogs, GitParsers::parseBranches(listing.stdout), m_repositoryInfo);
    // The folder may have stopped being the repository while the question was open; git would then
    // switch the branch of the one around it.
    if (!target)
        co_return;
    const bool refused = co_await refuseUnusableFolder(project);
    if (refused)
        co_return;
    // git may have moved HEAD before it failed (a post-checkout hook that fails): the header and the tabs
    // reload as after a switch.
    // Awaited into a variable: gcc 12 resumes a finished frame for a task awaited in a condition that
    // ends without suspending (a refused name).
    const bool switched = co_await switchToBranch(*this, *target, project);
    if (switched)
        co_await reloadAfterCommand();
    else
        co_await reloadKeepingFailure(true);
}
