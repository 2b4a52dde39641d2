#include "ui/workflow/ArchivesView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/BadgePainter.h"
#include "ui/kit/ContextMenu.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PaneHeader.h"
#include "ui/kit/Placeholder.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SplitPane.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/DateFormatters.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/RevisionRowDelegate.h"
#include "ui/workflow/WorkflowSymbols.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <numeric>

namespace {

constexpr int pathRowPadding = 2;
constexpr int pathRowSpacing = 8;

QFont pathFont()
{
    return Theme::monospaced(Theme::bodySize);
}

} // namespace

// ChangedPathDelegate

QSize ChangedPathDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const int line = qMax(BadgePainter::size.height(), QFontMetrics(pathFont()).height());
    return {option.rect.width(), pathRowPadding + line + pathRowPadding};
}

void ChangedPathDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const SVNPathChange change = index.data(Qt::UserRole).value<IndexedPathChange>().change;
    painter->save();
    const RowColors colors = paintRowBackground(*painter, option);
    const QRect area = option.rect.adjusted(RevisionRowDelegate::horizontalPadding, pathRowPadding,
        -RevisionRowDelegate::horizontalPadding, -pathRowPadding);
    paintActionBadge(*painter,
        QRectF(area.left(), area.top() + (area.height() - BadgePainter::size.height()) / 2.0,
            BadgePainter::size.width(), BadgePainter::size.height()),
        change.action, option.palette, colors.background);
    const int left = area.left() + BadgePainter::size.width() + pathRowSpacing;
    const int width = qMax(0, area.right() + 1 - left);
    painter->setFont(pathFont());
    painter->setPen(colors.primary);
    painter->drawText(QRect(left, area.top(), width, area.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(pathFont()).elidedText(TextUtil::displayFileName(change.path), Qt::ElideMiddle, width));
    painter->restore();
}

// ChangedPathList

ChangedPathList::ChangedPathList(QWidget *parent) : WorkflowListView(parent)
{
    setUniformItemSizes(true);
    // A row is a place in the paths shown, its change read when the row is drawn: a wide revision's
    // rows cost no copy of its changes.
    m_model = new KeyedListModel<qsizetype, qsizetype>([](qsizetype row) { return row; },
        [this](qsizetype row, int role) {
            if (row >= m_paths.size())
                return QVariant();
            if (role == Qt::UserRole)
                return QVariant::fromValue(IndexedPathChange{row, m_paths.at(row)});
            if (role == Qt::DisplayRole)
                return QVariant(TextUtil::displayFileName(m_paths.at(row).path));
            return QVariant();
        },
        this);
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new ChangedPathDelegate(this));
}

void ChangedPathList::setPaths(const QList<SVNPathChange> &paths)
{
    // Every render passes the selected entry's paths: the same list again costs nothing.
    if (paths.constData() == m_paths.constData() && paths.size() == m_paths.size())
        return;
    // Rows are keyed by position, which another revision's paths share: a new list is shown anew, not
    // compared row by row.
    m_model->setItems({});
    m_paths = paths;
    expectRows(paths.size());
    QList<qsizetype> rows(paths.size());
    std::iota(rows.begin(), rows.end(), qsizetype(0));
    const qsizetype count = rows.size();
    m_model->setItems(std::move(rows), [count](qsizetype row) { return row >= 0 && row < count ? row : -1; });
}

void ChangedPathList::copyPath(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    QApplication::clipboard()->setText(TextUtil::displayFileName(m_paths.at(row).path));
}

void ChangedPathList::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        const QModelIndexList selected = selectionModel()->selectedIndexes();
        if (!selected.isEmpty())
            copyPath(selected.first().row());
        event->accept();
        return;
    }
    WorkflowListView::keyPressEvent(event);
}

void ChangedPathList::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    QMenu menu(this);
    const int row = index.row();
    menu.addAction(tr("Copy Path"), this, [this, row] { copyPath(row); });
    ContextMenu::exec(menu, event->globalPos(), event->reason());
}

// ArchiveEntryListView

// No change handler: choosing an entry only changes what the detail shows.
ArchiveEntryListView::ArchiveEntryListView(AppState &state, QWidget *parent)
    : RevisionListPane(
        QStringLiteral("archivebox"), tr("No Archives"), QStringLiteral("archiveList"),
        [&state](std::optional<qint64> value) { state.setSelectedArchiveEntryID(value); }, parent),
      m_state(state)
{
    m_title = addTitle();
    addCaption()->setFullText(tr("Project snapshots"));
    m_refresh = addButton(tr("Refresh"), QStringLiteral("arrow.clockwise"), tr("Refresh Archives"));
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_state.refreshArchives(); });
}

QString ArchiveEntryListView::archiveLabel(std::optional<RepositoryKind> kind, qsizetype count)
{
    if (kind == RepositoryKind::git)
        return count == 1 ? QStringLiteral("Commit") : QStringLiteral("Commits");
    return count == 1 ? QStringLiteral("Revision") : QStringLiteral("Revisions");
}

void ArchiveEntryListView::render()
{
    const QList<LogEntry> &entries = m_state.archiveEntries();
    m_title->setFullText(
        tr("%1 %2").arg(entries.size()).arg(archiveLabel(m_state.selectedProjectKind(), entries.size())));
    showEntries(entries, m_state.selectedArchiveEntryID());
}

// ArchiveEntryDetailView

ArchiveEntryDetailView::ArchiveEntryDetailView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    auto *header = new PaneHeader;
    m_title = new ElidedLabel;
    m_title->setFont(Theme::headline());
    m_subtitle = new ElidedLabel;
    m_subtitle->setFont(Theme::caption());
    m_subtitle->setColor(&Theme::secondary);
    header->addText(m_title);
    header->addText(m_subtitle);
    m_createZip = header->addButton(tr("Create Zip"), QStringLiteral("archivebox"), tr("Create Zip Archive"));
    m_createZip->setObjectName(QStringLiteral("createZipButton"));
    connect(m_createZip, &QPushButton::clicked, this, [this] { m_state.createArchiveZip(); });

    m_noPaths = new Placeholder(tr("(no changed paths listed)"));
    m_paths = new ChangedPathList;
    m_pathPages = new QStackedWidget;
    m_pathPages->addWidget(m_noPaths);
    m_pathPages->addWidget(m_paths);
    m_revision = new RevisionDetailPane(tr("(select a revision or commit)"), 3, nullptr, m_pathPages);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(new Divider);
    layout->addWidget(m_revision, 1);
}

QString ArchiveEntryDetailView::detailSubtitle(const std::optional<LogEntry> &entry, std::optional<RepositoryKind> kind)
{
    if (!entry)
        return QStringLiteral("Select a revision or commit");
    return WorkflowText::counted(entry->paths.size(), QStringLiteral("path"), QStringLiteral("paths"))
        + QStringLiteral(" in this ")
        + (kind == RepositoryKind::git ? QStringLiteral("commit") : QStringLiteral("revision"));
}

bool ArchiveEntryDetailView::showsPaths() const
{
    return m_pathPages->currentWidget() == m_paths;
}

void ArchiveEntryDetailView::render()
{
    const std::optional<LogEntry> entry = m_state.selectedArchiveEntry();
    m_title->setText(entry ? entry->displayRevision() : QStringLiteral("Archive"));
    m_subtitle->setText(detailSubtitle(entry, m_state.selectedProjectKind()));
    m_createZip->setEnabled(entry.has_value());
    if (!entry) {
        m_revision->showNoRevision();
        return;
    }
    std::optional<QString> date;
    if (entry->date)
        date = DateFormatters::mediumDateShortTime(*entry->date);
    m_paths->setPaths(entry->paths);
    m_pathPages->setCurrentWidget(entry->paths.isEmpty() ? static_cast<QWidget *>(m_noPaths) : m_paths);
    m_revision->showRevision(entry->displayRevision(), WorkflowText::author(entry->author), entry->summary(), date);
}

// ArchivesView

ArchivesView::ArchivesView(AppState &state, QWidget *parent) : QWidget(parent)
{
    // The empty states paint symbols of their own.
    initWorkflowSymbols();
    setObjectName(QStringLiteral("ArchivesView"));
    new RenderScheduler(state, this, [this] { render(); });

    m_list = new ArchiveEntryListView(state);
    m_detail = new ArchiveEntryDetailView(state);
    m_split = SplitPane::listAndDetail(m_list, 320, 430, 560, m_detail);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);
    render();
}

void ArchivesView::render()
{
    m_list->render();
    m_detail->render();
}
