#pragma once

#include <QProxyStyle>

class QAbstractScrollArea;

// Scroll bars drawn as a rounded thumb of the text colour over a track of the content's colour, with no
// arrow buttons. Styles such as Fusion draw a light thumb in a darker groove, so the groove reads as the
// thumb and the bar seems to run against the content; here the thumb alone stands out (3:1 or more).
class ScrollBarStyle : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr int extent = 12;
    static constexpr int thumbThickness = 7;
    static constexpr int minimumThumb = 28;

    // Gives both scroll bars of the area this look.
    static void apply(QAbstractScrollArea *area);

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl subControl,
        const QWidget *widget) const override;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex *option, const QPoint &point,
        const QWidget *widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
        const QWidget *widget) const override;

private:
    using QProxyStyle::QProxyStyle;
};
