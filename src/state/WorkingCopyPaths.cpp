#include "WorkingCopyPaths.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"
#include "tools/SVNCommandResult.h"

#include <QDir>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

namespace {

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

} // namespace

QByteArray workingCopyNativePath(const QString &path, const QString &folder)
{
    return TextUtil::encodeFileName(TextUtil::appendingPathComponent(folder, path));
}

bool workingCopyPathIsDirectory(const QString &path, const QString &folder)
{
    struct stat info;
    return ::stat(workingCopyNativePath(path, folder).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

DiskEntry workingCopyPathEntry(const QString &path, const QString &folder)
{
    struct stat info;
    if (::lstat(workingCopyNativePath(path, folder).constData(), &info) != 0)
        return DiskEntry::nothing;
    if (S_ISLNK(info.st_mode))
        return DiskEntry::link;
    return S_ISDIR(info.st_mode) ? DiskEntry::folder : DiskEntry::file;
}

bool workingCopyPathExists(const QString &path, const QString &folder)
{
    struct stat info;
    return ::lstat(workingCopyNativePath(path, folder).constData(), &info) == 0;
}

std::optional<QString> repositoryRelativePath(const QString &path, const QString &root)
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

std::optional<QString> typedWorkingCopyPath(const QString &typed, const QString &root)
{
    const QString full = QDir::cleanPath(typed.startsWith(u'/') ? typed : root + u'/' + typed);
    if (std::optional<QString> relative = repositoryRelativePath(full, root))
        return relative;
    // git and svn find the folder through links on the way to it, as the system does: the part of the
    // path that leads there is compared by what it names, and what follows by its names.
    const QString folder = QFileInfo(root).canonicalFilePath();
    if (folder.isEmpty())
        return std::nullopt;
    const QStringList names = full.split(u'/', Qt::SkipEmptyParts);
    QString leading;
    for (qsizetype i = 0; i < names.size(); ++i) {
        leading += u'/' + names[i];
        if (QFileInfo(leading).canonicalFilePath() == folder)
            return names.mid(i + 1).join(u'/');
    }
    return std::nullopt;
}

QString normalizedWorkingCopyPath(const QString &text, const QString &root, bool trimText)
{
    // Checked before trimming: a name ending in a line break must not turn into another name, and
    // one holding a break would write a second rule of its own.
    if (std::any_of(text.begin(), text.end(), isNewline))
        throw SVNClientError::launchFailed(QStringLiteral("Ignore paths cannot contain newlines."));
    // An ignore file is read as UTF-8, by git and by this program alike.
    if (TextUtil::holdsUndecodableBytes(text))
        throw SVNClientError::launchFailed(
            QStringLiteral("Ignore paths must be valid UTF-8: ") + TextUtil::displayFileName(text) + u'.');
    const QString path = trimText ? TextUtil::trimmed(text) : text;
    if (path.isEmpty())
        throw SVNClientError::launchFailed(QStringLiteral("Enter a path inside the selected working copy."));

    QString normalized;
    if (path.startsWith(u'/')) {
        const std::optional<QString> relative = repositoryRelativePath(QDir::cleanPath(path), root);
        if (!relative)
            throw SVNClientError::launchFailed(QStringLiteral("Choose a path inside ") + QDir::cleanPath(root) + u'.');
        normalized = *relative;
    } else {
        normalized = IgnoreRules::normalizePath(path);
    }
    if (normalized.isEmpty() || normalized == u'.')
        throw SVNClientError::launchFailed(QStringLiteral("Choose a file or directory below the working copy root."));
    if (normalized.split(u'/').contains(QStringLiteral("..")))
        throw SVNClientError::launchFailed(QStringLiteral("Ignore paths cannot contain '..'."));
    return normalized;
}

QFileInfoList workingCopyFolderEntries(const QString &path, const QString &folder)
{
    return QDir(TextUtil::appendingPathComponent(folder, path))
        .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool isRepositoryAdministrativePath(QStringView path)
{
    // One look at each component's start: the status filter asks this of every listed path.
    for (qsizetype start = 0; start < path.size();) {
        qsizetype end = path.indexOf(u'/', start);
        if (end < 0)
            end = path.size();
        const QStringView component = path.sliced(start, end - start);
        if (component.size() == 4 && component[0] == u'.' && (component == u".git" || component == u".svn"))
            return true;
        start = end + 1;
    }
    return false;
}

QStringList nestedGitEntries(const QStringList &folders, const QString &root)
{
    QStringList found;
    std::vector<QString> pending(folders.rbegin(), folders.rend());
    while (!pending.empty()) {
        const QString current = pending.back();
        pending.pop_back();
        const QFileInfoList entries = workingCopyFolderEntries(current, root);
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            const QString name = entry->fileName();
            const QString relative = current + u'/' + name;
            if (name == u".git")
                found.push_back(relative);
            else if (name != u".svn" && entry->isDir() && !entry->isSymLink())
                pending.push_back(relative);
        }
    }
    return found;
}
