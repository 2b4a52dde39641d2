#include "ActionForms.h"

#include "state/AppState.h"
#include "tools/ToolOperands.h"

bool acceptGitRevision(AppState &state, const QString &revision)
{
    if (!ToolOperands::readsAsOption(revision))
        return true;
    state.showAlert(QStringLiteral("Invalid Revision"),
        QStringLiteral("A Git revision cannot begin with \"-\", because git would read it as an option."));
    return false;
}

bool acceptURL(AppState &state, const QString &url)
{
    if (!ToolOperands::readsAsOption(url))
        return true;
    state.showAlert(QStringLiteral("Invalid URL"),
        QStringLiteral("A URL cannot begin with \"-\", because it would be read as an option."));
    return false;
}
