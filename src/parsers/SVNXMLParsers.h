#pragma once

#include "model/LogEntry.h"
#include "model/WorkingCopyItem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// Readers of Subversion's XML output. They never fail: unreadable input gives an empty or partial result.
namespace SVNXMLParsers {

// `svn status --xml`: the listed rows, sorted by path in the localized standard order.
QList<WorkingCopyItem> parseStatus(const QString &text);
// The rows, and whether svn marks a folder of the working copy locked (wc-locked), listed or not: an
// action that ended midway, or found the disk full, leaves one so.
struct SVNStatusRead {
    QList<WorkingCopyItem> items;
    bool workingCopyLocked = false;
};
// The same from the output's UTF-8 a piece at a time, read as far as it goes while the tool is still
// writing it.
class StatusReading {
public:
    StatusReading();
    ~StatusReading();
    StatusReading(const StatusReading &) = delete;
    StatusReading &operator=(const StatusReading &) = delete;

    void add(QByteArray piece);
    // After the last piece: the rows sorted like parseStatus's, and the lock.
    SVNStatusRead finish();

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
};
// `svn status --xml -u`: the repository revision and the out-of-date rows, sorted by path.
SVNRemoteStatus parseRemoteStatus(const QString &text);
// `svn log --xml --verbose`: the entries, newest revision first.
QList<LogEntry> parseLog(const QString &text);
// The same read a piece of UTF-8 at a time, as svn writes it; the entries read so far are taken as it
// goes, in the order of the output (sortNewestFirst gives parseLog's).
class LogReading {
public:
    LogReading();
    ~LogReading();
    LogReading(const LogReading &) = delete;
    LogReading &operator=(const LogReading &) = delete;

    void add(QByteArray piece);
    // After the last piece.
    void finish();
    // The entries completed since the last call.
    QList<LogEntry> takeEntries();

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
};
void sortNewestFirst(QList<LogEntry> &entries);
// `svn info --xml`: with several entries, each field as the last entry that sets it left it.
RepositoryInfo parseInfo(const QString &text);
// `svn info --xml` of conflicted paths: the files svn wrote for their conflicts (the .mine, .rN and
// .prej files), as the absolute paths it gives.
QStringList parseConflictFiles(const QString &text);

} // namespace SVNXMLParsers
