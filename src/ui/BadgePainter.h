#pragma once

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

// The one look of the status and action badges: a white letter on a coloured rounded box.
namespace BadgePainter {

inline constexpr QSize size{22, 20};

// Draws the badge centred in `rect` (at its fixed size).
void paint(QPainter &painter, const QRectF &rect, const QColor &fill, const QString &letter);

} // namespace BadgePainter
