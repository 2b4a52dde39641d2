#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The runs of a Revert, worked out from the selected paths and the listed rows before anything runs.
// A revert takes back what the tool tracks and never deletes what it does not: a path where something
// the tool does not track stands in the way is left alone and named in an alert.
namespace RevertPlan {

struct Plan {
    // The selected paths the runs take back (the question counts them).
    QStringList reverted;
    QList<ToolCommand> runs;
    // Shown for the selected paths left alone; when there are no runs, the whole answer.
    std::optional<AppAlert> alert;
    // git: a reverted path is a folder on disk, which for git is a submodule.
    bool submodules = false;
};

// `paths` are the selected paths, `listed` the rows of the change list; `isDirectory` tells whether a
// path is a folder on disk, `isOnDisk` whether anything is there.
Plan svn(const QStringList &paths, const QList<WorkingCopyItem> &listed,
    const std::function<bool(const QString &)> &isDirectory);
Plan git(const QStringList &paths, const QList<WorkingCopyItem> &listed,
    const std::function<bool(const QString &)> &isDirectory, const std::function<bool(const QString &)> &isOnDisk);

} // namespace RevertPlan
