#pragma once

#include "ui/window/CommandOutputView.h"

#include <QMessageBox>
#include <QPointer>
#include <QUuid>
#include <QWidget>

class AppState;
class DetailView;
class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QShortcut;
class SidebarOverlayView;
class SidebarToggleButton;
class WindowFocusRefreshObserver;

// The window's content: the detail pane, the floating sidebar over its leading part with the button
// that shows it again, the focus refresh, the alert and the command output sheet.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 292;
    static constexpr int sidebarGap = 10;
    // While hidden the panel sits this far left of its place, 14 beyond the leading edge.
    static constexpr int sidebarHiddenShift = -(sidebarWidth + 24);
    static constexpr int animationMilliseconds = 220;
    static constexpr int showButtonLeading = 14;
    static constexpr int showButtonTop = 12;

    explicit ContentView(AppState &state, QWidget *parent = nullptr);
    ~ContentView() override;

    bool isSidebarVisible() const { return m_sidebarVisible; }
    void setSidebarVisible(bool visible);

    void render();

    DetailView *detailView() const { return m_detail; }
    SidebarOverlayView *sidebar() const { return m_sidebar; }
    SidebarToggleButton *showSidebarButton() const { return m_showButton; }
    WindowFocusRefreshObserver *focusObserver() const { return m_focusObserver; }
    QShortcut *stopShortcut() const { return m_stopShortcut; }
    QMessageBox *alertBox() const { return m_alertBox; }
    CommandOutputSheet *outputSheet() const { return m_sheet; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPoint sidebarPosition(bool visible) const;
    // Whenever the focused control is hidden or replaced, the focus goes to a control that takes Tab and
    // shows it: the sidebar's row where the user last worked in the sidebar, else the detail pane's.
    void queueFocusCheck();
    void keepFocusOnAControl();
    QWidget *focusHome() const;
    void placeDetailView();
    void syncSheet();
    void syncAlert();
    void closeSheet();
    void closeAlert();

    AppState &m_state;
    QShortcut *m_stopShortcut;
    bool m_sidebarVisible = true;
    bool m_started = false;
    DetailView *m_detail;
    SidebarOverlayView *m_sidebar;
    SidebarToggleButton *m_showButton;
    QGraphicsOpacityEffect *m_showButtonOpacity;
    QPropertyAnimation *m_slide;
    QPropertyAnimation *m_fade;
    WindowFocusRefreshObserver *m_focusObserver;
    QPointer<QMessageBox> m_alertBox;
    QUuid m_alertID;
    QPointer<CommandOutputSheet> m_sheet;
    QMetaObject::Connection m_focusWatch;
    bool m_focusCheckQueued = false;
    // Whether the last press of a key or a mouse button in this window went to the sidebar.
    bool m_lastInputInSidebar = false;
};
