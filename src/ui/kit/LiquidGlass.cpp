#include "ui/kit/LiquidGlass.h"

#include "ui/kit/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace LiquidGlass {

QColor material(const QPalette &palette)
{
    return Theme::withOpacity(palette.color(QPalette::Window), materialOpacity);
}

void paintBackground(QPainter &painter, const QRectF &rect, const QPalette &palette, qreal radius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.fillPath(shape, material(palette));

    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, Theme::tint(palette, 0.22));
    gradient.setColorAt(0.5, Theme::tint(palette, 0.045));
    gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.035f));
    // An inset stroke: the outline moved half a line width inwards.
    const QRectF inset = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(inset, qMax<qreal>(0, radius - 0.5), qMax<qreal>(0, radius - 0.5));
    painter.restore();
}

void paintClippedRim(QPainter &painter, const QRectF &rect, const QPalette &palette, qreal radius, qreal opacity)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.setClipPath(shape, Qt::IntersectClip);
    painter.setPen(QPen(Theme::tint(palette, opacity), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

void paintButtonTile(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    paintBackground(painter, rect, palette, tileRadius);
    paintClippedRim(painter, rect, palette, tileRadius, 0.12);
}

} // namespace LiquidGlass
