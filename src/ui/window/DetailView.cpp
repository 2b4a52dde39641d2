#include "ui/window/DetailView.h"

#include "state/AppState.h"
#include "ui/kit/Divider.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SegmentedPicker.h"
#include "ui/window/ProjectHeaderView.h"
#include "ui/workflow/WorkflowTabViews.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

DetailView::DetailView(AppState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_tabChange([&state] { state.tabChanged(); })
{
    new RenderScheduler(state, this, [this] { render(); });

    m_empty = new EmptyProjectView(state);
    m_header = new ProjectHeaderView(state);

    QStringList titles;
    for (WorkflowTab tab : allWorkflowTabs)
        titles << rawValue(tab);
    m_picker = new SegmentedPicker(titles);
    m_picker->setObjectName(QStringLiteral("tabPicker"));
    m_picker->setOnChoose([this](int index) {
        m_picker->setCurrentIndex(index);
        m_state.setSelectedTab(allWorkflowTabs[static_cast<size_t>(index)]);
    });
    auto *pickerRow = new QHBoxLayout;
    pickerRow->setContentsMargins(0, 10, 0, 10);
    pickerRow->addStretch(1);
    pickerRow->addWidget(m_picker, 1);
    pickerRow->addStretch(1);

    m_tabs = new QStackedWidget;
    m_tabViews = {makeChangesView(state), makeIncomingView(state), makeHistoryView(state), makeArchivesView(state)};
    for (QWidget *view : m_tabViews)
        m_tabs->addWidget(view);

    m_projectPage = new QWidget;
    auto *column = new QVBoxLayout(m_projectPage);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(new Divider);
    column->addLayout(pickerRow);
    column->addWidget(new Divider);
    column->addWidget(m_tabs, 1);

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_empty);
    m_pages->addWidget(m_projectPage);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    render();
}

bool DetailView::showsProject() const
{
    return m_pages->currentWidget() == m_projectPage;
}

QWidget *DetailView::currentTabView() const
{
    return showsProject() ? m_tabs->currentWidget() : nullptr;
}

QWidget *DetailView::focusHome() const
{
    return showsProject() ? static_cast<QWidget *>(m_picker) : m_empty->addButton();
}

void DetailView::render()
{
    const bool hasProject = m_state.selectedProject().has_value();
    m_pages->setCurrentWidget(hasProject ? m_projectPage : static_cast<QWidget *>(m_empty));
    const WorkflowTab tab = m_state.selectedTab();
    m_picker->setCurrentIndex(static_cast<int>(tab));
    m_tabs->setCurrentWidget(tabView(tab));
    m_tabChange.observe(tab, hasProject);
}
