#include "ui/kit/ScrollBarStyle.h"

#include "ui/kit/Theme.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionSlider>

void ScrollBarStyle::apply(QAbstractScrollArea *area)
{
    static QPointer<ScrollBarStyle> shared;
    if (!shared) {
        shared = new ScrollBarStyle(QStyleFactory::create(QApplication::style()->name()));
        shared->setParent(qApp);
    }
    for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
        bar->setStyle(shared);
}

int ScrollBarStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return extent;
    case PM_ScrollBarSliderMin:
        return minimumThumb;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QRect ScrollBarStyle::subControlRect(
    ComplexControl control, const QStyleOptionComplex *option, SubControl subControl, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const QRect rect = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? rect.width() : rect.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int thumbLength = length;
    if (range > 0)
        thumbLength = int(qint64(length) * bar->pageStep / (range + bar->pageStep));
    thumbLength = qBound(qMin(minimumThumb, length), thumbLength, length);
    const int position = sliderPositionFromValue(
        bar->minimum, bar->maximum, bar->sliderPosition, length - thumbLength, bar->upsideDown);
    const auto along = [&](int start, int size) {
        return horizontal ? QRect(rect.left() + start, rect.top(), size, rect.height())
                          : QRect(rect.left(), rect.top() + start, rect.width(), size);
    };
    switch (subControl) {
    case SC_ScrollBarSlider:
        return along(position, thumbLength);
    case SC_ScrollBarGroove:
        return rect;
    case SC_ScrollBarSubPage:
        return along(0, position);
    case SC_ScrollBarAddPage:
        return along(position + thumbLength, length - position - thumbLength);
    default:
        return {};
    }
}

QStyle::SubControl ScrollBarStyle::hitTestComplexControl(
    ComplexControl control, const QStyleOptionComplex *option, const QPoint &point, const QWidget *widget) const
{
    if (control != CC_ScrollBar)
        return QProxyStyle::hitTestComplexControl(control, option, point, widget);
    for (const SubControl part : {SC_ScrollBarSlider, SC_ScrollBarSubPage, SC_ScrollBarAddPage}) {
        if (subControlRect(control, option, part, widget).contains(point))
            return part;
    }
    return SC_None;
}

void ScrollBarStyle::drawComplexControl(
    ComplexControl control, const QStyleOptionComplex *option, QPainter *painter, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QPalette &palette = bar->palette;
    painter->save();
    const QColor track = Theme::textBackground(palette);
    painter->fillRect(bar->rect, track);
    if (bar->maximum > bar->minimum) {
        const QRect slider = subControlRect(control, option, SC_ScrollBarSlider, widget);
        const qreal inset = (extent - thumbThickness) / 2.0;
        const QRectF thumb = QRectF(slider).adjusted(inset, inset, -inset, -inset);
        const bool active = bar->activeSubControls.testFlag(SC_ScrollBarSlider)
            && (bar->state.testFlag(State_MouseOver) || bar->state.testFlag(State_Sunken));
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(
            Theme::standingOut(Theme::withOpacity(palette.color(QPalette::Text), active ? 0.65 : 0.5), track));
        painter->drawRoundedRect(thumb, thumbThickness / 2.0, thumbThickness / 2.0);
    }
    painter->restore();
}
