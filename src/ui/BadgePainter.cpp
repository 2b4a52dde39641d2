#include "BadgePainter.h"

#include "Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace BadgePainter {

void paint(QPainter &painter, const QRectF &rect, const QColor &fill, const QString &letter)
{
    const QRectF box(
        rect.center().x() - size.width() / 2.0, rect.center().y() - size.height() / 2.0, size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, 4, 4);
    painter.fillPath(shape, fill);
    painter.setPen(Qt::white);
    painter.setFont(Theme::monospaced(Theme::captionSize, QFont::DemiBold));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, letter);
    painter.restore();
}

} // namespace BadgePainter
