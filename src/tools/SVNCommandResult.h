#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <variant>

// What one finished tool run gives back.
struct SVNCommandResult {
    QString commandLine;
    qint32 status = 0;
    QByteArray stdoutData;
    QByteArray stderrData;
    QString stdout;
    QString stderr;
    // The signal that ended the child, when one did; `status` then holds its number too.
    std::optional<int> terminationSignal;
    // The output went past the run's limit: only that much of it was read, and the tool was ended.
    bool outputCut = false;

    bool succeeded() const { return status == 0 && !terminationSignal; }
};

// The tool runner's error: the tool could not be started, or a checked run exited non-zero.
class SVNClientError : public std::exception {
public:
    static SVNClientError launchFailed(QString message);
    static SVNClientError commandFailed(SVNCommandResult result);

    bool isLaunchFailed() const { return std::holds_alternative<QString>(m_payload); }
    bool isCommandFailed() const { return std::holds_alternative<SVNCommandResult>(m_payload); }
    // The result of a failed run; only for commandFailed.
    const SVNCommandResult &result() const { return std::get<SVNCommandResult>(m_payload); }

    // The launch message; or the tool's standard error (followed by its standard output where standard
    // error holds only warnings), else standard output, else the status sentence. A run ended by a
    // signal is said so first, before whatever the tool printed.
    QString description() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    explicit SVNClientError(std::variant<QString, SVNCommandResult> payload);

    std::variant<QString, SVNCommandResult> m_payload;
    QByteArray m_what;
};

// The description of any exception caught by the state: SVNClientError's own, else what() as UTF-8.
QString errorDescription(const std::exception &error);

// The command line as shown to the user: each element quoted for a POSIX shell when it holds one of
// the special characters, joined with single spaces. Only for display; no run goes through a shell.
QString shellEscaped(const QStringList &arguments);
