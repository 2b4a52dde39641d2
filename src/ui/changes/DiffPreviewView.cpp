#include "ui/changes/DiffPreviewView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

DiffPreviewView::DiffPreviewView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    new RenderScheduler(state, this, [this] { render(); });

    m_title = new ElidedLabel;
    m_title->setFont(Theme::headline());
    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 8, 12, 8);
    header->addWidget(m_title, 1);

    m_diff = new DiffView;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(new Divider);
    layout->addWidget(m_diff, 1);

    render();
}

void DiffPreviewView::render()
{
    const std::optional<QString> &path = m_state.selectedChangeID();
    m_title->setText(path ? TextUtil::displayFileName(displayPath(*path, m_state.selectedProjectPath()))
                          : QStringLiteral("Preview"));
    m_diff->setContent(m_state.diffText(), QStringLiteral("(select a changed file)"));
}
