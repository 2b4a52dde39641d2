#include "ui/window/ContentView.h"

#include "state/AppState.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/window/AlertStyle.h"
#include "ui/window/CommandOutputView.h"
#include "ui/window/DetailView.h"
#include "ui/window/ProjectHeaderView.h"
#include "ui/window/SidebarOverlayView.h"
#include "ui/window/SidebarToggleButton.h"
#include "ui/window/WindowFocusRefreshObserver.h"

#include <QApplication>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMessageBox>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QShortcut>

namespace {

QEasingCurve easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

} // namespace

ContentView::ContentView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setMinimumSize(820, 540);
    setAutoFillBackground(true);
    new RenderScheduler(state, this, [this] { render(); });

    // Escape stops the running action or load, unless a dialog is open: the dialog takes its own Escape.
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setContext(Qt::WindowShortcut);
    m_stopShortcut->setEnabled(false);
    connect(m_stopShortcut, &QShortcut::activated, this, [&state] {
        if (!QApplication::activeModalWidget())
            state.stopRunningAction();
    });

    m_focusObserver = new WindowFocusRefreshObserver(this);
    m_focusObserver->setOnFocus([&state] { state.refreshAll(); });

    const Binding<bool> visibility{
        [this] { return m_sidebarVisible; }, [this](bool value) { setSidebarVisible(value); }};
    m_detail = new DetailView(state, this);
    m_sidebar = new SidebarOverlayView(state, visibility, this);
    m_sidebar->move(sidebarPosition(true));
    m_showButton = new SidebarToggleButton(visibility, this);
    m_showButton->move(showButtonLeading, showButtonTop);
    m_showButtonOpacity = new QGraphicsOpacityEffect(m_showButton);
    m_showButtonOpacity->setOpacity(0);
    m_showButton->setGraphicsEffect(m_showButtonOpacity);
    m_showButton->hide();
    m_sidebar->raise();
    m_showButton->raise();

    m_slide = new QPropertyAnimation(m_sidebar, "pos", this);
    m_slide->setDuration(animationMilliseconds);
    m_slide->setEasingCurve(easeInOut());
    connect(m_slide, &QPropertyAnimation::valueChanged, this, [this] { placeDetailView(); });
    connect(m_slide, &QPropertyAnimation::finished, this, [this] {
        if (!m_sidebarVisible)
            m_sidebar->hide();
    });
    m_fade = new QPropertyAnimation(m_showButtonOpacity, "opacity", this);
    m_fade->setDuration(animationMilliseconds);
    m_fade->setEasingCurve(easeInOut());
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_sidebarVisible)
            m_showButton->hide();
    });

    // A stacked layout hands the focus of the page that gives way to the incoming page itself, though that
    // may take no focus and show none ("No Changes"); a control hidden or deleted while it has the focus
    // leaves it on the next stop of the chain or nowhere.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this] { queueFocusCheck(); });
    qApp->installEventFilter(this);
}

ContentView::~ContentView()
{
    disconnect(m_focusWatch);
    qApp->removeEventFilter(this);
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->window() == window())
            m_lastInputInSidebar = widget == m_sidebar || m_sidebar->isAncestorOf(widget);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::queueFocusCheck()
{
    if (m_focusCheckQueued)
        return;
    m_focusCheckQueued = true;
    // Once the layouts switched in this turn have handed the focus on.
    QMetaObject::invokeMethod(this, &ContentView::keepFocusOnAControl, Qt::QueuedConnection);
}

void ContentView::keepFocusOnAControl()
{
    m_focusCheckQueued = false;
    if (!isActiveWindow() || QApplication::activePopupWidget())
        return;
    QWidget *focus = QApplication::focusWidget();
    // The content itself has the focus only when put there on purpose, as no control in particular.
    if (focus == this || (focus && !isAncestorOf(focus)))
        return;
    if (focus && focus->isVisible() && focus->focusPolicy() != Qt::NoFocus)
        return;
    if (QWidget *home = focusHome())
        home->setFocus(Qt::OtherFocusReason);
}

QWidget *ContentView::focusHome() const
{
    if (m_sidebarVisible && m_lastInputInSidebar)
        return m_sidebar->focusStop();
    return m_detail->focusHome();
}

QPoint ContentView::sidebarPosition(bool visible) const
{
    return QPoint(sidebarGap + (visible ? 0 : sidebarHiddenShift), sidebarGap);
}

void ContentView::setSidebarVisible(bool visible)
{
    if (visible == m_sidebarVisible)
        return;
    m_sidebarVisible = visible;
    // Mouse input follows at once; the panel leaves the accessibility tree when it has slid away.
    m_sidebar->setAttribute(Qt::WA_TransparentForMouseEvents, !visible);
    if (visible)
        m_sidebar->show();
    // The keyboard follows the toggle from the button that goes to the one that comes.
    QWidget *focus = QApplication::focusWidget();
    if (visible && focus == m_showButton)
        m_sidebar->toggleButton()->setFocus(Qt::OtherFocusReason);
    m_slide->stop();
    m_slide->setStartValue(m_sidebar->pos());
    m_slide->setEndValue(sidebarPosition(visible));
    m_slide->start();

    m_fade->stop();
    m_fade->setStartValue(m_showButtonOpacity->opacity());
    m_fade->setEndValue(visible ? 0.0 : 1.0);
    if (!visible) {
        m_showButton->show();
        m_showButton->raise();
        if (focus && m_sidebar->isAncestorOf(focus))
            m_showButton->setFocus(Qt::OtherFocusReason);
    }
    m_fade->start();

    m_showButton->render();
    m_sidebar->toggleButton()->render();
}

void ContentView::placeDetailView()
{
    // Nothing of the pane lies under the panel or the show button: the pane starts beside the panel,
    // following it as it slides, and the header keeps the button's corner free while it is hidden.
    const int inset = qBound(0, m_sidebar->x() + sidebarWidth + sidebarGap, width());
    m_detail->setGeometry(inset, 0, width() - inset, height());
    // The name starts 12 beside the button; the header's own leading padding of 16 counts towards it.
    const int buttonRoom = showButtonLeading + m_showButton->width() + 12 - 16;
    m_detail->header()->setLeadingInset(qMax(0, buttonRoom - inset));
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QPoint position
        = m_slide->state() == QAbstractAnimation::Running ? m_sidebar->pos() : sidebarPosition(m_sidebarVisible);
    m_sidebar->setGeometry(position.x(), position.y(), sidebarWidth, qMax(0, height() - 2 * sidebarGap));
    placeDetailView();
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_started) {
        m_started = true;
        m_state.start();
        render();
    }
}

void ContentView::render()
{
    queueFocusCheck();
    m_stopShortcut->setEnabled(m_state.canStop());
    // A failed command sets both at once: the sheet opens first and the alert on top of it.
    syncSheet();
    syncAlert();
}

void ContentView::syncSheet()
{
    const std::optional<CommandOutput> &output = m_state.commandOutput();
    if (m_sheet && (!output || output->id != m_sheet->outputID()))
        closeSheet();
    if (!output || m_sheet || !isVisible())
        return;
    m_sheet = new CommandOutputSheet(*output, this);
    m_sheet->setObjectName(QStringLiteral("commandOutputSheet"));
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    const QUuid id = output->id;
    connect(m_sheet, &QDialog::finished, this, [this, id] {
        if (m_state.commandOutput() && m_state.commandOutput()->id == id)
            m_state.setCommandOutput(std::nullopt);
    });
    m_sheet->open();
}

void ContentView::closeSheet()
{
    CommandOutputSheet *sheet = m_sheet;
    m_sheet = nullptr;
    // An alert standing on the sheet goes with it; it is opened again over the window.
    if (m_alertBox && m_alertBox->parent() == sheet)
        closeAlert();
    sheet->disconnect(this);
    sheet->close();
}

void ContentView::syncAlert()
{
    const std::optional<AppAlert> &alert = m_state.alert();
    if (m_alertBox && (!alert || alert->id != m_alertID))
        closeAlert();
    if (!alert || m_alertBox || !isVisible())
        return;
    QWidget *parent = m_sheet ? static_cast<QWidget *>(m_sheet) : this;
    m_alertBox = new QMessageBox(parent);
    m_alertBox->setObjectName(QStringLiteral("alert"));
    m_alertBox->setAttribute(Qt::WA_DeleteOnClose);
    m_alertBox->setTextFormat(Qt::PlainText);
    m_alertBox->setText(alert->title);
    m_alertBox->setInformativeText(alert->message);
    // Tool output must not be read as markup.
    if (auto *informative = m_alertBox->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    AlertStyle::apply(*m_alertBox);
    QPushButton *ok = m_alertBox->addButton(tr("OK"), QMessageBox::AcceptRole);
    m_alertBox->setDefaultButton(ok);
    m_alertBox->setEscapeButton(ok);
    m_alertID = alert->id;
    const QUuid id = alert->id;
    connect(m_alertBox, &QDialog::finished, this, [this, id] {
        if (m_state.alert() && m_state.alert()->id == id)
            m_state.setAlert(std::nullopt);
    });
    m_alertBox->open();
}

void ContentView::closeAlert()
{
    QMessageBox *box = m_alertBox;
    m_alertBox = nullptr;
    m_alertID = QUuid();
    box->disconnect(this);
    box->close();
}
