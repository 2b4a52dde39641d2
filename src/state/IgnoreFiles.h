#pragma once

#include "parsers/IgnoreRules.h"

#include <QString>
#include <QStringList>

#include <functional>

// Finds and reads a project's ".gitignore" and ".korvelignore" files.
namespace IgnoreFiles {

// Reads the ignore files of the project folder, of every folder above a candidate path and of a
// candidate path that is itself a folder. Never fails.
IgnoreRules load(const QString &root, const QStringList &candidatePaths);
// The same with the caller telling whether the candidate at an index is a folder; asked only for
// candidates that are not already known as folders above others, at most once for each, and from
// several threads at once.
IgnoreRules load(const QString &root, const QStringList &candidatePaths,
    const std::function<bool(qsizetype candidate)> &candidateIsFolder);

} // namespace IgnoreFiles
