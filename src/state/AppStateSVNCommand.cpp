#include "AppState.h"

#include "state/ArgumentLine.h"

#include <QByteArray>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <exception>

void AppState::showSVNVersion()
{
    startTask([this] {
        return runRequest(
            {QStringLiteral("svn Version"), RepositoryKind::svn, {{QStringLiteral("--version")}}, AfterRun::nothing},
            QString());
    });
}

void AppState::showSVNHelp()
{
    // The folder is read when the task runs, not when the menu item was chosen.
    startTask([this] {
        return runInSelectedFolder(
            {QStringLiteral("svn Help"), RepositoryKind::svn, {{QStringLiteral("help")}}, AfterRun::nothing});
    });
}

void AppState::runCustomSVNCommand()
{
    const QString line = promptValue(QStringLiteral("Run svn Command"),
        {QStringLiteral("arguments"), QStringLiteral("Arguments"), QStringLiteral("status")})
                             .value_or(QString());
    if (line.isEmpty())
        return;
    QStringList arguments;
    try {
        arguments = parseArgumentLine(line);
    } catch (const std::exception &error) {
        showAlert(QStringLiteral("Could Not Parse Arguments"), errorDescription(error));
        return;
    }
    if (std::all_of(arguments.begin(), arguments.end(), [](const QString &argument) { return argument.isEmpty(); })) {
        showAlert(QStringLiteral("No Arguments"), QStringLiteral("Enter svn arguments to run."));
        return;
    }
    startTask([this, arguments] {
        return runInSelectedFolder(
            {QStringLiteral("svn ") + arguments.first(), RepositoryKind::svn, {arguments}, AfterRun::nothing});
    });
}
