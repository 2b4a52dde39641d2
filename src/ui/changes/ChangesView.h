#pragma once

#include <QWidget>

class AppState;
class ChangeListView;
class CommitPanelView;
class DiffPreviewView;
class QSplitter;

// The Changes tab: the list of changes beside the diff preview, and the commit panel below both.
class ChangesView : public QWidget {
    Q_OBJECT

public:
    static constexpr int listMinimumWidth = 320;
    static constexpr int listIdealWidth = 420;
    static constexpr int listMaximumWidth = 560;
    static constexpr int previewMinimumWidth = 420;

    explicit ChangesView(AppState &state, QWidget *parent = nullptr);

    QSplitter *splitter() const { return m_split; }
    ChangeListView *listView() const { return m_list; }
    DiffPreviewView *previewView() const { return m_preview; }
    CommitPanelView *commitPanel() const { return m_commit; }

private:
    QSplitter *m_split;
    ChangeListView *m_list;
    DiffPreviewView *m_preview;
    CommitPanelView *m_commit;
};
