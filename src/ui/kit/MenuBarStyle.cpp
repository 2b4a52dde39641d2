#include "ui/kit/MenuBarStyle.h"

#include "ui/kit/Theme.h"

#include <QApplication>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

void MenuBarStyle::apply(QMenuBar *bar)
{
    static QPointer<MenuBarStyle> shared;
    if (!shared) {
        shared = new MenuBarStyle(QStyleFactory::create(QApplication::style()->name()));
        shared->setParent(qApp);
    }
    bar->setStyle(shared);
}

void MenuBarStyle::drawControl(
    ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element != CE_MenuBarItem || !item || !(item->state & State_Selected) || !(item->state & State_Enabled)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    painter->save();
    painter->fillRect(item->rect, Theme::selectionFill(item->palette));
    int alignment = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
    if (!proxy()->styleHint(SH_UnderlineShortcut, item, widget))
        alignment |= Qt::TextHideMnemonic;
    QPalette palette = item->palette;
    palette.setColor(QPalette::HighlightedText, item->palette.color(QPalette::Active, QPalette::HighlightedText));
    proxy()->drawItemText(painter, item->rect, alignment, palette, true, item->text, QPalette::HighlightedText);
    painter->restore();
}
