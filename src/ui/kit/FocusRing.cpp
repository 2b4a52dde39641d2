#include "ui/kit/FocusRing.h"

#include "ui/kit/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace FocusRing {

QColor color(const QPalette &palette, const QColor &against)
{
    // Beyond 3:1, so that it still stands out from a slightly tinted control under it.
    return Theme::standingOut(palette.color(QPalette::Active, QPalette::Highlight), against, 3.5);
}

void paint(QPainter &painter, const QRectF &rect, qreal radius, const QPalette &palette, const QColor &against)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal half = width / 2;
    painter.setPen(QPen(color(palette, against), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(half, half, -half, -half), radius, radius);
    painter.restore();
}

namespace {

// A child over the whole of its target, above the viewport and the scroll bars, shown only while the
// target has the focus; clicks pass through it.
class Overlay : public QWidget {
public:
    Overlay(QWidget *target, qreal radius) : QWidget(target), m_target(target), m_radius(radius)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_target) {
            switch (event->type()) {
            case QEvent::FocusIn:
            case QEvent::FocusOut:
            case QEvent::Resize:
            case QEvent::ChildAdded:
                follow();
                break;
            default:
                break;
            }
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paint(painter, QRectF(rect()), m_radius, palette(), Theme::textBackground(palette()));
    }

private:
    void follow()
    {
        setGeometry(m_target->rect());
        setVisible(m_target->hasFocus());
        raise();
    }

    QWidget *m_target;
    qreal m_radius;
};

} // namespace

void attach(QWidget *widget, qreal radius)
{
    new Overlay(widget, radius);
}

void attachToButton(QWidget *button)
{
    button->setFocusPolicy(Qt::TabFocus);
    attach(button, 4);
}

} // namespace FocusRing
