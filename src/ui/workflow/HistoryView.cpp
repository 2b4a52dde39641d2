#include "ui/workflow/HistoryView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/BadgePainter.h"
#include "ui/kit/Divider.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PaneHeader.h"
#include "ui/kit/Placeholder.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SplitPane.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/DateFormatters.h"
#include "ui/workflow/FileHistoryDetailView.h"
#include "ui/workflow/RevisionRowDelegate.h"
#include "ui/workflow/WorkflowListView.h"
#include "ui/workflow/WorkflowSymbols.h"

#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int horizontalPadding = RevisionRowDelegate::horizontalPadding;
constexpr int verticalPadding = 4;
constexpr int lineSpacing = 5;
constexpr int itemSpacing = 8;

int pathLineHeight()
{
    return QFontMetrics(Theme::body()).height();
}

int revisionLineHeight()
{
    return qMax(BadgePainter::size.height(), QFontMetrics(Theme::caption()).height());
}

} // namespace

HistoryFileRow HistoryFileRow::fromItem(const FileHistoryItem &item)
{
    HistoryFileRow row;
    row.path = TextUtil::displayFileName(item.path);
    if (const std::optional<FileHistoryRevision> latest = item.latestRevision()) {
        row.action = latest->action;
        row.revision = latest->displayRevision();
        row.revisionCount
            = WorkflowText::counted(item.revisions.size(), QStringLiteral("revision"), QStringLiteral("revisions"));
        row.date = latest->date;
    }
    return row;
}

HistoryFileRowDelegate::HistoryFileRowDelegate(QObject *parent) : QStyledItemDelegate(parent)
{ }

QSize HistoryFileRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    // Both lines are single lines: every row has one height.
    return {
        option.rect.width(), verticalPadding + pathLineHeight() + lineSpacing + revisionLineHeight() + verticalPadding};
}

void HistoryFileRowDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const HistoryFileRow row = index.data(HistoryFileRow::role).value<HistoryFileRow>();
    painter->save();
    const RowColors colors = paintRowBackground(*painter, option);
    const QRect area = option.rect.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const QFontMetrics bodyMetrics(Theme::body());
    painter->setFont(Theme::body());
    painter->setPen(colors.primary);
    painter->drawText(QRect(area.left(), area.top(), area.width(), pathLineHeight()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        bodyMetrics.elidedText(row.path, Qt::ElideMiddle, area.width()));

    if (row.action) {
        const int top = area.top() + pathLineHeight() + lineSpacing;
        const int height = revisionLineHeight();
        const int right = area.right() + 1;
        int x = area.left();
        paintActionBadge(*painter,
            QRectF(x, top + (height - BadgePainter::size.height()) / 2.0, BadgePainter::size.width(),
                BadgePainter::size.height()),
            *row.action, option.palette, colors.background);
        x += BadgePainter::size.width() + itemSpacing;

        const auto drawText = [&](const QFont &font, const QColor &color, int left, int width, const QString &text) {
            painter->setFont(font);
            painter->setPen(color);
            painter->drawText(
                QRect(left, top, qMax(0, width), height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        };
        const QFont revisionFont = Theme::monospaced(Theme::captionSize, QFont::DemiBold);
        const int revisionWidth = QFontMetrics(revisionFont).horizontalAdvance(row.revision) + 1;
        drawText(revisionFont, colors.primary, x, qMin(revisionWidth, right - x), row.revision);
        x += revisionWidth + itemSpacing;

        const QFontMetrics captionMetrics(Theme::caption());
        int dateLeft = right;
        if (row.date) {
            const QString date = DateFormatters::shortDateShortTime(*row.date);
            dateLeft = qMax(x, right - captionMetrics.horizontalAdvance(date) - 1);
            drawText(Theme::caption(), colors.secondary, dateLeft, right - dateLeft, date);
        }
        const int countRoom = dateLeft - itemSpacing - x;
        drawText(Theme::caption(), colors.secondary, x, countRoom,
            captionMetrics.elidedText(row.revisionCount, Qt::ElideRight, qMax(0, countRoom)));
    }
    painter->restore();
}

// HistoryFileListView

HistoryFileListView::HistoryFileListView(AppState &state, QWidget *parent)
    : WorkflowListPane(
        QStringLiteral("doc.text.magnifyingglass"), tr("No File History"), QStringLiteral("historyFileList"), parent),
      m_state(state), m_selectionChange([&state] { state.selectedHistoryPathChanged(); })
{
    m_title = addTitle();
    m_refresh = addButton(tr("Refresh"), QStringLiteral("arrow.clockwise"), tr("Refresh File History"));
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_state.refreshHistory(); });

    list()->setUniformItemSizes(true);
    m_model = new KeyedListModel<FileHistoryItem, QString>([](const FileHistoryItem &item) { return item.path; },
        [](const FileHistoryItem &item, int role) {
            if (role == HistoryFileRow::role)
                return QVariant::fromValue(HistoryFileRow::fromItem(item));
            if (role == Qt::DisplayRole)
                return QVariant(TextUtil::displayFileName(item.path));
            return QVariant();
        },
        this);
    list()->setItemDelegate(new HistoryFileRowDelegate(list()));
    m_binder = new SelectionBinder<QString>(
        list(), m_model, m_model, [this](std::optional<QString> value) { m_state.setSelectedHistoryPath(value); });
}

void HistoryFileListView::render(bool onScreen)
{
    // Built from the loaded log on demand: read once, for the count and the rows.
    const QList<FileHistoryItem> items = m_state.fileHistoryItems();
    m_title->setFullText(tr("%1 Files").arg(items.size()));
    list()->expectRows(items.size());
    m_model->setItems(items, [index = m_state.fileHistoryIndex()](const QString &path) { return index.value(path); });
    const std::optional<QString> selected = m_state.selectedHistoryPath();
    m_binder->show(selected);
    showList(!items.isEmpty());
    m_selectionChange.observe(selected, onScreen && !items.isEmpty());
}

// HistoryView

HistoryView::HistoryView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    // The empty states paint symbols of their own.
    initWorkflowSymbols();
    setObjectName(QStringLiteral("HistoryView"));
    new RenderScheduler(state, this, [this] { render(); });

    m_files = new HistoryFileListView(state);
    m_detail = new FileHistoryDetailView(state);
    m_split = SplitPane::listAndDetail(m_files, 280, 380, 540, m_detail);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);
    render();
}

void HistoryView::render()
{
    const bool onScreen = m_state.selectedProject().has_value() && m_state.selectedTab() == WorkflowTab::history;
    m_files->render(onScreen);
    m_detail->render(onScreen);
}
