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

// A fresh hidden name beside the destination, so the finished archive replaces it in one rename.
QString temporarySibling(const QString &destination)
{
    return TextUtil::appendingPathComponent(TextUtil::deletingLastPathComponent(destination),
        u'.' + TextUtil::lastPathComponent(destination) + u'.' + QUuid::createUuid().toString(QUuid::Id128)
            + QStringLiteral(".zip"));
}

void replaceDestination(const QString &temporary, const QString &destination)
{
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) != 0) {
        const QString reason = systemError();
        QFile::remove(temporary);
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not write ") + destination + QStringLiteral(": ") + reason);
    }
}

// The shared temporary folder is readable by everyone: the export must not be.
QString createPrivateTemporaryFolder()
{
    const QString base = QDir::tempPath();
    QDir().mkpath(base);
    const QString folder = TextUtil::appendingPathComponent(
        base, QStringLiteral("KorvelSVN-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0)
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not create the temporary folder ") + folder + QStringLiteral(": ") + systemError());
    return folder;
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
            const QString temporary = temporarySibling(destination);
            const QStringList arguments{QStringLiteral("archive"), QStringLiteral("--format=zip"),
                QStringLiteral("--output"), temporary, QStringLiteral("--prefix=") + root + u'/', hash};
            SVNCommandResult run;
            try {
                run = co_await state.gitClient().run(arguments, project.path);
            } catch (...) {
                QFile::remove(temporary);
                throw;
            }
            replaceDestination(temporary, destination);
            state.setBusyMessage(std::nullopt);
            state.setCommandOutput(archiveOutput(QStringLiteral("Create Archive Zip"), run.commandLine, run.status,
                {run.stdout, created}, {run.stderr}));
            co_return;
        }

        const QString source = co_await svnArchiveSource(state.client(), project, entry.revision, repository);
        const QString folder = createPrivateTemporaryFolder();
        const QString exportFolder = TextUtil::appendingPathComponent(folder, root);
        SVNCommandResult exported;
        SVNCommandResult zipped;
        try {
            const QStringList arguments{QStringLiteral("export"), QStringLiteral("--force"), QStringLiteral("-r"),
                QString::number(entry.revision), source, ToolOperands::svnNewTarget(exportFolder)};
            exported = co_await state.client().run(arguments, project.path);
            zipped = co_await state.archiveZipClient().zipDirectoryKeepingParent(exportFolder, destination);
        } catch (...) {
            QDir(folder).removeRecursively();
            throw;
        }
        state.setBusyMessage(std::nullopt);
        state.setCommandOutput(
            archiveOutput(QStringLiteral("Create Archive Zip"), exported.commandLine + u'\n' + zipped.commandLine,
                zipped.status, {exported.stdout, zipped.stdout, created}, {exported.stderr, zipped.stderr}));
        // Removing never follows the links the export holds.
        QDir(folder).removeRecursively();
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
    startTask([this, project = *project, entry = *entry, destination, repository = repositoryInfo()] {
        return writeArchiveZip(*this, project, entry, destination, repository);
    });
}
