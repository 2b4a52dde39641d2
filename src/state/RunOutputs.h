#pragma once

#include "model/CommandOutput.h"
#include "tools/SVNCommandResult.h"

#include <QString>
#include <QStringList>

// What the output sheet shows for a finished run.
CommandOutput runOutput(const QString &title, const SVNCommandResult &result);
// Several runs in one sheet: the non-blank parts trimmed and joined by blank lines.
CommandOutput archiveOutput(const QString &title, const QString &commandLine, qint32 status,
    const QStringList &stdoutParts, const QStringList &stderrParts);
