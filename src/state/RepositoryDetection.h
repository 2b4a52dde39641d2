#pragma once

#include "model/Project.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

// The root of the SVN working copy holding the folder, else the top of its Git repository, with the
// kind found. Throws launchFailed when the folder is in neither.
QCoro::Task<std::pair<QString, RepositoryKind>> detectRepository(SVNClient &svn, GitClient &git, QString folder);

// Whether the repository above a folder tracks a file in it: a folder the repository only holds (a
// repository of its own that lost its .git, an emptied one) is not part of it.
QCoro::Task<bool> gitTracksFolder(GitClient &git, QString folder);

// What the disk says of a project folder, read without running a tool.
struct FolderLook {
    bool exists = false;
    bool isFolder = false;
    // It is the top of a working copy of its own. Without one, svn and git take the folder for a part of
    // whatever working copy they find in the folders above it.
    bool svnRoot = false;
    bool gitRoot = false;
};
FolderLook lookAtFolder(const QString &path);
using FolderLooker = std::function<FolderLook(const QString &path)>;

// Why no tool may run in the folder of a project of the kind: an alert's title and its one sentence.
struct FolderRefusal {
    QString title;
    QString message;
};
std::optional<FolderRefusal> folderRefusal(const QString &path, RepositoryKind kind, const FolderLook &look);

// The branch HEAD names when that branch has no commit yet (a fresh `git init`), else nothing: git
// fails every run that reads HEAD there, and the callers show an empty history or compare with nothing.
QCoro::Task<std::optional<QString>> gitUnbornBranch(GitClient &git, QString folder);
