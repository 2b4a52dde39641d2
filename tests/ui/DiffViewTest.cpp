#include "DiffSamples.h"

#include "parsers/UnifiedDiffParser.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffLayout.h"
#include "ui/diff/DiffRows.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/Theme.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace {

using namespace DiffSamples;

DiffLine line(DiffLineKind kind, std::optional<qint64> oldNumber, std::optional<qint64> newNumber,
    const QString &prefix, const QString &text)
{
    static qint64 nextId = 0;
    DiffLine result;
    result.id = nextId++;
    result.kind = kind;
    result.oldLineNumber = oldNumber;
    result.newLineNumber = newNumber;
    result.prefix = prefix;
    result.text = text;
    return result;
}

DiffFile file(qint64 id, const QString &path, QList<DiffHunk> hunks)
{
    DiffFile result;
    result.id = id;
    result.oldPath = path;
    result.newPath = path;
    result.hunks = std::move(hunks);
    return result;
}

DiffHunk hunk(qint64 id, const QString &header, QList<DiffLine> lines)
{
    DiffHunk result;
    result.id = id;
    result.header = header;
    result.lines = std::move(lines);
    return result;
}

bool near(QColor actual, QColor expected, int tolerance = 2)
{
    return std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
}

std::string describe(QColor color)
{
    return color.name().toStdString();
}

// Columns of the band [left, right) x [top, bottom) where a pixel differs clearly from the background, taken at
// the band's top right.
QList<int> inkColumns(const QImage &image, int left, int right, int top, int bottom)
{
    QList<int> columns;
    const QColor background = image.pixelColor(right - 2, top);
    for (int x = left; x < right; ++x) {
        for (int y = top; y < bottom; ++y) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - background.red()) + std::abs(pixel.green() - background.green())
                    + std::abs(pixel.blue() - background.blue())
                > 60) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

struct ShownCanvas {
    explicit ShownCanvas(
        const ParsedDiff &diff, QSize size = QSize(1000, 600), const QPalette &palette = lightPalette())
    {
        canvas.setPalette(palette);
        canvas.resize(size);
        canvas.setDiff(diff);
        canvas.show();
        QCoreApplication::processEvents();
    }
    QImage image() { return canvas.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    DiffCanvas canvas;
};

} // namespace

TEST(DiffLayout, StacksCardsWithPaddingSpacingAndTouchingRows)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("a.txt"),
                      {hunk(0, QStringLiteral("@@ -1,2 +1,2 @@"),
                           {line(DiffLineKind::context, 1, 1, QStringLiteral(" "), QStringLiteral("same")),
                               line(DiffLineKind::deletion, 2, {}, QStringLiteral("-"), QStringLiteral("old")),
                               line(DiffLineKind::addition, {}, 2, QStringLiteral("+"), QStringLiteral("new"))}),
                          hunk(1, QStringLiteral("@@ -9 +9 @@"), {})}),
        file(1, QStringLiteral("bin.png"), {})};
    const DiffLayout layout(diff, DiffMetrics::standard());
    const DiffMetrics &metrics = layout.metrics();
    EXPECT_EQ(metrics.lineHeight, 22);
    EXPECT_EQ(metrics.hunkHeight, 24);
    EXPECT_GE(metrics.headerHeight, 2 * 8 + 16);

    ASSERT_EQ(layout.cards().size(), 2);
    ASSERT_EQ(layout.rows().size(), 5);
    const QRect first = layout.cardRect(0);
    EXPECT_EQ(first.topLeft(), QPoint(12, 12));
    EXPECT_EQ(first.width(), 760);
    EXPECT_EQ(layout.headerRect(0), QRect(12, 12, 760, metrics.headerHeight));
    // The divider lies between the header strip and the first hunk header.
    EXPECT_EQ(layout.rows().at(0).top, 12 + metrics.headerHeight + 1);
    const QList<int> heights = {24, 22, 22, 22, 24};
    int y = layout.rows().at(0).top;
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(layout.rowRect(row), QRect(12, y, 760, heights[row])) << row;
        y += heights[row];
    }
    EXPECT_EQ(first.bottom() + 1, y);
    EXPECT_EQ(layout.cards().at(0).additions, 1);
    EXPECT_EQ(layout.cards().at(0).deletions, 1);

    // A file without hunks is its header strip and divider, with both counts zero.
    const QRect second = layout.cardRect(1);
    EXPECT_EQ(second.top(), first.bottom() + 1 + 12);
    EXPECT_EQ(second.height(), metrics.headerHeight + 1);
    EXPECT_EQ(layout.cards().at(1).additions, 0);
    EXPECT_EQ(layout.cards().at(1).deletions, 0);
    EXPECT_EQ(layout.contentSize(), QSize(12 + 760 + 12, second.bottom() + 1 + 12));
}

TEST(DiffLayout, FindsTheRowUnderAPositionAndTheRowsOfABand)
{
    ParsedDiff diff;
    for (int f = 0; f < 40; ++f) {
        QList<DiffLine> lines;
        for (int l = 0; l < f % 7; ++l)
            lines.append(line(DiffLineKind::context, l + 1, l + 1, QStringLiteral(" "), QStringLiteral("x")));
        diff.files.append(file(f, QStringLiteral("f%1").arg(f), {hunk(f, QStringLiteral("@@ -1 +1 @@"), lines)}));
    }
    const DiffLayout layout(diff, DiffMetrics::standard());
    const auto &rows = layout.rows();
    for (int row = 0; row < rows.size(); ++row) {
        const QRect rect = layout.rowRect(row);
        ASSERT_EQ(layout.rowAt(rect.top()), row);
        ASSERT_EQ(layout.rowAt(rect.bottom()), row);
    }
    for (int card = 0; card < layout.cards().size(); ++card) {
        const QRect rect = layout.cardRect(card);
        EXPECT_EQ(layout.rowAt(rect.top()), -1) << "header strip of card " << card;
        EXPECT_EQ(layout.rowAt(rect.bottom() + 6), -1) << "gap after card " << card;
    }
    EXPECT_EQ(layout.rowAt(-1), -1);
    EXPECT_EQ(layout.rowAt(0), -1);
    EXPECT_EQ(layout.rowAt(layout.contentSize().height()), -1);

    // Card 6 holds a hunk header and six lines.
    const int header = layout.cards().at(6).firstRow;
    const auto [first, end]
        = layout.rowsBetween(layout.rowRect(header + 1).top() - 1, layout.rowRect(header + 3).top() + 1);
    EXPECT_EQ(first, header);
    EXPECT_EQ(end, header + 4);
    const auto [firstCard, endCard] = layout.cardsBetween(layout.cardRect(5).top(), layout.cardRect(6).top() + 1);
    EXPECT_EQ(firstCard, 5);
    EXPECT_EQ(endCard, 7);
}

TEST(DiffLayout, WidensEachCardToItsWidestLineOrHunkHeader)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("short"),
                      {hunk(0, QStringLiteral("@@ -1 +1 @@"),
                          {line(DiffLineKind::addition, {}, 1, QStringLiteral("+"), QString(200, u'x'))})}),
        file(1, QStringLiteral("header"), {hunk(1, QStringLiteral("@@ ") + QString(300, u'h'), {})}),
        file(2, QStringLiteral("tabs"),
            {hunk(2, QStringLiteral("@@ -1 +1 @@"),
                {line(DiffLineKind::context, 1, 1, QStringLiteral(" "), QString(80, u'\t'))})}),
        file(3, QStringLiteral("narrow"), {})};
    const DiffLayout layout(diff, DiffMetrics::standard());
    const qreal cell = layout.metrics().code.cellWidth();
    const qreal hunkCell = layout.metrics().hunk.cellWidth();
    EXPECT_EQ(layout.cardRect(0).width(), int(std::ceil(54 + 54 + 24 + 200 * cell + 12)));
    EXPECT_EQ(layout.cardRect(1).width(), int(std::ceil(54 + 54 + 8 + 303 * hunkCell + 8)));
    EXPECT_EQ(layout.cardRect(2).width(), int(std::ceil(54 + 54 + 24 + 80 * 4 * cell + 12)));
    EXPECT_EQ(layout.cardRect(3).width(), 760);
    const int widest = std::max({layout.cardRect(0).width(), layout.cardRect(1).width(), layout.cardRect(2).width()});
    EXPECT_EQ(layout.contentSize().width(), 12 + widest + 12);
}

TEST(DiffTextMetrics, ExpandsTabsHidesAFinalCarriageReturnAndPicturesControls)
{
    const DiffTextMetrics metrics(Theme::monospaced(Theme::bodySize));
    const qreal cell = metrics.cellWidth();
    ASSERT_GT(cell, 5);
    EXPECT_DOUBLE_EQ(metrics.width(u"\t"), 4 * cell);
    EXPECT_DOUBLE_EQ(metrics.width(u"a\tb"), 5 * cell);
    EXPECT_DOUBLE_EQ(metrics.width(u"abcd\t"), 8 * cell);
    EXPECT_DOUBLE_EQ(metrics.width(u"ab\r"), 2 * cell);

    const auto runs = metrics.visibleRuns(u"a\tb\u0001c\r", 0, 1000);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].text, QStringLiteral("a"));
    EXPECT_DOUBLE_EQ(runs[1].x, 4 * cell);
    EXPECT_EQ(runs[1].text, QStringLiteral("b\u2401c"));
    EXPECT_EQ(DiffTextMetrics::singleLine(u"a\nb\tc\u007F\r"), QStringLiteral("a\u240Ab\u2409c\u2421"));

    for (const QString &text : {QStringLiteral("plain text"), QStringLiteral("\tmixed\ttabs\u00E9\U0001F600 end")}) {
        for (qsizetype index = 0; index <= text.size(); ++index) {
            if (index < text.size() && text[index].isLowSurrogate())
                continue;
            EXPECT_EQ(metrics.indexAt(text, metrics.xOf(text, index) + 0.4), index) << text.toStdString() << index;
        }
    }

    // Of a long line only the columns in the window are handed out.
    const QString longLine = QString(100000, u'y');
    const auto window = metrics.visibleRuns(longLine, 50000 * cell + 1, 50100 * cell);
    ASSERT_EQ(window.size(), 1);
    EXPECT_DOUBLE_EQ(window[0].x, 50000 * cell);
    EXPECT_LE(window[0].text.size(), 101);
}

TEST(DiffCodeLineView, WritesLineNumbersAsPlainDigits)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DiffCodeLineView::lineNumber(std::nullopt), QString());
    EXPECT_EQ(DiffCodeLineView::lineNumber(7), QStringLiteral("7"));
    EXPECT_EQ(DiffCodeLineView::lineNumber(1234567), QStringLiteral("1234567"));
    QLocale::setDefault(previous);
}

TEST(DiffCanvasPaint, TintsRowsAndGuttersByKindInBothAppearances)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("kinds.txt"),
        {hunk(0, QStringLiteral("@@ -1,4 +1,4 @@"),
            {line(DiffLineKind::context, 1, 1, QStringLiteral(" "), QStringLiteral("context")),
                line(DiffLineKind::addition, {}, 2, QStringLiteral("+"), QStringLiteral("added")),
                line(DiffLineKind::deletion, 2, {}, QStringLiteral("-"), QStringLiteral("deleted")),
                line(DiffLineKind::hunk, 3, 3, QStringLiteral(" "), QStringLiteral("hunk kind")),
                line(DiffLineKind::note, {}, {}, QString(), QStringLiteral("\\ note"))})})};
    for (const QPalette &palette : {lightPalette(), darkPalette()}) {
        ShownCanvas shown(diff, QSize(1000, 600), palette);
        const QImage image = shown.image();
        const QColor base = Theme::textBackground(palette);
        const DiffLayout &layout = shown.canvas.diffLayout();
        const QRect card = layout.cardRect(0);

        EXPECT_TRUE(near(image.pixelColor(card.left() + 400, card.top() + 3), Theme::windowBackground(palette)));
        const int divider = card.top() + layout.metrics().headerHeight;
        EXPECT_TRUE(
            near(image.pixelColor(card.left() + 400, divider), Theme::composite(Theme::separator(palette), base)))
            << describe(image.pixelColor(card.left() + 400, divider));

        const QRect header = layout.rowRect(0);
        const QColor tint = Theme::composite(DiffHunkView::headerBackground(palette), base);
        EXPECT_TRUE(near(image.pixelColor(header.left() + 5, header.top() + 2), tint));
        EXPECT_TRUE(near(image.pixelColor(header.left() + 60, header.top() + 2), tint));
        EXPECT_TRUE(near(image.pixelColor(header.left() + 700, header.top() + 2), tint));

        for (int row = 1; row < 6; ++row) {
            const DiffLineKind kind = layout.rows().at(row).lineKind;
            const QRect rect = layout.rowRect(row);
            const QColor rowColor = Theme::composite(DiffCodeLineView::rowBackground(kind, palette), base);
            const QColor gutterColor = Theme::composite(DiffCodeLineView::gutterBackground(kind, palette), rowColor);
            const QColor code = image.pixelColor(rect.left() + 700, rect.top() + 1);
            const QColor oldGutter = image.pixelColor(rect.left() + 5, rect.top() + 1);
            const QColor newGutter = image.pixelColor(rect.left() + 54 + 5, rect.bottom() - 1);
            EXPECT_TRUE(near(code, rowColor)) << row << " " << describe(code) << " " << describe(rowColor);
            EXPECT_TRUE(near(oldGutter, gutterColor)) << row << " " << describe(oldGutter);
            EXPECT_TRUE(near(newGutter, gutterColor)) << row << " " << describe(newGutter);
        }
        // A hunk-kind line looks like a context line; the tints are those of the table.
        EXPECT_EQ(image.pixelColor(layout.rowRect(4).left() + 700, layout.rowRect(4).top() + 1),
            image.pixelColor(layout.rowRect(1).left() + 700, layout.rowRect(1).top() + 1));
        EXPECT_TRUE(near(image.pixelColor(layout.rowRect(2).left() + 700, layout.rowRect(2).top() + 1),
            Theme::composite(Theme::withOpacity(Theme::green(palette), 0.16), base)));
        EXPECT_TRUE(near(image.pixelColor(layout.rowRect(3).left() + 5, layout.rowRect(3).top() + 1),
            Theme::composite(Theme::withOpacity(Theme::red(palette), 0.20),
                Theme::composite(Theme::withOpacity(Theme::red(palette), 0.14), base))));
        // Successive additions and deletions touch: no seam between the rows.
        EXPECT_TRUE(near(image.pixelColor(layout.rowRect(2).left() + 700, layout.rowRect(2).bottom()),
            image.pixelColor(layout.rowRect(2).left() + 700, layout.rowRect(2).top())));
    }
}

TEST(DiffCanvasPaint, RightAlignsLineNumbersInTheirGutters)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("numbers.txt"),
        {hunk(0, QStringLiteral("@@ -1234567 +5 @@"),
            {line(DiffLineKind::deletion, 1234567, {}, QStringLiteral("-"), QStringLiteral("gone")),
                line(DiffLineKind::context, 9, 5, QStringLiteral(" "), QString())})})};
    ShownCanvas shown(diff);
    const QImage image = shown.image();
    const DiffLayout &layout = shown.canvas.diffLayout();

    const QRect deleted = layout.rowRect(1);
    const QList<int> oldInk
        = inkColumns(image, deleted.left() + 1, deleted.left() + 54, deleted.top(), deleted.bottom());
    ASSERT_FALSE(oldInk.isEmpty());
    EXPECT_GE(oldInk.first(), deleted.left());
    EXPECT_LT(oldInk.last(), deleted.left() + 46);
    EXPECT_GE(oldInk.last(), deleted.left() + 42);
    EXPECT_GE(oldInk.last() - oldInk.first(), 30) << "all seven digits are drawn";
    EXPECT_TRUE(inkColumns(image, deleted.left() + 54, deleted.left() + 108, deleted.top(), deleted.bottom()).isEmpty())
        << "an absent number leaves its gutter blank";

    const QRect context = layout.rowRect(2);
    const QList<int> newInk
        = inkColumns(image, context.left() + 54, context.left() + 108, context.top(), context.bottom());
    ASSERT_FALSE(newInk.isEmpty());
    EXPECT_GE(newInk.last(), context.left() + 54 + 42);
    EXPECT_LT(newInk.last(), context.left() + 54 + 46);
    EXPECT_LE(newInk.last() - newInk.first(), 8) << "one digit";
}

TEST(DiffCanvasPaint, DrawsTheColumnsOfALongLineWhereTheyBelong)
{
    const QString text = QString(5000, u' ') + QStringLiteral("MMMMMMMMMM") + QString(5000, u' ');
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("wide.txt"),
        {hunk(0, QStringLiteral("@@ -1 +1 @@"), {line(DiffLineKind::context, 1, 1, QStringLiteral(" "), text)})})};
    ShownCanvas shown(diff);
    const qreal cell = shown.canvas.diffLayout().metrics().code.cellWidth();
    const int markX = int(DiffLayout::codeLeft() + 5000 * cell);
    shown.canvas.horizontalScrollBar()->setValue(markX - 400);
    QCoreApplication::processEvents();
    const QImage image = shown.image();
    const QRect band = viewportRect(shown.canvas, 1);
    const QList<int> ink = inkColumns(image, 300, 600, band.top(), band.bottom());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.first(), 400, 2);
    EXPECT_NEAR(ink.last(), 400 + 10 * cell, 2);
}

TEST(DiffView, ShowsThePlaceholderOrTheTrimmedTextWhenTheTextHoldsNoDiff)
{
    DiffView view;
    view.setPalette(lightPalette());
    view.resize(500, 300);
    view.show();
    const QPalette palette = lightPalette();
    const QColor secondary = Theme::composite(Theme::secondary(palette), Theme::textBackground(palette));
    const auto textColor = [&] { return view.plainTextView()->palette().color(QPalette::Text); };

    view.setContent(QString(), QStringLiteral("(select a changed file)"));
    EXPECT_FALSE(view.showsCards());
    EXPECT_EQ(view.plainTextView()->toPlainText(), QStringLiteral("(select a changed file)"));
    EXPECT_EQ(textColor(), secondary);
    EXPECT_EQ(view.plainTextView()->palette().color(QPalette::Base), Theme::textBackground(palette));
    EXPECT_EQ(QFontInfo(view.plainTextView()->font()).family(), QFontInfo(Theme::monospaced(13)).family());
    EXPECT_EQ(view.plainTextView()->font().pixelSize(), 13);

    view.setContent(QStringLiteral(" \n\t\u00A0\u2029\n "), QStringLiteral("(no text diff)"));
    EXPECT_EQ(view.plainTextView()->toPlainText(), QStringLiteral("(no text diff)"));
    EXPECT_EQ(textColor(), secondary);

    view.setContent(QStringLiteral("\n  svn: E155007: '/x' is not a working copy\n\n    detail\tline  \n"),
        QStringLiteral("(no text diff)"));
    EXPECT_FALSE(view.showsCards());
    EXPECT_EQ(view.plainTextView()->toPlainText(),
        QStringLiteral("svn: E155007: '/x' is not a working copy\n\n    detail\tline"));
    EXPECT_EQ(textColor(), Theme::primary(palette));

    const QString bareHunks = QStringLiteral("--- a/x\n+++ b/x\n@@ -1 +1 @@\n-a\n+b\n");
    view.setContent(bareHunks, QStringLiteral("(no text diff)"));
    EXPECT_FALSE(view.showsCards());
    EXPECT_EQ(view.plainTextView()->toPlainText(), bareHunks.trimmed());

    // A long message can be scrolled to its end.
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines.append(QStringLiteral("svn: warning line %1").arg(i));
    view.setContent(lines.join(u'\n'), QStringLiteral("(no text diff)"));
    QCoreApplication::processEvents();
    EXPECT_GT(view.plainTextView()->verticalScrollBar()->maximum(), 0);

    // The placeholder follows the appearance.
    view.setContent(QString(), QStringLiteral("(no text diff)"));
    view.setPalette(darkPalette());
    EXPECT_EQ(textColor(), Theme::composite(Theme::secondary(darkPalette()), Theme::textBackground(darkPalette())));
}

TEST(DiffView, ShowsOneCardPerFileAndSkipsTheTextBeforeTheFirst)
{
    DiffView view;
    view.setContent(sampleGitDiff, QStringLiteral("(no text diff)"));
    ASSERT_TRUE(view.showsCards());
    const DiffLayout &layout = view.canvas()->diffLayout();
    ASSERT_EQ(layout.cards().size(), 3);
    const QList<std::tuple<QString, int, int>> expected = {{QStringLiteral("src/app/main.cpp"), 3, 2},
        {QStringLiteral("docs/removed.txt"), 0, 2}, {QStringLiteral("img.png"), 0, 0}};
    for (int card = 0; card < 3; ++card) {
        EXPECT_EQ(layout.cards().at(card).path, std::get<0>(expected[card]));
        EXPECT_EQ(layout.cards().at(card).additions, std::get<1>(expected[card]));
        EXPECT_EQ(layout.cards().at(card).deletions, std::get<2>(expected[card]));
    }
    for (const auto &row : layout.rows())
        EXPECT_FALSE(layout.text(row).contains(u"warning"));
    const auto &first = layout.rows().at(1);
    EXPECT_EQ(first.oldNumber, 10);
    EXPECT_EQ(first.newNumber, 10);
}

TEST(DiffView, KeepsScrollAndSelectionForTheSameTextAndResetsForANewOne)
{
    QString text = QStringLiteral("Index: big.txt\n@@ -1,300 +1,300 @@\n");
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral(" line %1\n").arg(i);
    DiffView view;
    view.resize(800, 400);
    view.show();
    view.setContent(text, QStringLiteral("(no text diff)"));
    DiffCanvas &canvas = *view.canvas();
    QCoreApplication::processEvents();
    canvas.verticalScrollBar()->setValue(300);
    const int row = canvas.diffLayout().rowAt(300 + 100);
    drag(canvas, caretPoint(canvas, row, 0), caretPoint(canvas, row, 4));
    ASSERT_EQ(canvas.selectedText(), QStringLiteral("line"));
    const auto *rows = canvas.diffLayout().rows().constData();

    const QString sameText = QString(text.constData(), text.size());
    view.setContent(sameText, QStringLiteral("(no text diff)"));
    view.setContent(sameText, QStringLiteral("(select a changed file)"));
    EXPECT_EQ(canvas.diffLayout().rows().constData(), rows) << "the same text is not laid out again";
    EXPECT_EQ(canvas.verticalScrollBar()->value(), 300);
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("line"));

    view.setContent(text + QStringLiteral(" one more\n"), QStringLiteral("(no text diff)"));
    EXPECT_EQ(canvas.verticalScrollBar()->value(), 0);
    EXPECT_FALSE(canvas.hasSelection());
}

TEST(DiffCanvas, SelectsCodeTextAndCopiesTheRealText)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("copy.txt"),
        {hunk(0, QStringLiteral("@@ -1,3 +1,4 @@"),
             {line(DiffLineKind::context, 1, 1, QStringLiteral(" "), QStringLiteral("alpha beta")),
                 line(DiffLineKind::addition, {}, 2, QStringLiteral("+"), QString()),
                 line(DiffLineKind::context, 2, 3, QStringLiteral(" "), QStringLiteral("\tindented\r"))}),
            hunk(1, QStringLiteral("@@ -9 +10 @@"),
                {line(DiffLineKind::deletion, 9, {}, QStringLiteral("-"), QStringLiteral("gamma delta"))})})};
    ShownCanvas shown(diff);
    DiffCanvas &canvas = shown.canvas;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("untouched"));

    QTest::keyClick(&canvas, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("untouched")) << "nothing selected, nothing copied";

    // Across an empty line, a tab, a carriage return and the next hunk's header, which is not text.
    drag(canvas, caretPoint(canvas, 1, 6), caretPoint(canvas, 5, 5));
    QTest::keyClick(&canvas, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("beta\n\n\tindented\r\ngamma"));

    // Backwards, and extended with Shift.
    drag(canvas, caretPoint(canvas, 3, 5), caretPoint(canvas, 3, 1));
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("inde"));
    sendMouse(canvas.viewport(), QEvent::MouseButtonPress, caretPoint(canvas, 5, 11), Qt::ShiftModifier);
    sendMouse(canvas.viewport(), QEvent::MouseButtonRelease, caretPoint(canvas, 5, 11), Qt::ShiftModifier);
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("nted\r\ngamma delta"));

    // A press on a hunk header or a gutter starts at the text next to it.
    const QRect header = viewportRect(canvas, 4);
    drag(canvas, header.center(), caretPoint(canvas, 5, 5));
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("gamma"));
    drag(canvas, QPoint(viewportRect(canvas, 1).left() + 10, viewportRect(canvas, 1).center().y()),
        caretPoint(canvas, 1, 5));
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("alpha"));

    sendMouse(canvas.viewport(), QEvent::MouseButtonDblClick, caretPoint(canvas, 5, 8));
    EXPECT_EQ(canvas.selectedText(), QStringLiteral("delta"));

    // A plain click clears the selection.
    drag(canvas, caretPoint(canvas, 1, 2), caretPoint(canvas, 1, 2));
    EXPECT_FALSE(canvas.hasSelection());
}

TEST(DiffCanvasPaint, ElidesALongPathToLeaveTheCountsTheirPlace)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("a/") + QString(400, u'p') + QStringLiteral("/end.c"),
        {hunk(0, QStringLiteral("@@ -1 +1 @@"),
            {line(DiffLineKind::deletion, 1, {}, QStringLiteral("-"), QStringLiteral("x")),
                line(DiffLineKind::addition, {}, 1, QStringLiteral("+"), QStringLiteral("y"))})})};
    ShownCanvas shown(diff, QSize(1000, 300));
    const QImage image = shown.image();
    const QRect header = shown.canvas.diffLayout().headerRect(0);
    EXPECT_EQ(shown.canvas.diffLayout().cards().at(0).width, 760) << "the path does not widen the card";
    EXPECT_EQ(header.width(), shown.canvas.viewport()->width() - 24) << "the card fills the wider view";

    const QFontMetricsF counts(Theme::caption());
    const int additionsX = int(header.right() + 1 - 12 - counts.horizontalAdvance(QStringLiteral("-1")) - 10
        - counts.horizontalAdvance(QStringLiteral("+1")));
    const QList<int> ink
        = inkColumns(image, header.left() + 40, header.right() - 2, header.top() + 2, header.bottom() - 1);
    const auto countsStart = std::find_if(ink.cbegin(), ink.cend(), [&](int x) { return x >= additionsX - 28; });
    ASSERT_NE(countsStart, ink.cend());
    ASSERT_NE(countsStart, ink.cbegin());
    EXPECT_GE(*countsStart, additionsX - 1) << "nothing between the path and the counts";
    const int pathEnd = *(countsStart - 1);
    EXPECT_GE(pathEnd + 1, additionsX - 28 - 2 * QFontMetricsF(Theme::monospaced(13)).horizontalAdvance(u'M'))
        << "the path fills the room it has";

    // A view narrower than a card scrolls sideways.
    shown.canvas.resize(500, 300);
    EXPECT_EQ(shown.canvas.horizontalScrollBar()->maximum(), 12 + 760 + 12 - shown.canvas.viewport()->width());
}

namespace {

double contrastRatio(QColor a, QColor b)
{
    const auto luminance = [](QColor color) {
        const auto channel
            = [](double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The columns of the scroll bar's groove whose middle pixel stands out from the content's background by
// 3:1: what the eye takes for the thumb.
QList<int> thumbColumns(QScrollBar *bar, QColor background, QRect *groove)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    *groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, bar);
    const QImage image = bar->grab().toImage();
    QList<int> columns;
    for (int x = groove->left(); x <= groove->right(); ++x) {
        if (contrastRatio(image.pixelColor(x, groove->center().y()), background) >= 3)
            columns.append(x);
    }
    return columns;
}

} // namespace

TEST(DiffCanvas, TheHorizontalThumbStandsOutAndFollowsTheContent)
{
    for (const QPalette &palette : {lightPalette(), darkPalette()}) {
        DiffView view;
        view.setPalette(palette);
        view.resize(500, 300);
        view.setContent(wideDiff(), QString());
        view.show();
        QCoreApplication::processEvents();
        DiffCanvas &canvas = *view.canvas();
        QScrollBar *bar = canvas.horizontalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        const QColor background = Theme::textBackground(palette);

        // The card's leading edge shows: the thumb stands at the leading end, and the track does not stand out.
        ASSERT_EQ(canvas.contentOffset().x(), 0);
        QRect groove;
        QList<int> thumb = thumbColumns(bar, background, &groove);
        ASSERT_FALSE(thumb.isEmpty()) << "no part of the bar stands out from the content";
        EXPECT_LE(thumb.first(), groove.left() + 6);
        EXPECT_LT(thumb.last(), groove.center().x());
        const int thumbLength = thumb.last() - thumb.first();
        EXPECT_NEAR(thumbLength, groove.width() * bar->pageStep() / (bar->maximum() + bar->pageStep()), 8);

        // Scrolled to the trailing end, as a wheel turned right or a drag does: the thumb went along.
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        EXPECT_EQ(canvas.contentOffset().x(), bar->maximum());
        thumb = thumbColumns(bar, background, &groove);
        ASSERT_FALSE(thumb.isEmpty());
        EXPECT_GE(thumb.last(), groove.right() - 6);
        EXPECT_GT(thumb.first(), groove.center().x());

        // Dragging the thumb towards the trailing end scrolls the content that way.
        bar->setValue(0);
        QCoreApplication::processEvents();
        thumb = thumbColumns(bar, background, &groove);
        ASSERT_FALSE(thumb.isEmpty());
        const QPoint grip((thumb.first() + thumb.last()) / 2, groove.center().y());
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(bar, grip + QPoint(60, 0));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip + QPoint(60, 0));
        EXPECT_GT(canvas.contentOffset().x(), 0);
        const QList<int> dragged = thumbColumns(bar, background, &groove);
        ASSERT_FALSE(dragged.isEmpty());
        EXPECT_NEAR(dragged.first(), thumb.first() + 60, 3) << "the thumb stays under the pointer";

        // Halfway, halfway.
        bar->setValue(bar->maximum() / 2);
        QCoreApplication::processEvents();
        thumb = thumbColumns(bar, background, &groove);
        ASSERT_FALSE(thumb.isEmpty());
        EXPECT_NEAR((thumb.first() + thumb.last()) / 2.0, groove.center().x(), 8);
    }
}

TEST(DiffCanvas, CardsFillAWidePaneAndScrollInANarrowOne)
{
    ParsedDiff diff;
    diff.files = {file(0, QStringLiteral("src/app.c"),
        {hunk(0, QStringLiteral("@@ -1 +1 @@"),
            {line(DiffLineKind::deletion, 1, {}, QStringLiteral("-"), QStringLiteral("x")),
                line(DiffLineKind::addition, {}, 1, QStringLiteral("+"), QStringLiteral("y"))})})};
    const QPalette palette = lightPalette();

    // Wide: the card reaches 12 from the pane's trailing edge, with its header strip and the counts there.
    ShownCanvas wide(diff, QSize(1300, 400), palette);
    const int viewWidth = wide.canvas.viewport()->width();
    QRect header = wide.canvas.diffLayout().headerRect(0);
    EXPECT_EQ(header.left(), 12);
    EXPECT_EQ(header.right() + 1, viewWidth - 12);
    EXPECT_EQ(wide.canvas.horizontalScrollBar()->maximum(), 0);
    QImage image = wide.image();
    EXPECT_EQ(image.pixelColor(viewWidth - 16, header.top() + 2), Theme::windowBackground(palette))
        << "no blank band beside the card";
    QList<int> ink = inkColumns(image, header.left() + 40, header.right() - 2, header.top() + 2, header.bottom() - 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.last(), viewWidth - 12 - 12 - 3) << "the counts stand at the pane's trailing edge";
    const int codeRow = 2;
    EXPECT_EQ(wide.canvas.diffLayout().rowRect(codeRow).right(), header.right()) << "the rows fill the card too";

    // Narrow: never narrower than 760; the counts come into view at the scroll's end.
    ShownCanvas narrow(diff, QSize(600, 400), palette);
    header = narrow.canvas.diffLayout().headerRect(0);
    EXPECT_EQ(header.width(), 760);
    QScrollBar *bar = narrow.canvas.horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 12 + 760 + 12 - narrow.canvas.viewport()->width());
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    image = narrow.image();
    const QRect shownHeader = header.translated(-narrow.canvas.contentOffset());
    ink = inkColumns(image, std::max(0, shownHeader.left() + 40), shownHeader.right() - 2, shownHeader.top() + 2,
        shownHeader.bottom() - 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.last(), narrow.canvas.viewport()->width() - 12 - 12 - 3);
}

namespace {

void expectSameLayout(const DiffLayout &fromText, const DiffLayout &fromRecords)
{
    ASSERT_EQ(fromText.contentSize(), fromRecords.contentSize());
    ASSERT_EQ(fromText.cards().size(), fromRecords.cards().size());
    for (qsizetype i = 0; i < fromText.cards().size(); ++i) {
        const DiffLayout::Card &a = fromText.cards()[i];
        const DiffLayout::Card &b = fromRecords.cards()[i];
        EXPECT_EQ(std::tuple(a.top, a.height, a.width, a.firstRow, a.endRow, a.path, a.additions, a.deletions),
            std::tuple(b.top, b.height, b.width, b.firstRow, b.endRow, b.path, b.additions, b.deletions));
    }
    ASSERT_EQ(fromText.rows().size(), fromRecords.rows().size());
    for (qsizetype i = 0; i < fromText.rows().size(); ++i) {
        const DiffLayout::Row &a = fromText.rows()[i];
        const DiffLayout::Row &b = fromRecords.rows()[i];
        EXPECT_EQ(std::tuple(a.oldNumber, a.newNumber, a.card, a.top, a.kind, a.lineKind, a.plain),
            std::tuple(b.oldNumber, b.newNumber, b.card, b.top, b.kind, b.lineKind, b.plain))
            << "row " << i;
        EXPECT_EQ(fromText.prefix(a), fromRecords.prefix(b)) << "row " << i;
        EXPECT_EQ(fromText.text(a), fromRecords.text(b)) << "row " << i;
    }
}

} // namespace

TEST(DiffLayout, ReadingTheTextItselfGivesTheLayoutOfTheParsedRecords)
{
    const QString lyingHeader = QStringLiteral("Index: a.txt\n@@ -1,1 +1,1 @@\n-gone\n-- also gone\n+new\n"
                                               "+++ not a header\n context without count\n");
    const QString crlf = QStringLiteral("diff --git a/w.txt b/w.txt\r\n--- a/w.txt\r\n+++ b/w.txt\r\n@@ -1 +1 @@\r\n"
                                        "-old\r\n+new\r\n");
    // Lines beyond ASCII take other room in UTF-8 than in the decoded text.
    const QString wider = QString::fromUtf16(u"Index: caf\u00e9.txt\n@@ -1,3 +1,3 @@\n-d\u00e9j\u00e0 \U0001F600 vu\n"
                                             u"+\u65e5\u672c\u8a9e\t\u00e9\n\u00e9 without its blank\n \ufeffmark\n"
                                             u"\\ No newline at end of \u00e9\n");
    const DiffMetrics metrics = DiffMetrics::standard();
    for (const QString &text : {sampleGitDiff, wideDiff(), longPathDiff(), lyingHeader, crlf, wider,
             svnPropertiesDiff(), QStringLiteral("no diff at all\n"), QString(), QStringLiteral("Index: only.txt\n")}) {
        SCOPED_TRACE(text.left(40).toStdString());
        const DiffLayout fromText(text.toUtf8(), metrics);
        expectSameLayout(fromText, DiffLayout(UnifiedDiffParser::parse(text), metrics));
        if (fromText.isEmpty())
            EXPECT_TRUE(fromText.rows().isEmpty());
    }
}

// Bytes that are not UTF-8 show as replacement characters; the lines after them keep their own text.
TEST(DiffLayout, ReadsBytesThatAreNotUtf8AsReplacementCharacters)
{
    const QByteArray bytes = "Index: a.txt\n@@ -1,2 +1,2 @@\n-\xff\xfe old\n-cut \xe2\x82\n+n\xc3\xa9w\n+plain\n";
    const DiffLayout layout(bytes, DiffMetrics::standard());
    ASSERT_EQ(layout.rows().size(), 5);
    EXPECT_EQ(layout.text(layout.rows().at(1)), QString::fromUtf16(u"\ufffd\ufffd old"));
    EXPECT_EQ(layout.text(layout.rows().at(2)), QString::fromUtf8("cut \xe2\x82"));
    EXPECT_TRUE(layout.text(layout.rows().at(2)).endsWith(u'\ufffd'));
    EXPECT_EQ(layout.text(layout.rows().at(3)), QString::fromUtf16(u"n\u00e9w"));
    EXPECT_EQ(layout.prefix(layout.rows().at(4)), "+");
    EXPECT_EQ(layout.text(layout.rows().at(4)), "plain");
    EXPECT_EQ(layout.rows().at(4).newNumber, 2);
}

TEST(DiffView, LaysOutALargeDiffOnAWorkerAndKeepsOnlyTheNewestText)
{
    QString large = QStringLiteral("Index: big.txt\n@@ -1,40000 +1,40000 @@\n");
    for (int i = 0; i < 40000; ++i)
        large += QStringLiteral(" line %1 of a diff too large to lay out at once\n").arg(i);
    DiffView view;
    view.setContent(sampleGitDiff, QStringLiteral("(no text diff)"));
    ASSERT_EQ(view.canvas()->diffLayout().cards().size(), 3);

    const QByteArray largeText = large.toUtf8();
    view.setContent(largeText, QStringLiteral("(no text diff)"));
    EXPECT_EQ(view.canvas()->diffLayout().cards().size(), 3) << "the earlier diff stays until the new one is ready";
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.canvas()->diffLayout().rows().size() == 40001; }, 30000));
    expectSameLayout(view.canvas()->diffLayout(), DiffLayout(UnifiedDiffParser::parse(large), DiffMetrics::standard()));
    EXPECT_TRUE(view.canvas()->diffLayout().utf8().isSharedWith(largeText)) << "the rows are places in the text itself";

    // A newer text set while a large one is being laid out wins, even when it is done first.
    view.setContent(large + QStringLiteral(" one more\n"), QStringLiteral("(no text diff)"));
    view.setContent(longPathDiff(), QStringLiteral("(no text diff)"));
    ASSERT_EQ(view.canvas()->diffLayout().rows().size(), 5);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.canvas()->diffLayout().rows().size(), 5);
}
