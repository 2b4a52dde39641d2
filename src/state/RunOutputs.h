#pragma once

#include "model/CommandOutput.h"
#include "tools/SVNCommandResult.h"

#include <QString>
#include <QStringList>

// What the output sheet shows for a finished run. Output that is not UTF-8 shows with U+FFFD for what
// could not be read, under a line that says so.
CommandOutput runOutput(const QString &title, const SVNCommandResult &result);
// The output of a request's runs reads as one: their command lines one a line, their outputs joined,
// and the status of the first that failed.
void appendRun(SVNCommandResult &shown, const SVNCommandResult &result, bool first);
// The same for a run that printed a file (its content, its blame): for a binary file, `binary` or a NUL
// byte in the output, one line says so in place of the output.
CommandOutput fileRunOutput(const QString &title, SVNCommandResult result, bool binary = false);
// Whether an svn:mime-type value marks its file binary, as svn reads it.
bool isBinaryMimeType(const QString &mimeType);
// Several runs in one sheet: the non-blank parts trimmed and joined by blank lines.
CommandOutput archiveOutput(const QString &title, const QString &commandLine, qint32 status,
    const QStringList &stdoutParts, const QStringList &stderrParts);
