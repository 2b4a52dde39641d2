#pragma once

#include "model/WorkingCopyItem.h"
#include "ui/kit/ChangeHandler.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"

#include <QContextMenuEvent>
#include <QListView>
#include <QPersistentModelIndex>
#include <QSet>
#include <QWidget>

#include <functional>
#include <optional>

class AppState;
class ChangeRowDelegate;
class ElidedLabel;
class EmptyStateView;
class QMenu;
class QStackedWidget;

// The list of changes as the desktop has it: a press on a row's check box only ticks or unticks it,
// a right-button press leaves the selection alone (the context menu follows), a click on empty space
// clears the selection, and Ctrl+click on the selected row clears it too. Space ticks the current row as a
// check box does, leaving the selection where it is.
class ChangeRowsView : public QListView {
    Q_OBJECT

public:
    explicit ChangeRowsView(QWidget *parent = nullptr);

    // Called with the rows to tick or untick and the row whose tick they all take the opposite of.
    using OnTick = std::function<void(const QModelIndexList &rows, const QModelIndex &lead)>;
    void setOnTick(OnTick onTick) { m_onTick = std::move(onTick); }
    ChangeRowDelegate *rowDelegate() const { return m_delegate; }
    // The check box of the row, in viewport coordinates.
    QRect checkRect(const QModelIndex &index) const;
    // How the last context menu was asked for: the custom menu's signal does not say.
    QContextMenuEvent::Reason menuReason() const { return m_menuReason; }

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool hitsCheckBox(const QModelIndex &index, const QPoint &position) const;

    ChangeRowDelegate *m_delegate;
    OnTick m_onTick;
    // A press the list's own handling never saw, and the check box it was on, if any.
    bool m_pressSwallowed = false;
    QPersistentModelIndex m_pressedCheck;
    QContextMenuEvent::Reason m_menuReason = QContextMenuEvent::Mouse;
};

// The left pane of the Changes tab: "N Changed" over the list of changes, or the empty state.
class ChangeListView : public QWidget {
    Q_OBJECT

public:
    using Model = KeyedListModel<WorkingCopyItem, QString>;

    explicit ChangeListView(AppState &state, QWidget *parent = nullptr);

    void render();

    // The row's context menu; each item selects the row, then runs its action on it.
    QMenu *makeContextMenu(const WorkingCopyItem &item, QWidget *parent);

    ElidedLabel *titleLabel() const { return m_title; }
    ChangeRowsView *list() const { return m_list; }
    Model *model() const { return m_model; }
    EmptyStateView *emptyState() const { return m_empty; }
    bool showsList() const;

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showContextMenu(const QPoint &position);
    bool listShown() const;

    AppState &m_state;
    ElidedLabel *m_title;
    QStackedWidget *m_pages;
    EmptyStateView *m_empty;
    ChangeRowsView *m_list;
    Model *m_model;
    SelectionBinder<QString> *m_binder;
    ChangeHandler<std::optional<QString>> m_selectionChange;
    // The ticks the rows show, as of the last render.
    QSet<QString> m_commitPaths;
};
