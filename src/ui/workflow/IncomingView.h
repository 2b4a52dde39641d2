#pragma once

#include "model/LogEntry.h"
#include "ui/kit/ChangeHandler.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"

#include <QScrollArea>
#include <QWidget>

#include <optional>

class ActionBadge;
class AppState;
class DiffView;
class ElidedLabel;
class EmptyStateView;
class LimitedLinesLabel;
class PaneHeader;
class Placeholder;
class QLabel;
class QPushButton;
class QStackedWidget;
class RevisionHeaderRow;
class SplitPane;
class WorkflowListView;

// The first changed paths of a revision in one row that scrolls sideways without scroll bars; the
// mouse wheel scrolls it too. Paths beyond the eighth are only counted ("+12").
class PathStrip : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int shownPaths = 8;

    explicit PathStrip(QWidget *parent = nullptr);

    void setPaths(const QList<SVNPathChange> &paths);
    // What the strip shows: the actions and paths in order, and the count of the others ("" for none).
    QList<SVNPathChange> shownChanges() const { return m_shown; }
    QString moreText() const;

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    QList<SVNPathChange> m_shown;
    qsizetype m_more = -1;
    QLabel *m_moreLabel = nullptr;
};

// The left pane: count and range header with Refresh, then the incoming revisions.
class IncomingRevisionListView : public QWidget {
    Q_OBJECT

public:
    explicit IncomingRevisionListView(AppState &state, QWidget *parent = nullptr);

    // `onScreen`: the tab shows this pane now (the change handler only runs then).
    void render(bool onScreen);

    // The range, with the number of out-of-date paths when there is a range and any such path.
    static QString subtitle(const QString &range, qsizetype outdatedCount);

    LimitedLinesLabel *titleLabel() const { return m_title; }
    LimitedLinesLabel *subtitleLabel() const { return m_subtitle; }
    QPushButton *refreshButton() const { return m_refresh; }
    EmptyStateView *emptyState() const { return m_empty; }
    WorkflowListView *list() const { return m_list; }
    KeyedListModel<LogEntry, qint64> *model() const { return m_model; }
    bool showsList() const;

private:
    AppState &m_state;
    LimitedLinesLabel *m_title;
    LimitedLinesLabel *m_subtitle;
    QPushButton *m_refresh;
    QStackedWidget *m_body;
    EmptyStateView *m_empty;
    WorkflowListView *m_list;
    KeyedListModel<LogEntry, qint64> *m_model;
    SelectionBinder<qint64> *m_binder;
    ChangeHandler<std::optional<qint64>> m_selectionChange;
};

// The right pane: the selected incoming revision with its paths and diff, or a placeholder.
class IncomingRevisionDetailView : public QWidget {
    Q_OBJECT

public:
    explicit IncomingRevisionDetailView(AppState &state, QWidget *parent = nullptr);

    void render();

    bool showsEntry() const;
    Placeholder *placeholder() const { return m_placeholder; }
    RevisionHeaderRow *header() const { return m_header; }
    LimitedLinesLabel *summaryLabel() const { return m_summary; }
    PathStrip *pathStrip() const { return m_strip; }
    DiffView *diffView() const { return m_diff; }

private:
    AppState &m_state;
    QStackedWidget *m_pages;
    Placeholder *m_placeholder;
    QWidget *m_content;
    RevisionHeaderRow *m_header;
    LimitedLinesLabel *m_summary;
    PathStrip *m_strip;
    DiffView *m_diff;
};

// The Incoming tab: for an svn project the list and the detail side by side; otherwise a placeholder
// (incoming changes exist for Subversion working copies only).
class IncomingView : public QWidget {
    Q_OBJECT

public:
    explicit IncomingView(AppState &state, QWidget *parent = nullptr);

    void render();

    bool showsSplit() const;
    EmptyStateView *placeholder() const { return m_placeholder; }
    SplitPane *split() const { return m_split; }
    IncomingRevisionListView *listView() const { return m_list; }
    IncomingRevisionDetailView *detailView() const { return m_detail; }

private:
    AppState &m_state;
    QStackedWidget *m_pages;
    EmptyStateView *m_placeholder;
    SplitPane *m_split;
    IncomingRevisionListView *m_list;
    IncomingRevisionDetailView *m_detail;
};
