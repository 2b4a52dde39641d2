#include "ui/changes/ChangeRowDelegate.h"

#include "ui/kit/BadgePainter.h"
#include "ui/kit/RowBackground.h"
#include "ui/kit/Theme.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

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

void paintCheckBox(
    QPainter &painter, const QRect &rect, bool checked, const QPalette &palette, const QColor &background)
{
    // Drawn here rather than by the style: a style's faint outline, or its dark box on a dark accent row,
    // does not keep 3:1 against the row.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (checked) {
        const QColor fill = Theme::standingOut(palette.color(QPalette::Active, QPalette::Highlight), background);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect), 3, 3);
        const QColor tick = Theme::contrastRatio(fill, Qt::white) >= Theme::contrastRatio(fill, Qt::black)
            ? QColor(Qt::white)
            : QColor(Qt::black);
        QPen pen(tick, std::max(1.5, rect.width() / 8.0));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QRectF inner(rect);
        const QPointF points[] = {inner.topLeft() + QPointF(inner.width() * 0.24, inner.height() * 0.52),
            inner.topLeft() + QPointF(inner.width() * 0.42, inner.height() * 0.70),
            inner.topLeft() + QPointF(inner.width() * 0.76, inner.height() * 0.30)};
        painter.drawPolyline(points, 3);
    } else {
        painter.setPen(QPen(Theme::standingOut(Theme::secondary(palette), background), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box, 2.5, 2.5);
    }
    painter.restore();
}

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

    painter->save();
    const RowColors colors = paintRowBackground(*painter, option);
    const QRect box = checkRect(row, widget);
    paintCheckBox(*painter, box, index.data(Qt::CheckStateRole).toInt() == Qt::Checked, palette, colors.background);

    const auto kind = static_cast<SVNStatusKind>(index.data(KindRole).toInt());
    const QRectF badge(box.right() + 1 + spacing, row.top(), BadgePainter::size.width(), row.height());
    BadgePainter::paint(*painter, badge, statusColor(kind, palette), colors.background, shortName(kind));

    const int textLeft = int(badge.right()) + spacing;
    const int textWidth = std::max(0, row.right() - rowInset - textLeft + 1);
    const QFont body = Theme::body();
    const QFont caption = Theme::caption();
    const int bodyHeight = lineHeight(body);
    const int top = row.top() + (row.height() - textBlockHeight()) / 2;

    painter->setFont(body);
    painter->setPen(colors.primary);
    const QString path = index.data(Qt::DisplayRole).toString();
    painter->drawText(QRect(textLeft, top, textWidth, bodyHeight),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(body).elidedText(path, Qt::ElideRight, textWidth));
    painter->setFont(caption);
    painter->setPen(colors.secondary);
    painter->drawText(QRect(textLeft, top + bodyHeight + 2, textWidth, lineHeight(caption)),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data(StatusLabelRole).toString());
    painter->restore();
}
