#pragma once

#include <QProxyStyle>

class QMenuBar;

// The menus' highlight, which Fusion draws in the palette's accent: white text on it reads at 3.7:1, and
// on a dark desktop's lighter accent at 2.4:1. Here the active item of every menu, a context menu's too,
// and the bar's marked title take the selected rows' own fill, with its contrast to the highlighted text.
// The bar's title is drawn highlighted whenever the bar marks one: under the pointer, open, or holding
// the keyboard after a bare Alt (Fusion fills a title only while its menu is open).
// Fusion's separator is a black line at a quarter's opacity: on a dark menu it does not show. Here the
// panel's fill is known, and a separator stands out from it at 3:1.
class MenuStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Gives the bar, and every menu the application opens from then on, this look.
    static void apply(QMenuBar *bar);

    void drawControl(
        ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override;
    void drawPrimitive(
        PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override;

private:
    using QProxyStyle::QProxyStyle;
};
