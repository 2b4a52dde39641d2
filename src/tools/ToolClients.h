#pragma once

#include "OperandFiles.h"
#include "SVNCommandResult.h"
#include "ToolRunScope.h"
#include "ToolRunner.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QSettings;

// The settings key of the user's chosen svn executable.
inline constexpr char16_t explicitSVNExecutableDefaultsKey[] = u"KorvelSVN.svnExecutablePath";

// One run of a tool: the arguments, the folder it runs in (the application's own when empty), whether
// a non-zero status fails it, and variables added to the child's environment for this run only.
struct ToolRun {
    QStringList arguments;
    QString workingDirectory;
    bool checkStatus = true;
    ToolEnvironment environment;
    // Off: the output is left as the bytes printed (stdoutData) and `stdout` stays empty, for a large text
    // the caller keeps as UTF-8 and checks itself. A run that fails its status check is decoded still.
    bool decodeOutput = true;
    // Given each piece of the output as it arrives, while the tool still runs; the result holds it all
    // the same, unless `keepOutput` is off.
    std::function<void(const QByteArray &)> onOutput;
    bool keepOutput = true;
    // Past this many bytes of output (when not negative) the rest is not read and the tool is ended;
    // the result says so (outputCut).
    qint64 outputLimit = -1;
    // An open file the tool writes its standard output into, instead of to the program (when not negative).
    int outputFile = -1;
    // Path operands and a message after the arguments, each tool's way; through files when the command
    // line cannot carry them (OperandFiles).
    QStringList paths;
    std::optional<QString> message;
    // The index of an argument the tool also reads from a file named after "-F" (svn propset's value),
    // in a run without paths or message: handed through a file when the command line cannot carry it.
    std::optional<qsizetype> fileValue;
};

// The command line of one run in parts: the arguments, then the paths and the message.
struct ToolCommand {
    QStringList arguments;
    QStringList paths;
    std::optional<QString> message;
    std::optional<qsizetype> fileValue;

    ToolCommand() = default;
    ToolCommand(QStringList arguments) : arguments(std::move(arguments)) { }
    ToolCommand(std::initializer_list<QString> arguments) : arguments(arguments) { }
    static ToolCommand withPaths(QStringList arguments, QStringList paths, std::optional<QString> message = {})
    {
        ToolCommand command(std::move(arguments));
        command.paths = std::move(paths);
        command.message = std::move(message);
        return command;
    }

    bool operator==(const ToolCommand &) const = default;

    // The run of this command in the folder.
    ToolRun in(QString workingDirectory, bool checkStatus = true) const
    {
        ToolRun run{arguments, std::move(workingDirectory), checkStatus};
        run.paths = paths;
        run.message = message;
        run.fileValue = fileValue;
        return run;
    }
};

// A client of one command-line tool. The callers build the argument lists; the client finds the tool
// anew for every run and runs it. Tests replace `launch` to check the argument lists.
class ToolClient {
public:
    virtual ~ToolClient() = default;

    // Throws SVNClientError; for a non-zero status only when the run checks it.
    QCoro::Task<SVNCommandResult> run(ToolRun run);
    QCoro::Task<SVNCommandResult> run(
        QStringList arguments, QString workingDirectory = QString(), bool checkStatus = true);

    // The first executable of the tool's name on PATH, else in the tool's fixed folders.
    virtual std::optional<QString> resolvedExecutablePath() const;
    // How the executable is named in a launch failure: its path, else "<name> from PATH".
    virtual QString displayExecutable() const;

    // The scope the client's children run in; ending it ends them. Without one nothing ends them.
    void setRunScope(std::shared_ptr<ToolRunScope> scope) { m_runScope = std::move(scope); }

protected:
    // The executable's file name, the folders searched when PATH holds none, and the launch failure
    // when it is in neither.
    ToolClient(QString name, QStringList fallbackFolders, QString notFoundMessage,
        OperandFiles::Style operandStyle = OperandFiles::Style::commandLine);

    // Starts the run with its final arguments (the paths and the message already among them).
    virtual QCoro::Task<SVNCommandResult> launch(ToolRun run);

    // Variables this tool's children get on top of the runner's own, given the environment the run
    // would otherwise have (this process's, plus the caller's additions).
    virtual QCoro::Task<ToolEnvironment> toolEnvironment(
        QString executable, QStringList arguments, QString workingDirectory, ToolEnvironment additions) const;

    std::shared_ptr<ToolRunScope> m_runScope;

private:
    QString m_name;
    QStringList m_fallbackFolders;
    QString m_notFoundMessage;
    OperandFiles::Style m_operandStyle;
};

// What ssh gets when a tool starts it and the user has not configured how: no questions (a password
// or host-key prompt fails at once) and a bounded wait for a host that does not answer.
inline constexpr char16_t batchSSHOptions[] = u"-o BatchMode=yes -o ConnectTimeout=30";

class SVNClient : public ToolClient {
public:
    // The settings hold the chosen executable; they must outlive the client. Null means none chosen.
    // The state writes the choice, through its project store.
    explicit SVNClient(QSettings *settings = nullptr);

    std::optional<QString> explicitExecutablePath() const;

    // The chosen path as it is, else svn found as any tool is.
    std::optional<QString> resolvedExecutablePath() const override;
    QString displayExecutable() const override;

    // The global-ignores svn takes: the user's config, else the system's, else svn's own default.
    static QString globalIgnores();

protected:
    // SVN_SSH in batch mode, unless SVN_SSH is set or a Subversion config names the ssh tunnel.
    QCoro::Task<ToolEnvironment> toolEnvironment(
        QString executable, QStringList arguments, QString workingDirectory, ToolEnvironment additions) const override;

private:
    QSettings *m_settings;
};

class SVNAdminClient : public ToolClient {
public:
    explicit SVNAdminClient(QSettings *settings = nullptr);

    // svnadmin beside the chosen svn, else found as any tool is.
    std::optional<QString> resolvedExecutablePath() const override;

private:
    QSettings *m_settings;
};

// Every git run takes its pathspecs literally (ToolOperands::gitEnvironment) and works on the repository
// of its working folder, whatever repository this process's environment names.
class GitClient : public ToolClient {
public:
    GitClient();

protected:
    QCoro::Task<SVNCommandResult> launch(ToolRun run) override;

    // ssh in batch mode for every run, unless GIT_SSH_COMMAND, GIT_SSH or core.sshCommand is set.
    QCoro::Task<ToolEnvironment> toolEnvironment(
        QString executable, QStringList arguments, QString workingDirectory, ToolEnvironment additions) const override;

private:
    // A program named ssh that runs ssh in batch mode, written once into a private folder that goes
    // with the client; nothing where the folder's file system runs no programs.
    std::optional<QString> batchSSHProgram() const;

    mutable std::unique_ptr<QTemporaryDir> m_sshProgram;
};

// Zips a folder so that the folder itself is the archive's top-level entry.
class ArchiveZipClient {
public:
    virtual ~ArchiveZipClient() = default;

    // Writes the archive to a new file beside the destination and renames it over the destination
    // only when the tool succeeded. The status is always checked.
    virtual QCoro::Task<SVNCommandResult> zipDirectoryKeepingParent(QString sourcePath, QString destinationPath);

    std::optional<QString> resolvedExecutablePath() const;
    QString displayExecutable() const;

    void setRunScope(std::shared_ptr<ToolRunScope> scope) { m_runScope = std::move(scope); }

private:
    std::shared_ptr<ToolRunScope> m_runScope;
};
