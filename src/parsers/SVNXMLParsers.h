#pragma once

#include "model/LogEntry.h"
#include "model/WorkingCopyItem.h"

#include <QList>
#include <QString>

// Readers of Subversion's XML output. They never fail: unreadable input gives an empty or partial result.
namespace SVNXMLParsers {

// `svn status --xml`: the listed rows, sorted by path in the localized standard order.
QList<WorkingCopyItem> parseStatus(const QString &text);
// `svn status --xml -u`: the repository revision and the out-of-date rows, sorted by path.
SVNRemoteStatus parseRemoteStatus(const QString &text);
// `svn log --xml --verbose`: the entries, newest revision first.
QList<LogEntry> parseLog(const QString &text);
// `svn info --xml`: with several entries, each field as the last entry that sets it left it.
RepositoryInfo parseInfo(const QString &text);

} // namespace SVNXMLParsers
