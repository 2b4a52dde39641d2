#include "ui/workflow/WorkflowListView.h"

#include <QMouseEvent>

WorkflowListView::WorkflowListView(QWidget *parent) : QListView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    // Word wrap makes the view lay its rows out again on every resize, so summaries re-wrap.
    setWordWrap(true);
}

void WorkflowListView::expectRows(qsizetype rows)
{
    // Rows at least this many outgrow any screen.
    constexpr qsizetype longList = 500;
    setVerticalScrollBarPolicy(rows >= longList ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void WorkflowListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}
