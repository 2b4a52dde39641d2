#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"
#include "state/ActionForms.h"
#include "state/GitCommit.h"
#include "state/RunOutputs.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <algorithm>

namespace {

// The refusal of a rollback while git is in the middle of the operation (its command's name). The
// program has no button to end most of them: the refusal says how.
AppAlert operationInProgressAlert(const QString &operation)
{
    const auto withGit = [](const QString &command) {
        return QStringLiteral("Finish it or give it up with git in a terminal (git ") + command
            + QStringLiteral(" --continue or git ") + command + QStringLiteral(" --abort)");
    };
    const struct {
        QString command;
        QString title;
        QString inProse;
        QString howToEnd;
    } names[] = {
        {QStringLiteral("merge"), QStringLiteral("Merge In Progress"), QStringLiteral("a merge"),
            withGit(QStringLiteral("merge"))},
        {QStringLiteral("cherry-pick"), QStringLiteral("Cherry-Pick In Progress"), QStringLiteral("a cherry-pick"),
            withGit(QStringLiteral("cherry-pick"))},
        {QStringLiteral("revert"), QStringLiteral("Revert In Progress"), QStringLiteral("a revert"),
            withGit(QStringLiteral("revert"))},
        {QStringLiteral("am"), QStringLiteral("Patch In Progress"), QStringLiteral("applying patches (git am)"),
            withGit(QStringLiteral("am"))},
        {QStringLiteral("rebase"), QStringLiteral("Rebase In Progress"), QStringLiteral("a rebase"),
            withGit(QStringLiteral("rebase"))},
        {QStringLiteral("bisect"), QStringLiteral("Bisect In Progress"), QStringLiteral("a bisect"),
            QStringLiteral("End it with git in a terminal (git bisect reset)")},
        {QStringLiteral("merge --squash"), QStringLiteral("Merge In Progress"),
            QStringLiteral("a squash merge that is not committed yet"),
            QStringLiteral("Commit it, or take its changes back with Revert")},
    };
    AppAlert alert;
    for (const auto &name : names) {
        if (name.command == operation) {
            alert.title = name.title;
            alert.message = QStringLiteral("git is in the middle of ") + name.inProse + QStringLiteral(". ")
                + name.howToEnd + QStringLiteral(", then roll back.");
        }
    }
    return alert;
}

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

// Whether svn knows the path in the working copy: listed as a versioned change, or on disk and not
// inside anything listed as unversioned.
bool isInWorkingCopy(const QList<WorkingCopyItem> &changes, const QString &root, const QString &path)
{
    const QString normalized = IgnoreRules::normalizePath(path);
    for (const WorkingCopyItem &item : changes) {
        if (!isAtOrUnder(normalized, item.path) || item.path == workingCopyRootPath)
            continue;
        if (item.kind == SVNStatusKind::unversioned || item.kind == SVNStatusKind::ignored)
            return false;
        if (item.path == normalized)
            return true;
    }
    return workingCopyPathExists(normalized, root);
}

// The svn:mime-type that tells svn's binary files from text in another encoding, of the file a Cat, a
// Blame or an Export File prints.
ToolCommand svnMimeTypeQuery(const QString &operand, const QString &revision)
{
    QStringList arguments{QStringLiteral("propget"), QStringLiteral("svn:mime-type")};
    if (!revision.isEmpty())
        arguments << QStringLiteral("-r") << revision;
    return ToolOperands::svnArguments(arguments, {operand});
}

QCoro::Task<> writeFileAtRevision(AppState &state, Project project, QString path, QString revision, QString destination)
{
    state.setBusyMessage(QStringLiteral("Exporting file"));
    try {
        // The tool writes straight into a new file beside the destination, so the program holds none of
        // it; the file takes the destination's place only once the tool has succeeded.
        OutputFile file = co_await OutputFile::beside(state.runScope(), destination);
        ToolRun run;
        std::optional<ToolRun> mimeTypeQuery;
        if (project.kind == RepositoryKind::git) {
            // git show of a folder prints its listing and succeeds; cat-file blob refuses anything but
            // a file, and the type asked first names the refusal.
            const QString object = revision + u':' + path;
            const QStringList typeQuery{QStringLiteral("cat-file"), QStringLiteral("-t"), object};
            const SVNCommandResult type = co_await state.gitClient().run(typeQuery, project.path);
            if (type.stdout.trimmed() != u"blob")
                throw SVNClientError::launchFailed(path + QStringLiteral(" is not a file at ") + revision + u'.');
            run = ToolRun{{QStringLiteral("cat-file"), QStringLiteral("blob"), object}, project.path};
        } else {
            run = ToolRun{ToolOperands::svnArguments({QStringLiteral("cat"), QStringLiteral("-r"), revision}, {path}),
                project.path};
            mimeTypeQuery = svnMimeTypeQuery(path, revision).in(project.path, false);
        }
        run.outputFile = file.descriptor();
        SVNCommandResult result;
        try {
            result = co_await state.toolFor(project.kind).run(std::move(run));
        } catch (const SVNClientError &) {
            if (const std::optional<QString> failure = file.writeFailure())
                throw SVNClientError::launchFailed(
                    QStringLiteral("Could not write ") + destination + QStringLiteral(": ") + *failure);
            throw;
        }
        WrittenFile written = co_await file.complete(shownFileStart);
        CommandOutput output = co_await shownWrittenFile(QStringLiteral("Export File"), std::move(result),
            std::move(written), state.toolFor(project.kind), std::move(mimeTypeQuery), state.runScope());
        state.setBusyMessage(std::nullopt);
        state.setCommandOutput(std::move(output));
    } catch (const std::exception &error) {
        state.setBusyMessage(std::nullopt);
        state.showError(QStringLiteral("Export File Failed"), error);
    }
}

} // namespace

QString AppState::svnFileAtRevision(const QString &path, const QString &revision, const QString &selectedPath) const
{
    const QString operand = ToolOperands::svnFormPath(path, selectedPath);
    const std::optional<Project> project = selectedProject();
    const std::optional<qint64> number = TextUtil::parseInt64(revision);
    // A typed "@" may be a peg revision given on purpose.
    if (!project || !number || *number < 0 || path.startsWith(u'/') || ToolOperands::svnURL(path)
        || (path != selectedPath && path.contains(u'@')) || isInWorkingCopy(m_changes, project->path, path))
        return operand;
    // svn looks a working-copy path up in the working copy first, and fails for a file that has since
    // been deleted or renamed there; the URL at the revision names what History listed.
    return repositoryURL(IgnoreRules::normalizePath(path), *number).value_or(operand);
}

void AppState::listTarget()
{
    const QString target = promptValue(QStringLiteral("List"),
        {QStringLiteral("target"), QStringLiteral("URL Or Path"), m_repositoryInfo.url.value_or(QString())})
                               .value_or(QString());
    if (target.isEmpty())
        return;
    runInSelectedProject({QStringLiteral("List"), RepositoryKind::svn,
        {ToolOperands::svnArguments({QStringLiteral("list")}, {target})}, AfterRun::nothing});
}

void AppState::catTarget()
{
    const QString selection = selectedActionPath();
    const auto form = promptPathAtRevision(
        *this, QStringLiteral("Cat"), {QStringLiteral("target"), QStringLiteral("URL Or Path"), selection});
    if (!form || form->path.isEmpty())
        return;
    const QString &target = form->path;
    const QString &revision = form->revision;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitRevision(*this, revision) || !acceptGitPathArgument(*this, QStringLiteral("Cat"), target))
            return;
        const QString object = (revision.isEmpty() ? QStringLiteral("HEAD") : revision) + u':' + target;
        RunRequest request{
            QStringLiteral("Cat"), RepositoryKind::git, {{QStringLiteral("show"), object}}, AfterRun::nothing};
        request.showsFile = true;
        runInSelectedProject(std::move(request));
        return;
    }
    QStringList arguments{QStringLiteral("cat")};
    if (!revision.isEmpty())
        arguments << QStringLiteral("-r") << revision;
    const QString operand = svnFileAtRevision(target, revision, selection);
    RunRequest request{QStringLiteral("Cat"), RepositoryKind::svn, {ToolOperands::svnArguments(arguments, {operand})},
        AfterRun::nothing};
    request.showsFile = true;
    request.mimeTypeQuery = svnMimeTypeQuery(operand, revision);
    runInSelectedProject(std::move(request));
}

void AppState::makeRemoteDirectory()
{
    const auto form
        = promptURLAndMessage(*this, QStringLiteral("Remote Directory"), QStringLiteral("Create directory"));
    if (!form)
        return;
    // The new directory's URL cannot take a peg revision.
    runInSelectedProject({QStringLiteral("Remote Directory"), RepositoryKind::svn,
        {ToolOperands::svnArguments(
            {QStringLiteral("mkdir")}, {ToolOperands::svnNewTarget(form->url)}, {QStringLiteral("-m"), form->message})},
        AfterRun::nothing});
}

void AppState::showBlame()
{
    const QString selection = selectedActionPath();
    const QString path
        = promptValue(QStringLiteral("Blame"), {QStringLiteral("path"), QStringLiteral("Path"), selection})
              .value_or(QString());
    if (path.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitPathArgument(*this, QStringLiteral("Blame"), path))
            return;
        RunRequest request{QStringLiteral("Blame"), RepositoryKind::git,
            {{QStringLiteral("blame"), QStringLiteral("--"), path}}, AfterRun::nothing};
        request.showsFile = true;
        runInSelectedProject(std::move(request));
        return;
    }
    // svn blames a binary file of one revision as text, and leaves out what follows a NUL byte on each
    // line: only its svn:mime-type tells it.
    const QString operand = ToolOperands::svnFormPath(path, selection);
    RunRequest request{QStringLiteral("Blame"), RepositoryKind::svn,
        {ToolOperands::svnArguments({QStringLiteral("blame")}, {operand})}, AfterRun::nothing};
    request.showsFile = true;
    request.mimeTypeQuery = svnMimeTypeQuery(operand, QString());
    runInSelectedProject(std::move(request));
}

void AppState::showDiffAgainstRevision()
{
    const QString selection = selectedActionPath();
    const QString token = selectedRevisionToken();
    // BASE is svn's word only: git reads it as a name it has never heard of.
    const QString latest
        = selectedProjectKind() == RepositoryKind::git ? QStringLiteral("HEAD") : QStringLiteral("BASE");
    const auto values = prompt(QStringLiteral("Diff"),
        {{QStringLiteral("revision"), QStringLiteral("Revision Or Range"), token.isEmpty() ? latest : token},
            {QStringLiteral("path"), QStringLiteral("Path"), selection}});
    if (!values)
        return;
    const QString revision = values->value(QStringLiteral("revision"));
    const QString path = values->value(QStringLiteral("path"));
    if (revision.isEmpty())
        return;
    if (selectedProjectKind() == RepositoryKind::git) {
        if (!acceptGitRevision(*this, revision) || !acceptGitPathArgument(*this, QStringLiteral("Diff"), path))
            return;
        QStringList arguments{QStringLiteral("show"), QStringLiteral("--format="), QStringLiteral("--patch"),
            QStringLiteral("--find-renames"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"),
            QStringLiteral("--src-prefix=a/"), QStringLiteral("--dst-prefix=b/"), revision};
        if (!path.isEmpty())
            arguments << QStringLiteral("--") << path;
        runInSelectedProject({QStringLiteral("Diff"), RepositoryKind::git, {arguments}, AfterRun::nothing});
        return;
    }
    QStringList arguments{QStringLiteral("diff"), QStringLiteral("-r"), revision};
    QStringList operands;
    // The selected file's own form may be the option "--old=", never a typed value.
    if (!path.isEmpty() && path == selection)
        arguments << ToolOperands::svnDiffPath(path);
    else if (!path.isEmpty())
        operands << path;
    runInSelectedProject({QStringLiteral("Diff"), RepositoryKind::svn,
        {ToolOperands::svnArguments(arguments, operands)}, AfterRun::nothing});
}

void AppState::pullFileAtRevision()
{
    const QString selection = selectedActionPath();
    const auto form = promptFileAtRevision(*this, QStringLiteral("Pull File"));
    if (!form)
        return;
    const QString &path = form->path;
    const QString &revision = form->revision;
    // The path is judged as the tool will read it; one outside the project would reach another
    // working copy, and the tool gets the path that was judged.
    const std::optional<TypedWorkingCopyPath> typed = acceptWorkingCopyPath(*this, path);
    if (!typed)
        return;
    const QString &operand = typed->path;
    if (selectedProjectKind() == RepositoryKind::git) {
        // git checkout overwrites local changes without asking, unlike svn update which merges them. An
        // untracked link leading outside is refused before anything runs: nothing to ask about.
        const QString target = operand == u'.' ? QString() : operand;
        const bool overwritesChanges
            = std::any_of(m_changes.begin(), m_changes.end(), [&](const WorkingCopyItem &item) {
                  const bool untracked = item.kind == SVNStatusKind::unversioned || item.kind == SVNStatusKind::ignored;
                  return hasLocalContent(item.kind) && !(typed->linkLeadsOutside && untracked)
                      && isAtOrUnder(IgnoreRules::normalizePath(item.path), target);
              });
        if (overwritesChanges
            && !confirm(QStringLiteral("Pull File"),
                QStringLiteral("Replace local changes to ") + TextUtil::displayFileName(path)
                    + QStringLiteral(" with its content at ") + revision + u'?'))
            return;
        // A path operand, so that a name that is not UTF-8 reaches git by its bytes.
        runOnTypedPath(*this,
            {QStringLiteral("Pull File"), RepositoryKind::git,
                {ToolCommand::withPaths({QStringLiteral("checkout"), revision}, {operand})}, AfterRun::reload},
            *typed);
        return;
    }
    runOnTypedPath(*this,
        {QStringLiteral("Pull File"), RepositoryKind::svn,
            {ToolOperands::svnArguments({QStringLiteral("update"), QStringLiteral("-r"), revision},
                {ToolOperands::svnFormPath(operand, selection)})},
            AfterRun::reload},
        *typed);
}

void AppState::exportFileAtRevision()
{
    const std::optional<Project> project = selectedProject();
    if (!project)
        return;
    const QString selection = selectedActionPath();
    const auto form = promptFileAtRevision(*this, QStringLiteral("Export File"));
    if (!form)
        return;
    const QString &path = form->path;
    const QString &revision = form->revision;
    if (project->kind == RepositoryKind::git && !acceptGitPathArgument(*this, QStringLiteral("Export File"), path))
        return;
    if (!m_dialogs)
        return;
    SavePanelOptions options;
    options.title = QStringLiteral("Save File At Revision");
    options.nameFieldValue = TextUtil::lastPathComponent(path);
    const std::optional<QString> destination = m_dialogs->savePanel(options);
    if (!destination || destination->isEmpty())
        return;
    const QString operand = project->kind == RepositoryKind::git ? path : svnFileAtRevision(path, revision, selection);
    startProjectTask(*project, [this, project = *project, operand, revision, destination = *destination] {
        return writeFileAtRevision(*this, project, operand, revision, destination);
    });
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
        const Project project = *selectedProject();
        startProjectTask(project, [this, hash, folder = project.path] { return rollbackGitCommit(hash, folder); });
        return;
    }
    const QString revision = QString::number(*m_selectedRevision);
    if (!confirm(QStringLiteral("Rollback Revision"),
            QStringLiteral("Reverse-merge r") + revision
                + QStringLiteral(" into the working copy? Review the resulting changes before committing.")))
        return;
    runInSelectedProject({QStringLiteral("Rollback"), RepositoryKind::svn,
        {{QStringLiteral("merge"), QStringLiteral("-c"), u'-' + revision, QStringLiteral(".")}}, AfterRun::reload});
}

QCoro::Task<> AppState::rollbackGitCommit(QString hash, QString folder)
{
    const QString title = QStringLiteral("Rollback");
    GitClient &git = gitClient();
    SVNCommandResult shown;
    bool failed = false;
    try {
        // "git revert --quit" ends whatever git has in progress (a merge loses its MERGE_HEAD, a
        // cherry-pick its sequencer), so the rollback runs only when nothing is: looked at before the
        // question, and again once answered.
        QString operation = (co_await GitCommit::operationInProgress(git, folder, m_runScope)).command;
        if (operation.isEmpty()) {
            if (!confirm(QStringLiteral("Rollback Commit"),
                    QStringLiteral("Revert ") + hash.left(7)
                        + QStringLiteral(" into the working copy? Review the resulting changes before committing.")))
                co_return;
            setBusyMessage(title);
            operation = (co_await GitCommit::operationInProgress(git, folder, m_runScope)).command;
        }
        if (!operation.isEmpty()) {
            setBusyMessage(std::nullopt);
            setAlert(operationInProgressAlert(operation));
            co_return;
        }
        const QStringList revert{QStringLiteral("revert"), QStringLiteral("--no-commit"), hash};
        shown = co_await git.run(revert, folder, false);
        // Once the changes are in the work tree git is left "reverting", which blocks a branch switch even
        // after the changes are taken back; --quit ends that and keeps them as ordinary local changes. A
        // revert stopped by a conflict leaves the same state: --quit follows it too, and the conflicted
        // files stay in the index and the work tree for the user to resolve.
        const QStringList quit{QStringLiteral("revert"), QStringLiteral("--quit")};
        appendRun(shown, co_await git.run(quit, folder, false), false);
        if (!shown.succeeded())
            throw SVNClientError::commandFailed(shown);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(title + QStringLiteral(" Failed"), error);
        failed = true;
    }
    if (failed) {
        co_await reloadKeepingFailure(true);
        co_return;
    }
    setBusyMessage(std::nullopt);
    showRunOutput(title, shown);
    co_await reloadAfterCommand();
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
    if (source.isEmpty() || !acceptURL(*this, source))
        return;
    QStringList arguments{QStringLiteral("merge")};
    if (!range.isEmpty())
        arguments << QStringLiteral("-r") << range;
    arguments << source << QStringLiteral(".");
    runInSelectedProject({QStringLiteral("Merge"), RepositoryKind::svn, {arguments}, AfterRun::reload});
}
