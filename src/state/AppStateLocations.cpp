#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/SVNXMLParsers.h"

#include <QDir>
#include <QFileInfo>

QCoro::Task<QString> AppState::svnWorkingCopyRoot(QString folder)
{
    const QStringList arguments{QStringLiteral("info"), QStringLiteral("--xml")};
    const SVNCommandResult result = co_await client().run(arguments, folder);
    const RepositoryInfo info = SVNXMLParsers::parseInfo(result.stdout);
    if (info.workingCopyRoot && !info.workingCopyRoot->isEmpty())
        co_return *info.workingCopyRoot;
    co_return folder;
}

QCoro::Task<QString> AppState::gitWorkingCopyRoot(QString folder)
{
    const QStringList arguments{QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel")};
    const SVNCommandResult result = co_await gitClient().run(arguments, folder);
    const QString root = result.stdout.trimmed();
    co_return root.isEmpty() ? folder : root;
}
