#pragma once

#include "model/Project.h"
#include "ui/kit/Binding.h"

#include <QList>
#include <QUuid>
#include <QWidget>

class AppState;
class ElidedLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class RenderScheduler;
class SidebarProjectRow;
class SidebarToggleButton;

// The floating, rounded glass panel: a header with the hide button and the title, the project rows,
// and the Add, New and Checkout buttons.
class SidebarOverlayView : public QWidget {
    Q_OBJECT

public:
    SidebarOverlayView(AppState &state, Binding<bool> isVisible, QWidget *parent = nullptr);
    ~SidebarOverlayView() override;

    void render();

    const QList<SidebarProjectRow *> &rows() const { return m_rows; }
    ElidedLabel *noProjectsLabel() const { return m_noProjects; }
    SidebarToggleButton *toggleButton() const { return m_toggle; }
    QToolButton *addButton() const { return m_add; }
    QToolButton *newButton() const { return m_new; }
    QToolButton *checkoutButton() const { return m_checkout; }
    // The rows are one stop of the Tab chain: the focused row, else the selected one, else the first.
    // Without rows, the toggle.
    QWidget *focusStop() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QToolButton *makeActionButton(const QString &title, const QString &symbol, const QString &tip);
    // Keeps the selected row in view as the list is laid out and resized, until the user scrolls.
    void followSelection();
    void scrollToSelection();
    void showFocusedRow(QWidget *focused);
    void updateTabStop();
    // Up, Down, Home, End, Page Up and Page Down from a focused row, as in a list.
    bool moveFocus(SidebarProjectRow *from, int key);

    AppState &m_state;
    RenderScheduler *m_scheduler;
    SidebarToggleButton *m_toggle;
    QScrollArea *m_scrollArea;
    QVBoxLayout *m_rowsLayout;
    ElidedLabel *m_noProjects;
    QToolButton *m_add;
    QToolButton *m_new;
    QToolButton *m_checkout;
    QList<SidebarProjectRow *> m_rows;
    // The selection the list was last scrolled to.
    std::optional<QUuid> m_scrolledTo;
    QMetaObject::Connection m_focusWatch;
    bool m_following = false;
    bool m_scrollQueued = false;
};
