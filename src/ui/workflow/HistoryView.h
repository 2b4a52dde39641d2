#pragma once

#include "model/LogEntry.h"
#include "ui/kit/ChangeHandler.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"
#include "ui/workflow/WorkflowPanes.h"

#include <QDateTime>
#include <QMetaType>
#include <QStyledItemDelegate>
#include <QWidget>

#include <optional>

class AppState;
class FileHistoryDetailView;
class LimitedLinesLabel;
class QPushButton;
class SplitPane;

// One file of the History list: its path, and its newest revision's action, label and date with the
// number of all its revisions (no second line when it has none).
struct HistoryFileRow {
    QString path;
    std::optional<QString> action;
    QString revision;
    QString revisionCount;
    std::optional<QDateTime> date;

    static constexpr int role = Qt::UserRole + 2;

    static HistoryFileRow fromItem(const FileHistoryItem &item);
};
Q_DECLARE_METATYPE(HistoryFileRow)

// Paints HistoryFileRow values: the path cut in its middle over the newest revision's line.
class HistoryFileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit HistoryFileRowDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The left pane of History: the number of files with Refresh, then every file of the loaded log.
class HistoryFileListView : public WorkflowListPane {
    Q_OBJECT

public:
    explicit HistoryFileListView(AppState &state, QWidget *parent = nullptr);

    void render(bool onScreen);

    LimitedLinesLabel *titleLabel() const { return m_title; }
    QPushButton *refreshButton() const { return m_refresh; }
    KeyedListModel<FileHistoryItem, QString> *model() const { return m_model; }

private:
    AppState &m_state;
    LimitedLinesLabel *m_title;
    QPushButton *m_refresh;
    KeyedListModel<FileHistoryItem, QString> *m_model;
    SelectionBinder<QString> *m_binder;
    ChangeHandler<std::optional<QString>> m_selectionChange;
};

// The History tab: the files beside the selected file's history. The same for Subversion and Git.
class HistoryView : public QWidget {
    Q_OBJECT

public:
    explicit HistoryView(AppState &state, QWidget *parent = nullptr);

    void render();

    SplitPane *split() const { return m_split; }
    HistoryFileListView *fileList() const { return m_files; }
    FileHistoryDetailView *detailView() const { return m_detail; }

private:
    AppState &m_state;
    SplitPane *m_split;
    HistoryFileListView *m_files;
    FileHistoryDetailView *m_detail;
};
