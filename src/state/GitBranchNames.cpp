#include "GitBranchNames.h"

QString gitBranchPromptTitle(const GitBranch &branch)
{
    QString title = branch.name;
    if (branch.isRemote)
        title += QStringLiteral(" (remote)");
    if (branch.isCurrent)
        title += QStringLiteral(" (current)");
    return title;
}

bool gitSwitchUnavailable(const SVNCommandResult &result)
{
    const QString text = (result.stdout + u'\n' + result.stderr).toLower();
    return text.contains(QStringLiteral("is not a git command")) || text.contains(QStringLiteral("unknown subcommand"));
}
