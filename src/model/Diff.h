#pragma once

#include <QList>
#include <QString>

#include <optional>

enum class DiffLineKind : quint8 { context, addition, deletion, hunk, note };

struct DiffLine {
    qint64 id = 0;
    std::optional<qint64> oldLineNumber;
    std::optional<qint64> newLineNumber;
    DiffLineKind kind = DiffLineKind::context;
    QString prefix;
    QString text;

    bool operator==(const DiffLine &) const = default;
};

struct DiffHunk {
    qint64 id = 0;
    QString header;
    QList<DiffLine> lines;

    bool operator==(const DiffHunk &) const = default;
};

struct DiffFile {
    qint64 id = 0;
    QString oldPath;
    QString newPath;
    QList<DiffHunk> hunks;

    // The title of the file's card.
    QString displayPath() const;
    qsizetype additions() const { return count(DiffLineKind::addition); }
    qsizetype deletions() const { return count(DiffLineKind::deletion); }

    bool operator==(const DiffFile &) const = default;

private:
    qsizetype count(DiffLineKind kind) const;
};

struct ParsedDiff {
    QList<DiffFile> files;

    bool operator==(const ParsedDiff &) const = default;
};
