#include "ToolOperands.h"

#include <algorithm>

namespace ToolOperands {

bool readsAsOption(const QString &value)
{
    return value.startsWith(u'-');
}

QString svnPath(const QString &path)
{
    QString operand = path;
    if (readsAsOption(operand))
        operand.prepend(QStringLiteral("./"));
    // svn reads the last "@" of a path as a peg revision; a closing "@" gives it an empty one.
    if (operand.contains(u'@'))
        operand.append(u'@');
    return operand;
}

QStringList svnPaths(const QStringList &paths)
{
    QStringList operands;
    operands.reserve(paths.size());
    for (const QString &path : paths)
        operands.push_back(svnPath(path));
    return operands;
}

QString svnFormPath(const QString &value, const QString &selectedPath)
{
    if (value.isEmpty() || value != selectedPath)
        return value;
    return svnPath(value);
}

QString svnNewTarget(const QString &target)
{
    return target.contains(u'@') ? target + u'@' : target;
}

QString svnDiffPath(const QString &path)
{
    // A local diff refuses "name@" ("node not found"), so the "@" form goes through "--old=".
    if (path.contains(u'@'))
        return QStringLiteral("--old=") + svnPath(path);
    return svnPath(path);
}

bool svnURL(const QString &target)
{
    return target.contains(QStringLiteral("://")) || target.startsWith(QStringLiteral("^/"));
}

QString svnPegged(const QString &target, qint64 revision)
{
    return target + u'@' + QString::number(revision);
}

QStringList svnArguments(const QStringList &leading, const QStringList &operands, const QStringList &trailingOptions)
{
    if (std::none_of(operands.begin(), operands.end(), readsAsOption))
        return leading + operands + trailingOptions;
    return leading + trailingOptions + QStringList{QStringLiteral("--")} + operands;
}

ToolEnvironment gitEnvironment()
{
    // git refuses any other global pathspec setting beside the literal one, so one inherited from the
    // user's shell would fail every run that takes paths. A status or diff takes no optional lock on
    // the index: one ended early (a refresh that a newer one replaced) or still running beside an
    // action would otherwise leave the action's own git add or commit facing "index.lock: File exists".
    return {{QStringLiteral("GIT_LITERAL_PATHSPECS"), QStringLiteral("1")}, {QStringLiteral("GIT_GLOB_PATHSPECS"), {}},
        {QStringLiteral("GIT_NOGLOB_PATHSPECS"), {}}, {QStringLiteral("GIT_ICASE_PATHSPECS"), {}},
        {QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0")}};
}

} // namespace ToolOperands
