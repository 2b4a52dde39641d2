#pragma once

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

// The one look of the status and action badges: a white letter on a coloured rounded box, a black one
// on a light fill.
namespace BadgePainter {

inline constexpr QSize size{22, 20};

// Draws the badge centred in `rect` (at its fixed size). The fill is darkened (or lightened) as far as it
// takes to keep 3:1 against `background`, the row it stands on (a blue badge on a row selected in blue);
// its letter reads at 4.5:1 on it.
void paint(QPainter &painter, const QRectF &rect, const QColor &fill, const QColor &background, const QString &letter);

} // namespace BadgePainter
