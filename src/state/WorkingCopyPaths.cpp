#include "WorkingCopyPaths.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"
#include "tools/SVNCommandResult.h"

#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// The absolute path with every symbolic link in it resolved, as the system resolves it (by the exact
// bytes of a name that is not UTF-8); what does not exist is taken by its names. Nothing when not even
// "/" resolves.
std::optional<QString> resolvedLocation(const QString &path)
{
    QString existing = path;
    QString rest;
    for (;;) {
        const std::unique_ptr<char, decltype(&::free)> resolved(
            ::realpath(TextUtil::encodeFileName(existing).constData(), nullptr), &::free);
        if (resolved)
            return TextUtil::appendingPathComponent(TextUtil::decodeFileName(resolved.get()), rest);
        const qsizetype slash = existing.lastIndexOf(u'/');
        if (slash < 0 || existing == u"/")
            return std::nullopt;
        rest = TextUtil::appendingPathComponent(existing.mid(slash + 1), rest);
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
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

std::optional<TypedWorkingCopyPath> typedWorkingCopyPath(const QString &typed, const QString &root)
{
    // ".." is taken by its name, as git and svn take it, before anything on the disk is looked at.
    const QString full = QDir::cleanPath(typed.startsWith(u'/') ? typed : root + u'/' + typed);
    const std::optional<QString> folder = resolvedLocation(QDir::cleanPath(root));
    const std::optional<QString> location = resolvedLocation(full);
    if (!folder || !location)
        return std::nullopt;
    if (*location == *folder)
        return TypedWorkingCopyPath{};
    // svn follows a link in the folders of a path into whatever working copy it reaches; the entry
    // itself is acted on as what it is.
    const qsizetype slash = full.lastIndexOf(u'/');
    const std::optional<QString> parent = resolvedLocation(slash > 0 ? full.left(slash) : QStringLiteral("/"));
    if (!parent)
        return std::nullopt;
    std::optional<QString> relative
        = repositoryRelativePath(TextUtil::appendingPathComponent(*parent, full.mid(slash + 1)), *folder);
    if (!relative)
        return std::nullopt;
    return TypedWorkingCopyPath{std::move(*relative), !repositoryRelativePath(*location, *folder).has_value()};
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
