#include "ui/kit/ShiftWheel.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QWheelEvent>

namespace {

class ShiftWheelFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *wheel = static_cast<QWheelEvent *>(event);
        const Qt::KeyboardModifiers modifiers = wheel->modifiers() & ~Qt::KeypadModifier;
        // A turn that already goes sideways (some systems turn it themselves) passes as it is.
        if (modifiers != Qt::ShiftModifier || wheel->angleDelta().x() != 0 || wheel->pixelDelta().x() != 0)
            return false;
        const auto sideways = [](QPoint delta) { return QPoint(delta.y(), 0); };
        QWheelEvent turned(wheel->position(), wheel->globalPosition(), sideways(wheel->pixelDelta()),
            sideways(wheel->angleDelta()), wheel->buttons(), Qt::NoModifier, wheel->phase(), wheel->inverted(),
            wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(watched, &turned);
        event->setAccepted(turned.isAccepted());
        return true;
    }
};

} // namespace

void scrollSidewaysWithShift(QAbstractScrollArea *area)
{
    area->viewport()->installEventFilter(new ShiftWheelFilter(area));
}
