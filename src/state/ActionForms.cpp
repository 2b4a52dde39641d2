#include "ActionForms.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QDir>

#include <algorithm>

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

namespace {

void alertOutside(AppState &state, const QString &folder)
{
    state.showAlert(QStringLiteral("Path Outside Project"),
        QStringLiteral("Choose a path inside ") + QDir::cleanPath(folder) + u'.');
}

// Whether the tool versions a symbolic link at the path: svn as a file with svn:special, git as an
// entry of mode 120000. (git cannot be given a name that is not UTF-8 here: such a link counts as
// not versioned.)
QCoro::Task<bool> versionsLink(AppState &state, RepositoryKind kind, QString folder, QString link)
{
    if (kind == RepositoryKind::git) {
        const ToolCommand listing = ToolCommand::withPaths(
            {QStringLiteral("ls-files"), QStringLiteral("--stage"), QStringLiteral("-z")}, {link});
        const SVNCommandResult listed = co_await state.gitClient().run(listing.in(folder, false));
        const QByteArray name = '\t' + TextUtil::encodeFileName(link);
        const QList<QByteArray> entries = listed.stdoutData.split('\0');
        co_return std::any_of(entries.begin(), entries.end(),
            [&name](const QByteArray &entry) { return entry.startsWith("120000 ") && entry.endsWith(name); });
    }
    const ToolCommand query = ToolCommand::withPaths(
        {QStringLiteral("propget"), QStringLiteral("svn:special")}, ToolOperands::svnPaths({link}));
    const SVNCommandResult special = co_await state.client().run(query.in(folder, false));
    co_return special.succeeded() && special.stdoutData.trimmed() == "*";
}

QCoro::Task<> runOnVersionedLink(AppState &state, RunRequest request, QString folder, QString link)
{
    bool versioned = false;
    try {
        versioned = co_await versionsLink(state, request.tool, folder, link);
    } catch (const std::exception &error) {
        state.showError(request.title + QStringLiteral(" Failed"), error);
        co_return;
    }
    if (!versioned) {
        alertOutside(state, folder);
        co_return;
    }
    co_await state.runRequest(std::move(request), std::move(folder));
}

} // namespace

std::optional<TypedWorkingCopyPath> acceptWorkingCopyPath(AppState &state, const QString &typed)
{
    const std::optional<Project> project = state.selectedProject();
    if (!project)
        return TypedWorkingCopyPath{typed};
    std::optional<TypedWorkingCopyPath> relative = typedWorkingCopyPath(typed, project->path);
    if (!relative) {
        alertOutside(state, project->path);
        return std::nullopt;
    }
    if (relative->path.isEmpty())
        relative->path = QStringLiteral(".");
    return relative;
}

void runOnTypedPath(AppState &state, RunRequest request, const TypedWorkingCopyPath &typed)
{
    const std::optional<Project> project = state.selectedProject();
    if (!typed.linkLeadsOutside || !project || project->kind != request.tool) {
        state.runInSelectedProject(std::move(request));
        return;
    }
    state.startProjectTask(*project, [&state, request = std::move(request), folder = project->path, link = typed.path] {
        return runOnVersionedLink(state, request, folder, link);
    });
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
