#include "RepositoryDetection.h"

#include "parsers/SVNXMLParsers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>

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

namespace {

// git's own test of a .git folder; one that fails it git passes over for a repository further up.
bool isGitDirectory(const QString &path)
{
    const QDir dir(path);
    if (!QFileInfo(dir.filePath(QStringLiteral("objects"))).isDir()
        || !QFileInfo(dir.filePath(QStringLiteral("refs"))).isDir())
        return false;
    QFile head(dir.filePath(QStringLiteral("HEAD")));
    if (!head.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = head.read(256);
    if (text.startsWith("ref:"))
        return text.mid(4).trimmed().startsWith("refs/");
    if (text.size() < 40)
        return false;
    return std::all_of(text.begin(), text.begin() + 40, [](char c) { return std::isxdigit(uchar(c)); });
}

} // namespace

FolderLook lookAtFolder(const QString &path)
{
    FolderLook look;
    const QFileInfo folder(path);
    look.exists = folder.exists();
    look.isFolder = folder.isDir();
    if (!look.isFolder)
        return look;
    const QDir dir(path);
    // svn takes either file for a working copy of its own, also when it cannot read it.
    look.svnRoot = QFileInfo::exists(dir.filePath(QStringLiteral(".svn/wc.db")))
        || QFileInfo::exists(dir.filePath(QStringLiteral(".svn/entries")));
    // A .git file (a worktree, a submodule) git follows, and fails where it leads nowhere.
    const QFileInfo dotGit(dir.filePath(QStringLiteral(".git")));
    look.gitRoot = dotGit.isFile() || (dotGit.isDir() && isGitDirectory(dotGit.filePath()));
    return look;
}

std::optional<FolderRefusal> folderRefusal(const QString &path, RepositoryKind kind, const FolderLook &look)
{
    if (!look.exists)
        return FolderRefusal{QStringLiteral("Project Folder Missing"),
            QStringLiteral("The project folder ") + path + QStringLiteral(" does not exist.")};
    if (!look.isFolder)
        return FolderRefusal{QStringLiteral("Not A Folder"),
            QStringLiteral("The project folder ") + path + QStringLiteral(" is not a folder.")};
    if (kind == RepositoryKind::git && !look.gitRoot)
        return FolderRefusal{QStringLiteral("Not A Git Repository"),
            QStringLiteral("The folder ") + path + QStringLiteral(" is no longer a Git repository.")};
    if (kind == RepositoryKind::svn && !look.svnRoot)
        return FolderRefusal{QStringLiteral("Not An SVN Working Copy"),
            QStringLiteral("The folder ") + path + QStringLiteral(" is no longer an SVN working copy.")};
    return std::nullopt;
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
