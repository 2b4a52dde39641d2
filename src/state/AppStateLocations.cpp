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

bool AppState::workingCopyPathIsDirectory(const QString &path, const QString &folder)
{
    return QFileInfo(TextUtil::appendingPathComponent(folder, path)).isDir();
}

std::optional<QString> AppState::repositoryRelativePath(const QString &path, const QString &root)
{
    const QString rootPath = QDir::cleanPath(root);
    const QString fullPath = QDir::cleanPath(path);
    if (fullPath == rootPath)
        return QString();
    const QString prefix = rootPath + u'/';
    if (fullPath.startsWith(prefix))
        return IgnoreRules::normalizePath(fullPath.mid(prefix.size()));
    return std::nullopt;
}

QString AppState::ignoreFileURL(const Project &project)
{
    const QString gitignore = TextUtil::appendingPathComponent(project.url(), QStringLiteral(".gitignore"));
    // Any entry counts, even a dangling link or a folder of that name.
    if (QFileInfo(gitignore).exists() || QFileInfo(gitignore).isSymLink())
        return gitignore;
    return TextUtil::appendingPathComponent(project.url(), QStringLiteral(".korvelignore"));
}

QString AppState::escapedIgnorePattern(const QString &path)
{
    QString escaped;
    escaped.reserve(path.size() + 8);
    for (QChar c : path) {
        switch (c.unicode()) {
        case u'\\':
        case u' ':
        case u'#':
        case u'!':
        case u'*':
        case u'?':
        case u'[':
        case u']':
            escaped += u'\\';
            break;
        default:
            break;
        }
        escaped += c;
    }
    return escaped;
}
