#include "ToolClients.h"

#include "OutputFile.h"
#include "ToolOperands.h"
#include "ToolRunner.h"
#include "model/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/statvfs.h>

namespace {

// svn and svnadmin come from the same installs.
QStringList svnFolders()
{
    return {QStringLiteral("/opt/local/bin"), QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/usr/local/bin"),
        QStringLiteral("/usr/bin")};
}

std::optional<QString> storedExplicitPath(QSettings *settings)
{
    if (!settings)
        return std::nullopt;
    const QString key = QString::fromUtf16(explicitSVNExecutableDefaultsKey);
    const QVariant value = settings->value(key);
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    return value.toString();
}

} // namespace

ToolClient::ToolClient(
    QString name, QStringList fallbackFolders, QString notFoundMessage, OperandFiles::Style operandStyle)
    : m_name(std::move(name)), m_fallbackFolders(std::move(fallbackFolders)),
      m_notFoundMessage(std::move(notFoundMessage)), m_operandStyle(operandStyle)
{ }

std::optional<QString> ToolClient::resolvedExecutablePath() const
{
    if (auto found = ToolRunner::findExecutable(m_name))
        return found;
    QStringList paths;
    for (const QString &folder : m_fallbackFolders)
        paths.push_back(folder + u'/' + m_name);
    return ToolRunner::firstExecutable(paths);
}

QString ToolClient::displayExecutable() const
{
    return resolvedExecutablePath().value_or(m_name + QStringLiteral(" from PATH"));
}

QCoro::Task<SVNCommandResult> ToolClient::run(QStringList arguments, QString workingDirectory, bool checkStatus)
{
    return run(ToolRun{std::move(arguments), std::move(workingDirectory), checkStatus, {}});
}

QCoro::Task<SVNCommandResult> ToolClient::run(ToolRun run)
{
    if (run.paths.isEmpty() && !run.message && !run.fileValue)
        co_return co_await launch(std::move(run));
    // The files stay until the tool is done with them, and no longer than the scope.
    const OperandFiles::Prepared prepared = run.fileValue
        ? OperandFiles::prepareValue(run.arguments, *run.fileValue)
        : OperandFiles::prepare(m_operandStyle, run.arguments, run.paths, run.message);
    const ScopedTemporary files(m_runScope, prepared.folder ? prepared.folder->path() : QString());
    run.arguments = prepared.arguments;
    run.paths.clear();
    run.message.reset();
    run.fileValue.reset();
    co_return co_await launch(std::move(run));
}

QCoro::Task<SVNCommandResult> ToolClient::launch(ToolRun run)
{
    const std::optional<QString> executable = resolvedExecutablePath();
    if (!executable)
        throw SVNClientError::launchFailed(m_notFoundMessage);
    // Taken before the first suspension: the client may be gone when the run ends.
    const QString display = displayExecutable();
    const std::shared_ptr<ToolRunScope> scope = m_runScope;
    ToolEnvironment variables
        = co_await toolEnvironment(*executable, run.arguments, run.workingDirectory, run.environment);
    // The caller's own variables win.
    variables.append(run.environment);
    co_return co_await ToolRunner::runProcess(*executable, std::move(run.arguments), std::move(run.workingDirectory),
        display, run.checkStatus, std::move(variables), scope, run.decodeOutput, std::move(run.onOutput),
        run.keepOutput, run.outputLimit, run.outputFile);
}

QCoro::Task<ToolEnvironment> ToolClient::toolEnvironment(QString, QStringList, QString, ToolEnvironment) const
{
    co_return ToolEnvironment{};
}

namespace {

// The variable's value for the child: the caller's (the last word on it counts), else this process's.
std::optional<QString> variableValue(const char *name, const ToolEnvironment &additions)
{
    const QString key = QString::fromLatin1(name);
    for (auto entry = additions.crbegin(); entry != additions.crend(); ++entry) {
        if (entry->first == key)
            return entry->second;
    }
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qEnvironmentVariable(name);
}

bool variableIsSet(const char *name, const ToolEnvironment &additions)
{
    return variableValue(name, additions).has_value();
}

// What `git rev-parse --local-env-vars` prints (git 2.39): the variables that point git at another
// repository, index or object store than the one of its working folder. Exported by a hook, by
// `git rebase -x` or by the user's shell, they would make every run act on that repository. A fixed
// list rather than asking git: it must hold for every run from the first, the probes included, and
// asking would cost a run of its own. GIT_CONFIG_PARAMETERS and GIT_CONFIG_COUNT carry the `-c`
// options of a calling git; the user's own settings (GIT_CONFIG_GLOBAL, GIT_SSH_COMMAND, ...) stay.
ToolEnvironment withoutCallingRepository()
{
    static const char *const variables[] = {"GIT_ALTERNATE_OBJECT_DIRECTORIES", "GIT_CONFIG", "GIT_CONFIG_PARAMETERS",
        "GIT_CONFIG_COUNT", "GIT_OBJECT_DIRECTORY", "GIT_DIR", "GIT_WORK_TREE", "GIT_IMPLICIT_WORK_TREE",
        "GIT_GRAFT_FILE", "GIT_INDEX_FILE", "GIT_NO_REPLACE_OBJECTS", "GIT_REPLACE_REF_BASE", "GIT_PREFIX",
        "GIT_INTERNAL_SUPER_PREFIX", "GIT_SHALLOW_FILE", "GIT_COMMON_DIR"};
    ToolEnvironment removed;
    for (const char *variable : variables)
        removed.push_back({QString::fromLatin1(variable), std::nullopt});
    return removed;
}

// An option's value in a Subversion config file, its continuation lines (indented) joined with spaces;
// nothing when the file does not set it. Options start in the first column.
std::optional<QByteArray> svnConfigValue(const QString &configPath, const QByteArray &section, const QByteArray &option)
{
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inSection = false;
    std::optional<QByteArray> value;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (value) {
            if (!line.startsWith(' ') && !line.startsWith('\t'))
                break;
            *value += ' ' + line.trimmed();
            continue;
        }
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            inSection = end > 0 && line.mid(1, end - 1).trimmed().toLower() == section;
            continue;
        }
        if (!inSection || !line.toLower().startsWith(option))
            continue;
        const QByteArray rest = line.mid(option.size()).trimmed();
        if (rest.startsWith('=') || rest.startsWith(':'))
            value = rest.mid(1).trimmed();
    }
    return value;
}

// svn reads the user's config over the system's.
std::optional<QByteArray> svnConfigValue(const QByteArray &section, const QByteArray &option)
{
    for (const QString &path :
        {QDir::homePath() + QStringLiteral("/.subversion/config"), QStringLiteral("/etc/subversion/config")}) {
        if (std::optional<QByteArray> value = svnConfigValue(path, section, option))
            return value;
    }
    return std::nullopt;
}

} // namespace

// svn

SVNClient::SVNClient(QSettings *settings)
    : ToolClient(QStringLiteral("svn"), svnFolders(),
        QStringLiteral("Could not find svn. Choose an executable from SVN > Set svn Executable..., or make svn "
                       "available in PATH."),
        OperandFiles::Style::svn),
      m_settings(settings)
{ }

std::optional<QString> SVNClient::explicitExecutablePath() const
{
    return storedExplicitPath(m_settings);
}

std::optional<QString> SVNClient::resolvedExecutablePath() const
{
    // A chosen path is used as it is: a broken choice fails at launch instead of quietly falling back.
    const std::optional<QString> chosen = explicitExecutablePath();
    if (chosen && !chosen->isEmpty())
        return chosen;
    return ToolClient::resolvedExecutablePath();
}

QString SVNClient::displayExecutable() const
{
    if (const std::optional<QString> chosen = explicitExecutablePath())
        return *chosen;
    return ToolClient::displayExecutable();
}

QCoro::Task<ToolEnvironment> SVNClient::toolEnvironment(QString, QStringList, QString, ToolEnvironment additions) const
{
    if (variableIsSet("SVN_SSH", additions) || svnConfigValue("tunnels", "ssh"))
        co_return ToolEnvironment{};
    // svn's own default tunnel is "ssh -q --"; SVN_SSH replaces it whole. Without -q, ssh's own reason
    // for a failure ("Host key verification failed.") reaches svn's error output.
    co_return ToolEnvironment{{QStringLiteral("SVN_SSH"),
        QStringLiteral("ssh ") + QString::fromUtf16(batchSSHOptions) + QStringLiteral(" --")}};
}

QString SVNClient::globalIgnores()
{
    if (const std::optional<QByteArray> value = svnConfigValue("miscellany", "global-ignores"))
        return QString::fromUtf8(*value);
    return QStringLiteral("*.o *.lo *.la *.al .libs *.so *.so.[0-9]* *.a *.pyc *.pyo __pycache__ *.rej *~ #*# .#* "
                          ".*.swp .DS_Store [Tt]humbs.db");
}

// svnadmin

SVNAdminClient::SVNAdminClient(QSettings *settings)
    : ToolClient(QStringLiteral("svnadmin"), svnFolders(),
        QStringLiteral("Could not find svnadmin. Choose an svn executable from SVN > Set svn Executable..., or make "
                       "svnadmin available in PATH.")),
      m_settings(settings)
{ }

std::optional<QString> SVNAdminClient::resolvedExecutablePath() const
{
    const std::optional<QString> chosen = storedExplicitPath(m_settings);
    if (chosen && !chosen->isEmpty()) {
        const QString beside = TextUtil::appendingPathComponent(
            TextUtil::deletingLastPathComponent(*chosen), QStringLiteral("svnadmin"));
        if (ToolRunner::isExecutableFile(beside))
            return beside;
    }
    return ToolClient::resolvedExecutablePath();
}

// git

GitClient::GitClient()
    : ToolClient(QStringLiteral("git"),
        {QStringLiteral("/usr/bin"), QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/opt/local/bin"),
            QStringLiteral("/usr/local/bin")},
        QStringLiteral("Could not find git. Install git with your system's package manager, or choose a Git "
                       "repository only after git is available in PATH."),
        OperandFiles::Style::git)
{ }

QCoro::Task<SVNCommandResult> GitClient::launch(ToolRun run)
{
    run.environment = ToolOperands::gitEnvironment() + withoutCallingRepository() + run.environment;
    return ToolClient::launch(std::move(run));
}

std::optional<QString> GitClient::batchSSHProgram() const
{
    if (!m_sshProgram) {
        m_sshProgram = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/KorvelSVN-git-XXXXXX"));
        if (!m_sshProgram->isValid())
            return std::nullopt;
        // Named ssh, so git passes it the options it gives OpenSSH; it runs the ssh found on PATH.
        const QString path = m_sshProgram->filePath(QStringLiteral("ssh"));
        const QByteArray script = "#!/bin/sh\nexec ssh " + QString::fromUtf16(batchSSHOptions).toUtf8() + " \"$@\"\n";
        QFile file(path);
        struct statvfs folder { };
        if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size()
            || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
            || ::statvfs(QFile::encodeName(path).constData(), &folder) != 0 || (folder.f_flag & ST_NOEXEC))
            m_sshProgram->remove();
    }
    if (!QFileInfo(m_sshProgram->path()).isDir())
        return std::nullopt;
    return m_sshProgram->filePath(QStringLiteral("ssh"));
}

QCoro::Task<ToolEnvironment> GitClient::toolEnvironment(
    QString executable, QStringList, QString workingDirectory, ToolEnvironment additions) const
{
    // git prefers GIT_SSH_COMMAND, then core.sshCommand from any of its config files, then GIT_SSH.
    if (variableIsSet("GIT_SSH_COMMAND", additions) || variableIsSet("GIT_SSH", additions))
        co_return ToolEnvironment{};
    // Any git run may start ssh: in a partial clone a show or a diff fetches the contents it lacks. So
    // every run gets the program's ssh as GIT_SSH, which costs no process and leaves git's own
    // configuration as git reads it; a core.sshCommand of the user's anywhere wins over it.
    if (const std::optional<QString> ssh = batchSSHProgram())
        co_return ToolEnvironment{{QStringLiteral("GIT_SSH"), *ssh}};
    // Where no program of the program's own can run (a temporary folder mounted noexec), git itself
    // says whether core.sshCommand is set; GIT_SSH_COMMAND would override it.
    const QStringList query{QStringLiteral("config"), QStringLiteral("--get"), QStringLiteral("core.sshCommand")};
    try {
        const SVNCommandResult configured = co_await ToolRunner::runProcess(
            executable, query, workingDirectory, executable, false, additions, m_runScope);
        if (configured.succeeded() && !configured.stdoutData.trimmed().isEmpty())
            co_return ToolEnvironment{};
    } catch (const SVNClientError &) {
        // The run itself will report why git does not start.
    }
    co_return ToolEnvironment{
        {QStringLiteral("GIT_SSH_COMMAND"), QStringLiteral("ssh ") + QString::fromUtf16(batchSSHOptions)}};
}

// zip archives

std::optional<QString> ArchiveZipClient::resolvedExecutablePath() const
{
    if (auto found = ToolRunner::findExecutable(QStringLiteral("bsdtar")))
        return found;
    return ToolRunner::firstExecutable({QStringLiteral("/usr/bin/bsdtar")});
}

QString ArchiveZipClient::displayExecutable() const
{
    return resolvedExecutablePath().value_or(QStringLiteral("bsdtar"));
}

QCoro::Task<SVNCommandResult> ArchiveZipClient::zipDirectoryKeepingParent(QString sourcePath, QString destinationPath)
{
    const std::optional<QString> executable = resolvedExecutablePath();
    if (!executable)
        throw SVNClientError::launchFailed(QStringLiteral("Could not find bsdtar to create zip archives."));

    const QString source = QDir::cleanPath(QFileInfo(sourcePath).absoluteFilePath());
    const QString destination = QDir::cleanPath(QFileInfo(destinationPath).absoluteFilePath());
    // Written to a fresh file beside the destination and moved over it only when the tool succeeded,
    // so a failure leaves the old file as it was.
    OutputFile archive = co_await OutputFile::beside(m_runScope, destination);
    // Run in the parent folder with the folder's own name, so that folder is the top-level entry.
    // bsdtar stores links as links and marks names outside ASCII as UTF-8, which zip 3.0 does only
    // where the en_US.UTF-8 locale is installed. It takes an operand beginning with "@" for an archive
    // to copy from: the name goes as "./name", and -s takes the "./" off again (S: not off link targets).
    // Given "-" it pads the archive to a whole block; /dev/stdout it opens as the file it is.
    const QStringList arguments = {QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("/dev/stdout"),
        QStringLiteral("--format"), QStringLiteral("zip"), QStringLiteral("--options"),
        QStringLiteral("zip:hdrcharset=UTF-8"), QStringLiteral("-s"), QStringLiteral(",^\\./,,S"), QStringLiteral("--"),
        QStringLiteral("./") + TextUtil::lastPathComponent(source)};
    const SVNCommandResult result
        = co_await ToolRunner::runProcess(*executable, arguments, TextUtil::deletingLastPathComponent(source),
            displayExecutable(), true, {}, m_runScope, true, {}, true, -1, archive.descriptor());
    co_await archive.complete(0);
    co_return result;
}
