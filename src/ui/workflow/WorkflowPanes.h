#pragma once

#include "model/LogEntry.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"

#include <QWidget>

#include <functional>
#include <optional>

class EmptyStateView;
class LimitedLinesLabel;
class PaneHeader;
class Placeholder;
class QPushButton;
class QStackedWidget;
class RevisionHeaderRow;
class WorkflowListView;

// The list pane of a workflow tab: a header, a divider, then the list or, while it is empty, an empty
// state of a symbol and a text.
class WorkflowListPane : public QWidget {
    Q_OBJECT

public:
    WorkflowListPane(
        const QString &emptySymbol, const QString &emptyText, const QString &listName, QWidget *parent = nullptr);

    PaneHeader *paneHeader() const { return m_header; }
    EmptyStateView *emptyState() const { return m_empty; }
    WorkflowListView *list() const { return m_list; }
    bool showsList() const;

protected:
    // The pane's title (headline) and a caption under it (secondary), added to the header in that order.
    LimitedLinesLabel *addTitle();
    LimitedLinesLabel *addCaption();
    // A button of the header, before the list in the focus chain as if the header had been built first.
    QPushButton *addButton(const QString &title, const QString &symbol, const QString &help);
    void showList(bool shown);

private:
    PaneHeader *m_header;
    QStackedWidget *m_body;
    EmptyStateView *m_empty;
    WorkflowListView *m_list;
};

// A list pane of log entries, one revision row each, whose single selection follows the state's.
class RevisionListPane : public WorkflowListPane {
    Q_OBJECT

public:
    // `select` passes the user's choice to the state.
    RevisionListPane(const QString &emptySymbol, const QString &emptyText, const QString &listName,
        std::function<void(std::optional<qint64>)> select, QWidget *parent = nullptr);

    KeyedListModel<LogEntry, qint64> *model() const { return m_model; }

protected:
    void showEntries(const QList<LogEntry> &entries, const std::optional<qint64> &selected);

private:
    KeyedListModel<LogEntry, qint64> *m_model;
    SelectionBinder<qint64> *m_binder;
};

// The detail of one revision: its header row and summary over a line of the pane's own, a divider and a
// body (its diff, its paths); a placeholder while no revision is shown.
class RevisionDetailPane : public QWidget {
    Q_OBJECT

public:
    // `line` may be null; the pane takes both widgets.
    RevisionDetailPane(
        const QString &placeholderText, int summaryLines, QWidget *line, QWidget *body, QWidget *parent = nullptr);

    Placeholder *placeholder() const { return m_placeholder; }
    RevisionHeaderRow *header() const { return m_header; }
    LimitedLinesLabel *summaryLabel() const { return m_summary; }
    bool showsRevision() const;

    void showNoRevision();
    // The caller fills the line and the body.
    void showRevision(const QString &revision, const QString &author, const QString &summary,
        const std::optional<QString> &date = std::nullopt);

private:
    QStackedWidget *m_pages;
    Placeholder *m_placeholder;
    QWidget *m_content;
    RevisionHeaderRow *m_header;
    LimitedLinesLabel *m_summary;
};
