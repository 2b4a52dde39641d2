#pragma once

#include "model/WorkingCopyItem.h"

#include <QStyledItemDelegate>

// The badge colour of a change's status kind.
QColor statusColor(SVNStatusKind kind, const QPalette &palette);
// A commit check box that keeps 3:1 against the row colour `background`, ticked or not.
void paintCheckBox(
    QPainter &painter, const QRect &rect, bool checked, const QPalette &palette, const QColor &background);

// Paints one row of the change list: the commit check box, the status badge, and the path (one line,
// cut at its end) over the status label. Every row has the same height, so the list can lay out
// thousands of rows without asking for each.
class ChangeRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The model's roles besides the path (DisplayRole) and the tick (CheckStateRole).
    enum Role {
        KindRole = Qt::UserRole + 1,
        StatusLabelRole,
    };

    static constexpr int rowInset = 10;
    static constexpr int spacing = 8;
    static constexpr int verticalPadding = 3;

    explicit ChangeRowDelegate(QObject *parent = nullptr);

    // Where the check box of the row in `rowRect` lies.
    QRect checkRect(const QRect &rowRect, const QWidget *widget) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QSize indicatorSize(const QWidget *widget) const;
};
