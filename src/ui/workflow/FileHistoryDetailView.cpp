#include "ui/workflow/FileHistoryDetailView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PaneHeader.h"
#include "ui/kit/Placeholder.h"
#include "ui/kit/SplitPane.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/RevisionRowDelegate.h"
#include "ui/workflow/WorkflowListView.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int minimumHalfHeight = 170;
constexpr int idealListHeight = 240;

} // namespace

// HistoryRevisionDetailView

HistoryRevisionDetailView::HistoryRevisionDetailView(AppState &state, QWidget *parent)
    : HistoryRevisionDetailView(state, makeParts(), parent)
{ }

HistoryRevisionDetailView::Parts HistoryRevisionDetailView::makeParts()
{
    Parts parts{new QWidget, new ActionBadge, new LimitedLinesLabel(1), nullptr};
    parts.path->setElideMode(Qt::ElideMiddle);
    parts.path->setFont(Theme::monospaced(Theme::bodySize));
    parts.path->setSelectable(true);
    auto *line = new QHBoxLayout(parts.pathRow);
    line->setContentsMargins(FocusRing::clearance, 0, 0, 0);
    line->setSpacing(8);
    line->addWidget(parts.badge, 0, Qt::AlignVCenter);
    line->addWidget(parts.path, 1, Qt::AlignVCenter);
    parts.diff = new DiffView;
    return parts;
}

HistoryRevisionDetailView::HistoryRevisionDetailView(AppState &state, const Parts &parts, QWidget *parent)
    : RevisionDetailPane(tr("(select a revision)"), 2, parts.pathRow, parts.diff, parent), m_state(state),
      m_pathRow(parts.pathRow), m_badge(parts.badge), m_path(parts.path), m_diff(parts.diff)
{
    setMinimumHeight(minimumHalfHeight);
}

void HistoryRevisionDetailView::render(const QList<FileHistoryRevision> &revisions)
{
    const std::optional<qint64> &selected = m_state.selectedRevision();
    const FileHistoryRevision *revision = nullptr;
    if (selected) {
        for (const FileHistoryRevision &candidate : revisions) {
            if (candidate.id() == *selected) {
                revision = &candidate;
                break;
            }
        }
    }
    if (!revision) {
        showNoRevision();
        return;
    }
    const std::optional<QString> &path = m_state.selectedHistoryPath();
    m_pathRow->setVisible(path.has_value());
    m_badge->setAction(revision->action);
    m_path->setFullText(TextUtil::displayFileName(path.value_or(QString())));
    m_diff->setContent(m_state.historyDiffText(), QStringLiteral("(no text diff)"));
    showRevision(revision->displayRevision(), WorkflowText::author(revision->author), revision->summary());
}

// FileHistoryDetailView

FileHistoryDetailView::FileHistoryDetailView(AppState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_revisionChange([&state] { state.selectedHistoryRevisionChanged(); })
{
    auto *header = new PaneHeader;
    m_title = new ElidedLabel;
    m_title->setFont(Theme::headline());
    m_title->setElideMode(Qt::ElideMiddle);
    m_subtitle = new ElidedLabel;
    m_subtitle->setFont(Theme::caption());
    m_subtitle->setColor(&Theme::secondary);
    header->addText(m_title);
    header->addText(m_subtitle);
    m_pullFile = header->addButton(tr("Pull File"), QStringLiteral("arrow.down.doc"), tr("Pull File At Revision"));
    m_rollback = header->addButton(
        tr("Rollback"), QStringLiteral("arrow.uturn.backward.circle"), tr("Rollback Selected Revision"));
    connect(m_pullFile, &QPushButton::clicked, this, [this] { m_state.pullFileAtRevision(); });
    connect(m_rollback, &QPushButton::clicked, this, [this] { m_state.rollbackSelectedRevision(); });

    m_placeholder = new Placeholder(tr("(select a file)"));
    m_list = new WorkflowListView;
    m_list->setObjectName(QStringLiteral("historyRevisionList"));
    m_list->setMinimumHeight(minimumHalfHeight);
    m_model = new KeyedListModel<FileHistoryRevision, qint64>(
        [](const FileHistoryRevision &revision) { return revision.id(); },
        [](const FileHistoryRevision &revision, int role) {
            if (role == RevisionRow::role)
                return QVariant::fromValue(RevisionRow::fromFileHistoryRevision(revision));
            if (role == Qt::DisplayRole)
                return QVariant(revision.displayRevision());
            return QVariant();
        },
        this);
    m_list->setItemDelegate(new RevisionRowDelegate(m_list));
    m_binder = new SelectionBinder<qint64>(
        m_list, m_model, m_model, [this](std::optional<qint64> value) { m_state.setSelectedRevision(value); });
    m_revisionDetail = new HistoryRevisionDetailView(state);
    m_split = new SplitPane(Qt::Vertical, m_list, m_revisionDetail, idealListHeight);

    m_body = new QStackedWidget;
    m_body->addWidget(m_placeholder);
    m_body->addWidget(m_split);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(new Divider);
    layout->addWidget(m_body, 1);
}

QString FileHistoryDetailView::historySubtitle(qsizetype count)
{
    if (count == 0)
        return QStringLiteral("No revisions");
    return WorkflowText::counted(count, QStringLiteral("revision"), QStringLiteral("revisions"));
}

bool FileHistoryDetailView::showsSplit() const
{
    return m_body->currentWidget() == m_split;
}

void FileHistoryDetailView::render(bool onScreen)
{
    const std::optional<QString> path = m_state.selectedHistoryPath();
    const std::optional<qint64> revision = m_state.selectedRevision();
    const QList<FileHistoryRevision> revisions = m_state.selectedFileHistoryRevisions();

    m_title->setText(path.value_or(QStringLiteral("File History")));
    m_subtitle->setText(historySubtitle(revisions.size()));
    // Only the two selections count here, not whether the revision is among the file's.
    m_pullFile->setEnabled(path && revision);
    m_rollback->setEnabled(revision.has_value());

    m_body->setCurrentWidget(path ? static_cast<QWidget *>(m_split) : m_placeholder);
    m_model->setItems(revisions);
    m_binder->show(revision);
    m_revisionChange.observe(revision, onScreen && path.has_value());
    m_revisionDetail->render(revisions);
}
