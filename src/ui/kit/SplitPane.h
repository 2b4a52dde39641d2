#pragma once

#include <QSplitter>

// A split view with a draggable one-pixel divider. The leading pane starts at its ideal size when
// the split is first shown; afterwards the user's sizes stay and a resize goes to the trailing pane.
class SplitPane : public QSplitter {
    Q_OBJECT

public:
    SplitPane(Qt::Orientation orientation, QWidget *leading, QWidget *trailing, int idealLeadingSize,
        QWidget *parent = nullptr);

    // A horizontal split of a list pane (minimum, ideal and maximum width) and a detail pane (at least
    // 420 wide).
    static SplitPane *listAndDetail(QWidget *list, int minimum, int ideal, int maximum, QWidget *detail);

protected:
    QSplitterHandle *createHandle() override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyIdealSize();

    int m_idealLeadingSize;
    bool m_applied = false;
};
