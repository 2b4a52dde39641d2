#include "ActionForms.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QDir>

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

bool acceptGitPathArgument(AppState &state, const QString &title, const QString &path)
{
    if (!TextUtil::holdsUndecodableBytes(path))
        return true;
    state.showAlert(title + QStringLiteral(" Failed"),
        title + QStringLiteral(" paths must be valid UTF-8: ") + TextUtil::displayFileName(path) + u'.');
    return false;
}

std::optional<QString> acceptWorkingCopyPath(AppState &state, const QString &typed)
{
    const std::optional<Project> project = state.selectedProject();
    if (!project)
        return typed;
    const std::optional<QString> relative = typedWorkingCopyPath(typed, project->path);
    if (!relative) {
        state.showAlert(QStringLiteral("Path Outside Project"),
            QStringLiteral("Choose a path inside ") + QDir::cleanPath(project->path) + u'.');
        return std::nullopt;
    }
    return relative->isEmpty() ? QStringLiteral(".") : *relative;
}

std::optional<QString> choosePath(AppState &state, const OpenPanelOptions &options)
{
    if (!state.dialogs())
        return std::nullopt;
    std::optional<QString> chosen = state.dialogs()->openPanel(options);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<PathAtRevision> promptPathAtRevision(AppState &state, const QString &title, const PromptField &pathField)
{
    const QString revisionKey = QStringLiteral("revision");
    const auto values
        = state.prompt(title, {pathField, {revisionKey, QStringLiteral("Revision"), state.selectedRevisionToken()}});
    if (!values)
        return std::nullopt;
    return PathAtRevision{values->value(pathField.key), values->value(revisionKey)};
}

std::optional<PathAtRevision> promptFileAtRevision(AppState &state, const QString &title)
{
    const auto form = promptPathAtRevision(
        state, title, {QStringLiteral("path"), QStringLiteral("Path"), state.selectedActionPath()});
    if (!form || form->path.isEmpty() || form->revision.isEmpty())
        return std::nullopt;
    if (state.selectedProjectKind() == RepositoryKind::git && !acceptGitRevision(state, form->revision))
        return std::nullopt;
    return form;
}

std::optional<URLAndMessage> promptURLAndMessage(AppState &state, const QString &title, const QString &defaultMessage)
{
    const auto values = state.prompt(title,
        {{QStringLiteral("url"), QStringLiteral("Repository URL"), QString()},
            {QStringLiteral("message"), QStringLiteral("Message"), defaultMessage}});
    if (!values)
        return std::nullopt;
    URLAndMessage form{values->value(QStringLiteral("url")), values->value(QStringLiteral("message"))};
    if (form.url.isEmpty() || form.message.isEmpty())
        return std::nullopt;
    return form;
}
