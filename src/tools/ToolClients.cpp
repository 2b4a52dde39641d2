#include "ToolClients.h"

#include "ToolOperands.h"
#include "ToolRunner.h"
#include "model/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    if (run.paths.isEmpty() && !run.message)
        co_return co_await launch(std::move(run));
    // The files stay until the tool is done with them, and no longer than the scope.
    const OperandFiles::Prepared prepared
        = OperandFiles::prepare(m_operandStyle, run.arguments, run.paths, run.message);
    const ScopedTemporary files(m_runScope, prepared.folder ? prepared.folder->path() : QString());
    run.arguments = prepared.arguments;
    run.paths.clear();
    run.message.reset();
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
        run.keepOutput, run.outputLimit);
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

// Whether a Subversion config file gives the ssh tunnel a command of its own ("ssh = ..." in
// [tunnels]). Options start in the first column; indented lines continue the previous value.
bool namesSSHTunnel(const QString &configPath)
{
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inTunnels = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            inTunnels = end > 0 && line.mid(1, end - 1).trimmed().toLower() == "tunnels";
            continue;
        }
        if (!inTunnels || !line.toLower().startsWith("ssh"))
            continue;
        const QByteArray rest = line.mid(3).trimmed();
        if (rest.startsWith('=') || rest.startsWith(':'))
            return true;
    }
    return false;
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

void SVNClient::setExplicitExecutablePath(const std::optional<QString> &path)
{
    if (!m_settings)
        return;
    const QString key = QString::fromUtf16(explicitSVNExecutableDefaultsKey);
    if (path)
        m_settings->setValue(key, *path);
    else
        m_settings->remove(key);
    m_settings->sync();
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
    if (variableIsSet("SVN_SSH", additions) || namesSSHTunnel(QDir::homePath() + QStringLiteral("/.subversion/config"))
        || namesSSHTunnel(QStringLiteral("/etc/subversion/config")))
        co_return ToolEnvironment{};
    // svn's own default tunnel is "ssh -q --"; SVN_SSH replaces it whole. Without -q, ssh's own reason
    // for a failure ("Host key verification failed.") reaches svn's error output.
    co_return ToolEnvironment{{QStringLiteral("SVN_SSH"),
        QStringLiteral("ssh ") + QString::fromUtf16(batchSSHOptions) + QStringLiteral(" --")}};
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

namespace {

// The system configuration file this git reads when GIT_CONFIG_SYSTEM does not name one: git's build
// puts it in the "etc" folder of its prefix, "/etc" for the prefix "/usr".
QString builtInSystemConfig(const QString &executable)
{
    const QString prefix = TextUtil::deletingLastPathComponent(TextUtil::deletingLastPathComponent(executable));
    if (prefix == u"/usr")
        return QStringLiteral("/etc/gitconfig");
    return TextUtil::appendingPathComponent(prefix, QStringLiteral("etc/gitconfig"));
}

QByteArray quotedConfigValue(const QString &value)
{
    QByteArray quoted = QFile::encodeName(value);
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

} // namespace

std::optional<QString> GitClient::sshDefaultsFile(const QString &systemConfig) const
{
    // The program's ssh command, then the system configuration itself: every later word on
    // core.sshCommand wins over it, the system's own, the user's and the repository's alike.
    const QByteArray contents
        = "[core]\n\tsshCommand = " + quotedConfigValue(QStringLiteral("ssh ") + QString::fromUtf16(batchSSHOptions))
        + "\n[include]\n\tpath = " + quotedConfigValue(systemConfig) + '\n';
    if (!m_sshDefaults) {
        m_sshDefaults = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/KorvelSVN-git-XXXXXX"));
        if (!m_sshDefaults->isValid())
            return std::nullopt;
    }
    const QString path = m_sshDefaults->filePath(QStringLiteral("gitconfig"));
    if (contents != m_sshDefaultsContents) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
            return std::nullopt;
        m_sshDefaultsContents = contents;
    }
    return path;
}

QCoro::Task<ToolEnvironment> GitClient::toolEnvironment(
    QString executable, QStringList, QString workingDirectory, ToolEnvironment additions) const
{
    // git prefers GIT_SSH_COMMAND, then core.sshCommand from any of its config files, then GIT_SSH.
    if (variableIsSet("GIT_SSH_COMMAND", additions) || variableIsSet("GIT_SSH", additions))
        co_return ToolEnvironment{};
    // Any git run may start ssh: in a partial clone a show or a diff fetches the contents it lacks. So
    // every run gets the program's command as the first word on core.sshCommand, in front of the system
    // configuration, which costs no process; the user's own setting anywhere still wins.
    if (!variableIsSet("GIT_CONFIG_NOSYSTEM", additions)) {
        const QString systemConfig
            = variableValue("GIT_CONFIG_SYSTEM", additions).value_or(builtInSystemConfig(executable));
        if (const std::optional<QString> file = sshDefaultsFile(systemConfig))
            co_return ToolEnvironment{{QStringLiteral("GIT_CONFIG_SYSTEM"), *file}};
    }
    // Without a system configuration to stand in front of, git itself says whether core.sshCommand is
    // set; GIT_SSH_COMMAND would override it.
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

// zip

std::optional<QString> ArchiveZipClient::resolvedExecutablePath() const
{
    if (auto found = ToolRunner::findExecutable(QStringLiteral("zip")))
        return found;
    return ToolRunner::firstExecutable({QStringLiteral("/usr/bin/zip")});
}

QString ArchiveZipClient::displayExecutable() const
{
    return resolvedExecutablePath().value_or(QStringLiteral("zip"));
}

QCoro::Task<SVNCommandResult> ArchiveZipClient::zipDirectoryKeepingParent(QString sourcePath, QString destinationPath)
{
    const std::optional<QString> executable = resolvedExecutablePath();
    if (!executable)
        throw SVNClientError::launchFailed(QStringLiteral("Could not find zip to create zip archives."));

    const QString source = QDir::cleanPath(QFileInfo(sourcePath).absoluteFilePath());
    const QString destination = QDir::cleanPath(QFileInfo(destinationPath).absoluteFilePath());
    // zip adds to an archive that exists: write a fresh file beside the destination and move it over
    // the destination only when zip succeeded, so a failure leaves the old file as it was.
    ScopedTemporary temporary = ScopedTemporary::besideZip(m_runScope, destination);
    // Run in the parent folder with the folder's own name, so that folder is the top-level entry;
    // -y stores symbolic links as links instead of following them.
    const QStringList arguments = {QStringLiteral("-r"), QStringLiteral("-y"), QStringLiteral("-q"), temporary.path(),
        QStringLiteral("--"), TextUtil::lastPathComponent(source)};
    const SVNCommandResult result = co_await ToolRunner::runProcess(
        *executable, arguments, TextUtil::deletingLastPathComponent(source), displayExecutable(), true, {}, m_runScope);
    if (::rename(QFile::encodeName(temporary.path()).constData(), QFile::encodeName(destination).constData()) != 0)
        throw SVNClientError::launchFailed(QStringLiteral("Could not write ") + destination + QStringLiteral(": ")
            + QString::fromLocal8Bit(std::strerror(errno)));
    temporary.release();
    co_return result;
}
