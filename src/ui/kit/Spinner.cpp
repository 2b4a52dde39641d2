#include "ui/kit/Spinner.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QTimerEvent>

Spinner::Spinner(QWidget *parent) : QWidget(parent)
{
    setFixedSize(16, 16);
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    const QColor color = Theme::secondary(palette());
    painter.setPen(QPen(Theme::withOpacity(color, 0.3), 2));
    painter.drawEllipse(box);
    painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    // Angles in sixteenths of a degree; negative spans turn clockwise.
    painter.drawArc(box, -m_angle * 16, -100 * 16);
}

void Spinner::showEvent(QShowEvent *event)
{
    m_timer.start(33, this);
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void Spinner::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    m_angle = (m_angle + 12) % 360;
    update();
}
