#pragma once

#include "model/Project.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
#include <QString>

#include <utility>

// The root of the SVN working copy holding the folder, else the top of its Git repository, with the
// kind found. Throws launchFailed when the folder is in neither.
QCoro::Task<std::pair<QString, RepositoryKind>> detectRepository(SVNClient &svn, GitClient &git, QString folder);
