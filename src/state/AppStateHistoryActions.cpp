#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"

#include <QSaveFile>

#include <algorithm>

namespace {

// Kinds whose working file holds something of the user's own that a checkout would overwrite.
bool hasLocalContent(SVNStatusKind kind)
{
    switch (kind) {
    case SVNStatusKind::deleted:
    case SVNStatusKind::missing:
    case SVNStatusKind::none:
    case SVNStatusKind::normal:
        return false;
    default:
        return true;
    }
}

bool isAtOrUnder(const QString &path, const QString &folder)
{
    return folder.isEmpty() || path == folder || path.startsWith(folder + u'/');
}

} // namespace

QString AppState::svnSelectionOperand(const QString &value, const QString &selectionPath)
{
    if (value.isEmpty() || value != selectionPath)
        return value;
    QString operand = value;
    if (operand.startsWith(u'-'))
        operand.prepend(QStringLiteral("./"));
    // svn reads the last "@" of a path as a peg revision; a trailing "@" gives it an empty one.
    if (operand.contains(u'@'))
        operand.append(u'@');
    return operand;
}

QString AppState::gitSelectionPathspec(const QString &value, const QString &selectionPath)
{
    if (value.isEmpty() || value != selectionPath)
        return value;
    // Even after "--" git expands globs and reads a leading ":" as pathspec magic.
    const bool magic = value.startsWith(u':') || value.contains(u'*') || value.contains(u'?') || value.contains(u'[')
        || value.contains(u'\\');
    return magic ? QStringLiteral(":(literal)") + value : value;
}

bool AppState::acceptGitRevision(const QString &revision)
{
    if (!revision.startsWith(u'-'))
        return true;
    showAlert(QStringLiteral("Invalid Revision"),
        QStringLiteral("A Git revision cannot begin with \"-\", because git would read it as an option."));
    return false;
}

void AppState::listTarget()
{
    const auto values = prompt(QStringLiteral("List"),
        {{QStringLiteral("target"), QStringLiteral("URL Or Path"), m_repositoryInfo.url.value_or(QString())}});
    if (!values)
        return;
    const QString target = values->value(QStringLiteral("target"));
    if (target.isEmpty())
        return;
    runSelectedProjectCommand(QStringLiteral("List"), {QStringLiteral("list"), target}, false, true);
}

void AppState::catTarget()
{
    const QString selection = selectedActionPath();
    const auto values = prompt(QStringLiteral("Cat"),
        {{QStringLiteral("target"), QStringLiteral("URL Or Path"), selection},
            {QStringLiteral("revision"), QStringLiteral("Revision"), selectedRevisionToken()}});
    if (!values)
        return;
    const QString target = values->value(QStringLiteral("target"));
    const QString revision = values->value(QStringLiteral("revision"));
    if (target.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitRevision(revision))
            return;
        const QString object = (revision.isEmpty() ? QStringLiteral("HEAD") : revision) + u':' + target;
        runSelectedGitCommand(QStringLiteral("Cat"), {QStringLiteral("show"), object}, false, true);
        return;
    }
    QStringList arguments{QStringLiteral("cat")};
    if (!revision.isEmpty())
        arguments << QStringLiteral("-r") << revision;
    arguments << svnSelectionOperand(target, selection);
    runSelectedProjectCommand(QStringLiteral("Cat"), arguments, false, true);
}

void AppState::makeRemoteDirectory()
{
    const auto values = prompt(QStringLiteral("Remote Directory"),
        {{QStringLiteral("url"), QStringLiteral("Repository URL"), QString()},
            {QStringLiteral("message"), QStringLiteral("Message"), QStringLiteral("Create directory")}});
    if (!values)
        return;
    const QString url = values->value(QStringLiteral("url"));
    const QString message = values->value(QStringLiteral("message"));
    if (url.isEmpty() || message.isEmpty())
        return;
    runSelectedProjectCommand(
        QStringLiteral("Remote Directory"), {QStringLiteral("mkdir"), url, QStringLiteral("-m"), message}, false, true);
}

void AppState::showBlame()
{
    const QString selection = selectedActionPath();
    const auto values = prompt(QStringLiteral("Blame"), {{QStringLiteral("path"), QStringLiteral("Path"), selection}});
    if (!values)
        return;
    const QString path = values->value(QStringLiteral("path"));
    if (path.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        runSelectedGitCommand(
            QStringLiteral("Blame"), {QStringLiteral("blame"), QStringLiteral("--"), path}, false, true);
        return;
    }
    runSelectedProjectCommand(
        QStringLiteral("Blame"), {QStringLiteral("blame"), svnSelectionOperand(path, selection)}, false, true);
}

void AppState::showDiffAgainstRevision()
{
    const QString selection = selectedActionPath();
    const QString token = selectedRevisionToken();
    const auto values = prompt(QStringLiteral("Diff"),
        {{QStringLiteral("revision"), QStringLiteral("Revision Or Range"),
             token.isEmpty() ? QStringLiteral("BASE") : token},
            {QStringLiteral("path"), QStringLiteral("Path"), selection}});
    if (!values)
        return;
    const QString revision = values->value(QStringLiteral("revision"));
    const QString path = values->value(QStringLiteral("path"));
    if (revision.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitRevision(revision))
            return;
        QStringList arguments{QStringLiteral("show"), QStringLiteral("--format="), QStringLiteral("--patch"),
            QStringLiteral("--find-renames"), revision};
        if (!path.isEmpty())
            arguments << QStringLiteral("--") << gitSelectionPathspec(path, selection);
        runSelectedGitCommand(QStringLiteral("Diff"), arguments, false, true);
        return;
    }
    QStringList arguments{QStringLiteral("diff"), QStringLiteral("-r"), revision};
    if (path == selection && path.contains(u'@')) {
        // A local diff refuses "name@" ("node not found") while "--old=name@" is read as the path.
        arguments << QStringLiteral("--old=") + path + u'@';
    } else if (!path.isEmpty()) {
        arguments << svnSelectionOperand(path, selection);
    }
    runSelectedProjectCommand(QStringLiteral("Diff"), arguments, false, true);
}

void AppState::pullFileAtRevision()
{
    const QString selection = selectedActionPath();
    const auto values = prompt(QStringLiteral("Pull File"),
        {{QStringLiteral("path"), QStringLiteral("Path"), selection},
            {QStringLiteral("revision"), QStringLiteral("Revision"), selectedRevisionToken()}});
    if (!values)
        return;
    const QString path = values->value(QStringLiteral("path"));
    const QString revision = values->value(QStringLiteral("revision"));
    if (path.isEmpty() || revision.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitRevision(revision))
            return;
        // git checkout overwrites local changes without asking, unlike svn update which merges them.
        const QString target = IgnoreRules::normalizePath(path);
        const bool overwritesChanges
            = std::any_of(m_changes.begin(), m_changes.end(), [&](const WorkingCopyItem &item) {
                  return hasLocalContent(item.kind) && isAtOrUnder(IgnoreRules::normalizePath(item.path), target);
              });
        if (overwritesChanges
            && !confirm(QStringLiteral("Pull File"),
                QStringLiteral("Replace local changes to ") + path + QStringLiteral(" with its content at ") + revision
                    + u'?'))
            return;
        runSelectedGitCommand(QStringLiteral("Pull File"),
            {QStringLiteral("checkout"), revision, QStringLiteral("--"), gitSelectionPathspec(path, selection)}, true,
            true);
        return;
    }
    runSelectedProjectCommand(QStringLiteral("Pull File"),
        {QStringLiteral("update"), QStringLiteral("-r"), revision, svnSelectionOperand(path, selection)}, true, true);
}

void AppState::exportFileAtRevision()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        return;
    const QString selection = selectedActionPath();
    const auto values = prompt(QStringLiteral("Export File"),
        {{QStringLiteral("path"), QStringLiteral("Path"), selection},
            {QStringLiteral("revision"), QStringLiteral("Revision"), selectedRevisionToken()}});
    if (!values)
        return;
    const QString path = values->value(QStringLiteral("path"));
    const QString revision = values->value(QStringLiteral("revision"));
    if (path.isEmpty() || revision.isEmpty())
        return;
    if (project->kind == RepositoryKind::git && !acceptGitRevision(revision))
        return;
    if (!m_dialogs)
        return;
    SavePanelOptions options;
    options.title = QStringLiteral("Save File At Revision");
    options.nameFieldValue = TextUtil::lastPathComponent(path);
    const std::optional<QString> destination = m_dialogs->savePanel(options);
    if (!destination || destination->isEmpty())
        return;
    const QString operand = project->kind == RepositoryKind::git ? path : svnSelectionOperand(path, selection);
    startTask([this, project = *project, operand, revision, destination = *destination] {
        return exportFileAtRevisionTask(project, operand, revision, destination);
    });
}

QCoro::Task<> AppState::exportFileAtRevisionTask(Project project, QString path, QString revision, QString destination)
{
    setBusyMessage(QStringLiteral("Exporting file"));
    try {
        SVNCommandResult result;
        if (project.kind == RepositoryKind::git) {
            const QStringList arguments{QStringLiteral("show"), revision + u':' + path};
            result = co_await gitClient().run(arguments, project.path);
        } else {
            const QStringList arguments{QStringLiteral("cat"), QStringLiteral("-r"), revision, path};
            result = co_await client().run(arguments, project.path);
        }
        // Written beside the destination and renamed over it, so a failure keeps what was there.
        QSaveFile file(destination);
        if (!file.open(QIODevice::WriteOnly) || file.write(result.stdoutData) != result.stdoutData.size()
            || !file.commit()) {
            throw SVNClientError::launchFailed(
                QStringLiteral("Could not write ") + destination + QStringLiteral(": ") + file.errorString());
        }
        setBusyMessage(std::nullopt);
        setCommandOutput(output(QStringLiteral("Export File"), result));
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Export File Failed"), error);
    }
}

void AppState::rollbackSelectedRevision()
{
    if (!m_selectedRevision) {
        showAlert(QStringLiteral("No Revision Selected"), QStringLiteral("Select a revision in History first."));
        return;
    }
    if (selectedProjectKind() == RepositoryKind::git) {
        const std::optional<FileHistoryRevision> selected = selectedFileHistoryRevision();
        const QString hash = selected ? selected->commitHash.value_or(QString()) : QString();
        if (hash.isEmpty()) {
            showAlert(QStringLiteral("No Commit Selected"), QStringLiteral("Select a Git commit in History first."));
            return;
        }
        if (!confirm(QStringLiteral("Rollback Commit"),
                QStringLiteral("Revert ") + hash.left(7)
                    + QStringLiteral(" into the working copy? Review the resulting changes before committing.")))
            return;
        runSelectedGitCommand(
            QStringLiteral("Rollback"), {QStringLiteral("revert"), QStringLiteral("--no-commit"), hash}, true, true);
        return;
    }
    const QString revision = QString::number(*m_selectedRevision);
    if (!confirm(QStringLiteral("Rollback Revision"),
            QStringLiteral("Reverse-merge r") + revision
                + QStringLiteral(" into the working copy? Review the resulting changes before committing.")))
        return;
    runSelectedProjectCommand(QStringLiteral("Rollback"),
        {QStringLiteral("merge"), QStringLiteral("-c"), u'-' + revision, QStringLiteral(".")}, true, true);
}

void AppState::merge()
{
    const auto values = prompt(QStringLiteral("Merge"),
        {{QStringLiteral("source"), QStringLiteral("Source URL Or Path"), m_repositoryInfo.url.value_or(QString())},
            {QStringLiteral("range"), QStringLiteral("Revision Range"), QString()}});
    if (!values)
        return;
    const QString source = values->value(QStringLiteral("source"));
    const QString range = values->value(QStringLiteral("range"));
    if (source.isEmpty())
        return;
    QStringList arguments{QStringLiteral("merge")};
    if (!range.isEmpty())
        arguments << QStringLiteral("-r") << range;
    arguments << source << QStringLiteral(".");
    runSelectedProjectCommand(QStringLiteral("Merge"), arguments, true, true);
}
