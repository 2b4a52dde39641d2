#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "state/WorkingCopyPaths.h"
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

// What stands on disk at a path; asked only of the paths a revert would write and the folders above them.
using Standing = std::function<DiskEntry(const QString &path)>;

// `paths` are the selected paths, `listed` the rows of the change list, which say what the tool tracks.
Plan svn(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing);
Plan git(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing);

} // namespace RevertPlan
