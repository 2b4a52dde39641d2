#include "ui/workflow/WorkflowTabViews.h"

#include "ui/changes/ChangesView.h"
#include "ui/workflow/ArchivesView.h"
#include "ui/workflow/HistoryView.h"
#include "ui/workflow/IncomingView.h"

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
