#include "ui/workflow/RevisionRowDelegate.h"

#include "ui/kit/ActionBadge.h"
#include "ui/kit/BadgePainter.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/DateFormatters.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QListView>
#include <QPainter>

namespace WorkflowText {

QString author(const QString &author)
{
    return author.isEmpty() ? QStringLiteral("unknown") : author;
}

QString counted(qsizetype count, const QString &singular, const QString &plural)
{
    return QCoreApplication::translate("WorkflowText", "%1 %2").arg(count).arg(count == 1 ? singular : plural);
}

} // namespace WorkflowText

RevisionRow RevisionRow::fromLogEntry(const LogEntry &entry)
{
    return {std::nullopt, entry.displayRevision(), WorkflowText::author(entry.author),
        WorkflowText::counted(entry.paths.size(), QStringLiteral("path"), QStringLiteral("paths")), entry.date,
        entry.summary()};
}

RevisionRow RevisionRow::fromFileHistoryRevision(const FileHistoryRevision &revision)
{
    return {revision.action, revision.displayRevision(), WorkflowText::author(revision.author), QString(),
        revision.date, revision.summary()};
}

namespace {

constexpr int verticalPadding = 4;
constexpr int lineSpacing = 4;
constexpr int itemSpacing = 8;

QFont revisionFont()
{
    return Theme::monospaced(Theme::captionSize, QFont::DemiBold);
}

int firstLineHeight(bool hasBadge)
{
    const int text = qMax(QFontMetrics(revisionFont()).height(), QFontMetrics(Theme::caption()).height());
    return hasBadge ? qMax(text, BadgePainter::size.height()) : text;
}

} // namespace

RevisionRowDelegate::RevisionRowDelegate(QAbstractItemView *view) : QStyledItemDelegate(view), m_view(view)
{ }

int RevisionRowDelegate::textWidth() const
{
    return qMax(1, m_view->viewport()->width() - 2 * horizontalPadding);
}

QSize RevisionRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const RevisionRow row = index.data(RevisionRow::role).value<RevisionRow>();
    // A list of uniform rows asks one row for all: each gets room for the longest summary.
    const auto *list = qobject_cast<const QListView *>(m_view);
    const qsizetype lines
        = list && list->uniformItemSizes() ? 2 : limitedLines(row.summary, Theme::body(), textWidth(), 2).size();
    const int height = verticalPadding + firstLineHeight(row.action.has_value()) + lineSpacing
        + int(lines) * QFontMetrics(Theme::body()).lineSpacing() + verticalPadding;
    return {textWidth() + 2 * horizontalPadding, height};
}

void RevisionRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const RevisionRow row = index.data(RevisionRow::role).value<RevisionRow>();
    painter->save();
    const RowColors colors = paintRowBackground(*painter, option);

    const QRect area = option.rect.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int lineOne = firstLineHeight(row.action.has_value());
    const QFontMetrics captionMetrics(Theme::caption());
    const QFontMetrics revisionMetrics(revisionFont());
    int x = area.left();
    const int right = area.right() + 1;

    if (row.action) {
        const QRectF badge(x, area.top() + (lineOne - BadgePainter::size.height()) / 2.0, BadgePainter::size.width(),
            BadgePainter::size.height());
        paintActionBadge(*painter, badge, *row.action, option.palette, colors.background);
        x += BadgePainter::size.width() + itemSpacing;
    }

    const auto drawText = [&](const QFont &font, const QColor &color, int left, int width, const QString &text) {
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(
            QRect(left, area.top(), width, lineOne), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    };

    const int revisionWidth = qMin(revisionMetrics.horizontalAdvance(row.revision) + 1, qMax(0, right - x));
    drawText(revisionFont(), colors.primary, x, revisionWidth, row.revision);
    x += revisionWidth + itemSpacing;

    // The date keeps its place at the trailing edge; the author gives way first.
    int dateLeft = right;
    if (row.date) {
        const QString date = DateFormatters::shortDateShortTime(*row.date);
        const int dateWidth = captionMetrics.horizontalAdvance(date) + 1;
        dateLeft = qMax(x, right - dateWidth);
        drawText(Theme::caption(), colors.secondary, dateLeft, right - dateLeft, date);
    }
    const int countWidth = row.pathCount.isEmpty() ? 0 : captionMetrics.horizontalAdvance(row.pathCount) + 1;
    const int authorRoom = qMax(0, dateLeft - itemSpacing - x - (countWidth > 0 ? countWidth + itemSpacing : 0));
    const QString author = captionMetrics.elidedText(row.author, Qt::ElideRight, authorRoom);
    const int authorWidth = qMin(captionMetrics.horizontalAdvance(author) + 1, authorRoom);
    drawText(Theme::caption(), colors.secondary, x, authorWidth, author);
    x += authorWidth + itemSpacing;
    if (countWidth > 0)
        drawText(Theme::caption(), colors.secondary, x, qMax(0, qMin(countWidth, dateLeft - x)), row.pathCount);

    painter->setFont(Theme::body());
    painter->setPen(colors.primary);
    const QFontMetrics bodyMetrics(Theme::body());
    int y = area.top() + lineOne + lineSpacing;
    for (const QString &line : limitedLines(row.summary, Theme::body(), area.width(), 2)) {
        painter->drawText(QRect(area.left(), y, area.width(), bodyMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += bodyMetrics.lineSpacing();
    }
    painter->restore();
}

KeyedListModel<LogEntry, qint64> *makeLogEntryListModel(QObject *parent)
{
    return new KeyedListModel<LogEntry, qint64>([](const LogEntry &entry) { return entry.id(); },
        [](const LogEntry &entry, int role) {
            if (role == RevisionRow::role)
                return QVariant::fromValue(RevisionRow::fromLogEntry(entry));
            if (role == Qt::DisplayRole)
                return QVariant(entry.displayRevision());
            return QVariant();
        },
        parent);
}
