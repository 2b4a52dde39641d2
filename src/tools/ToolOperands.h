#pragma once

#include "ToolRunner.h"

#include <QString>
#include <QStringList>

// Every rule that turns a path or a typed value into an argument of svn or git, so that a name is
// never read as an option, a peg revision or a pattern. svn 1.14 treats "@" differently per
// subcommand and per operand; each rule below names the operands it is for.
namespace ToolOperands {

// True when a tool would read the value as an option.
bool readsAsOption(const QString &value);

// A working-copy path that svn resolves at a peg revision (add, revert, commit, cat, blame, update,
// the property commands, copy and move sources, ...): "./" before a leading "-", and "@" after a
// path holding one, so that its own last "@" is not read as a peg revision.
QString svnPath(const QString &path);
QStringList svnPaths(const QStringList &paths);

// A path from a form: protected as above while it is still the selected working-copy path; a path
// the user typed stays as typed, so that a peg revision can be given on purpose.
QString svnFormPath(const QString &value, const QString &selectedPath);

// A path or URL that svn creates and reads a peg revision in (copy's target, mkdir, export's
// destination): a peg revision is never allowed there, so one holding "@" gets a closing "@".
// Move's target, checkout's destination and import's operands are taken verbatim by svn.
QString svnNewTarget(const QString &target);

// A working-copy path compared by svn diff: against the working copy the path is taken verbatim,
// against a revision its last "@" is a peg revision; "--old=" with the closing "@" reads the same
// way in both cases.
QString svnDiffPath(const QString &path);

// Whether svn takes a typed target for a URL: one with a scheme, or "^/" for the repository's root.
bool svnURL(const QString &target);

// A URL or path at a peg revision.
QString svnPegged(const QString &target, qint64 revision);

// An svn argument list: the leading arguments (subcommand and options), then the operands. When an
// operand would read as an option, the trailing options move before a "--" that ends the options.
QStringList svnArguments(
    const QStringList &leading, const QStringList &operands, const QStringList &trailingOptions = {});

// Added to the environment of every git run: pathspecs are file names, never globs or magic.
ToolEnvironment gitEnvironment();

} // namespace ToolOperands
