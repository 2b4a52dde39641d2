#pragma once

#include "ToolRunScope.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>

#include <memory>
#include <optional>

// The start of a file that was written, and its whole size.
struct WrittenFile {
    QByteArray start;
    qint64 size = 0;
};

// A file a tool writes its standard output into (ToolRun::outputFile), so that a file of any size passes
// through no buffer of the program's: a new file beside the destination, put in its place only once
// complete. Until then it has no name where the file system allows, else a hidden one; a failure, a stop
// or the end of the scope removes it, and whatever stood at the destination stays as it was.
class OutputFile {
public:
    // Made off the UI thread. A destination that stands and is not a regular file (a folder, a FIFO, a
    // device, a link to nothing) or may not be written is refused before anything is made; a link to a
    // file is followed to it. Throws launchFailed "Could not write <destination>: <reason>".
    static QCoro::Task<OutputFile> beside(std::shared_ptr<ToolRunScope> scope, QString destination);

    int descriptor() const { return m_descriptor ? *m_descriptor : -1; }
    // The reason the tool could not have written all of its output: the file system it writes to is full.
    // git names no reason ("unable to stream ... to stdout").
    std::optional<QString> writeFailure() const;

    // Puts what was written in the destination's place, off the UI thread: synced, then renamed over it.
    // Gives the first `startSize` bytes of it. Throws launchFailed as above.
    QCoro::Task<WrittenFile> complete(qsizetype startSize);

private:
    std::shared_ptr<ToolRunScope> m_scope;
    QString m_destination;
    // The file the destination names: a link's target.
    QString m_target;
    ScopedTemporary m_temporary;
    std::shared_ptr<const int> m_descriptor;
};
