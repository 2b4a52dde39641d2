#pragma once

#include "model/Diff.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

namespace UnifiedDiffParser {

// Reads a unified diff (svn diff, git diff, git show) into files, hunks and numbered lines. svn's
// property changes of a file are further hunks of that file, each headed by the line that names the
// property ("Added: svn:ignore") and numbered by its "## " range; what svn says of an svn:mergeinfo
// change ("Merged /branches/b:r3-4") are notes. Never fails: text that is no diff gives no files.
ParsedDiff parse(const QString &text);

// What the reading finds, in order, for a caller that keeps views into the text instead of copies.
// The views point into the text or, for a context line without its blank, `prefix` is a view of " "
// elsewhere. A file's paths are known only at its end.
class Visitor {
public:
    virtual ~Visitor() = default;
    virtual void beginFile() = 0;
    // The header line, and how many lines the header says follow (bounded by the text left).
    virtual void hunk(QStringView header, qint64 expectedLines) = 0;
    virtual void line(DiffLineKind kind, std::optional<qint64> oldLineNumber, std::optional<qint64> newLineNumber,
        QStringView prefix, QStringView text)
        = 0;
    virtual void endFile(const QString &oldPath, const QString &newPath) = 0;
};
void read(QStringView text, Visitor &visitor);

class Parser;
// The same reading a line at a time, for a caller that keeps the text in another form and hands over
// each line decoded; the views given to the visitor point into the line handed over.
class LineReader {
public:
    explicit LineReader(Visitor &visitor);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // One line without its line feed, and how much text follows it (which bounds what a hunk header
    // promises).
    void readLine(QStringView line, qsizetype textLeft);
    // After the last line.
    void finish();

private:
    std::unique_ptr<Parser> m_parser;
};

// The diff shown for an unversioned file: every line of the text as an addition.
QString unversionedFileDiff(const QString &path, const QString &text);

} // namespace UnifiedDiffParser
