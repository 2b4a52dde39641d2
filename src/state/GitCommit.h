#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The runs of a Git commit, worked out from the ticked items before anything runs, so that a commit
// that is refused leaves the index as it was.
namespace GitCommit {

// What git is in the middle of: a merge, cherry-pick or revert that a commit concludes, or an am that
// only git itself may conclude (a commit would take its patch over).
enum class Operation { none, merge, cherryPick, revert, am };

struct InProgress {
    Operation operation = Operation::none;
    // For an am: the patch it stopped at, as git names it ("0002 Fix the parser").
    QString patch;
    // Any operation git is in the middle of, whether a commit concludes it or not, by its command's
    // name ("merge", "cherry-pick", "revert", "am", "rebase", "bisect", "merge --squash"); empty for
    // none. A cherry-pick or revert of several commits counts also between two of them (its sequencer
    // alone).
    QString command;

    InProgress(Operation operation = Operation::none, QString patch = {})
        : operation(operation), patch(std::move(patch))
    { }
};

// Asks git where the files that mark each operation lie ("git rev-parse" prints one path a line).
QStringList operationQuery();
// What git is in the middle of, given its answer to the query, read in the project folder.
InProgress operationFromQuery(const QString &answer, const QString &folder);
// Asks git in the folder what it is in the middle of; nothing when git cannot tell. A squash merge
// counts only while the index differs from HEAD: git keeps its message after its changes are taken back.
// The files git names are looked at off the UI thread, in the scope's life.
QCoro::Task<InProgress> operationInProgress(GitClient &git, QString folder, std::shared_ptr<const ToolRunScope> scope);

struct Plan {
    // Set when the commit must not run at all.
    std::optional<AppAlert> refusal;
    // Stages the ticked paths on disk (git's way of adding new files and recording removals); absent
    // when there is none.
    std::optional<ToolCommand> stage;
    // Records in the index the removal of ticked tracked paths gone from disk, for a commit of the whole
    // index; absent when there is none.
    std::optional<ToolCommand> removal;
    ToolCommand commit;
};

// `ticked` are the items to commit, `listed` the whole list they come from; `isOnDisk` tells whether a
// path is on disk (a symbolic link counts as itself). Nothing ticked concludes a merge, cherry-pick or
// revert in progress, and is refused otherwise. `repositories` are the ticked folders git takes for
// repositories of their own, which a commit would record as bare links: they are refused.
Plan plan(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed, const InProgress &inProgress,
    const QString &message, const std::function<bool(const QString &)> &isOnDisk, const QStringList &repositories = {});
// The ticked untracked rows that are folders on disk, to ask git about: git lists the files of an
// untracked folder one by one, and a repository of its own inside as one row.
QStringList untrackedFolders(
    const QList<WorkingCopyItem> &ticked, const std::function<bool(const QString &)> &isFolder);

} // namespace GitCommit
