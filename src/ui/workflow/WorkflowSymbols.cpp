#include "ui/workflow/WorkflowSymbols.h"

void initWorkflowSymbols()
{
    // A static library's resources are only linked in when something refers to them.
    static const bool done = [] {
        initWindowSymbols();
        Q_INIT_RESOURCE(workflow);
        return true;
    }();
    Q_UNUSED(done);
}

QIcon workflowSymbolIcon(const QString &name, PaletteColor color)
{
    initWorkflowSymbols();
    return symbolIcon(name, color);
}
