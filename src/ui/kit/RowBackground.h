#pragma once

#include <QColor>

class QPainter;
class QStyleOptionViewItem;

// The one selection look of every list: an inset rounded fill in the accent colour while the list has
// the keyboard focus in the active window, a muted fill of the text colour otherwise. A list without
// focus never shows a saturated selection, so a tab with two lists shows at most one. The focused
// list's current row, when it is not selected, is ringed instead.
struct RowColors {
    QColor primary;
    QColor secondary;
    // The opaque colour the row's marks (badges, check boxes) stand on.
    QColor background;
    bool selected = false;
    bool emphasized = false;
};

// Paints the selection behind a row (or the focus ring of the current row) and tells the colours on it.
RowColors paintRowBackground(QPainter &painter, const QStyleOptionViewItem &option);
