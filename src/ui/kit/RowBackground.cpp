#include "ui/kit/RowBackground.h"

#include "ui/kit/FocusRing.h"
#include "ui/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>
#include <QWidget>

RowColors paintRowBackground(QPainter &painter, const QStyleOptionViewItem &option)
{
    const QPalette &palette = option.palette;
    const QWidget *widget = option.widget;
    RowColors colors;
    colors.background = Theme::textBackground(palette);
    colors.selected = option.state.testFlag(QStyle::State_Selected);
    colors.emphasized = colors.selected && widget && widget->hasFocus() && widget->isActiveWindow();
    if (colors.selected) {
        const QColor fill
            = colors.emphasized ? Theme::selectionFill(palette) : Theme::withOpacity(palette.color(QPalette::Text), 0.1);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(option.rect).adjusted(5, 0, -5, 0), 5, 5);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(shape, fill);
        painter.restore();
        colors.background = Theme::composite(fill, colors.background);
    } else if (option.state.testFlag(QStyle::State_HasFocus) && widget && widget->isActiveWindow()) {
        // The focused list's current row when nothing is selected (a list reached with Tab).
        FocusRing::paint(painter, QRectF(option.rect).adjusted(5, 0, -5, 0), 5, palette, colors.background);
    }
    if (colors.emphasized) {
        // On the accent, secondary text is told apart by its size alone: faded, it would not be legible.
        colors.primary = palette.color(QPalette::Active, QPalette::HighlightedText);
        colors.secondary = colors.primary;
    } else {
        colors.primary = Theme::primary(palette);
        colors.secondary = Theme::secondary(palette);
    }
    return colors;
}
