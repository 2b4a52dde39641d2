#pragma once

#include "model/LogEntry.h"
#include "tools/SVNCommandResult.h"

#include <QByteArray>
#include <QCoroTask>
#include <QEventLoop>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <exception>
#include <memory>
#include <optional>

namespace TestSupport::detail {

template <typename T>
QCoro::Task<> capture(
    QCoro::Task<T> task, std::optional<T> &value, std::exception_ptr &error, QEventLoop &loop, bool &done)
{
    try {
        value.emplace(co_await std::move(task));
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}

inline QCoro::Task<> capture(QCoro::Task<void> task, std::exception_ptr &error, QEventLoop &loop, bool &done)
{
    try {
        co_await std::move(task);
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}

} // namespace TestSupport::detail

// Runs a task to its end on a nested event loop and gives its value, or rethrows its error.
// (QCoro::waitFor loses an error and then waits for ever.)
template <typename T> T runTask(QCoro::Task<T> &&task)
{
    QEventLoop loop;
    bool done = false;
    std::optional<T> value;
    std::exception_ptr error;
    auto runner = TestSupport::detail::capture<T>(std::move(task), value, error, loop, done);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}

inline void runTask(QCoro::Task<void> &&task)
{
    QEventLoop loop;
    bool done = false;
    std::exception_ptr error;
    auto runner = TestSupport::detail::capture(std::move(task), error, loop, done);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
}

namespace TestSupport {

// Runs a program synchronously (for fixtures); fails the current test when it exits non-zero.
// The output is returned whole.
QByteArray runTool(const QString &program, const QStringList &arguments, const QString &workingDirectory = QString(),
    int *status = nullptr);

// Forgets the repository the tests were started from: run from a Git hook or `git rebase --exec` in a
// linked worktree, GIT_DIR and its kin would point every git run of the tests at that repository.
void forgetCallingRepository();

// A menu or button text as shown: its mnemonic "&" dropped, "&&" read as one "&".
inline QString withoutMnemonic(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

// Writes bytes to a file, creating its folders.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Every file under the folder, outside svn's and git's own, by its path inside the folder, with its bytes.
QMap<QString, QByteArray> filesUnder(const QString &folder);
// Writes a file whose name is what printf makes of `printfName` ("caf\\351.txt" is a Latin-1 name no
// QString path reaches), in the folder, with a shell as a user would.
void printfFile(const QString &folder, const QString &printfName, const QString &contents);
// The bytes of the file so named, read with a shell.
QByteArray printfRead(const QString &folder, const QString &printfName);

// A temporary folder with HOME pointed into it, so svn and git see no user configuration.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
};

// An svn repository made with svnadmin and a checked-out working copy.
struct SvnFixture {
    QString repositoryPath;
    QString repositoryUrl;
    QString workingCopy;

    // Creates "<base>/repo" and checks it out into "<base>/<wcName>".
    static SvnFixture create(const QString &base, const QString &wcName = QStringLiteral("wc"));
    // Adds and commits everything under the working copy.
    void commitAll(const QString &message = QStringLiteral("commit")) const;
    QByteArray svn(const QStringList &arguments, int *status = nullptr) const;
    // `svn update` that another working copy's commit, made meanwhile, makes conflict: the content of
    // each of `textConflicts` and the property "note" of each of `propertyConflicts` differ on both sides.
    void updateIntoConflicts(const QStringList &textConflicts, const QStringList &propertyConflicts) const;
    // Makes the folder (a path of the repository, made URL-safe by the caller) with a commit of its own,
    // and checks it out at `destination`, which it gives.
    QString checkoutNewFolder(const QString &folder, const QString &destination) const;
    // `svn update` killed by its process id once it has begun adding files, then `svn cleanup`: the
    // working copy stays at its new revision with most of the files absent.
    void interruptUpdate() const;
};

// A git repository with an identity of its own for commits.
struct GitFixture {
    QString path;

    static GitFixture create(const QString &base, const QString &name = QStringLiteral("gitrepo"));
    void commitAll(const QString &message = QStringLiteral("commit")) const;
    QByteArray git(const QStringList &arguments, int *status = nullptr) const;
};

// What a piecewise log reading (add, finish, takeEntries) takes as it goes, fed `bytes` in pieces of `size`.
template <typename Reading> QList<LogEntry> readLogInPieces(const QByteArray &bytes, qsizetype size)
{
    Reading reading;
    QList<LogEntry> taken;
    for (qsizetype at = 0; at < bytes.size(); at += size) {
        reading.add(bytes.mid(at, size));
        taken += reading.takeEntries();
    }
    reading.finish();
    taken += reading.takeEntries();
    return taken;
}

// Sets an environment variable for the test's length, putting back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_old;
};

} // namespace TestSupport
