#include "ui/diff/DiffCanvas.h"

#include "ui/diff/DiffRows.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/ScrollBarStyle.h"
#include "ui/kit/ShiftWheel.h"
#include "ui/kit/Theme.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>
#include <array>

namespace {

using Row = DiffLayout::Row;
using Card = DiffLayout::Card;

// Paints the cards that reach into one exposed area; the colours are worked out once per paint.
class CardPainter {
public:
    CardPainter(QPainter &painter, const DiffLayout &layout, const QPalette &palette, QRect area,
        DiffCanvas::TextPosition selectionStart, DiffCanvas::TextPosition selectionEnd)
        : m_painter(painter), m_layout(layout), m_metrics(layout.metrics()), m_area(area),
          m_selectionStart(selectionStart), m_selectionEnd(selectionEnd), m_palette(palette),
          m_textBackground(Theme::textBackground(palette)), m_windowBackground(Theme::windowBackground(palette)),
          m_separator(Theme::separator(palette)), m_primary(Theme::primary(palette)),
          m_secondary(Theme::secondary(palette)), m_hunkBackground(DiffHunkView::headerBackground(palette)),
          m_selection(Theme::withOpacity(palette.color(QPalette::Active, QPalette::Highlight), 0.45)),
          m_codeMetrics(m_metrics.codeFont), m_hunkMetrics(m_metrics.hunkFont)
    {
        for (int kind = 0; kind < 5; ++kind) {
            const auto lineKind = DiffLineKind(kind);
            m_rowBackground[kind] = DiffCodeLineView::rowBackground(lineKind, palette);
            m_gutterBackground[kind] = DiffCodeLineView::gutterBackground(lineKind, palette);
            // The marker and the numbers take their hue from the table and their strength from the
            // tinted row they stand on.
            const QColor row = Theme::composite(m_rowBackground[kind], m_textBackground);
            m_prefixColor[kind]
                = Theme::standingOut(DiffCodeLineView::prefixColor(lineKind, palette), row, Theme::smallTextContrast);
            m_numberColor[kind] = Theme::standingOut(
                m_secondary, Theme::composite(m_gutterBackground[kind], row), Theme::smallTextContrast);
        }
    }

    void paintFileCard(int index);

private:
    void paintHeader(const Card &card, QRect header);
    void paintHunkHeader(const Row &row, QRect rect);
    void paintCodeLine(int index, const Row &row, QRect rect);
    void paintOutline(QRect rect);

    QPainter &m_painter;
    const DiffLayout &m_layout;
    const DiffMetrics &m_metrics;
    const QRect m_area;
    const DiffCanvas::TextPosition m_selectionStart;
    const DiffCanvas::TextPosition m_selectionEnd;
    const QPalette &m_palette;
    const QColor m_textBackground;
    const QColor m_windowBackground;
    const QColor m_separator;
    const QColor m_primary;
    const QColor m_secondary;
    const QColor m_hunkBackground;
    const QColor m_selection;
    const QFontMetricsF m_codeMetrics;
    const QFontMetricsF m_hunkMetrics;
    std::array<QColor, 5> m_prefixColor;
    std::array<QColor, 5> m_numberColor;
    std::array<QColor, 5> m_rowBackground;
    std::array<QColor, 5> m_gutterBackground;
};

qreal baseline(QRect rect, const QFontMetricsF &metrics)
{
    return rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
}

void CardPainter::paintFileCard(int index)
{
    const Card &card = m_layout.cards().at(index);
    const QRect rect = m_layout.cardRect(index);
    const QRect visible = rect & m_area;
    if (visible.isEmpty())
        return;

    m_painter.save();
    m_painter.setClipRect(visible);
    m_painter.fillRect(visible, m_textBackground);

    const QRect header = m_layout.headerRect(index);
    if (header.intersects(m_area))
        paintHeader(card, header);
    m_painter.fillRect(QRect(rect.left(), header.bottom() + 1, rect.width(), DiffGeometry::dividerHeight), m_separator);

    auto [first, end] = m_layout.rowsBetween(m_area.top(), m_area.bottom() + 1);
    first = std::max(first, card.firstRow);
    end = std::min(end, card.endRow);
    for (int at = first; at < end; ++at) {
        const Row &row = m_layout.rows().at(at);
        const QRect rowRect = m_layout.rowRect(at);
        if (row.kind == DiffLayout::RowKind::hunkHeader)
            paintHunkHeader(row, rowRect);
        else
            paintCodeLine(at, row, rowRect);
    }
    paintOutline(rect);
    m_painter.restore();
}

void CardPainter::paintHeader(const Card &card, QRect header)
{
    using namespace DiffGeometry;
    m_painter.fillRect(header, m_windowBackground);

    qreal x = header.left() + headerPaddingX;
    const qreal dpr = m_painter.device()->devicePixelRatioF();
    const QPixmap symbol = Theme::symbol(QStringLiteral("doc.text"), m_secondary, symbolSize, dpr);
    m_painter.drawPixmap(QPointF(x, header.top() + (header.height() - symbolSize.height()) / 2.0), symbol);
    x += symbolSize.width() + headerSpacing;

    m_painter.setFont(m_metrics.captionFont);
    const QFontMetricsF counts(m_metrics.captionFont);
    const QString additions = u'+' + QString::number(card.additions);
    const QString deletions = u'-' + QString::number(card.deletions);
    const qreal right = header.right() + 1 - headerPaddingX;
    const qreal deletionsX = right - counts.horizontalAdvance(deletions);
    const qreal additionsX = deletionsX - headerSpacing - counts.horizontalAdvance(additions);
    const qreal countsBaseline = baseline(header, counts);
    m_painter.setPen(Theme::green(m_palette));
    m_painter.drawText(QPointF(additionsX, countsBaseline), additions);
    m_painter.setPen(Theme::red(m_palette));
    m_painter.drawText(QPointF(deletionsX, countsBaseline), deletions);

    const qreal available = additionsX - headerSpacing - spacerMinLength - headerSpacing - x;
    const QFontMetricsF pathMetrics(m_metrics.pathFont);
    m_painter.setFont(m_metrics.pathFont);
    m_painter.setPen(m_primary);
    m_painter.drawText(QPointF(x, baseline(header, pathMetrics)),
        pathMetrics.elidedText(card.path, Qt::ElideMiddle, std::max<qreal>(0, available)));
}

void CardPainter::paintHunkHeader(const Row &row, QRect rect)
{
    m_painter.fillRect(rect, m_hunkBackground);
    const qreal textX = rect.left() + 2 * DiffGeometry::gutterWidth + DiffGeometry::hunkTextPadding;
    const qreal y = baseline(rect, m_hunkMetrics);
    m_painter.setFont(m_metrics.hunkFont);
    m_painter.setPen(m_secondary);
    const QString text = m_layout.text(row);
    for (const auto &run :
        m_metrics.hunk.visibleRuns(text, m_area.left() - textX, m_area.right() + 1 - textX, row.plain))
        m_painter.drawText(QPointF(textX + run.x, y), run.text);
}

void CardPainter::paintCodeLine(int index, const Row &row, QRect rect)
{
    using namespace DiffGeometry;
    const int kind = int(row.lineKind);
    m_painter.fillRect(rect, m_rowBackground[kind]);
    const QRect oldGutter(rect.left(), rect.top(), gutterWidth, rect.height());
    const QRect newGutter = oldGutter.translated(gutterWidth, 0);
    m_painter.fillRect(oldGutter, m_gutterBackground[kind]);
    m_painter.fillRect(newGutter, m_gutterBackground[kind]);

    m_painter.setPen(m_numberColor[kind]);
    m_painter.setFont(m_metrics.captionFont);
    const auto drawNumber = [&](QRect gutter, qint64 number) {
        if (number == DiffLayout::noNumber || !gutter.intersects(m_area))
            return;
        m_painter.drawText(QRectF(gutter.left(), gutter.top(), numberWidth, gutter.height()),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(number));
    };
    drawNumber(oldGutter, row.oldNumber);
    drawNumber(newGutter, row.newNumber);

    m_painter.setFont(m_metrics.codeFont);
    const qreal y = baseline(rect, m_codeMetrics);
    if (row.prefixLength > 0) {
        m_painter.setPen(m_prefixColor[kind]);
        m_painter.drawText(QRectF(rect.left() + 2 * gutterWidth, rect.top(), prefixWidth, rect.height()),
            Qt::AlignCenter, DiffTextMetrics::singleLine(m_layout.prefix(row)));
    }

    const qreal codeX = rect.left() + DiffGeometry::codeX;
    const QString text = m_layout.text(row);
    if (m_selectionStart.row <= index && index <= m_selectionEnd.row && m_selectionStart != m_selectionEnd) {
        const qsizetype from = index == m_selectionStart.row ? m_selectionStart.index : 0;
        const qsizetype to = index == m_selectionEnd.row ? m_selectionEnd.index : text.size();
        const qreal left = m_metrics.code.xOf(text, from, row.plain);
        // The line feed after a line that the selection runs past shows as one cell.
        const qreal right
            = m_metrics.code.xOf(text, to, row.plain) + (index < m_selectionEnd.row ? m_metrics.code.cellWidth() : 0);
        if (right > left)
            m_painter.fillRect(QRectF(codeX + left, rect.top(), right - left, rect.height()), m_selection);
    }
    m_painter.setPen(m_primary);
    for (const auto &run :
        m_metrics.code.visibleRuns(text, m_area.left() - codeX, m_area.right() + 1 - codeX, row.plain))
        m_painter.drawText(QPointF(codeX + run.x, y), run.text);
}

void CardPainter::paintOutline(QRect rect)
{
    const qreal radius = DiffGeometry::cornerRadius;
    const QRectF bounds(rect);
    const bool cornerInView = m_area.intersects(QRect(rect.topLeft(), QSize(rect.width(), int(radius) + 1)))
        || m_area.intersects(QRect(rect.left(), rect.bottom() - int(radius), rect.width(), int(radius) + 1));
    m_painter.setRenderHint(QPainter::Antialiasing);
    if (cornerInView) {
        // The rows are cut to the rounded corners: outside them the scroll view's background shows again.
        QPainterPath square;
        square.addRect(bounds);
        QPainterPath rounded;
        rounded.addRoundedRect(bounds, radius, radius);
        m_painter.fillPath(square.subtracted(rounded), m_textBackground);
    }
    // The inner half of a one-point stroke on the outline; at least one device pixel, so that it shows on
    // screens of scale 1.
    const qreal width = std::max(0.5, 1.0 / m_painter.device()->devicePixelRatioF());
    const QRectF inner = bounds.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    m_painter.setPen(QPen(m_separator, width));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRoundedRect(inner, radius - width / 2, radius - width / 2);
}

} // namespace

DiffCanvas::DiffCanvas(QWidget *parent) : QAbstractScrollArea(parent), m_metrics(DiffMetrics::standard())
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    FocusRing::attach(this);
    scrollSidewaysWithShift(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBarStyle::apply(this);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
}

void DiffCanvas::setDiff(const ParsedDiff &diff)
{
    setLayout(DiffLayout(diff, m_metrics));
}

void DiffCanvas::setLayout(DiffLayout layout)
{
    m_layout = std::move(layout);
    m_anchor = m_cursor = {};
    m_selecting = false;
    m_autoScroll.stop();
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void DiffCanvas::clear()
{
    setDiff({});
}

QPoint DiffCanvas::contentOffset() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

DiffCanvas::TextPosition DiffCanvas::positionAt(QPoint point) const
{
    const QPoint content = point + contentOffset();
    const auto &rows = m_layout.rows();
    int row = m_layout.rowAt(content.y());
    if (row < 0 || rows.at(row).kind != DiffLayout::RowKind::line) {
        row = m_layout.lineAtOrBelow(content.y());
        if (row < 0) {
            const int last = m_layout.lineAtOrBefore(int(rows.size()) - 1);
            return last < 0 ? TextPosition{} : TextPosition{last, m_layout.text(rows.at(last)).size()};
        }
        if (rows.at(row).top > content.y())
            return {row, 0};
    }
    const Row &line = rows.at(row);
    return {row, m_metrics.code.indexAt(m_layout.text(line), content.x() - DiffLayout::codeLeft(), line.plain)};
}

QString DiffCanvas::selectedText() const
{
    if (!hasSelection())
        return {};
    const auto [start, end] = std::minmax(m_anchor, m_cursor);
    QString result;
    bool first = true;
    for (int at = start.row; at <= end.row; ++at) {
        const Row &row = m_layout.rows().at(at);
        if (row.kind != DiffLayout::RowKind::line)
            continue;
        const QString text = m_layout.text(row);
        const qsizetype from = at == start.row ? start.index : 0;
        const qsizetype to = at == end.row ? end.index : text.size();
        if (!first)
            result.append(u'\n');
        result.append(text.mid(from, to - from));
        first = false;
    }
    return result;
}

void DiffCanvas::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void DiffCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, Theme::textBackground(palette()));
    if (m_layout.isEmpty())
        return;
    const QPoint offset = contentOffset();
    painter.translate(-offset);
    const QRect area = exposed.translated(offset);
    const auto [start, end] = std::minmax(m_anchor, m_cursor);
    CardPainter cards(painter, m_layout, palette(), area, start, end);
    const auto [first, last] = m_layout.cardsBetween(area.top(), area.bottom() + 1);
    for (int card = first; card < last; ++card)
        cards.paintFileCard(card);
}

void DiffCanvas::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DiffCanvas::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

void DiffCanvas::updateScrollBars()
{
    const QSize view = viewport()->size();
    m_layout.setViewWidth(view.width());
    const QSize content = m_layout.contentSize();
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(qRound(3 * m_metrics.code.cellWidth()));
    verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(m_metrics.lineHeight);
}

void DiffCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const TextPosition position = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor.row < 0)
        m_anchor = position;
    m_cursor = position;
    m_selecting = true;
    m_dragPoint = event->position().toPoint();
    viewport()->update();
}

void DiffCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_selecting && (event->buttons() & Qt::LeftButton)) {
        dragTo(point);
        if (viewport()->rect().contains(point))
            m_autoScroll.stop();
        else if (!m_autoScroll.isActive())
            m_autoScroll.start(40, this);
        return;
    }
    const QPoint content = point + contentOffset();
    const int row = m_layout.rowAt(content.y());
    const bool onCode = row >= 0 && m_layout.rows().at(row).kind == DiffLayout::RowKind::line
        && content.x() >= DiffLayout::codeLeft() && content.x() < m_layout.rowRect(row).right();
    viewport()->setCursor(onCode ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void DiffCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    m_autoScroll.stop();
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void DiffCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const TextPosition position = positionAt(event->position().toPoint());
    if (position.row < 0)
        return;
    const QString text = m_layout.text(m_layout.rows().at(position.row));
    const auto isWord = [&](qsizetype at) {
        const QChar c = text[at];
        return c.isLetterOrNumber() || c == u'_' || c.isMark();
    };
    qsizetype start = std::min(position.index, text.size());
    qsizetype end = start;
    if (start < text.size() && isWord(start)) {
        while (start > 0 && isWord(start - 1))
            --start;
        while (end < text.size() && isWord(end))
            ++end;
    } else if (start < text.size()) {
        ++end;
    }
    m_anchor = {position.row, start};
    m_cursor = {position.row, end};
    m_selecting = false;
    viewport()->update();
}

bool DiffCanvas::event(QEvent *event)
{
    // A window-wide Copy shortcut must not take Ctrl+C away from a selection here.
    if (event->type() == QEvent::ShortcutOverride && hasSelection()
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void DiffCanvas::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void DiffCanvas::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_autoScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    const QRect view = viewport()->rect();
    const auto step = [](int outside) { return std::clamp(outside, -120, 120); };
    int dx = 0;
    int dy = 0;
    if (m_dragPoint.y() < view.top())
        dy = step(m_dragPoint.y() - view.top());
    else if (m_dragPoint.y() > view.bottom())
        dy = step(m_dragPoint.y() - view.bottom());
    if (m_dragPoint.x() < view.left())
        dx = step(m_dragPoint.x() - view.left());
    else if (m_dragPoint.x() > view.right())
        dx = step(m_dragPoint.x() - view.right());
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
    dragTo(m_dragPoint);
}

void DiffCanvas::dragTo(QPoint point)
{
    m_dragPoint = point;
    const TextPosition position = positionAt(point);
    if (position == m_cursor)
        return;
    m_cursor = position;
    viewport()->update();
}
