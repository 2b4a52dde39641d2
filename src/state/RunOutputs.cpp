#include "RunOutputs.h"

#include "model/TextUtil.h"

CommandOutput runOutput(const QString &title, const SVNCommandResult &result)
{
    CommandOutput output;
    output.title = title;
    output.commandLine = result.commandLine;
    output.status = result.status;
    output.stdout = result.stdout;
    output.stderr = result.stderr;
    return output;
}

CommandOutput archiveOutput(const QString &title, const QString &commandLine, qint32 status,
    const QStringList &stdoutParts, const QStringList &stderrParts)
{
    const auto joined = [](const QStringList &parts) {
        QStringList kept;
        for (const QString &part : parts) {
            const QString trimmed = TextUtil::trimmed(part);
            if (!trimmed.isEmpty())
                kept.push_back(trimmed);
        }
        return kept.join(QStringLiteral("\n\n"));
    };
    CommandOutput output;
    output.title = title;
    output.commandLine = commandLine;
    output.status = status;
    output.stdout = joined(stdoutParts);
    output.stderr = joined(stderrParts);
    return output;
}
