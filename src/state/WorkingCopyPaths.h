#pragma once

#include <QString>

#include <optional>

// Paths inside a working copy, relative to its root folder.

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
