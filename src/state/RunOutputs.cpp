#include "RunOutputs.h"

#include "model/TextUtil.h"

namespace {

// The program reads no more than UTF-8 from a tool; the user still reads what it printed in a legacy
// encoding (a Latin-1 line of a file's blame), each byte that is not UTF-8 as U+FFFD.
QString shownText(const QByteArray &data, const QString &text)
{
    if (data.isEmpty() || TextUtil::isValidUtf8(data))
        return text;
    return QStringLiteral("(The output is not valid UTF-8: what could not be read shows as \uFFFD.)\n")
        + QString::fromUtf8(data);
}

} // namespace

CommandOutput runOutput(const QString &title, const SVNCommandResult &result)
{
    CommandOutput output;
    output.title = title;
    output.commandLine = result.commandLine;
    output.status = result.status;
    output.stdout = shownText(result.stdoutData, result.stdout);
    output.stderr = shownText(result.stderrData, result.stderr);
    return output;
}

void appendRun(SVNCommandResult &shown, const SVNCommandResult &result, bool first)
{
    if (first) {
        shown = result;
        return;
    }
    if (shown.succeeded()) {
        shown.status = result.status;
        shown.terminationSignal = result.terminationSignal;
    }
    shown.commandLine += u'\n' + result.commandLine;
    shown.stdout += result.stdout;
    shown.stderr += result.stderr;
    shown.stdoutData += result.stdoutData;
    shown.stderrData += result.stderrData;
}

CommandOutput fileRunOutput(const QString &title, SVNCommandResult result, bool binary)
{
    if (!binary && !result.stdoutData.contains('\0'))
        return runOutput(title, result);
    const qsizetype printed = result.stdoutData.size();
    result.stdoutData.clear();
    result.stdout = QStringLiteral("(The file is binary: its ") + QString::number(printed)
        + QStringLiteral(" bytes of output are not shown.)");
    return runOutput(title, result);
}

bool isBinaryMimeType(const QString &mimeType)
{
    // svn's rule: a type other than text/... is binary, but for two X image formats that are text.
    const QString type = mimeType.trimmed().section(u';', 0, 0).section(u' ', 0, 0);
    return !type.isEmpty() && !type.startsWith(QStringLiteral("text/")) && type != QStringLiteral("image/x-xbitmap")
        && type != QStringLiteral("image/x-xpixmap");
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
