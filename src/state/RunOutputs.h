#pragma once

#include "model/CommandOutput.h"
#include "tools/OutputFile.h"
#include "tools/SVNCommandResult.h"
#include "tools/ToolClients.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// What a file's bytes are, judged alike wherever the program shows a file (Cat, Blame, Export File, the
// preview of a file that is not under version control): a NUL byte makes it binary; bytes that are not
// UTF-8 are text in another encoding, which only svn's svn:mime-type can tell from binary.
struct JudgedFile {
    enum class Kind { text, otherEncoding, binary };
    Kind kind = Kind::text;
    // The decoded text, for Kind::text only.
    QString text;
};
// Bytes cut from a longer file (not `complete`) may end inside a character, which is then left out.
JudgedFile judgeFile(QByteArrayView bytes, bool complete = true);

// Whether a run's output is too large to judge on the UI thread: decoding a few MiB takes longer than a
// frame.
bool judgedAside(const SVNCommandResult &result);
// What the output sheet shows for a finished run. Output that is not UTF-8 shows with U+FFFD for what
// could not be read, under a line that says so.
CommandOutput runOutput(const QString &title, const SVNCommandResult &result);
// The output of a request's runs reads as one: their command lines one a line, their outputs joined,
// and the status of the first that failed.
void appendRun(SVNCommandResult &shown, const SVNCommandResult &result, bool first);
// The output of a run that succeeded, judged and decoded off the UI thread when it is large. For a run
// that printed a file (its content, its blame: `showsFile`), a binary file's output is one line that
// says so: a NUL byte, or for output that is not UTF-8 an svn:mime-type that `mimeTypeQuery` (run by
// `tool`) prints and svn counts as binary. The run is best made without decoding its output (ToolRun's
// `decodeOutput` off): it is decoded here, once.
QCoro::Task<CommandOutput> shownRunOutput(QString title, SVNCommandResult result, bool showsFile, ToolClient &tool,
    std::optional<ToolRun> mimeTypeQuery, std::shared_ptr<const ToolRunScope> scope);
// The same for a run that printed a file into a file of its own (OutputFile), told by the file's start
// (`shownFileStart` bytes of it): a longer file shows its start and says how long it is.
inline constexpr qsizetype shownFileStart = 1024 * 1024;
QCoro::Task<CommandOutput> shownWrittenFile(QString title, SVNCommandResult result, WrittenFile file, ToolClient &tool,
    std::optional<ToolRun> mimeTypeQuery, std::shared_ptr<const ToolRunScope> scope);
// Whether an svn:mime-type value marks its file binary, as svn reads it.
bool isBinaryMimeType(const QString &mimeType);
// Several runs in one sheet: the non-blank parts trimmed and joined by blank lines.
CommandOutput archiveOutput(const QString &title, const QString &commandLine, qint32 status,
    const QStringList &stdoutParts, const QStringList &stderrParts);
