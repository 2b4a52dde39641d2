#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/SVNXMLParsers.h"
#include "state/ArchiveNames.h"
#include "state/RunOutputs.h"
#include "tools/ToolOperands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void replaceDestination(ScopedTemporary &temporary, const QString &destination)
{
    if (::rename(QFile::encodeName(temporary.path()).constData(), QFile::encodeName(destination).constData()) != 0)
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not write ") + destination + QStringLiteral(": ") + systemError());
    temporary.release();
}

// The shared temporary folder is readable by everyone: the export must not be. Removed with the job,
// or with the state when the program quits first.
ScopedTemporary createPrivateTemporaryFolder(std::shared_ptr<ToolRunScope> scope)
{
    const QString base = QDir::tempPath();
    QDir().mkpath(base);
    const QString folder = TextUtil::appendingPathComponent(
        base, QStringLiteral("KorvelSVN-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0)
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not create the temporary folder ") + folder + QStringLiteral(": ") + systemError());
    return ScopedTemporary(std::move(scope), folder);
}

// The revision through the URL at the working copy's own revision: Archives lists the log of the working
// copy, which follows copies, so a revision from before a branch was made is reached through the
// branch's history; the URL at that revision alone may not exist yet.
QString archiveSource(const RepositoryInfo &info, qint64 revision)
{
    const std::optional<qint64> workingRevision
        = info.workingRevision ? TextUtil::parseInt64(*info.workingRevision) : std::nullopt;
    return ToolOperands::svnPegged(*info.url, std::max(revision, workingRevision.value_or(revision)));
}

QCoro::Task<QString> svnArchiveSource(SVNClient &svn, Project project, qint64 revision, RepositoryInfo known)
{
    if (known.url && !known.url->isEmpty())
        co_return archiveSource(known, revision);
    const QStringList arguments{QStringLiteral("info"), QStringLiteral("--xml")};
    const SVNCommandResult run = co_await svn.run(arguments, project.path);
    const RepositoryInfo info = SVNXMLParsers::parseInfo(run.stdout);
    if (info.url && !info.url->isEmpty())
        co_return archiveSource(info, revision);
    throw SVNClientError::launchFailed(
        QStringLiteral("Could not determine the SVN repository URL for ") + project.path + u'.');
}

// The job: never throws, reports every failure itself. The repository information is the one known
// when the user asked, so a later change of selection cannot swap it.
QCoro::Task<> writeArchiveZip(
    AppState &state, Project project, LogEntry entry, QString destination, RepositoryInfo repository)
{
    state.setBusyMessage(QStringLiteral("Creating archive"));
    const QString root = archiveRootName(project, entry);
    const QString created = QStringLiteral("Created ") + destination;
    try {
        if (project.kind == RepositoryKind::git) {
            const QString hash = archiveRevisionToken(entry, project);
            // git archive writes straight into its output: a failure must not leave a broken file
            // where the user's was.
            ScopedTemporary temporary = ScopedTemporary::besideZip(state.runScope(), destination);
            const QStringList arguments{QStringLiteral("archive"), QStringLiteral("--format=zip"),
                QStringLiteral("--output"), temporary.path(), QStringLiteral("--prefix=") + root + u'/', hash};
            const SVNCommandResult run = co_await state.gitClient().run(arguments, project.path);
            replaceDestination(temporary, destination);
            state.setBusyMessage(std::nullopt);
            state.setCommandOutput(archiveOutput(QStringLiteral("Create Archive Zip"), run.commandLine, run.status,
                {run.stdout, created}, {run.stderr}));
            co_return;
        }

        const QString source = co_await svnArchiveSource(state.client(), project, entry.revision, repository);
        // Removing never follows the links the export holds; on a failure it happens before the alert.
        const ScopedTemporary folder = createPrivateTemporaryFolder(state.runScope());
        const QString exportFolder = TextUtil::appendingPathComponent(folder.path(), root);
        const QStringList arguments{QStringLiteral("export"), QStringLiteral("--force"), QStringLiteral("-r"),
            QString::number(entry.revision), source, ToolOperands::svnNewTarget(exportFolder)};
        const SVNCommandResult exported = co_await state.client().run(arguments, project.path);
        const SVNCommandResult zipped
            = co_await state.archiveZipClient().zipDirectoryKeepingParent(exportFolder, destination);
        state.setBusyMessage(std::nullopt);
        state.setCommandOutput(
            archiveOutput(QStringLiteral("Create Archive Zip"), exported.commandLine + u'\n' + zipped.commandLine,
                zipped.status, {exported.stdout, zipped.stdout, created}, {exported.stderr, zipped.stderr}));
    } catch (const std::exception &error) {
        state.setBusyMessage(std::nullopt);
        state.showError(QStringLiteral("Create Archive Zip Failed"), error);
    }
}

} // namespace

void AppState::createArchiveZip()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    const std::optional<LogEntry> entry = selectedArchiveEntry();
    if (!entry) {
        showAlert(
            QStringLiteral("No Archive Selected"), QStringLiteral("Select a revision or commit in Archives first."));
        return;
    }
    if (!m_dialogs)
        return;
    SavePanelOptions options;
    options.title = QStringLiteral("Create Archive Zip");
    options.prompt = QStringLiteral("Create Zip");
    options.nameFieldValue = archiveRootName(*project, *entry) + QStringLiteral(".zip");
    options.canCreateDirectories = true;
    const std::optional<QString> chosen = m_dialogs->savePanel(options);
    if (!chosen || chosen->isEmpty())
        return;
    const QString destination = normalizedZipDestination(*chosen);
    // The save panel asked about the name it showed, not about the one with ".zip" appended.
    if (destination != *chosen) {
        const QFileInfo existing(destination);
        if ((existing.exists() || existing.isSymLink())
            && !confirm(QStringLiteral("Create Archive Zip"),
                QStringLiteral("Replace ") + TextUtil::lastPathComponent(destination) + u'?'))
            return;
    }
    startProjectTask(*project, [this, project = *project, entry = *entry, destination, repository = repositoryInfo()] {
        return writeArchiveZip(*this, project, entry, destination, repository);
    });
}
