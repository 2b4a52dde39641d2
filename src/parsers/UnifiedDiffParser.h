#pragma once

#include "model/Diff.h"

#include <QString>

namespace UnifiedDiffParser {

// Reads a unified diff (svn diff, git diff, git show) into files, hunks and numbered lines.
// Never fails: text that is no diff gives no files.
ParsedDiff parse(const QString &text);

// The diff shown for an unversioned file: every line of the text as an addition.
QString unversionedFileDiff(const QString &path, const QString &text);

} // namespace UnifiedDiffParser
