#include "ui/window/SidebarOverlayView.h"

#include "state/AppState.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/LiquidGlass.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/kit/Theme.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/window/SidebarToggleButton.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

ElidedLabel *sectionLabel(const QString &text, const QFont &font)
{
    auto *label = new ElidedLabel(text);
    label->setFont(font);
    label->setColor(&Theme::secondary);
    return label;
}

} // namespace

SidebarOverlayView::SidebarOverlayView(AppState &state, Binding<bool> isVisible, QWidget *parent)
    : QWidget(parent), m_state(state)
{
    m_scheduler = new RenderScheduler(state, this, [this] { render(); });

    m_toggle = new SidebarToggleButton(std::move(isVisible));
    auto *title = new QLabel(tr("KorvelSVN"));
    title->setFont(Theme::headline());
    auto *header = new QHBoxLayout;
    header->setSpacing(10);
    header->setContentsMargins(12, 12, 12, 8);
    header->addWidget(m_toggle, 0, Qt::AlignVCenter);
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);

    auto *content = new QWidget;
    m_rowsLayout = new QVBoxLayout(content);
    m_rowsLayout->setSpacing(6);
    m_rowsLayout->setContentsMargins(8, 0, 8, 8);
    QFont sectionFont = Theme::caption();
    sectionFont.setWeight(QFont::DemiBold);
    ElidedLabel *projects = sectionLabel(tr("Projects"), sectionFont);
    projects->setContentsMargins(12, 10, 12, 0);
    m_rowsLayout->addWidget(projects);
    m_noProjects = sectionLabel(tr("No Projects"), Theme::caption());
    m_noProjects->setContentsMargins(12, 8, 12, 8);
    m_rowsLayout->addWidget(m_noProjects);
    m_rowsLayout->addStretch(1);

    m_scrollArea = new QScrollArea;
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of its own: Tab stops at one of its rows.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->setWidget(content);
    content->setAutoFillBackground(false);
    // The panel's glass shows through the list.
    m_scrollArea->setAutoFillBackground(false);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    // Rows are placed a few event-loop turns after they are made, and again on every resize.
    content->installEventFilter(this);
    m_scrollArea->viewport()->installEventFilter(this);
    QScrollBar *bar = m_scrollArea->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, &SidebarOverlayView::followSelection);
    connect(bar, &QScrollBar::actionTriggered, this, [this] { m_following = false; });
    m_focusWatch
        = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { showFocusedRow(now); });

    m_add = makeActionButton(tr("Add"), QStringLiteral("plus"), tr("Add Existing Working Copy"));
    m_new = makeActionButton(tr("New"), QStringLiteral("plus.square"), tr("Create SVN Repository"));
    m_checkout = makeActionButton(tr("Checkout"), QStringLiteral("square.and.arrow.down"), tr("Checkout"));
    m_add->setObjectName(QStringLiteral("sidebarAddButton"));
    m_new->setObjectName(QStringLiteral("sidebarNewButton"));
    m_checkout->setObjectName(QStringLiteral("sidebarCheckoutButton"));
    connect(m_add, &QToolButton::clicked, this, [this] { m_state.addExistingWorkingCopy(); });
    connect(m_new, &QToolButton::clicked, this, [this] { m_state.createSVNRepository(); });
    connect(m_checkout, &QToolButton::clicked, this, [this] { m_state.checkoutRepository(); });
    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->setContentsMargins(10, 10, 10, 10);
    actions->addStretch(1);
    actions->addWidget(m_add);
    actions->addWidget(m_new);
    actions->addWidget(m_checkout);
    actions->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(header);
    layout->addWidget(new Divider(nullptr, 0.18));
    layout->addWidget(m_scrollArea, 1);
    layout->addWidget(new Divider(nullptr, 0.18));
    layout->addLayout(actions);

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.10f));
    shadow->setBlurRadius(18);
    shadow->setOffset(0, 8);
    setGraphicsEffect(shadow);

    render();
}

SidebarOverlayView::~SidebarOverlayView()
{
    // Closing the window hands the focus on, and lays out, while the panel is half destroyed.
    disconnect(m_focusWatch);
    m_scrollArea->widget()->removeEventFilter(this);
    m_scrollArea->viewport()->removeEventFilter(this);
}

QToolButton *SidebarOverlayView::makeActionButton(const QString &title, const QString &symbol, const QString &tip)
{
    auto *button = new QToolButton;
    button->setText(title);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(15, 15));
    button->setToolTip(tip);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    FocusRing::attachToButton(button);
    return button;
}

void SidebarOverlayView::render()
{
    const QList<Project> &projects = m_state.projects();
    bool sameRows = m_rows.size() == projects.size();
    for (qsizetype i = 0; sameRows && i < projects.size(); ++i)
        sameRows = m_rows[i]->project().id == projects[i].id;
    if (sameRows) {
        for (qsizetype i = 0; i < projects.size(); ++i)
            m_rows[i]->setProject(projects[i]);
    } else {
        for (SidebarProjectRow *row : std::as_const(m_rows))
            delete row;
        m_rows.clear();
        for (const Project &project : projects) {
            auto *row = new SidebarProjectRow(m_state, project);
            row->installEventFilter(this);
            // After "Projects", before "No Projects".
            m_rowsLayout->insertWidget(int(m_rows.size()) + 1, row);
            // Tab goes from the toggle to the rows' one stop, then to Add.
            setTabOrder(m_rows.isEmpty() ? static_cast<QWidget *>(m_toggle) : m_rows.back(), row);
            m_rows.push_back(row);
        }
        m_following = true;
    }
    m_noProjects->setVisible(projects.isEmpty());
    updateTabStop();
    for (SidebarProjectRow *row : std::as_const(m_rows))
        row->update();
    m_toggle->render();
    if (m_state.selectedProjectID() != m_scrolledTo) {
        m_scrolledTo = m_state.selectedProjectID();
        m_following = true;
    }
    followSelection();
}

void SidebarOverlayView::followSelection()
{
    if (!m_following || m_scrollQueued)
        return;
    // After the layout events already posted, which place the rows and size the list.
    m_scrollQueued = true;
    QMetaObject::invokeMethod(this, &SidebarOverlayView::scrollToSelection, Qt::QueuedConnection);
}

void SidebarOverlayView::scrollToSelection()
{
    m_scrollQueued = false;
    if (!m_following)
        return;
    for (SidebarProjectRow *row : std::as_const(m_rows)) {
        if (row->isSelected()) {
            m_scrollArea->ensureWidgetVisible(row, 0, 8);
            return;
        }
    }
}

QWidget *SidebarOverlayView::focusStop() const
{
    for (SidebarProjectRow *row : m_rows) {
        if (row->focusPolicy() != Qt::NoFocus)
            return row;
    }
    return m_toggle;
}

void SidebarOverlayView::updateTabStop()
{
    auto *focused = qobject_cast<SidebarProjectRow *>(QApplication::focusWidget());
    SidebarProjectRow *stop = m_rows.contains(focused) ? focused : nullptr;
    for (qsizetype i = 0; !stop && i < m_rows.size(); ++i) {
        if (m_rows[i]->isSelected())
            stop = m_rows[i];
    }
    if (!stop && !m_rows.isEmpty())
        stop = m_rows.first();
    for (SidebarProjectRow *row : std::as_const(m_rows))
        row->setFocusPolicy(row == stop ? Qt::TabFocus : Qt::NoFocus);
}

bool SidebarOverlayView::moveFocus(SidebarProjectRow *from, int key)
{
    const qsizetype at = m_rows.indexOf(from);
    if (at < 0)
        return false;
    const int rowStep = from->height() + m_rowsLayout->spacing();
    const qsizetype page = qMax(1, m_scrollArea->viewport()->height() / qMax(1, rowStep));
    qsizetype to = at;
    switch (key) {
    case Qt::Key_Up:
        to = at - 1;
        break;
    case Qt::Key_Down:
        to = at + 1;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = m_rows.size() - 1;
        break;
    case Qt::Key_PageUp:
        to = at - page;
        break;
    case Qt::Key_PageDown:
        to = at + page;
        break;
    default:
        return false;
    }
    SidebarProjectRow *next = m_rows[qBound<qsizetype>(0, to, m_rows.size() - 1)];
    next->setFocusPolicy(Qt::TabFocus);
    next->setFocus(Qt::TabFocusReason);
    return true;
}

void SidebarOverlayView::showFocusedRow(QWidget *focused)
{
    updateTabStop();
    auto *row = qobject_cast<SidebarProjectRow *>(focused);
    if (!row || !m_rows.contains(row))
        return;
    // The keyboard leads the list now; it follows the selection again once that is where the focus is.
    m_following = row->isSelected();
    m_scrollArea->ensureWidgetVisible(row, 0, 8);
}

bool SidebarOverlayView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Ahead of the scroll area, which would page the list away from the focused row.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!(key->modifiers() & ~Qt::KeypadModifier)
            && moveFocus(qobject_cast<SidebarProjectRow *>(watched), key->key()))
            return true;
        break;
    }
    case QEvent::Wheel:
        if (watched == m_scrollArea->viewport())
            m_following = false;
        break;
    case QEvent::Resize:
    case QEvent::LayoutRequest:
        followSelection();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void SidebarOverlayView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF panel = QRectF(rect());
    LiquidGlass::paintBackground(painter, panel, palette());
    LiquidGlass::paintClippedRim(painter, panel, palette(), LiquidGlass::panelRadius, 0.14);
}
