#include "Diff.h"

QString DiffFile::displayPath() const
{
    if (!newPath.isEmpty() && newPath != u"/dev/null")
        return newPath;
    if (oldPath.isEmpty())
        return QStringLiteral("Diff");
    return oldPath;
}

qsizetype DiffFile::count(DiffLineKind kind) const
{
    qsizetype total = 0;
    for (const DiffHunk &hunk : hunks) {
        for (const DiffLine &line : hunk.lines) {
            if (line.kind == kind)
                ++total;
        }
    }
    return total;
}
