#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <optional>

// Paths inside a working copy, relative to its root folder.

// The path under the folder as the bytes the system knows it by: a name that is not UTF-8 (as
// TextUtil::decodeFileName reads it) gets its exact bytes back, which QFileInfo and QFile cannot give.
QByteArray workingCopyNativePath(const QString &path, const QString &folder);
// A folder there, following a symbolic link.
bool workingCopyPathIsDirectory(const QString &path, const QString &folder);
// What stands at the path, a symbolic link as itself.
enum class DiskEntry { nothing, file, link, folder };
DiskEntry workingCopyPathEntry(const QString &path, const QString &folder);
// Whether the path is on disk; a symbolic link counts as itself, wherever it points. Exact for a name
// whose bytes are not UTF-8.
bool workingCopyPathExists(const QString &path, const QString &folder);
// The path relative to the root ("" for the root itself), or nothing when it lies outside.
std::optional<QString> repositoryRelativePath(const QString &path, const QString &root);
// A path typed for the project folder as the tools read it: relative to the folder ("" for the folder
// itself), ".." and "." taken by their names, the folders on the way with their symbolic links
// resolved, and the last component as the entry it is. Nothing when those folders lead outside.
struct TypedWorkingCopyPath {
    QString path;
    // The entry is a symbolic link that leads outside: a tool acts on it only as a link it versions.
    bool linkLeadsOutside = false;
};
std::optional<TypedWorkingCopyPath> typedWorkingCopyPath(const QString &typed, const QString &root);
// The normalized relative path of a path typed or listed for the project folder. Throws
// launchFailed with the reason. `trimText` is off for paths taken from the change list, which
// are exact names.
QString normalizedWorkingCopyPath(const QString &text, const QString &root, bool trimText = true);

// Everything in the folder at the path, hidden entries included, by name.
QFileInfoList workingCopyFolderEntries(const QString &path, const QString &folder);
// Whether the path is, or lies in, a repository's own folder (".git" or ".svn" as any of its
// components): a nested repository's private files, which the project never lists or commits.
bool isRepositoryAdministrativePath(QStringView path);
// The ".git" entries (folders, or the files of linked work trees) below the folders, relative like
// them; symbolic links are not followed and nothing below a ".git" or ".svn" is looked at.
QStringList nestedGitEntries(const QStringList &folders, const QString &root);
