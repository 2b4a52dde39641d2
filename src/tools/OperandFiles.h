#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// A run's path operands and message on the command line while they fit there, else in private files
// the tool reads itself. Linux refuses to start a program whose arguments pass ARG_MAX, or one of
// whose arguments passes 128 KiB ("Argument list too long"): a commit of a new folder of 30,000 files,
// or of a long message, could not start at all.
namespace OperandFiles {

enum class Style {
    // No file form: the paths follow the arguments, then "-m" and the message.
    commandLine,
    // The message after "-m", then "--" and the paths; else "-F" and "--pathspec-from-file" with
    // "--pathspec-file-nul", whose file holds each path's exact bytes. A path holding bytes that are
    // not UTF-8 always goes through the file: no argument can carry it.
    git,
    // The paths, then "-m" and the message; else "--targets" and "-F" with "--encoding UTF-8" right after
    // the subcommand.
    svn,
};

// What one command line may hold, in bytes.
struct Limits {
    // Every argument with its terminating NUL and its pointer.
    qsizetype total = 0;
    // One argument with its terminating NUL.
    qsizetype argument = 0;

    // This system's, less this process's environment and room for what the runner adds to it.
    static Limits system();
};

// Whether the command line fits within the limits as it stands.
bool fits(const QStringList &line, const Limits &limits = Limits::system());

// The arguments to start the tool with, and the folder of the files they name, removed with it.
struct Prepared {
    QStringList arguments;
    std::shared_ptr<QTemporaryDir> folder;
};

// Throws SVNClientError::launchFailed when the files cannot be written, or when an svn list too long
// for the command line holds a name svn cannot read from its targets file (one with a line break).
Prepared prepare(Style style, const QStringList &arguments, const QStringList &paths,
    const std::optional<QString> &message, const Limits &limits = Limits::system());

// The arguments as they are while they fit; else the one at `index` leaves the line and "-F" and a file
// holding its exact UTF-8 follow the subcommand (the first argument). Throws as `prepare` does.
Prepared prepareValue(const QStringList &arguments, qsizetype index, const Limits &limits = Limits::system());

} // namespace OperandFiles
