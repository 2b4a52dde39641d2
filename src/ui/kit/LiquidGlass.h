#pragma once

#include <QColor>
#include <QPalette>
#include <QRectF>

class QPainter;

// The translucent look of the sidebar panel and its toggle button. There is no blur behind a widget
// here, so the material is a mostly opaque fill of the window colour: at the design's low opacity the
// detail pane's text would stay sharp and readable through the panel. Over a material of the window
// colour a white rim only shows in the dark appearance, so the rims are Theme::tint: black in the light one.
namespace LiquidGlass {

inline constexpr qreal panelRadius = 24;
inline constexpr qreal tileRadius = 9;
inline constexpr qreal materialOpacity = 0.9;

QColor material(const QPalette &palette);

// The background: the material in the rounded shape, then a 1-pixel rim inside the outline, a
// gradient from the tint at 0.22 at the top-leading corner through the tint at 0.045 to black 0.035 at
// the bottom-trailing corner.
void paintBackground(QPainter &painter, const QRectF &rect, const QPalette &palette, qreal radius = panelRadius);

// A tint rim centred on the rounded outline, then clipped to it, so only its inner half shows.
void paintClippedRim(QPainter &painter, const QRectF &rect, const QPalette &palette, qreal radius, qreal opacity);

// The plain-style button tile: the background at radius 9 and a 0.12 tint rim, clipped.
void paintButtonTile(QPainter &painter, const QRectF &rect, const QPalette &palette);

} // namespace LiquidGlass
