#pragma once

#include "model/Project.h"
#include "ui/kit/ChangeHandler.h"

#include <QWidget>

#include <array>

class AppState;
class EmptyProjectView;
class ProjectHeaderView;
class QStackedWidget;
class SegmentedPicker;

// The pane under the sidebar: the empty-project view, or the project header, the tab picker and the
// selected tab's view. Each change of the selected tab while a project shows calls tabChanged() once.
class DetailView : public QWidget {
    Q_OBJECT

public:
    explicit DetailView(AppState &state, QWidget *parent = nullptr);

    void render();

    bool showsProject() const;
    EmptyProjectView *emptyView() const { return m_empty; }
    ProjectHeaderView *header() const { return m_header; }
    SegmentedPicker *picker() const { return m_picker; }
    QWidget *currentTabView() const;
    // Where the keyboard focus goes when the control that had it is gone: the tab picker, or the first
    // button of the empty view.
    QWidget *focusHome() const;
    QWidget *tabView(WorkflowTab tab) const { return m_tabViews[static_cast<size_t>(tab)]; }

private:
    AppState &m_state;
    QStackedWidget *m_pages;
    EmptyProjectView *m_empty;
    QWidget *m_projectPage;
    ProjectHeaderView *m_header;
    SegmentedPicker *m_picker;
    QStackedWidget *m_tabs;
    std::array<QWidget *, 4> m_tabViews{};
    ChangeHandler<WorkflowTab> m_tabChange;
};
