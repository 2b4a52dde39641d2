#pragma once

#include "model/CommandOutput.h"
#include "model/WorkingCopyItem.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The runs of a Subversion commit, worked out from the ticked items: first the runs that schedule
// them, then a status of the ticked folders and deletions that tells which of the folders' children go
// with them and which paths svn still has to commit, then the commit of exactly those paths.
namespace SVNCommit {

// The ticked items without svn's own conflict files, which never go into the repository.
QList<WorkingCopyItem> committable(const QList<WorkingCopyItem> &items);

// The ticked items and, after them, the other half of every ticked move (its source or its
// destination), taken from `listed` or made from svn's name for it: svn commits a move as a whole.
QList<WorkingCopyItem> withMoveHalves(const QList<WorkingCopyItem> &ticked, const QList<WorkingCopyItem> &listed);

// The old names of the ticked moves that are not ticked themselves.
QStringList untickedOldNames(const QList<WorkingCopyItem> &ticked);

// What svn holds at those names now, as `svn status --xml` (of the whole working copy when they do not
// fit on one command line); none when there are none. The list cannot tell: an ignore rule may hide
// what was scheduled there, and it may have changed since the list was read.
std::optional<ToolCommand> oldNamesQuery(const QStringList &oldNames);

// Refuses a ticked move whose old name is not ticked and that svn, by `statusXml` of the old names,
// holds as something other than a plain deletion (something new was scheduled there): svn would
// commit that along with the move.
std::optional<AppAlert> moveRefusal(const QList<WorkingCopyItem> &ticked, const QString &statusXml);

// svn add of the paths. svn add takes a nested Git repository's .git along with its folder: a second
// run unschedules `nestedGit`, the .git entries below the added folders, and leaves them on disk.
QList<ToolCommand> addition(const QStringList &paths, const QStringList &nestedGit);

// svn delete of the missing items, then the addition of the unversioned ones; none when there is
// nothing to schedule.
QList<ToolCommand> scheduling(const QList<WorkingCopyItem> &items, const QStringList &nestedGit = {});

// The ticked folders whose children may have to go with them, and those of them the commit adds.
struct Folders {
    QStringList all;
    QStringList added;
};
Folders folders(const QList<WorkingCopyItem> &items, const std::function<bool(const QString &)> &isDirectory);

// The missing items the scheduling deletes.
QStringList deletions(const QList<WorkingCopyItem> &items);

// The status that names the folders' children and tells whether each deletion is still to commit (of
// the whole working copy when they do not fit on one command line: svn status reads no list of
// targets); none when there are neither folders nor deletions.
std::optional<ToolCommand> statusQuery(const Folders &folders, const QStringList &deletions);

// The ticked paths and, after them, the children the status names that go with their folders. A
// deletion the status no longer lists was never in the repository: svn would refuse the whole commit
// over it ("is not under version control").
QStringList committedPaths(const QList<WorkingCopyItem> &items, const QString &statusXml, const Folders &folders,
    const QStringList &deletions);

ToolCommand commit(const QStringList &paths, const QString &message);

} // namespace SVNCommit
