#pragma once

#include "model/Diff.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <limits>
#include <utility>

// Fixed measures of the diff view, in logical pixels.
namespace DiffGeometry {
inline constexpr int padding = 12;
inline constexpr int cardSpacing = 12;
inline constexpr int cardMinWidth = 760;
inline constexpr qreal cornerRadius = 6;
inline constexpr int headerPaddingX = 12;
inline constexpr int headerPaddingY = 8;
inline constexpr int headerSpacing = 10;
inline constexpr int spacerMinLength = 8;
inline constexpr QSize symbolSize{13, 16};
inline constexpr int dividerHeight = 1;
inline constexpr int numberWidth = 46;
inline constexpr int gutterTrailing = 8;
inline constexpr int gutterWidth = numberWidth + gutterTrailing;
inline constexpr int prefixWidth = 24;
inline constexpr int codeX = 2 * gutterWidth + prefixWidth;
inline constexpr int codeMinWidth = 560;
inline constexpr int codeTrailing = 12;
inline constexpr int hunkTextPadding = 8;
inline constexpr int lineMinHeight = 22;
inline constexpr int hunkMinHeight = 24;
// Tab stops, in cells of the code font, counted from the start of the code text.
inline constexpr int tabWidth = 4;
} // namespace DiffGeometry

// Places the characters of one line of code in a monospaced font the way the view draws them: tabs jump to
// fixed stops, a final carriage return takes no room, other control characters are shown as their pictures,
// so a row never breaks. Lines of printable ASCII, nearly all of them, are measured by arithmetic alone.
class DiffTextMetrics {
public:
    DiffTextMetrics() = default;
    explicit DiffTextMetrics(const QFont &font);

    const QFont &font() const { return m_font; }
    qreal cellWidth() const { return m_cell; }

    static bool isPlain(QStringView text);
    // One line of text with every control character shown as its picture (for paths and prefixes).
    static QString singleLine(QStringView text);

    // The measures below take whether the text is plain (isPlain) when the caller knows it already.
    qreal width(QStringView text) const { return width(text, isPlain(text)); }
    qreal width(QStringView text, bool plain) const;
    // The x of the caret before the character at index.
    qreal xOf(QStringView text, qsizetype index) const { return xOf(text, index, isPlain(text)); }
    qreal xOf(QStringView text, qsizetype index, bool plain) const;
    // The caret index nearest to x.
    qsizetype indexAt(QStringView text, qreal x) const { return indexAt(text, x, isPlain(text)); }
    qsizetype indexAt(QStringView text, qreal x, bool plain) const;

    struct Run {
        qreal x = 0;
        QString text;
    };
    // What to draw of the text to cover [left, right): a few runs, each drawn at its x.
    QList<Run> visibleRuns(QStringView text, qreal left, qreal right) const
    {
        return visibleRuns(text, left, right, isPlain(text));
    }
    QList<Run> visibleRuns(QStringView text, qreal left, qreal right, bool plain) const;

private:
    struct Step {
        qsizetype index;
        int units;
        qreal x;
        qreal width;
        char32_t shown; // 0: nothing drawn (tab, final carriage return)
    };
    template <typename Visit> void walk(QStringView text, Visit visit) const;
    qreal advanceOf(char32_t character) const;

    QFont m_font;
    qreal m_cell = 0;
    mutable QHash<char32_t, qreal> m_advances;
};

// The fonts and row heights of the diff view. Row heights are constant per kind of row.
struct DiffMetrics {
    QFont codeFont;
    QFont pathFont;
    QFont hunkFont;
    QFont captionFont;
    DiffTextMetrics code;
    DiffTextMetrics hunk;
    int lineHeight = DiffGeometry::lineMinHeight;
    int hunkHeight = DiffGeometry::hunkMinHeight;
    int headerHeight = 32;

    static DiffMetrics standard();
};

// The geometry of a parsed diff as file cards: where every card and row lies in content coordinates. The texts
// are kept in one buffer of UTF-8, rows being places in it, so a diff of many lines costs few allocations and
// little more than its bytes; a row's text is decoded when it is drawn.
class DiffLayout {
public:
    enum class RowKind : quint8 { hunkHeader, line };
    static constexpr qint64 noNumber = std::numeric_limits<qint64>::min();

    // Kept small: a diff of a million lines has a million rows.
    struct Row {
        qint64 oldNumber = noNumber;
        qint64 newNumber = noNumber;
        // In bytes of the text: the prefix, then the text; only the text when the prefix lies apart.
        qsizetype textStart = 0;
        qint32 textLength = 0;
        qint32 card = 0;
        qint32 top = 0;
        quint8 prefixLength = 0;
        RowKind kind = RowKind::line;
        DiffLineKind lineKind = DiffLineKind::context;
        // Printable ASCII only.
        bool plain : 1 = true;
        // A context line written without its blank: the prefix " " is not in the text.
        bool prefixApart : 1 = false;
    };

    struct Card {
        qint32 top = 0;
        qint32 height = 0;
        qint32 width = 0;
        qint32 firstRow = 0;
        qint32 endRow = 0;
        QString path;
        qsizetype additions = 0;
        qsizetype deletions = 0;
    };

    DiffLayout() = default;
    DiffLayout(const ParsedDiff &diff, DiffMetrics metrics);
    // Reads the diff text (UTF-8) itself and keeps it, sharing it with the caller: rows are places in it.
    DiffLayout(const QByteArray &diffText, DiffMetrics metrics);

    const DiffMetrics &metrics() const { return m_metrics; }
    const QList<Card> &cards() const { return m_cards; }
    const QList<Row> &rows() const { return m_rows; }
    bool isEmpty() const { return m_cards.isEmpty(); }
    QSize contentSize() const { return m_contentSize; }
    // Cards fill the width of a view wider than they need, so the counts stand at its trailing edge.
    void setViewWidth(int width) { m_fillWidth = std::max(0, width - 2 * DiffGeometry::padding); }
    int cardWidth(const Card &card) const { return std::max<int>(card.width, m_fillWidth); }

    QString prefix(const Row &row) const
    {
        return row.prefixApart ? QStringLiteral(" ")
                               : QString::fromUtf8(m_text.constData() + row.textStart, row.prefixLength);
    }
    QString text(const Row &row) const
    {
        const char *start = m_text.constData() + row.textStart + (row.prefixApart ? 0 : row.prefixLength);
        return row.plain ? QString::fromLatin1(start, row.textLength) : QString::fromUtf8(start, row.textLength);
    }
    // The text the rows are places in.
    const QByteArray &utf8() const { return m_text; }
    int rowHeight(const Row &row) const
    {
        return row.kind == RowKind::line ? m_metrics.lineHeight : m_metrics.hunkHeight;
    }

    QRect cardRect(int card) const;
    QRect headerRect(int card) const;
    QRect rowRect(int row) const;
    // The x of the code text's start in content coordinates.
    static int codeLeft() { return DiffGeometry::padding + DiffGeometry::codeX; }

    // The row whose band holds y, or -1 (between cards, on a header strip, below the end).
    int rowAt(int y) const;
    // The rows and the cards that reach into [top, bottom), as [first, end).
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    std::pair<int, int> cardsBetween(int top, int bottom) const;
    // The first code line whose band ends below y, or -1.
    int lineAtOrBelow(int y) const;
    // The nearest code line at or before / after a row, or -1.
    int lineAtOrBefore(int row) const;
    int lineAtOrAfter(int row) const;

private:
    class Builder;
    // Reads m_text into rows and cards; false when a line is not UTF-8.
    bool readText();

    DiffMetrics m_metrics;
    QByteArray m_text;
    QList<Row> m_rows;
    QList<Card> m_cards;
    QSize m_contentSize;
    int m_fillWidth = 0;
};
