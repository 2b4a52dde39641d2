#include "ui/kit/Divider.h"

#include "ui/kit/Theme.h"

#include <QPainter>

Divider::Divider(QWidget *parent, qreal opacity) : QWidget(parent), m_opacity(opacity)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(1);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::withOpacity(Theme::separator(palette()), m_opacity));
}
