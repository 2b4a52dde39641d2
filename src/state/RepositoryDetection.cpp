#include "RepositoryDetection.h"

#include "parsers/SVNXMLParsers.h"
#include "tools/ToolOperands.h"
#include "tools/ToolRunScope.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent>

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

QCoro::Task<bool> gitTracksFolder(GitClient &git, QString folder)
{
    const QStringList arguments{
        QStringLiteral("ls-files"), QStringLiteral("-z"), QStringLiteral("--"), QStringLiteral(".")};
    const SVNCommandResult result = co_await git.run(arguments, folder, false);
    co_return result.succeeded() && !result.stdoutData.isEmpty();
}

QCoro::Task<std::optional<Placement>> svnPlacement(SVNClient &svn, QString folder)
{
    // The folder as a target, not as the run's folder: svn names the root by the path given, links and
    // all, where it would name it by the resolved path of its own working folder.
    const QStringList arguments{QStringLiteral("info"), QStringLiteral("--xml"), ToolOperands::svnPath(folder)};
    const SVNCommandResult result = co_await svn.run(arguments, folder, false);
    if (!result.succeeded())
        co_return std::nullopt;
    const std::optional<QString> root = SVNXMLParsers::parseInfo(result.stdout).workingCopyRoot;
    if (!root || root->isEmpty())
        co_return std::nullopt;
    co_return Placement{QDir::cleanPath(*root), QDir::cleanPath(*root) == QDir::cleanPath(folder)};
}

QCoro::Task<std::optional<Placement>> gitPlacement(GitClient &git, QString folder)
{
    const QStringList arguments{
        QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel"), QStringLiteral("--show-prefix")};
    const SVNCommandResult result = co_await git.run(arguments, folder, false);
    const QStringList lines = result.stdout.split(u'\n');
    if (!result.succeeded() || lines.first().isEmpty())
        co_return std::nullopt;
    // The prefix is the folder's path below the top, empty at the top itself.
    co_return Placement{QDir::cleanPath(lines.first()), lines.size() < 2 || lines.at(1).isEmpty()};
}

QCoro::Task<FolderLook> lookAtFolder(
    SVNClient &svn, GitClient &git, std::shared_ptr<const ToolRunScope> scope, QString path, RepositoryKind kind)
{
    struct Disk {
        bool exists = false;
        bool isFolder = false;
        bool svnAdministrative = false;
    };
    // Started outside the await: a lambda that owns values must not be a temporary of a co_await.
    QFuture<Disk> reading = QtConcurrent::run([path] {
        const QFileInfo folder(path);
        const QDir dir(path);
        return Disk{folder.exists(), folder.isDir(),
            folder.isDir()
                && (QFileInfo::exists(dir.filePath(QStringLiteral(".svn/wc.db")))
                    || QFileInfo::exists(dir.filePath(QStringLiteral(".svn/entries"))))};
    });
    const Disk disk = co_await awaitInScope(scope, std::move(reading));
    FolderLook look{disk.exists, disk.isFolder};
    if (!look.isFolder)
        co_return look;
    std::optional<Placement> placement;
    try {
        if (kind == RepositoryKind::svn)
            placement = co_await svnPlacement(svn, path);
        else
            placement = co_await gitPlacement(git, path);
    } catch (const ToolRunAbandoned &) {
        throw;
    } catch (...) {
        // The tool cannot be run: its own runs in the folder say why.
        look.root = true;
        co_return look;
    }
    // svn fails on a working copy of a format it cannot read, yet takes the folder's own .svn for one.
    look.root = placement ? placement->atTop : kind == RepositoryKind::svn && disk.svnAdministrative;
    co_return look;
}

std::optional<FolderRefusal> folderRefusal(const QString &path, RepositoryKind kind, const FolderLook &look)
{
    if (!look.exists)
        return FolderRefusal{QStringLiteral("Project Folder Missing"),
            QStringLiteral("The project folder ") + path + QStringLiteral(" does not exist.")};
    if (!look.isFolder)
        return FolderRefusal{QStringLiteral("Not A Folder"),
            QStringLiteral("The project folder ") + path + QStringLiteral(" is not a folder.")};
    if (look.root)
        return std::nullopt;
    if (kind == RepositoryKind::git)
        return FolderRefusal{QStringLiteral("Not A Git Repository"),
            QStringLiteral("The folder ") + path + QStringLiteral(" is no longer a Git repository.")};
    return FolderRefusal{QStringLiteral("Not An SVN Working Copy"),
        QStringLiteral("The folder ") + path + QStringLiteral(" is no longer an SVN working copy.")};
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
