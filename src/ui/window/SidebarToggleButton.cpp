#include "ui/window/SidebarToggleButton.h"

#include "ui/kit/FocusRing.h"
#include "ui/kit/LiquidGlass.h"
#include "ui/kit/SymbolIcon.h"

#include <QPainter>

SidebarToggleButton::SidebarToggleButton(Binding<bool> isVisible, QWidget *parent)
    : QAbstractButton(parent), m_isVisible(std::move(isVisible))
{
    setFixedSize(30, 28);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::attach(this, LiquidGlass::tileRadius);
    connect(this, &QAbstractButton::clicked, this, [this] { m_isVisible.set(!m_isVisible.get()); });
    render();
}

void SidebarToggleButton::render()
{
    const QString tip = m_isVisible.get() ? tr("Hide Sidebar") : tr("Show Sidebar");
    if (toolTip() != tip)
        setToolTip(tip);
}

void SidebarToggleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    LiquidGlass::paintButtonTile(painter, QRectF(rect()), palette());
    QColor color = palette().color(QPalette::ButtonText);
    if (isDown())
        color.setAlphaF(0.6f);
    const int side = 18;
    const QPixmap symbol = symbolPixmap(QStringLiteral("sidebar.leading"), color, side, devicePixelRatioF());
    painter.drawPixmap((width() - side) / 2, (height() - side) / 2, symbol);
}
