#include "WorkflowTabViews.h"

#include "ChangesView.h"

#include <QWidget>

// Each tab's own view replaces its placeholder here.

namespace {

QWidget *placeholder(const char *name)
{
    auto *view = new QWidget;
    view->setObjectName(QString::fromLatin1(name));
    return view;
}

} // namespace

QWidget *makeChangesView(AppState &state)
{
    return new ChangesView(state);
}

QWidget *makeIncomingView(AppState &)
{
    return placeholder("IncomingView");
}

QWidget *makeHistoryView(AppState &)
{
    return placeholder("HistoryView");
}

QWidget *makeArchivesView(AppState &)
{
    return placeholder("ArchivesView");
}
