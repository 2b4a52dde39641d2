#include "ui/kit/SegmentedPicker.h"

#include "ui/kit/FocusRing.h"
#include "ui/kit/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int controlHeight = 24;
// Room between a title and its segment's edges.
constexpr int titlePadding = 8;
// The chosen segment's inset from the track.
constexpr int segmentInset = 2;

} // namespace

SegmentedPicker::SegmentedPicker(QStringList titles, QWidget *parent) : QWidget(parent), m_titles(std::move(titles))
{
    setFont(Theme::body());
    setMinimumWidth(minimumSizeHint().width());
    setMaximumWidth(std::max(320, minimumSizeHint().width()));
    setFixedHeight(controlHeight);
    // Given more room than its ideal width, the picker grows to its maximum (as a flexible frame does).
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
}

void SegmentedPicker::setCurrentIndex(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    update();
}

QSize SegmentedPicker::sizeHint() const
{
    return {std::max(240, minimumSizeHint().width()), controlHeight};
}

QSize SegmentedPicker::minimumSizeHint() const
{
    // Equal segments, each wide enough for the widest title with its padding.
    int widest = 0;
    for (const QString &title : m_titles)
        widest = std::max(widest, fontMetrics().horizontalAdvance(title));
    const int segment = widest + 2 * (titlePadding + segmentInset);
    return {std::max(180, segment * int(m_titles.size())), controlHeight};
}

QRect SegmentedPicker::segmentRect(int index) const
{
    const int count = int(m_titles.size());
    const int left = width() * index / count;
    const int right = width() * (index + 1) / count;
    return QRect(left, 0, right - left, height());
}

int SegmentedPicker::segmentAt(const QPoint &point) const
{
    for (int i = 0; i < m_titles.size(); ++i) {
        if (segmentRect(i).contains(point))
            return i;
    }
    return -1;
}

void SegmentedPicker::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = segmentAt(event->position().toPoint());
    update();
}

void SegmentedPicker::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const int pressed = std::exchange(m_pressed, -1);
    update();
    if (pressed >= 0 && pressed == segmentAt(event->position().toPoint()) && m_onChoose)
        m_onChoose(pressed);
}

void SegmentedPicker::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & ~Qt::KeypadModifier)
        return QWidget::keyPressEvent(event);
    const int last = int(m_titles.size()) - 1;
    // Left is the previous segment, except in a right-to-left layout.
    const int forward = layoutDirection() == Qt::RightToLeft ? -1 : 1;
    int chosen = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        chosen = m_current - forward;
        break;
    case Qt::Key_Right:
        chosen = m_current + forward;
        break;
    case Qt::Key_Home:
        chosen = 0;
        break;
    case Qt::Key_End:
        chosen = last;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
    if (chosen < 0 || chosen > last || chosen == m_current || !m_onChoose)
        return;
    m_onChoose(chosen);
}

void SegmentedPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const bool dark = Theme::isDark(pal);
    const QColor text = pal.color(QPalette::WindowText);

    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, 6, 6);
    painter.fillPath(trackPath, Theme::withOpacity(text, dark ? 0.10 : 0.06));

    for (int i = 0; i < m_titles.size(); ++i) {
        const QRectF segment
            = QRectF(segmentRect(i)).adjusted(segmentInset, segmentInset, -segmentInset, -segmentInset);
        if (i == m_current) {
            QPainterPath chosen;
            chosen.addRoundedRect(segment, 5, 5);
            const QColor fill = dark ? QColor::fromRgbF(1, 1, 1, 0.22f) : QColor(Qt::white);
            painter.fillPath(chosen, fill);
            painter.setPen(QPen(Theme::withOpacity(text, 0.12), 0.5));
            painter.drawPath(chosen);
        } else if (i > 0 && i - 1 != m_current) {
            const qreal x = segmentRect(i).left();
            painter.setPen(QPen(Theme::withOpacity(text, 0.18), 1));
            painter.drawLine(QPointF(x, 6), QPointF(x, height() - 6));
        }
        painter.setPen(i == m_pressed ? Theme::withOpacity(text, 0.6) : text);
        painter.drawText(segment, Qt::AlignCenter | Qt::TextSingleLine, m_titles[i]);
    }
    if (hasFocus())
        FocusRing::paint(painter, QRectF(rect()), 6, pal, pal.color(QPalette::Window));
}
