#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Paths inside a working copy, relative to its root folder.

// The path under the folder as the bytes the system knows it by: a name that is not UTF-8 (as
// TextUtil::decodeFileName reads it) gets its exact bytes back, which QFileInfo and QFile cannot give.
QByteArray workingCopyNativePath(const QString &path, const QString &folder);
// A folder there, following a symbolic link.
bool workingCopyPathIsDirectory(const QString &path, const QString &folder);
// Whether the path is on disk; a symbolic link counts as itself, wherever it points. Exact for a name
// whose bytes are not UTF-8.
bool workingCopyPathExists(const QString &path, const QString &folder);
// The path relative to the root ("" for the root itself), or nothing when it lies outside.
std::optional<QString> repositoryRelativePath(const QString &path, const QString &root);
// The normalized relative path of a path typed or listed for the project folder. Throws
// launchFailed with the reason. `trimText` is off for paths taken from the change list, which
// are exact names.
QString normalizedWorkingCopyPath(const QString &text, const QString &root, bool trimText = true);
