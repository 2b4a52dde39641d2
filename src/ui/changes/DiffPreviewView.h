#pragma once

#include <QWidget>

class AppState;
class DiffView;
class ElidedLabel;

// The right pane of the Changes tab: the selected change's path over its diff.
class DiffPreviewView : public QWidget {
    Q_OBJECT

public:
    explicit DiffPreviewView(AppState &state, QWidget *parent = nullptr);

    void render();

    ElidedLabel *titleLabel() const { return m_title; }
    DiffView *diffView() const { return m_diff; }

private:
    AppState &m_state;
    ElidedLabel *m_title;
    DiffView *m_diff;
};
