#include "ui/window/ProjectHeaderView.h"

#include "state/AppState.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/Spinner.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

QString repositorySubtitle(std::optional<RepositoryKind> kind, const RepositoryInfo &info)
{
    if (!kind)
        return QString();
    if (*kind == RepositoryKind::git) {
        if (info.revision && !info.revision->isEmpty())
            return displayName(*kind) + u' ' + *info.revision;
        return displayName(*kind);
    }
    // An empty working revision stays: only an absent one falls back to the revision.
    const std::optional<QString> &revision = info.workingRevision ? info.workingRevision : info.revision;
    if (revision && !revision->isEmpty())
        return displayName(*kind) + QStringLiteral(" r") + *revision;
    return displayName(*kind);
}

namespace {

QPushButton *symbolButton(const QString &title, const QString &symbol, const QString &tip = QString())
{
    auto *button = new QPushButton(symbolIcon(symbol), title);
    button->setIconSize(QSize(15, 15));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    FocusRing::attachToButton(button);
    return button;
}

// The symbol image of the empty view, drawn large in the secondary style.
class SymbolImage : public QWidget {
public:
    SymbolImage(QString name, int size) : m_name(std::move(name)), m_size(size) { setFixedSize(size, size); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, symbolPixmap(m_name, Theme::secondary(palette()), m_size, devicePixelRatioF()));
    }

private:
    QString m_name;
    int m_size;
};

} // namespace

ProjectHeaderView::ProjectHeaderView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    new RenderScheduler(state, this, [this] { render(); });

    m_name = new ElidedLabel;
    m_name->setFont(Theme::headline());
    m_subtitle = new ElidedLabel;
    m_subtitle->setColor(&Theme::secondary);
    QFont subtitleFont = Theme::caption();
    subtitleFont.setWeight(QFont::DemiBold);
    m_subtitle->setFont(subtitleFont);
    m_path = new ElidedLabel;
    m_path->setElideMode(Qt::ElideMiddle);
    m_path->setFont(Theme::caption());
    m_path->setColor(&Theme::secondary);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_name);
    texts->addWidget(m_subtitle);
    texts->addWidget(m_path);

    m_spinner = new Spinner;
    m_busy = new ElidedLabel;
    m_busy->setColor(&Theme::secondary);
    m_busy->setFont(Theme::caption());

    m_stop = new QPushButton(tr("Stop"));
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setToolTip(tr("Stop what is running (Esc)"));
    m_stop->setAutoDefault(false);
    FocusRing::attachToButton(m_stop);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_state.stopRunningAction(); });

    m_refresh = symbolButton(tr("Refresh"), QStringLiteral("arrow.clockwise"), tr("Refresh Status"));
    m_branch = symbolButton(tr("Branch"), QStringLiteral("arrow.triangle.branch"), tr("Switch Branch"));
    m_update = symbolButton(tr("Update"), QStringLiteral("arrow.down.circle"), tr("Update"));
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_branch->setObjectName(QStringLiteral("branchButton"));
    m_update->setObjectName(QStringLiteral("updateButton"));
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_state.refreshAll(); });
    connect(m_branch, &QPushButton::clicked, this, [this] { m_state.switchGitBranch(); });
    connect(m_update, &QPushButton::clicked, this, [this] { m_state.updateWorkingCopy(); });

    auto *row = m_row = new QHBoxLayout(this);
    row->setSpacing(12);
    row->setContentsMargins(16, 12, 16, 12);
    // The texts take their room first and give it up by eliding; the buttons never shrink.
    row->addLayout(texts, 0);
    row->addStretch(1);
    row->addWidget(m_spinner, 0, Qt::AlignVCenter);
    row->addWidget(m_busy, 0, Qt::AlignVCenter);
    row->addWidget(m_stop, 0, Qt::AlignVCenter);
    row->addWidget(m_refresh, 0, Qt::AlignVCenter);
    row->addWidget(m_branch, 0, Qt::AlignVCenter);
    row->addWidget(m_update, 0, Qt::AlignVCenter);

    render();
}

void ProjectHeaderView::setLeadingInset(int inset)
{
    m_row->setContentsMargins(16 + inset, 12, 16, 12);
}

void ProjectHeaderView::render()
{
    m_name->setText(m_state.selectedProjectName());
    const QString subtitle = repositorySubtitle(m_state.selectedProjectKind(), m_state.repositoryInfo());
    m_subtitle->setText(subtitle);
    m_subtitle->setVisible(!subtitle.isEmpty());
    m_path->setText(m_state.selectedProjectPath());
    const std::optional<QString> &busy = m_state.busyMessage();
    m_busy->setText(busy.value_or(QString()));
    m_spinner->setVisible(busy.has_value());
    m_busy->setVisible(busy.has_value());
    m_stop->setVisible(m_state.canStop());
    m_branch->setVisible(m_state.selectedProjectKind() == RepositoryKind::git);
}

EmptyProjectView::EmptyProjectView(AppState &state, QWidget *parent) : QWidget(parent)
{
    auto *title = new QLabel(tr("No Project"));
    title->setFont(Theme::title2());

    m_add = symbolButton(tr("Add Working Copy"), QStringLiteral("plus"));
    m_new = symbolButton(tr("New SVN Repository"), QStringLiteral("plus.square"));
    m_checkout = symbolButton(tr("Checkout"), QStringLiteral("square.and.arrow.down"));
    connect(m_add, &QPushButton::clicked, this, [&state] { state.addExistingWorkingCopy(); });
    connect(m_new, &QPushButton::clicked, this, [&state] { state.createSVNRepository(); });
    connect(m_checkout, &QPushButton::clicked, this, [&state] { state.checkoutRepository(); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_new);
    buttons->addWidget(m_checkout);

    auto *stack = new QVBoxLayout;
    stack->setSpacing(14);
    stack->addWidget(new SymbolImage(QStringLiteral("point.3.connected.trianglepath.dotted"), 42), 0, Qt::AlignHCenter);
    stack->addWidget(title, 0, Qt::AlignHCenter);
    stack->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto *centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addLayout(stack);
    centred->addStretch(1);
    layout->addLayout(centred);
    layout->addStretch(1);
}
