#include "ui/kit/ActionBadge.h"

#include "ui/kit/BadgePainter.h"
#include "ui/kit/Theme.h"

#include <QPainter>

QColor actionTint(const QString &action, const QPalette &palette)
{
    if (action == u"A")
        return Theme::green(palette);
    if (action == u"D")
        return Theme::orange(palette);
    if (action == u"M")
        return Theme::blue(palette);
    if (action == u"R")
        return Theme::purple(palette);
    return Theme::secondary(palette);
}

QString actionBadgeText(const QString &action)
{
    return action.isEmpty() ? QStringLiteral("?") : action;
}

void paintActionBadge(
    QPainter &painter, const QRectF &rect, const QString &action, const QPalette &palette, const QColor &background)
{
    const QRectF box(rect.center().x() - BadgePainter::size.width() / 2.0,
        rect.center().y() - BadgePainter::size.height() / 2.0, BadgePainter::size.width(), BadgePainter::size.height());
    // A longer text stays inside the box, cut on both sides around its centre.
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    BadgePainter::paint(painter, box, actionTint(action, palette), background, actionBadgeText(action));
    painter.restore();
}

ActionBadge::ActionBadge(const QString &action, QWidget *parent) : QWidget(parent), m_action(action)
{
    setFixedSize(BadgePainter::size);
}

void ActionBadge::setAction(const QString &action)
{
    if (action == m_action)
        return;
    m_action = action;
    update();
}

void ActionBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // It stands in the detail panes, on the window colour.
    paintActionBadge(painter, rect(), m_action, palette(), Theme::windowBackground(palette()));
}
