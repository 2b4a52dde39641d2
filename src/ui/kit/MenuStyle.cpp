#include "ui/kit/MenuStyle.h"

#include "ui/kit/Theme.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <qdrawutil.h>

namespace {

MenuStyle *sharedStyle();

// No widget takes its parent's style, and Qt makes menus of its own (a text field's context menu): each
// menu gets the look as it is first polished, before it lays out its items.
class MenuStyler : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish) {
            auto *menu = qobject_cast<QMenu *>(watched);
            if (menu && menu->style() != sharedStyle())
                menu->setStyle(sharedStyle());
        }
        return false;
    }
};

MenuStyle *sharedStyle()
{
    static QPointer<MenuStyle> shared;
    if (!shared) {
        shared = new MenuStyle(QStyleFactory::create(QApplication::style()->name()));
        shared->setParent(qApp);
        qApp->installEventFilter(new MenuStyler(shared));
    }
    return shared;
}

// The panel's fill as Fusion has it, painted here so that the separators are drawn against a known colour.
QColor menuFill(const QPalette &palette)
{
    return palette.color(QPalette::Base).lighter(108);
}

} // namespace

void MenuStyle::apply(QMenuBar *bar)
{
    bar->setStyle(sharedStyle());
}

void MenuStyle::drawControl(
    ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element == CE_MenuItem && item && item->menuItemType == QStyleOptionMenuItem::Separator
        && item->text.isEmpty()) {
        const QColor line = Theme::standingOut(Theme::separator(item->palette), menuFill(item->palette), 3);
        const int margin = 5;
        const int y = item->rect.center().y();
        painter->save();
        painter->setPen(QPen(line, 1));
        painter->drawLine(item->rect.left() + margin, y, item->rect.right() - margin, y);
        painter->restore();
        return;
    }
    if ((element != CE_MenuBarItem && element != CE_MenuItem) || !item || !(item->state & State_Selected)
        || !(item->state & State_Enabled)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QPalette palette = item->palette;
    palette.setColor(QPalette::Highlight, Theme::selectionFill(item->palette));
    palette.setColor(QPalette::HighlightedText, item->palette.color(QPalette::Active, QPalette::HighlightedText));
    if (element == CE_MenuItem) {
        QStyleOptionMenuItem active = *item;
        active.palette = palette;
        QProxyStyle::drawControl(element, &active, painter, widget);
        return;
    }
    painter->save();
    painter->fillRect(item->rect, palette.color(QPalette::Highlight));
    int alignment = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
    if (!proxy()->styleHint(SH_UnderlineShortcut, item, widget))
        alignment |= Qt::TextHideMnemonic;
    proxy()->drawItemText(painter, item->rect, alignment, palette, true, item->text, QPalette::HighlightedText);
    painter->restore();
}

void MenuStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    if (element != PE_PanelMenu) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QBrush fill(menuFill(option->palette));
    qDrawPlainRect(painter, option->rect, option->palette.color(QPalette::Window).darker(160), 1, &fill);
}
