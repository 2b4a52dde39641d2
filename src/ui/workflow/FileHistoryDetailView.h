#pragma once

#include "model/LogEntry.h"
#include "ui/kit/ChangeHandler.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"
#include "ui/workflow/WorkflowPanes.h"

#include <QWidget>

#include <optional>

class ActionBadge;
class AppState;
class DiffView;
class ElidedLabel;
class LimitedLinesLabel;
class Placeholder;
class QPushButton;
class QStackedWidget;
class SplitPane;
class WorkflowListView;

// The lower half of a file's history: the selected revision with the file's path and its diff there.
class HistoryRevisionDetailView : public RevisionDetailPane {
    Q_OBJECT

public:
    explicit HistoryRevisionDetailView(AppState &state, QWidget *parent = nullptr);

    // `revisions`: the selected file's revisions, as the pane above read them.
    void render(const QList<FileHistoryRevision> &revisions);

    QWidget *pathRow() const { return m_pathRow; }
    ActionBadge *pathBadge() const { return m_badge; }
    LimitedLinesLabel *pathLabel() const { return m_path; }
    DiffView *diffView() const { return m_diff; }

private:
    // The path's line (its action badge and the path) and the diff, made before the pane that holds them.
    struct Parts {
        QWidget *pathRow;
        ActionBadge *badge;
        LimitedLinesLabel *path;
        DiffView *diff;
    };
    static Parts makeParts();
    HistoryRevisionDetailView(AppState &state, const Parts &parts, QWidget *parent);

    AppState &m_state;
    QWidget *m_pathRow;
    ActionBadge *m_badge;
    LimitedLinesLabel *m_path;
    DiffView *m_diff;
};

// The right pane of History: the selected file with Pull File and Rollback, its revisions over the
// selected revision's detail.
class FileHistoryDetailView : public QWidget {
    Q_OBJECT

public:
    explicit FileHistoryDetailView(AppState &state, QWidget *parent = nullptr);

    void render(bool onScreen);

    // "No revisions", "1 revision", "12 revisions".
    static QString historySubtitle(qsizetype count);

    ElidedLabel *titleLabel() const { return m_title; }
    ElidedLabel *subtitleLabel() const { return m_subtitle; }
    QPushButton *pullFileButton() const { return m_pullFile; }
    QPushButton *rollbackButton() const { return m_rollback; }
    bool showsSplit() const;
    Placeholder *placeholder() const { return m_placeholder; }
    SplitPane *split() const { return m_split; }
    WorkflowListView *revisionList() const { return m_list; }
    KeyedListModel<FileHistoryRevision, qint64> *model() const { return m_model; }
    HistoryRevisionDetailView *revisionDetail() const { return m_revisionDetail; }

private:
    AppState &m_state;
    ElidedLabel *m_title;
    ElidedLabel *m_subtitle;
    QPushButton *m_pullFile;
    QPushButton *m_rollback;
    QStackedWidget *m_body;
    Placeholder *m_placeholder;
    SplitPane *m_split;
    WorkflowListView *m_list;
    KeyedListModel<FileHistoryRevision, qint64> *m_model;
    SelectionBinder<qint64> *m_binder;
    ChangeHandler<std::optional<qint64>> m_revisionChange;
    HistoryRevisionDetailView *m_revisionDetail;
};
