#pragma once

#include "model/LogEntry.h"
#include "model/Project.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"
#include "ui/workflow/WorkflowListView.h"
#include "ui/workflow/WorkflowPanes.h"

#include <QMetaType>
#include <QStyledItemDelegate>
#include <QWidget>

#include <optional>

class AppState;
class ElidedLabel;
class LimitedLinesLabel;
class Placeholder;
class QPushButton;
class QStackedWidget;
class RevisionHeaderRow;
class SplitPane;

// One changed path of an entry, by its position: an entry may list one action and path twice.
struct IndexedPathChange {
    qsizetype index = 0;
    SVNPathChange change;

    bool operator==(const IndexedPathChange &) const = default;
};
Q_DECLARE_METATYPE(IndexedPathChange)

// Paints a changed path: its action badge and the path, cut in its middle.
class ChangedPathDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Every changed path of the selected entry. A path can be copied whole: "Copy Path" on a row's
// context menu, or Ctrl+C on the selected row.
class ChangedPathList : public WorkflowListView {
    Q_OBJECT

public:
    explicit ChangedPathList(QWidget *parent = nullptr);

    void setPaths(const QList<SVNPathChange> &paths);
    KeyedListModel<qsizetype, qsizetype> *pathModel() const { return m_model; }
    // Puts the row's full path on the clipboard.
    void copyPath(int row) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QList<SVNPathChange> m_paths;
    KeyedListModel<qsizetype, qsizetype> *m_model;
};

// The left pane of Archives: the count of revisions or commits with Refresh, then the entries.
class ArchiveEntryListView : public RevisionListPane {
    Q_OBJECT

public:
    explicit ArchiveEntryListView(AppState &state, QWidget *parent = nullptr);

    void render();

    // "Commit"/"Commits" for Git, else "Revision"/"Revisions".
    static QString archiveLabel(std::optional<RepositoryKind> kind, qsizetype count);

    LimitedLinesLabel *titleLabel() const { return m_title; }
    QPushButton *refreshButton() const { return m_refresh; }

private:
    AppState &m_state;
    LimitedLinesLabel *m_title;
    QPushButton *m_refresh;
};

// The right pane of Archives: the selected entry with its changed paths, and Create Zip.
class ArchiveEntryDetailView : public QWidget {
    Q_OBJECT

public:
    explicit ArchiveEntryDetailView(AppState &state, QWidget *parent = nullptr);

    void render();

    // "Select a revision or commit" without an entry, else "5 paths in this revision" ("commit" for Git).
    static QString detailSubtitle(const std::optional<LogEntry> &entry, std::optional<RepositoryKind> kind);

    ElidedLabel *titleLabel() const { return m_title; }
    ElidedLabel *subtitleLabel() const { return m_subtitle; }
    QPushButton *createZipButton() const { return m_createZip; }
    bool showsEntry() const { return m_revision->showsRevision(); }
    Placeholder *placeholder() const { return m_revision->placeholder(); }
    RevisionHeaderRow *header() const { return m_revision->header(); }
    LimitedLinesLabel *summaryLabel() const { return m_revision->summaryLabel(); }
    bool showsPaths() const;
    Placeholder *noPathsPlaceholder() const { return m_noPaths; }
    ChangedPathList *pathList() const { return m_paths; }

private:
    AppState &m_state;
    ElidedLabel *m_title;
    ElidedLabel *m_subtitle;
    QPushButton *m_createZip;
    RevisionDetailPane *m_revision;
    QStackedWidget *m_pathPages;
    Placeholder *m_noPaths;
    ChangedPathList *m_paths;
};

// The Archives tab: recent revisions or commits beside the selected one. Choosing one loads nothing.
class ArchivesView : public QWidget {
    Q_OBJECT

public:
    explicit ArchivesView(AppState &state, QWidget *parent = nullptr);

    void render();

    SplitPane *split() const { return m_split; }
    ArchiveEntryListView *listView() const { return m_list; }
    ArchiveEntryDetailView *detailView() const { return m_detail; }

private:
    SplitPane *m_split;
    ArchiveEntryListView *m_list;
    ArchiveEntryDetailView *m_detail;
};
