#pragma once

#include <QString>
#include <QStringList>

// What a commit of ticked folders must carry besides them. The commit goes with --depth=empty so a
// ticked folder leaves its unticked children behind; two kinds of children belong to the folder
// itself, though: what the commit's own `svn add` scheduled inside a new folder, and the nodes of a
// copied folder that are copies of their own (a mixed-revision copy), which svn would otherwise
// delete in the repository.
namespace SVNCommitTargets {

// `statusXml` is `svn status --xml` over `folders`; `newFolders` are those of them that the commit
// itself added. Gives the descendants to commit with them, in the order of the output.
QStringList childrenGoingWith(const QString &statusXml, const QStringList &folders, const QStringList &newFolders);

// Those of `paths` that `statusXml` lists as scheduled for deletion. svn delete of a path that was only
// ever added unschedules it, and svn then no longer knows it.
QStringList scheduledForDeletion(const QString &statusXml, const QStringList &paths);

// Those of `paths` that `statusXml` lists as anything but scheduled for deletion: at a move's old
// name, something new that a commit of the name would take.
QStringList notOnlyDeleted(const QString &statusXml, const QStringList &paths);

} // namespace SVNCommitTargets
