#pragma once

#include "state/AppState.h"
#include "tools/ToolClients.h"

#include <QMetaObject>
#include <QObject>

#include <coroutine>
#include <deque>
#include <functional>

#include <unistd.h>

// One recorded run of a fake tool.
struct FakeCall {
    QStringList arguments;
    QString workingDirectory;
    bool checkStatus = true;
    // What the run added to the child's environment.
    ToolEnvironment environment;
};

// Answers runs without starting anything: records each call, answers through `responder`, and while
// `holdRuns` is set keeps each run waiting until the test releases it (to finish runs in any order).
template <typename Base> class FakeTool : public Base {
public:
    using Responder = std::function<SVNCommandResult(const FakeCall &)>;

    QList<FakeCall> calls;
    Responder responder;
    bool holdRuns = false;

    using Base::run;

protected:
    QCoro::Task<SVNCommandResult> launch(ToolRun run) override
    {
        return answer(FakeCall{std::move(run.arguments), std::move(run.workingDirectory), run.checkStatus,
                          std::move(run.environment)},
            std::move(run.onOutput), run.outputFile);
    }

public:
    // Runs waiting to be released, in the order they started.
    size_t heldCount() const { return m_held.size(); }
    // Lets the held run at that position go on (on the next event-loop turn).
    void release(size_t index)
    {
        const HeldRun held = m_held.at(index);
        m_held.erase(m_held.begin() + static_cast<std::ptrdiff_t>(index));
        // Under the mark the run was started with, as the runner resumes.
        resumeMarked(held.handle, qApp, held.scope, held.mark);
    }

    QList<QStringList> argumentLists() const
    {
        QList<QStringList> lists;
        for (const FakeCall &call : calls)
            lists.push_back(call.arguments);
        return lists;
    }

private:
    QCoro::Task<SVNCommandResult> answer(
        FakeCall call, std::function<void(const QByteArray &)> onOutput, int outputFile)
    {
        calls.push_back(call);
        // The purpose the run is made for, taken before the first suspension as the runner takes it.
        const std::shared_ptr<ToolRunMark> mark = this->m_runScope ? this->m_runScope->currentMark() : nullptr;
        if (holdRuns)
            co_await Held{this};
        SVNCommandResult result = responder ? responder(call) : SVNCommandResult{};
        if (result.commandLine.isEmpty())
            result.commandLine = shellEscaped(QStringList{QStringLiteral("/usr/bin/fake")} + call.arguments);
        // Stopped while it was held: like the runner, the caller gets a failure it counts as stopped.
        if (mark && mark->ended()) {
            mark->countStoppedRun();
            throw SVNClientError::commandFailed(result);
        }
        // Like a tool writing into the file it was given, the output reaches the program no more.
        if (outputFile >= 0) {
            for (qsizetype written = 0; written < result.stdoutData.size();) {
                const ssize_t count = ::write(
                    outputFile, result.stdoutData.constData() + written, size_t(result.stdoutData.size() - written));
                if (count <= 0)
                    break;
                written += count;
            }
            result.stdoutData.clear();
            result.stdout.clear();
        }
        // Like the runner, the whole output goes to the caller's piece handler before the status is checked.
        if (onOutput && !result.stdoutData.isEmpty())
            onOutput(result.stdoutData);
        if (call.checkStatus && !result.succeeded())
            throw SVNClientError::commandFailed(result);
        co_return result;
    }

    struct HeldRun {
        std::coroutine_handle<> handle;
        std::shared_ptr<const ToolRunScope> scope;
        std::shared_ptr<ToolRunMark> mark;
    };
    struct Held {
        FakeTool *tool;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle)
        {
            const std::shared_ptr<ToolRunScope> &scope = tool->m_runScope;
            tool->m_held.push_back({handle, scope, scope ? scope->currentMark() : nullptr});
        }
        void await_resume() const noexcept { }
    };
    std::deque<HeldRun> m_held;
};

using FakeSVNClient = FakeTool<SVNClient>;
using FakeSVNAdminClient = FakeTool<SVNAdminClient>;
using FakeGitClient = FakeTool<GitClient>;

inline SVNCommandResult okResult(const QString &stdout, const QString &stderr = QString())
{
    SVNCommandResult result;
    result.stdout = stdout;
    result.stderr = stderr;
    result.stdoutData = stdout.toUtf8();
    result.stderrData = stderr.toUtf8();
    return result;
}

inline SVNCommandResult failedResult(qint32 status, const QString &stderr)
{
    SVNCommandResult result = okResult(QString(), stderr);
    result.status = status;
    return result;
}

// The fakes answer for folders that need not exist: each is taken for a working copy of its own.
inline QCoro::Task<FolderLook> everyFolderARoot(
    SVNClient &, GitClient &, std::shared_ptr<const ToolRunScope>, QString, RepositoryKind)
{
    co_return FolderLook{true, true, true};
}

// An AppState over fake clients; the fakes stay reachable through the pointers.
struct FakeClients {
    FakeSVNClient *svn = nullptr;
    FakeSVNAdminClient *svnAdmin = nullptr;
    FakeGitClient *git = nullptr;

    AppClients make()
    {
        AppClients clients;
        auto svnClient = std::make_unique<FakeSVNClient>();
        auto adminClient = std::make_unique<FakeSVNAdminClient>();
        auto gitClient = std::make_unique<FakeGitClient>();
        svn = svnClient.get();
        svnAdmin = adminClient.get();
        git = gitClient.get();
        clients.svn = std::move(svnClient);
        clients.svnAdmin = std::move(adminClient);
        clients.git = std::move(gitClient);
        clients.archiveZip = std::make_unique<ArchiveZipClient>();
        clients.folderLook = everyFolderARoot;
        return clients;
    }
};

// Processes events until the state runs no task (or the time is up); true when idle.
bool waitUntilIdle(const AppState &state, int timeoutMs = 30000);
// Processes events until the predicate holds (or the time is up).
bool waitFor(const std::function<bool()> &predicate, int timeoutMs = 30000);
