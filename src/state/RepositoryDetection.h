#pragma once

#include "model/Project.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
#include <QString>

#include <optional>
#include <utility>

// The root of the SVN working copy holding the folder, else the top of its Git repository, with the
// kind found. Throws launchFailed when the folder is in neither.
QCoro::Task<std::pair<QString, RepositoryKind>> detectRepository(SVNClient &svn, GitClient &git, QString folder);

// The branch HEAD names when that branch has no commit yet (a fresh `git init`), else nothing: git
// fails every run that reads HEAD there, and the callers show an empty history or compare with nothing.
QCoro::Task<std::optional<QString>> gitUnbornBranch(GitClient &git, QString folder);
