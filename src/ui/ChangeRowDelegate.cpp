#include "ChangeRowDelegate.h"

#include "BadgePainter.h"
#include "Theme.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>

QColor statusColor(SVNStatusKind kind, const QPalette &palette)
{
    switch (kind) {
    case SVNStatusKind::added:
        return Theme::green(palette);
    case SVNStatusKind::conflicted:
    case SVNStatusKind::obstructed:
        return Theme::red(palette);
    case SVNStatusKind::deleted:
    case SVNStatusKind::missing:
        return Theme::orange(palette);
    case SVNStatusKind::merged:
    case SVNStatusKind::modified:
    case SVNStatusKind::replaced:
        return Theme::blue(palette);
    case SVNStatusKind::unversioned:
    case SVNStatusKind::unknown:
        return Theme::gray(palette);
    case SVNStatusKind::external:
    case SVNStatusKind::ignored:
    case SVNStatusKind::incomplete:
    case SVNStatusKind::none:
    case SVNStatusKind::normal:
        break;
    }
    return Theme::secondary(palette);
}

namespace {

int lineHeight(const QFont &font)
{
    return QFontMetrics(font).height();
}

int textBlockHeight()
{
    return lineHeight(Theme::body()) + 2 + lineHeight(Theme::caption());
}

} // namespace

ChangeRowDelegate::ChangeRowDelegate(QObject *parent) : QStyledItemDelegate(parent)
{ }

QSize ChangeRowDelegate::indicatorSize(const QWidget *widget) const
{
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return {style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget),
        style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget)};
}

QRect ChangeRowDelegate::checkRect(const QRect &rowRect, const QWidget *widget) const
{
    const QSize size = indicatorSize(widget);
    return QRect(
        rowRect.left() + rowInset, rowRect.top() + (rowRect.height() - size.height()) / 2, size.width(), size.height());
}

QSize ChangeRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QSize indicator = indicatorSize(option.widget);
    const int content = std::max({indicator.height(), BadgePainter::size.height(), textBlockHeight()});
    const int width = 2 * rowInset + indicator.width() + spacing + BadgePainter::size.width() + spacing;
    return {width, content + 2 * verticalPadding};
}

void ChangeRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QWidget *widget = option.widget;
    const QPalette &palette = option.palette;
    const QRect row = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    // A selection in a list that has the keyboard focus is drawn in the accent colour; otherwise muted.
    const bool emphasized = selected && widget && widget->hasFocus() && widget->isActiveWindow();

    painter->save();
    if (selected) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(row).adjusted(5, 0, -5, 0), 5, 5);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(shape,
            emphasized ? palette.color(QPalette::Active, QPalette::Highlight)
                       : Theme::withOpacity(palette.color(QPalette::Text), 0.1));
        painter->setRenderHint(QPainter::Antialiasing, false);
    }

    QStyleOptionButton box;
    box.rect = checkRect(row, widget);
    box.palette = palette;
    // Styles that outline the box in a darker window colour (Fusion) lose it on a dark window.
    if (Theme::isDark(palette))
        box.palette.setColor(QPalette::Window, Theme::gray(palette));
    box.state = QStyle::State_Enabled
        | (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    if (option.state.testFlag(QStyle::State_Active))
        box.state |= QStyle::State_Active;
    (widget ? widget->style() : QApplication::style())
        ->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);

    const auto kind = static_cast<SVNStatusKind>(index.data(KindRole).toInt());
    const QRectF badge(box.rect.right() + 1 + spacing, row.top(), BadgePainter::size.width(), row.height());
    BadgePainter::paint(*painter, badge, statusColor(kind, palette), shortName(kind));

    const int textLeft = int(badge.right()) + spacing;
    const int textWidth = std::max(0, row.right() - rowInset - textLeft + 1);
    const QFont body = Theme::body();
    const QFont caption = Theme::caption();
    const int bodyHeight = lineHeight(body);
    const int top = row.top() + (row.height() - textBlockHeight()) / 2;
    const QColor primary = emphasized ? palette.color(QPalette::HighlightedText) : Theme::primary(palette);
    const QColor secondary
        = emphasized ? Theme::withOpacity(palette.color(QPalette::HighlightedText), 0.75) : Theme::secondary(palette);

    painter->setFont(body);
    painter->setPen(primary);
    const QString path = index.data(Qt::DisplayRole).toString();
    painter->drawText(QRect(textLeft, top, textWidth, bodyHeight),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(body).elidedText(path, Qt::ElideRight, textWidth));
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(QRect(textLeft, top + bodyHeight + 2, textWidth, lineHeight(caption)),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data(StatusLabelRole).toString());
    painter->restore();
}
