#pragma once

#include "model/Project.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>

#include <optional>

// What follows the runs. `reload` reloads the project after a failure as after a success: a
// command may change files before it fails (an update that put some in place, a switch that failed
// on an external, a merge stopped at a conflict). The failure's alert and output stay.
enum class AfterRun { nothing, reload };
// One request of the command frame: busy text, the runs one after another with the tool of
// `tool`, the output of them all, then what follows; a failure alerts and ends the runs.
struct RunRequest {
    QString title;
    RepositoryKind tool = RepositoryKind::svn;
    QList<ToolCommand> runs;
    AfterRun after = AfterRun::nothing;
    // Added to the output of runs that succeeded.
    QString note;
    // The output is a file's content or its blame: a binary file's is not shown but said to be
    // binary. Binary is a NUL byte in the output, or (for output that is not UTF-8) an svn:mime-type
    // that `mimeTypeQuery` prints and svn counts as binary.
    bool showsFile = false;
    std::optional<ToolCommand> mimeTypeQuery;
};
