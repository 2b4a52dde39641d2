#include "ui/kit/BadgePainter.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace BadgePainter {

void paint(QPainter &painter, const QRectF &rect, const QColor &fill, const QColor &background, const QString &letter)
{
    const QRectF box(
        rect.center().x() - size.width() / 2.0, rect.center().y() - size.height() / 2.0, size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, 4, 4);
    const QColor shown = Theme::standingOut(fill, background);
    painter.fillPath(shape, shown);
    // White unless a fill that had to be lightened leaves it unreadable.
    const qreal onWhite = Theme::contrastRatio(shown, Qt::white);
    painter.setPen(
        onWhite >= 3 || onWhite >= Theme::contrastRatio(shown, Qt::black) ? QColor(Qt::white) : QColor(Qt::black));
    painter.setFont(Theme::monospaced(Theme::captionSize, QFont::DemiBold));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, letter);
    painter.restore();
}

} // namespace BadgePainter
