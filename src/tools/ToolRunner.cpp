#include "ToolRunner.h"

#include "model/TextUtil.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtConcurrent/QtConcurrentRun>

#include <coroutine>
#include <memory>

#include <csignal>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr qsizetype largeOutput = 1024 * 1024;

// Resumes the awaiting coroutine on the event-loop turn after the process's next state change, under
// the mark the run was started with.
// QCoro's own waitForStarted only listens for started(), so a program that fails to start would leave
// it waiting for ever; and its signal awaiter binds stateChanged's private tag argument, which is
// undefined behaviour. The resumption is queued so the process is never destroyed inside its own signal.
class NextStateChange {
public:
    NextStateChange(
        QProcess &process, const std::shared_ptr<ToolRunScope> &scope, const std::shared_ptr<ToolRunMark> &mark)
        : m_process(process), m_scope(scope), m_mark(mark)
    { }
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(&m_process, &QProcess::stateChanged, &m_process, [this, connection, awaiting] {
            QObject::disconnect(*connection);
            resumeMarked(awaiting, &m_process, m_scope, m_mark);
        });
    }
    void await_resume() const noexcept { }

private:
    QProcess &m_process;
    std::shared_ptr<ToolRunScope> m_scope;
    std::shared_ptr<ToolRunMark> m_mark;
};

} // namespace

namespace ToolRunner {

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<QString> findExecutable(const QString &name)
{
    const QByteArray pathVariable = qgetenv("PATH");
    if (pathVariable.isNull())
        return std::nullopt;
    const QStringList folders = QString::fromLocal8Bit(pathVariable).split(u':', Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QString absoluteFolder = QDir::isAbsolutePath(folder) ? folder : QDir::current().absoluteFilePath(folder);
        const QString candidate = TextUtil::appendingPathComponent(absoluteFolder, name);
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<QString> firstExecutable(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (isExecutableFile(path))
            return path;
    }
    return std::nullopt;
}

QCoro::Task<SVNCommandResult> runProcess(QString program, QStringList arguments, QString workingDirectory,
    QString displayExecutable, bool checkStatus, ToolEnvironment environmentAdditions,
    std::shared_ptr<ToolRunScope> scope, bool decodeOutput, std::function<void(const QByteArray &)> onOutput,
    bool keepOutput, qint64 outputLimit, int outputFile)
{
    if (scope && scope->ended())
        throw ToolRunAbandoned{};
    // The purpose the run is made for, taken before the first suspension.
    const std::shared_ptr<ToolRunMark> mark = scope ? scope->currentMark() : nullptr;
    if (mark && mark->ended()) {
        mark->countStoppedRun();
        throw SVNClientError::launchFailed(
            QStringLiteral("Stopped before ") + displayExecutable + QStringLiteral(" started."));
    }
    // Declared before the process, so it outlives the connection that fills it.
    QByteArray output;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    // svn converts file names through the locale's character set: plain "C" breaks on any non-ASCII
    // name, while C.UTF-8 keeps the messages untranslated and the names intact.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // git asks for credentials on the terminal, and without one it still waits unless told not to.
    environment.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    for (const auto &[name, value] : environmentAdditions) {
        if (value)
            environment.insert(name, *value);
        else
            environment.remove(name);
    }
    process.setProcessEnvironment(environment);
    // A tool asking for a password must fail at once, not wait on a pipe nobody writes to.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // Started from a terminal, git and ssh prompt on /dev/tty whatever standard input is: in a
    // session of its own the child has no controlling terminal, so a prompt fails at once.
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, outputFile] {
        ::setsid();
        // The session cuts the child off from the program's life: killed or crashed, the program would
        // leave it writing for no one. The kernel kills it when the thread that started it ends (QProcess
        // starts it from the caller's, the UI thread), or now if the program has already gone.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        if (outputFile >= 0 && ::dup2(outputFile, STDOUT_FILENO) < 0)
            ::_exit(127);
        // A long output is written ahead into a larger pipe, rather than the tool waiting each time the
        // window is a moment late to read: as large as the system allows without privileges.
        (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1024 * 1024);
    });

    QStringList displayed;
    displayed.reserve(arguments.size() + 1);
    displayed.push_back(program);
    displayed.append(arguments);
    const QString commandLine = shellEscaped(displayed);

    // Listed while it may run, so the scope's owner can end it.
    struct Listed {
        ToolRunScope *scope;
        QProcess *process;
        ~Listed()
        {
            if (scope)
                scope->remove(process);
        }
    } listed{scope.get(), &process};
    if (scope)
        scope->add(&process);

    // Taken as it comes, so a large output is never held twice, once in the pipe's chunks and once whole.
    qint64 taken = 0;
    bool cut = false;
    const auto take = [&] {
        QByteArray piece = process.readAllStandardOutput();
        if (piece.isEmpty() || cut)
            return;
        if (outputLimit >= 0 && taken + piece.size() > outputLimit) {
            piece.truncate(outputLimit - taken);
            cut = true;
            // What the tool still writes is read and dropped until it has gone.
            process.closeReadChannel(QProcess::StandardOutput);
            if (scope)
                scope->endProcess(&process);
            else
                process.terminate();
        }
        taken += piece.size();
        if (onOutput && !piece.isEmpty())
            onOutput(piece);
        if (keepOutput)
            output.append(piece);
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, take);
    process.start();
    while (process.state() == QProcess::Starting)
        co_await NextStateChange(process, scope, mark);
    if (scope && scope->ended())
        throw ToolRunAbandoned{};
    if (process.state() == QProcess::NotRunning && process.error() == QProcess::FailedToStart)
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not launch ") + displayExecutable + QStringLiteral(": ") + process.errorString());
    while (process.state() != QProcess::NotRunning) {
        co_await NextStateChange(process, scope, mark);
        if (scope && scope->ended())
            throw ToolRunAbandoned{};
    }

    SVNCommandResult result;
    result.commandLine = commandLine;
    if (process.exitStatus() == QProcess::CrashExit) {
        // Killed by a signal: report the signal number, never 0.
        result.status = process.exitCode() != 0 ? process.exitCode() : -1;
        result.terminationSignal = process.exitCode();
    } else {
        result.status = process.exitCode();
    }
    take();
    result.outputCut = cut;
    result.stdoutData = std::move(output);
    result.stderrData = process.readAllStandardError();
    // A large output (a status of a big working copy, a diff of a big file) is decoded on a worker so
    // the window keeps drawing meanwhile.
    // A failed run's error may have to quote its output, so that is decoded whatever the caller asked.
    const bool decode = decodeOutput || (checkStatus && !result.succeeded() && !result.outputCut);
    if (decode && result.stdoutData.size() > largeOutput)
        result.stdout = co_await awaitInScope(scope, QtConcurrent::run(TextUtil::decodeUtf8Strict, result.stdoutData));
    else if (decode)
        result.stdout = TextUtil::decodeUtf8Strict(result.stdoutData);
    result.stderr = TextUtil::decodeUtf8Strict(result.stderrData);
    // Ended on purpose: whatever it printed, the caller must not take it for a finished run.
    if (mark && mark->ended()) {
        mark->countStoppedRun();
        throw SVNClientError::commandFailed(std::move(result));
    }
    // Ended for its output's length: the status tells of that, not of the tool.
    if (checkStatus && !result.succeeded() && !result.outputCut)
        throw SVNClientError::commandFailed(std::move(result));
    co_return result;
}

} // namespace ToolRunner
