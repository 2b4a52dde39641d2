#pragma once

#include "model/WorkingCopyItem.h"
#include "tools/ToolClients.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The runs of a Subversion commit, worked out from the ticked items: first the runs that schedule
// them, then a status of the ticked folders that tells which of their children go with them, then
// the commit of exactly those paths.
namespace SVNCommit {

// svn delete of the missing items, then svn add of the unversioned ones; none when there is nothing
// to schedule.
QList<ToolCommand> scheduling(const QList<WorkingCopyItem> &items);

// The ticked folders whose children may have to go with them, and those of them the commit adds.
struct Folders {
    QStringList all;
    QStringList added;
};
Folders folders(const QList<WorkingCopyItem> &items, const std::function<bool(const QString &)> &isDirectory);

// The status that names the folders' children (of the whole working copy when the folders do not fit
// on one command line: svn status reads no list of targets).
ToolCommand childrenQuery(const Folders &folders);

// The ticked paths and, after them, the children the status names that go with their folders.
QStringList committedPaths(const QList<WorkingCopyItem> &items, const QString &statusXml, const Folders &folders);

ToolCommand commit(const QStringList &paths, const QString &message);

} // namespace SVNCommit
