#pragma once

#include "model/LogEntry.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/RowBackground.h"

#include <QDateTime>
#include <QMetaType>
#include <QStyledItemDelegate>

#include <optional>

class QAbstractItemView;

// The texts that stand around a count or in place of data in the workflow tabs.
namespace WorkflowText {
// The author, or "unknown" when it is empty (spaces are shown as they are).
QString author(const QString &author);
// The count, a space and the singular for exactly one, else the plural: "1 path", "0 paths".
QString counted(qsizetype count, const QString &singular, const QString &plural);
} // namespace WorkflowText

// One row of a list of revisions or commits: an optional action badge, the revision, the author, an
// optional path count, the date at the trailing edge, and the summary under them in at most 2 lines.
struct RevisionRow {
    std::optional<QString> action;
    QString revision;
    QString author;
    QString pathCount;
    std::optional<QDateTime> date;
    QString summary;

    static constexpr int role = Qt::UserRole + 1;

    // The rows of the Incoming and Archives lists.
    static RevisionRow fromLogEntry(const LogEntry &entry);
    // The rows of a file's revisions in History.
    static RevisionRow fromFileHistoryRevision(const FileHistoryRevision &revision);
};
Q_DECLARE_METATYPE(RevisionRow)

// The model of the Incoming and Archives lists: log entries keyed by revision, shown as RevisionRow values.
KeyedListModel<LogEntry, qint64> *makeLogEntryListModel(QObject *parent);

// Paints RevisionRow values (the model's RevisionRow::role). Rows are 1 or 2 summary lines high at
// the list's width, so the list must lay its rows out again when its width changes (word wrap on).
class RevisionRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit RevisionRowDelegate(QAbstractItemView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static constexpr int horizontalPadding = 10;

private:
    int textWidth() const;

    QAbstractItemView *m_view;
};
