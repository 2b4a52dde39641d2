#include "RunOutputs.h"

#include "model/TextUtil.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>

namespace {

// The program reads no more than UTF-8 from a tool; the user still reads what it printed in a legacy
// encoding (a Latin-1 line of a file's blame), each byte that is not UTF-8 as U+FFFD.
QString legacyText(const QByteArray &data)
{
    return QStringLiteral("(The output is not valid UTF-8: what could not be read shows as \uFFFD.)\n")
        + QString::fromUtf8(data);
}

QString shownText(const QByteArray &data, const QString &text)
{
    if (data.isEmpty())
        return text;
    // Decoding judges the bytes as well: they are read once.
    if (std::optional<QString> decoded = TextUtil::decodeUtf8(data))
        return *std::move(decoded);
    return legacyText(data);
}

QString binaryText(qsizetype printed)
{
    return QStringLiteral("(The file is binary: its ") + QString::number(printed)
        + QStringLiteral(" bytes of output are not shown.)");
}

CommandOutput outputShowing(const QString &title, const SVNCommandResult &result, QString stdout)
{
    CommandOutput output;
    output.title = title;
    output.commandLine = result.commandLine;
    output.status = result.status;
    output.stdout = std::move(stdout);
    output.stderr = shownText(result.stderrData, result.stderr);
    return output;
}

struct Shown {
    CommandOutput output;
    JudgedFile::Kind kind = JudgedFile::Kind::text;
};

// A file's output told by its `start`, all of it unless the file is longer (`size`).
Shown shownFile(const QString &title, const SVNCommandResult &result, const QByteArray &start, qint64 size)
{
    const bool complete = start.size() == size;
    JudgedFile judged = judgeFile(start, complete);
    if (judged.kind == JudgedFile::Kind::binary)
        return {outputShowing(title, result, binaryText(size)), judged.kind};
    QString text = judged.kind == JudgedFile::Kind::text ? std::move(judged.text) : legacyText(start);
    if (!complete)
        text += QStringLiteral("\n(The file is ") + QString::number(size)
            + QStringLiteral(" bytes long: only its start is shown.)");
    return {outputShowing(title, result, std::move(text)), judged.kind};
}

Shown shownOutput(const QString &title, const SVNCommandResult &result, bool showsFile)
{
    if (!showsFile || result.stdoutData.isEmpty())
        return {runOutput(title, result)};
    return shownFile(title, result, result.stdoutData, result.stdoutData.size());
}

// Whether the svn:mime-type the query prints marks the file binary; a file without one is not.
QCoro::Task<bool> marksBinary(ToolClient &tool, ToolRun query)
{
    try {
        const SVNCommandResult result = co_await tool.run(std::move(query));
        co_return result.succeeded() && isBinaryMimeType(result.stdout);
    } catch (const SVNClientError &) {
        co_return false;
    }
}

// Says a file binary where its own judging could not tell, but the mime type can.
QCoro::Task<CommandOutput> withMimeType(
    Shown shown, qint64 printed, ToolClient &tool, std::optional<ToolRun> mimeTypeQuery)
{
    bool binary = false;
    if (shown.kind == JudgedFile::Kind::otherEncoding && mimeTypeQuery)
        binary = co_await marksBinary(tool, std::move(*mimeTypeQuery));
    if (binary)
        shown.output.stdout = binaryText(printed);
    co_return std::move(shown.output);
}

} // namespace

JudgedFile judgeFile(QByteArrayView bytes, bool complete)
{
    if (!bytes.isEmpty() && std::memchr(bytes.data(), 0, size_t(bytes.size())))
        return {JudgedFile::Kind::binary, {}};
    std::optional<QString> text = TextUtil::decodeUtf8(bytes, complete);
    if (!text)
        return {JudgedFile::Kind::otherEncoding, {}};
    return {JudgedFile::Kind::text, *std::move(text)};
}

bool judgedAside(const SVNCommandResult &result)
{
    return result.stdoutData.size() + result.stderrData.size() > 1024 * 1024;
}

CommandOutput runOutput(const QString &title, const SVNCommandResult &result)
{
    return outputShowing(title, result, shownText(result.stdoutData, result.stdout));
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

QCoro::Task<CommandOutput> shownRunOutput(QString title, SVNCommandResult result, bool showsFile, ToolClient &tool,
    std::optional<ToolRun> mimeTypeQuery, std::shared_ptr<const ToolRunScope> scope)
{
    const qsizetype printed = result.stdoutData.size();
    Shown shown;
    if (!judgedAside(result))
        shown = shownOutput(title, result, showsFile);
    else
        shown = co_await awaitInScope(
            std::move(scope), QtConcurrent::run(shownOutput, std::move(title), std::move(result), showsFile));
    CommandOutput output = co_await withMimeType(std::move(shown), printed, tool, std::move(mimeTypeQuery));
    co_return output;
}

QCoro::Task<CommandOutput> shownWrittenFile(QString title, SVNCommandResult result, WrittenFile file, ToolClient &tool,
    std::optional<ToolRun> mimeTypeQuery, std::shared_ptr<const ToolRunScope> scope)
{
    Shown shown = co_await awaitInScope(std::move(scope),
        QtConcurrent::run(shownFile, std::move(title), std::move(result), std::move(file.start), file.size));
    CommandOutput output = co_await withMimeType(std::move(shown), file.size, tool, std::move(mimeTypeQuery));
    co_return output;
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
