#pragma once

#include "model/LogEntry.h"
#include "model/WorkingCopyItem.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <memory>

// Readers of git's text output. They never fail: unreadable lines are skipped.
namespace GitParsers {

// `git status --porcelain=v1 --untracked-files=all --ignored`: sorted by path.
QList<WorkingCopyItem> parseStatus(const QString &text);
// The same read from the bytes git printed: each name is read as its exact bytes (TextUtil::decodeFileName),
// whether git quoted it or printed it raw, so a name that is not UTF-8 is listed as itself.
QList<WorkingCopyItem> parseStatus(QByteArrayView output);
// The same read a piece at a time, as git writes it, in git's order: for a caller that sorts what it
// keeps of them.
class StatusReading {
public:
    void add(QByteArray piece);
    // After the last piece.
    QList<WorkingCopyItem> finish();

private:
    // The start of a line whose end has not come yet.
    QByteArray m_held;
    QList<WorkingCopyItem> m_items;
};
// The marker-format `git log --name-status`: in the order of the text, with made-up revision
// numbers counting down from 1000000.
QList<LogEntry> parseLog(const QString &text);
// The same read from the bytes git printed, a line at a time: an author or message that is not UTF-8
// reads with replacement characters, a path as its exact bytes, and no commit is lost to either.
QList<LogEntry> parseLog(QByteArrayView output);
// The same read a piece at a time, as git writes it; the entries read so far are taken as it goes.
class LogReading {
public:
    LogReading();
    ~LogReading();
    LogReading(const LogReading &) = delete;
    LogReading &operator=(const LogReading &) = delete;

    void add(QByteArray piece);
    // After the last piece.
    void finish();
    // The entries completed since the last call, in the order of the output.
    QList<LogEntry> takeEntries();
    // The paths read so far of the entry not yet completed.
    const QList<SVNPathChange> &pendingPaths() const;

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
};
// `git for-each-ref` branch lines: current first, then local, then remote, each group by name. A branch
// is named by its full ref name less "refs/heads/" or "refs/remotes/", never by git's short name.
QList<GitBranch> parseBranches(const QString &text);

// The C-style quoting git applies to unusual path names, undone: octal escapes are the name's bytes,
// read as TextUtil::decodeFileName reads them.
QString unquotePath(const QString &path);

} // namespace GitParsers
