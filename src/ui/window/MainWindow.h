#pragma once

#include <QMainWindow>

class AppState;
class ContentView;

// The one window: a File menu with Quit, the six repository menus and the content, which cannot be
// made smaller than 1080 × 680.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppState &state, QWidget *parent = nullptr);

    ContentView *contentView() const { return m_content; }

private:
    ContentView *m_content;
};
