#pragma once

#include "model/LogEntry.h"
#include "model/WorkingCopyItem.h"

#include <QList>
#include <QString>

// Readers of git's text output. They never fail: unreadable lines are skipped.
namespace GitParsers {

// `git status --porcelain=v1 --untracked-files=all --ignored`: sorted by path.
QList<WorkingCopyItem> parseStatus(const QString &text);
// The marker-format `git log --name-status`: in the order of the text, with made-up revision
// numbers counting down from 1000000.
QList<LogEntry> parseLog(const QString &text);
// `git for-each-ref` branch lines: current first, then local, then remote, each group by name.
QList<GitBranch> parseBranches(const QString &text);

// The C-style quoting git applies to unusual path names, undone (octal escapes are UTF-8 bytes).
QString unquotePath(const QString &path);

} // namespace GitParsers
