#pragma once

#include "model/Project.h"
#include "parsers/IgnoreRules.h"

#include <QString>
#include <QStringList>

// The rules the ignore and include actions append to a project's ignore file.

// The project's .gitignore when any entry of that name exists, else its .korvelignore.
QString ignoreFileURL(const Project &project);
QString escapedIgnorePattern(const QString &path);
QString ignorePattern(const QString &path, bool isDirectory);
// The rules that re-include the path, given the rules in force. Each ancestor folder those rules
// exclude (itself, or with a folder above it) gets "!/A/" and then "/A/*": it comes back with its other
// entries still hidden, as everything in an excluded folder was. Any other folder gets no rule, so
// nothing in it that was shown is hidden.
QStringList includePatterns(const QString &path, bool isDirectory, const IgnoreRules &current = IgnoreRules());
