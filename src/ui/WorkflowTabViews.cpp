#include "WorkflowTabViews.h"

#include "ArchivesView.h"
#include "ChangesView.h"
#include "HistoryView.h"
#include "IncomingView.h"

QWidget *makeChangesView(AppState &state)
{
    return new ChangesView(state);
}

QWidget *makeIncomingView(AppState &state)
{
    return new IncomingView(state);
}

QWidget *makeHistoryView(AppState &state)
{
    return new HistoryView(state);
}

QWidget *makeArchivesView(AppState &state)
{
    return new ArchivesView(state);
}
