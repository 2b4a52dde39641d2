#include "RepositoryDetection.h"

#include "parsers/SVNXMLParsers.h"

namespace {

QCoro::Task<QString> svnWorkingCopyRoot(SVNClient &svn, QString folder)
{
    const QStringList arguments{QStringLiteral("info"), QStringLiteral("--xml")};
    const SVNCommandResult result = co_await svn.run(arguments, folder);
    const RepositoryInfo info = SVNXMLParsers::parseInfo(result.stdout);
    if (info.workingCopyRoot && !info.workingCopyRoot->isEmpty())
        co_return *info.workingCopyRoot;
    co_return folder;
}

QCoro::Task<QString> gitWorkingCopyRoot(GitClient &git, QString folder)
{
    const QStringList arguments{QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel")};
    const SVNCommandResult result = co_await git.run(arguments, folder);
    const QString root = result.stdout.trimmed();
    co_return root.isEmpty() ? folder : root;
}

} // namespace

QCoro::Task<std::pair<QString, RepositoryKind>> detectRepository(SVNClient &svn, GitClient &git, QString folder)
{
    try {
        co_return std::pair{co_await svnWorkingCopyRoot(svn, folder), RepositoryKind::svn};
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) { }
    try {
        co_return std::pair{co_await gitWorkingCopyRoot(git, folder), RepositoryKind::git};
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) { }
    throw SVNClientError::launchFailed(
        QStringLiteral("No SVN working copy or Git repository was found at ") + folder + u'.');
}

QCoro::Task<std::optional<QString>> gitUnbornBranch(GitClient &git, QString folder)
{
    const QStringList verifyHead{
        QStringLiteral("rev-parse"), QStringLiteral("-q"), QStringLiteral("--verify"), QStringLiteral("HEAD")};
    if ((co_await git.run(verifyHead, folder, false)).succeeded())
        co_return std::nullopt;
    // A detached HEAD that names no commit, or a folder that is no repository, has no branch.
    const QStringList headBranch{
        QStringLiteral("symbolic-ref"), QStringLiteral("-q"), QStringLiteral("--short"), QStringLiteral("HEAD")};
    const SVNCommandResult branch = co_await git.run(headBranch, folder, false);
    const QString name = branch.stdout.trimmed();
    if (!branch.succeeded() || name.isEmpty())
        co_return std::nullopt;
    co_return name;
}
