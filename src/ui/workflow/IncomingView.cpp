#include "ui/workflow/IncomingView.h"

#include "state/AppState.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PaneHeader.h"
#include "ui/kit/Placeholder.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SplitPane.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/RevisionRowDelegate.h"
#include "ui/workflow/WorkflowListView.h"
#include "ui/workflow/WorkflowSymbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

// PathStrip

PathStrip::PathStrip(QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    viewport()->setAutoFillBackground(false);
    FocusRing::attach(this, 4);
    setPaths({});
}

void PathStrip::setPaths(const QList<SVNPathChange> &paths)
{
    const QList<SVNPathChange> shown = paths.mid(0, shownPaths);
    const qsizetype more = qMax<qsizetype>(0, paths.size() - shownPaths);
    if (widget() && shown == m_shown && more == m_more)
        return;
    m_shown = shown;
    m_more = more;

    // Items by position: a revision may list one action and path twice.
    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    auto *row = new QHBoxLayout(content);
    // Clear of the strip's focus ring, in line with the summary above.
    row->setContentsMargins(FocusRing::clearance, 0, FocusRing::clearance, 0);
    row->setSpacing(10);
    for (const SVNPathChange &change : m_shown) {
        auto *item = new QHBoxLayout;
        item->setSpacing(6);
        item->addWidget(new ActionBadge(change.action), 0, Qt::AlignVCenter);
        auto *path = new QLabel(QString(change.path).replace(u'\n', u' '));
        path->setTextFormat(Qt::PlainText);
        path->setFont(Theme::monospaced(Theme::captionSize));
        item->addWidget(path, 0, Qt::AlignVCenter);
        row->addLayout(item);
    }
    m_moreLabel = nullptr;
    if (m_more > 0) {
        m_moreLabel = new ElidedLabel(tr("+%1").arg(m_more));
        m_moreLabel->setFont(Theme::caption());
        static_cast<ElidedLabel *>(m_moreLabel)->setColor(&Theme::secondary);
        m_moreLabel->setMinimumWidth(m_moreLabel->sizeHint().width());
        row->addWidget(m_moreLabel, 0, Qt::AlignVCenter);
    }
    row->addStretch(1);
    setWidget(content);
    setFixedHeight(m_shown.isEmpty() && !m_moreLabel ? 0 : content->sizeHint().height());
}

QString PathStrip::moreText() const
{
    return m_moreLabel ? m_moreLabel->text() : QString();
}

void PathStrip::wheelEvent(QWheelEvent *event)
{
    // Without scroll bars the wheel is the mouse's only way along the strip: either axis moves it.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    int delta = 0;
    if (!pixels.isNull())
        delta = qAbs(pixels.x()) > qAbs(pixels.y()) ? pixels.x() : pixels.y();
    else
        delta = (qAbs(angle.x()) > qAbs(angle.y()) ? angle.x() : angle.y()) * 40 / 120;
    QScrollBar *bar = horizontalScrollBar();
    const int before = bar->value();
    bar->setValue(before - delta);
    event->setAccepted(bar->value() != before);
}

// IncomingRevisionListView

IncomingRevisionListView::IncomingRevisionListView(AppState &state, QWidget *parent)
    : RevisionListPane(
        QStringLiteral("checkmark.circle"), tr("No Incoming Changes"), QStringLiteral("incomingList"),
        [&state](std::optional<qint64> value) { state.setSelectedIncomingRevision(value); }, parent),
      m_state(state), m_selectionChange([&state] { state.selectedIncomingRevisionChanged(); })
{
    paneHeader()->setSpacing(10);
    m_title = addTitle();
    m_subtitle = addCaption();
    m_refresh = addButton(tr("Refresh"), QStringLiteral("arrow.clockwise"), tr("Refresh Incoming Changes"));
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_state.refreshIncoming(); });
}

QString IncomingRevisionListView::subtitle(const QString &range, qsizetype outdatedCount)
{
    if (range.isEmpty() || outdatedCount <= 0)
        return range;
    return range + QStringLiteral(", ")
        + WorkflowText::counted(outdatedCount, QStringLiteral("path"), QStringLiteral("paths"));
}

void IncomingRevisionListView::render(bool onScreen)
{
    const QList<LogEntry> &entries = m_state.incomingEntries();
    m_title->setFullText(tr("%1 Incoming").arg(entries.size()));
    // An update that never finished leaves the working copy at its new revision with files absent: no
    // revision is incoming, yet the folder is not what the repository holds.
    const QList<WorkingCopyItem> &changes = m_state.changes();
    const bool incomplete = !changes.isEmpty() && changes.first().path == workingCopyRootPath
        && changes.first().kind == SVNStatusKind::incomplete;
    const qsizetype outdated = m_state.incomingOutdatedItems().size();
    QString text = subtitle(m_state.incomingRangeDescription(), outdated);
    if (incomplete) {
        text = tr("Update did not finish");
        if (outdated > 0)
            text += QStringLiteral(", ")
                + WorkflowText::counted(outdated, QStringLiteral("path"), QStringLiteral("paths"))
                + QStringLiteral(" to update");
    }
    if (incomplete)
        emptyState()->setContent(QStringLiteral("arrow.down.circle"), tr("Working Copy Incomplete"));
    else
        emptyState()->setContent(QStringLiteral("checkmark.circle"), tr("No Incoming Changes"));
    m_subtitle->setFullText(text);
    m_subtitle->setVisible(!text.isEmpty());

    const std::optional<qint64> &selected = m_state.selectedIncomingRevision();
    showEntries(entries, selected);
    m_selectionChange.observe(selected, onScreen && !entries.isEmpty());
}

// IncomingRevisionDetailView

IncomingRevisionDetailView::IncomingRevisionDetailView(AppState &state, QWidget *parent)
    : IncomingRevisionDetailView(state, new PathStrip, new DiffView, parent)
{ }

IncomingRevisionDetailView::IncomingRevisionDetailView(
    AppState &state, PathStrip *strip, DiffView *diff, QWidget *parent)
    : RevisionDetailPane(tr("(select an incoming revision)"), 2, strip, diff, parent), m_state(state), m_strip(strip),
      m_diff(diff)
{ }

void IncomingRevisionDetailView::render()
{
    const std::optional<LogEntry> entry = m_state.selectedIncomingLogEntry();
    if (!entry) {
        showNoRevision();
        return;
    }
    m_strip->setPaths(entry->paths);
    m_diff->setContent(m_state.incomingDiffText(), QStringLiteral("(no text diff)"));
    showRevision(entry->displayRevision(), WorkflowText::author(entry->author), entry->summary());
}

// IncomingView

IncomingView::IncomingView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    // The empty states paint symbols of their own.
    initWorkflowSymbols();
    setObjectName(QStringLiteral("IncomingView"));
    new RenderScheduler(state, this, [this] { render(); });

    m_placeholder = new EmptyStateView(QStringLiteral("arrow.down.circle"), tr("SVN Incoming Only"));
    m_list = new IncomingRevisionListView(state);
    m_detail = new IncomingRevisionDetailView(state);
    m_split = SplitPane::listAndDetail(m_list, 300, 390, 520, m_detail);

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_placeholder);
    m_pages->addWidget(m_split);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
    render();
}

bool IncomingView::showsSplit() const
{
    return m_pages->currentWidget() == m_split;
}

void IncomingView::render()
{
    const bool svn = m_state.selectedProjectKind() == RepositoryKind::svn;
    m_pages->setCurrentWidget(svn ? static_cast<QWidget *>(m_split) : m_placeholder);
    const bool onScreen = svn && m_state.selectedTab() == WorkflowTab::incoming;
    // The panes of the placeholder's other page keep no handler running.
    m_list->render(onScreen);
    if (svn)
        m_detail->render();
}
