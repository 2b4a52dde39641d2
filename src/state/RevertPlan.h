#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
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
    // What stands in the way, named in the alert.
    QStringList refused;
    // Shown for the selected paths left alone; when there are no runs, the whole answer.
    std::optional<AppAlert> alert;
    // git: the reverted paths that are folders on disk, which for git are submodules.
    QStringList submodules;
};

// The question before a revert.
QString question(const Plan &plan);

// What stands on disk at a path; asked only of the paths a revert would write and the folders above them.
using Standing = std::function<DiskEntry(const QString &path)>;

// `paths` are the selected paths, `listed` the rows of the change list, which say what the tool tracks.
// `refusedBefore` is named in the alert too: what stood in the way when the question was asked.
Plan svn(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing,
    const QStringList &refusedBefore = {});
Plan git(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing,
    const QStringList &refusedBefore = {});

// svn lists a replaced folder as one row, though its revert brings back everything the old folder
// held: the selected replaced folders, whose trees (`svn status -v`) are asked for what they held. A
// deleted folder made anew is in the way itself.
QStringList svnReplacedFolders(
    const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing);
// The rows with the deletions of such a tree that they do not list yet, paths as the list writes them.
QList<WorkingCopyItem> withDeletionsInside(QList<WorkingCopyItem> listed, const QList<WorkingCopyItem> &tree);

// A submodule a git revert would put back to the commit HEAD records, as git inside it tells.
struct Submodule {
    QString path;
    // The commit HEAD records; empty when git does not say.
    QString recorded;
    // Tracked files changed or staged inside.
    bool changed = false;
    // Its HEAD, when that is not the recorded commit and no branch or tag holds it: the reflog alone
    // would keep it once the submodule is put back.
    QString unheld;
};

// Asks git about each submodule, in the project's folder and in the submodule's own.
QCoro::Task<QList<Submodule>> submodules(GitClient &git, QString root, QStringList paths);
// The refusal of a revert that would discard what a submodule holds; nothing when none holds anything.
std::optional<AppAlert> submoduleRefusal(const QList<Submodule> &submodules);
// What the question adds: the commit each submodule goes back to.
QString submoduleSentence(const QList<Submodule> &submodules);

} // namespace RevertPlan
