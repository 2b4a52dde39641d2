#pragma once

#include "model/LogEntry.h"
#include "ui/kit/ChangeHandler.h"
#include "ui/workflow/WorkflowPanes.h"

#include <QScrollArea>
#include <QWidget>

#include <optional>

class AppState;
class DiffView;
class EmptyStateView;
class LimitedLinesLabel;
class QLabel;
class QPushButton;
class QStackedWidget;
class SplitPane;

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
class IncomingRevisionListView : public RevisionListPane {
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

private:
    AppState &m_state;
    LimitedLinesLabel *m_title;
    LimitedLinesLabel *m_subtitle;
    QPushButton *m_refresh;
    ChangeHandler<std::optional<qint64>> m_selectionChange;
};

// The right pane: the selected incoming revision with its paths and diff, or a placeholder.
class IncomingRevisionDetailView : public RevisionDetailPane {
    Q_OBJECT

public:
    explicit IncomingRevisionDetailView(AppState &state, QWidget *parent = nullptr);

    void render();

    bool showsEntry() const { return showsRevision(); }
    PathStrip *pathStrip() const { return m_strip; }
    DiffView *diffView() const { return m_diff; }

private:
    IncomingRevisionDetailView(AppState &state, PathStrip *strip, DiffView *diff, QWidget *parent);

    AppState &m_state;
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
