#include "ui/changes/ChangeListView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/changes/ChangeRowDelegate.h"
#include "ui/kit/ContextMenu.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

ChangeRowsView::ChangeRowsView(QWidget *parent) : QListView(parent), m_delegate(new ChangeRowDelegate(this))
{
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFont(Theme::body());
}

QRect ChangeRowsView::checkRect(const QModelIndex &index) const
{
    return m_delegate->checkRect(visualRect(index), this);
}

bool ChangeRowsView::hitsCheckBox(const QModelIndex &index, const QPoint &position) const
{
    return index.isValid() && checkRect(index).adjusted(-2, -2, 2, 2).contains(position);
}

bool ChangeRowsView::event(QEvent *event)
{
    if (event->type() == QEvent::ContextMenu)
        m_menuReason = static_cast<QContextMenuEvent *>(event)->reason();
    return QListView::event(event);
}

bool ChangeRowsView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ContextMenu)
        m_menuReason = static_cast<QContextMenuEvent *>(event)->reason();
    return QListView::viewportEvent(event);
}

void ChangeRowsView::mousePressEvent(QMouseEvent *event)
{
    // Only the left button selects; a right-button press leaves the selection for the context menu.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    m_pressedCheck = QPersistentModelIndex();
    m_pressSwallowed = !index.isValid() || hitsCheckBox(index, position);
    if (!m_pressSwallowed) {
        QListView::mousePressEvent(event);
        return;
    }
    event->accept();
    if (index.isValid())
        m_pressedCheck = index;
    else
        clearSelection();
}

void ChangeRowsView::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging from a check box or from empty space must not sweep a selection over the rows.
    if (m_pressSwallowed && event->buttons().testFlag(Qt::LeftButton)) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void ChangeRowsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (!m_pressSwallowed) {
        QListView::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    m_pressSwallowed = false;
    const QModelIndex check = std::exchange(m_pressedCheck, QPersistentModelIndex());
    if (check.isValid() && hitsCheckBox(check, event->position().toPoint()) && m_onTick)
        m_onTick({check}, check);
}

void ChangeRowsView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    if (event->key() != Qt::Key_Space || (event->modifiers() & ~Qt::KeypadModifier) || !current.isValid()) {
        QListView::keyPressEvent(event);
        return;
    }
    // The list's own Space would select the current row and load its diff; a check box only ticks.
    event->accept();
    QModelIndexList rows = selectionModel()->selectedIndexes();
    if (!rows.contains(current))
        rows = {current};
    if (m_onTick)
        m_onTick(rows, current);
}

void ChangeRowsView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second click of a double-click on a check box is no second toggle.
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    if (event->button() != Qt::LeftButton || !index.isValid() || hitsCheckBox(index, position)) {
        event->accept();
        m_pressSwallowed = event->button() == Qt::LeftButton;
        m_pressedCheck = QPersistentModelIndex();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

ChangeListView::ChangeListView(AppState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_selectionChange([&state] { state.selectedChangeChanged(); })
{
    new RenderScheduler(state, this, [this] { render(); });

    // The same label as the preview's title, so the two headers and their dividers line up.
    m_title = new ElidedLabel;
    m_title->setFont(Theme::headline());
    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 8, 12, 8);
    header->addWidget(m_title);
    header->addStretch(1);

    m_empty = new EmptyStateView(QStringLiteral("checkmark.circle"), tr("No Changes"));
    m_list = new ChangeRowsView;
    m_list->setObjectName(QStringLiteral("changeList"));
    m_model = new Model([](const WorkingCopyItem &item) { return item.path; },
        [this](const WorkingCopyItem &item, int role) -> QVariant {
            switch (role) {
            case Qt::DisplayRole:
                return TextUtil::displayFileName(displayPath(item.path, m_state.selectedProjectPath()));
            case Qt::CheckStateRole:
                return int(m_commitPaths.contains(item.path) ? Qt::Checked : Qt::Unchecked);
            case ChangeRowDelegate::KindRole:
                return int(item.shownKind());
            case ChangeRowDelegate::StatusLabelRole:
                return item.statusLabel();
            default:
                return {};
            }
        },
        this);
    m_binder = new SelectionBinder<QString>(
        m_list, m_model, m_model, [this](std::optional<QString> id) { m_state.setSelectedChangeID(std::move(id)); });
    m_list->setOnTick([this](const QModelIndexList &rows, const QModelIndex &lead) {
        // Read from the state, not the rows: two clicks may come before the rows show the first.
        const bool ticked = !m_state.selectedCommitPaths().contains(m_model->at(lead.row()).path);
        QList<WorkingCopyItem> items;
        for (const QModelIndex &row : rows)
            items.push_back(m_model->at(row.row()));
        for (const WorkingCopyItem &item : std::as_const(items))
            m_state.setCommitSelection(item, ticked);
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, &ChangeListView::showContextMenu);

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_empty);
    m_pages->addWidget(m_list);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(new Divider);
    layout->addWidget(m_pages, 1);

    render();
}

QSize ChangeListView::sizeHint() const
{
    return {420, QWidget::sizeHint().height()};
}

bool ChangeListView::showsList() const
{
    return m_pages->currentWidget() == m_list;
}

bool ChangeListView::listShown() const
{
    return isVisible() && showsList();
}

void ChangeListView::render()
{
    const QList<WorkingCopyItem> &changes = m_state.changes();
    m_title->setText(tr("%1 Changed").arg(QString::number(changes.size())));
    const bool ticksChanged = m_commitPaths != m_state.selectedCommitPaths();
    m_commitPaths = m_state.selectedCommitPaths();
    m_model->setItems(changes);
    if (ticksChanged)
        m_model->rolesChanged({Qt::CheckStateRole});
    const std::optional<QString> &problem = m_state.projectFolderProblem();
    m_empty->setContent(
        problem ? QStringLiteral("folder") : QStringLiteral("checkmark.circle"), problem ? *problem : tr("No Changes"));
    m_pages->setCurrentWidget(changes.isEmpty() ? static_cast<QWidget *>(m_empty) : m_list);
    m_binder->show(m_state.selectedChangeID());
    m_selectionChange.observe(m_state.selectedChangeID(), listShown());
}

void ChangeListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_selectionChange.observe(m_state.selectedChangeID(), listShown());
}

void ChangeListView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_selectionChange.observe(std::nullopt, false);
}

QMenu *ChangeListView::makeContextMenu(const WorkingCopyItem &item, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const auto add = [&](const QString &title, void (*action)(AppState &)) {
        QAction *entry = menu->addAction(title);
        connect(entry, &QAction::triggered, menu, [this, item, action] {
            // Selecting first makes the action take this row as its one path.
            m_state.setSelectedChangeID(item.id());
            action(m_state);
        });
    };
    add(tr("Revert Path"), [](AppState &state) { state.revertSelectedPaths(); });
    menu->addSeparator();
    add(tr("Ignore Path"), [](AppState &state) { state.ignoreSelectedPaths(); });
    add(tr("Include Path..."), [](AppState &state) { state.includeIgnoredPath(); });
    return menu;
}

void ChangeListView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    QMenu *menu = makeContextMenu(m_model->at(index.row()), this);
    ContextMenu::exec(*menu, m_list->viewport()->mapToGlobal(position), m_list->menuReason());
    delete menu;
}
