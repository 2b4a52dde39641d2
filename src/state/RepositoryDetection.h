#pragma once

#include "model/Project.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

// The root of the SVN working copy holding the folder, else the top of its Git repository, with the
// kind found. Throws launchFailed when the folder is in neither.
QCoro::Task<std::pair<QString, RepositoryKind>> detectRepository(SVNClient &svn, GitClient &git, QString folder);

// Whether the repository above a folder tracks a file in it: a folder the repository only holds (a
// repository of its own that lost its .git, an emptied one) is not part of it.
QCoro::Task<bool> gitTracksFolder(GitClient &git, QString folder);

// Where a tool places a folder: the top of the working copy (or Git work tree) it lies in, as the tool
// names it, and whether the folder is that top itself.
struct Placement {
    QString top;
    bool atTop = false;
    bool operator==(const Placement &) const = default;
};
// Nothing when the tool finds no working copy there, or fails to read the one it finds.
QCoro::Task<std::optional<Placement>> svnPlacement(SVNClient &svn, QString folder);
QCoro::Task<std::optional<Placement>> gitPlacement(GitClient &git, QString folder);

// What a project folder is for a tool of the project's kind.
struct FolderLook {
    bool exists = false;
    bool isFolder = false;
    // It is the top of a working copy of the kind. Without one, svn and git take the folder for a part
    // of whatever working copy they find in the folders above it.
    bool root = false;
};
// Asks the tool of the kind, and the disk on a worker: never blocks the UI thread, whatever the mount.
QCoro::Task<FolderLook> lookAtFolder(
    SVNClient &svn, GitClient &git, std::shared_ptr<const ToolRunScope> scope, QString path, RepositoryKind kind);
using FolderLooker = std::function<QCoro::Task<FolderLook>(
    SVNClient &, GitClient &, std::shared_ptr<const ToolRunScope>, QString, RepositoryKind)>;

// Why no tool may run in the folder of a project of the kind: an alert's title and its one sentence.
struct FolderRefusal {
    QString title;
    QString message;
};
std::optional<FolderRefusal> folderRefusal(const QString &path, RepositoryKind kind, const FolderLook &look);

// The branch HEAD names when that branch has no commit yet (a fresh `git init`), else nothing: git
// fails every run that reads HEAD there, and the callers show an empty history or compare with nothing.
QCoro::Task<std::optional<QString>> gitUnbornBranch(GitClient &git, QString folder);
