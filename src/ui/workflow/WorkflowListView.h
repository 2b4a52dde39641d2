#pragma once

#include <QListView>

// The list of a workflow pane: no frame, rows of their own heights laid out again at every width,
// and only the left button chooses a row (a right-button press leaves the selection as it is).
class WorkflowListView : public QListView {
    Q_OBJECT

public:
    explicit WorkflowListView(QWidget *parent = nullptr);

    // Readies the view for a list of `rows`: a long one keeps its scroll bar on, which it needs anyway.
    // A bar that appears narrows the rows, and the view would lay every row out a second time.
    void expectRows(qsizetype rows);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
