#pragma once

#include <QProxyStyle>

class QMenuBar;

// Menu bar titles drawn highlighted whenever the bar marks one: under the pointer, open, or holding the
// keyboard after a bare Alt. Fusion fills a title only while its menu is open, so the keyboard's place
// on the bar did not show. The fill is the selected rows' own, with its contrast to the highlighted text.
class MenuBarStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Gives the bar this look.
    static void apply(QMenuBar *bar);

    void drawControl(
        ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override;

private:
    using QProxyStyle::QProxyStyle;
};
