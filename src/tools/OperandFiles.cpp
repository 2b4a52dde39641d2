#include "OperandFiles.h"

#include "FileWrites.h"
#include "SVNCommandResult.h"
#include "model/TextUtil.h"

#include <QFile>

#include <algorithm>

#include <unistd.h>

extern char **environ;

namespace OperandFiles {

namespace {

// The variables the runner and the clients add, the program's own path and what the kernel keeps
// for itself.
constexpr qsizetype reserve = 64 * 1024;

QStringList commandLine(Style style, const QStringList &arguments, const QStringList &paths,
    const std::optional<QString> &message)
{
    QStringList line = arguments;
    const QStringList messageOptions = message ? QStringList{QStringLiteral("-m"), *message} : QStringList();
    if (style == Style::git) {
        line += messageOptions;
        if (!paths.isEmpty())
            line += QStringList{QStringLiteral("--")} + paths;
    } else {
        line += paths;
        line += messageOptions;
    }
    return line;
}

} // namespace

bool fits(const QStringList &line, const Limits &limits)
{
    qsizetype total = 0;
    for (const QString &argument : line) {
        const qsizetype bytes = TextUtil::encodeFileName(argument).size() + 1;
        if (bytes > limits.argument)
            return false;
        total += bytes + qsizetype(sizeof(char *));
        if (total > limits.total)
            return false;
    }
    return true;
}

namespace {

bool isSVNSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

// svn cuts its targets file at every line feed and carriage return and trims white space from each
// line: a leading space is kept by "./", a trailing one by an empty peg revision after it.
QByteArray svnTargetLine(const QString &operand)
{
    if (operand.contains(u'\n') || operand.contains(u'\r'))
        throw SVNClientError::launchFailed(
            QStringLiteral("The selection is too long for one svn command line, and svn cannot read \"")
            + TextUtil::displayFileName(operand)
            + QStringLiteral("\" from a list because the name holds a line break. Select fewer paths."));
    QString line = operand;
    if (!line.isEmpty() && isSVNSpace(line.front()))
        line.prepend(QStringLiteral("./"));
    if (!line.isEmpty() && isSVNSpace(line.back()))
        line.append(u'@');
    return TextUtil::encodeFileName(line) + '\n';
}

QString writeFile(QTemporaryDir &folder, const QString &name, const QByteArray &bytes, const QString &what)
{
    const QString path = folder.filePath(name);
    // A scratch file the tool reads and the folder takes with it: no rename, and no wait for the disk on
    // the UI thread.
    QFile file(path);
    std::optional<QString> failure;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failure = file.errorString();
    else
        failure = writeAll(file, bytes);
    if (failure)
        throw SVNClientError::launchFailed(QStringLiteral("Could not write ") + what + QStringLiteral(" to ") + path
            + QStringLiteral(": ") + *failure);
    return path;
}

std::shared_ptr<QTemporaryDir> makeFolder(const QString &what)
{
    auto folder = std::make_shared<QTemporaryDir>();
    if (!folder->isValid())
        throw SVNClientError::launchFailed(QStringLiteral("Could not create a temporary folder for ") + what
            + QStringLiteral(": ") + folder->errorString());
    return folder;
}

} // namespace

Limits Limits::system()
{
    qsizetype environment = 0;
    for (char **variable = environ; variable && *variable; ++variable)
        environment += qsizetype(qstrlen(*variable)) + 1 + qsizetype(sizeof(char *));
    const long argMax = ::sysconf(_SC_ARG_MAX);
    const long page = ::sysconf(_SC_PAGESIZE);
    Limits limits;
    limits.total = std::max<qsizetype>((argMax > 0 ? argMax : 128 * 1024) - environment - reserve, 4096);
    // MAX_ARG_STRLEN: 32 pages.
    limits.argument = 32 * (page > 0 ? page : 4096);
    return limits;
}

Prepared prepare(Style style, const QStringList &arguments, const QStringList &paths,
    const std::optional<QString> &message, const Limits &limits)
{
    QStringList line = commandLine(style, arguments, paths, message);
    const bool rawNames = style == Style::git
        && std::any_of(paths.begin(), paths.end(), [](const QString &path) { return TextUtil::holdsUndecodableBytes(path); });
    if (style == Style::commandLine || (paths.isEmpty() && !message) || (!rawNames && fits(line, limits)))
        return {std::move(line), nullptr};

    const QString listOfPaths = QStringLiteral("the list of paths");
    const QString commitMessage = QStringLiteral("the commit message");
    std::shared_ptr<QTemporaryDir> folder = makeFolder(paths.isEmpty() ? commitMessage
            : message ? listOfPaths + QStringLiteral(" and ") + commitMessage
                      : listOfPaths);
    QStringList options;
    if (style == Style::git) {
        if (message)
            options += {
                QStringLiteral("-F"), writeFile(*folder, QStringLiteral("message"), message->toUtf8(), commitMessage)};
        if (!paths.isEmpty()) {
            QByteArray list;
            for (const QString &path : paths)
                list += TextUtil::encodeFileName(path) + '\0';
            options += {QStringLiteral("--pathspec-from-file=")
                    + writeFile(*folder, QStringLiteral("paths"), list, listOfPaths),
                QStringLiteral("--pathspec-file-nul")};
        }
        return {arguments + options, std::move(folder)};
    }
    if (!paths.isEmpty()) {
        QByteArray list;
        for (const QString &path : paths)
            list += svnTargetLine(path);
        options += {QStringLiteral("--targets"), writeFile(*folder, QStringLiteral("targets"), list, listOfPaths)};
    }
    if (message)
        options
            += {QStringLiteral("-F"), writeFile(*folder, QStringLiteral("message"), message->toUtf8(), commitMessage),
                QStringLiteral("--encoding"), QStringLiteral("UTF-8")};
    // Right after the subcommand, before a "--" that may end the options.
    QStringList prepared = arguments.mid(0, 1) + options + arguments.mid(1);
    return {std::move(prepared), std::move(folder)};
}

Prepared prepareValue(const QStringList &arguments, qsizetype index, const Limits &limits)
{
    if (index < 1 || index >= arguments.size() || fits(arguments, limits))
        return {arguments, nullptr};
    const QString what = QStringLiteral("the property value");
    const std::shared_ptr<QTemporaryDir> folder = makeFolder(what);
    const QString file = writeFile(*folder, QStringLiteral("value"), arguments[index].toUtf8(), what);
    QStringList prepared = arguments;
    prepared.removeAt(index);
    prepared.insert(1, file);
    prepared.insert(1, QStringLiteral("-F"));
    return {std::move(prepared), folder};
}

} // namespace OperandFiles
