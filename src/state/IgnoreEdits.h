#pragma once

#include "model/Project.h"

#include <QString>
#include <QStringList>

// The rules the ignore and include actions append to a project's ignore file.

// The project's .gitignore when any entry of that name exists, else its .korvelignore.
QString ignoreFileURL(const Project &project);
QString escapedIgnorePattern(const QString &path);
QString ignorePattern(const QString &path, bool isDirectory);
QStringList includePatterns(const QString &path, bool isDirectory);
