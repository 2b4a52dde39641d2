#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The runs of a Git commit, worked out from the ticked items before anything runs, so that a commit
// that is refused leaves the index as it was.
namespace GitCommit {

// What git is in the middle of concluding with a commit.
enum class Operation { none, merge, cherryPick, revert };

// Asks git where the files that mark each operation lie ("git rev-parse" prints one path a line).
QStringList operationQuery();
// The operation whose file exists, given git's answer to the query, read in the project folder.
Operation operationFromQuery(const QString &answer, const QString &folder);

struct Plan {
    // Set when the commit must not run at all.
    std::optional<AppAlert> refusal;
    // Stages the ticked paths on disk (git's way of adding new files and recording removals); absent
    // when there is none.
    std::optional<ToolCommand> stage;
    ToolCommand commit;
};

// `ticked` are the items to commit, `listed` the whole list they come from; `isOnDisk` tells whether a
// path is on disk (a symbolic link counts as itself).
Plan plan(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed, Operation operation,
    const QString &message, const std::function<bool(const QString &)> &isOnDisk);

} // namespace GitCommit
