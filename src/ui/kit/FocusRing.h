#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
class QPalette;
class QWidget;

// The one mark of keyboard focus on the controls the style does not draw: a ring in the accent colour
// that keeps 3:1 against what it stands on.
namespace FocusRing {

inline constexpr qreal width = 2;
// What a ringed text keeps free inside the ring's edge, so the ring never covers a letter.
inline constexpr int clearance = 4;

QColor color(const QPalette &palette, const QColor &against);
// Strokes the ring just inside `rect`.
void paint(QPainter &painter, const QRectF &rect, qreal radius, const QPalette &palette, const QColor &against);
// Shows the ring over the edge of `widget` while it has the focus: for scroll areas and texts, whose
// content would scroll a ring painted with it, and for push buttons, whose style marks the focus too
// faintly to be seen.
void attach(QWidget *widget, qreal radius = 0);
// A push button reached with Tab, not taken by a click (which leaves the focus where the user works),
// and ringed while it has the focus.
void attachToButton(QWidget *button);

} // namespace FocusRing
