// History and remote actions: forms, argument lists, routes, alerts and reloads over fake tools, and
// the runs that change files (export, pull, rollback) on real svn and git repositories.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include "state/RunOutputs.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

using Action = void (AppState::*)();

QStringList describe(const QList<PromptField> &fields)
{
    QStringList texts;
    for (const PromptField &field : fields)
        texts << field.key + u'|' + field.label + u'|' + field.value;
    return texts;
}

LogEntry gitCommit(qint64 number, const QString &hash, const QString &path)
{
    LogEntry entry;
    entry.revision = number;
    entry.commitHash = hash;
    entry.message = QStringLiteral("change");
    entry.paths = {SVNPathChange{QStringLiteral("M"), path, std::nullopt}};
    return entry;
}

struct HistoryFixture : FakeStateFixture {
    const QString hash = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

    // An svn project with a selected change, revision 7 selected and a known repository URL.
    void makeSvnState(const QString &change = QStringLiteral("src/a.c"))
    {
        makeState({svnProject});
        state->setChanges({WorkingCopyItem{change, SVNStatusKind::modified, SVNStatusKind::none, {}, {}, false}});
        state->setSelectedChangeID(change);
        state->setSelectedRevision(7);
        RepositoryInfo info;
        info.url = QStringLiteral("file:///repo/trunk");
        state->setRepositoryInfo(info);
    }

    // A Git project with a file-history revision selected and no change row highlighted.
    void makeGitState(const QString &path = QStringLiteral("src/a.c"))
    {
        makeState({gitProject});
        state->setLogEntries({gitCommit(3, hash, path)});
        state->setSelectedHistoryPath(path);
        state->setSelectedRevision(3);
    }

    void answer(const QStringList &texts) { dialogs.promptAnswers.push_back(texts); }

    void settle() { ASSERT_TRUE(waitUntilIdle(*state)); }
};

// Every worker of the global pool but `spare` kept busy until released, so work handed to it waits, or
// runs one piece after another on the one spare worker.
struct HeldWorkers {
    QThreadPool *pool = QThreadPool::globalInstance();
    const int workers;
    QSemaphore semaphore;
    bool held = true;

    explicit HeldWorkers(int spare = 0) : workers(pool->maxThreadCount() - spare)
    {
        for (int worker = 0; worker < workers; ++worker)
            pool->start([this] { semaphore.acquire(); });
    }
    void release()
    {
        if (std::exchange(held, false))
            semaphore.release(workers);
    }
    ~HeldWorkers()
    {
        release();
        pool->waitForDone();
    }
};

struct FormRow {
    const char *name;
    Action action;
    QString title;
    QStringList fields;
    QStringList answers;
    QStringList arguments;
    bool refreshAfter;
};

} // namespace

TEST_F(HistoryFixture, SvnFormActionsAskAndRunTheirArguments)
{
    const QList<FormRow> rows = {
        {"list", &AppState::listTarget, "List", {"target|URL Or Path|file:///repo/trunk"}, {" svn://h/r "},
            {"list", "svn://h/r"}, false},
        {"cat", &AppState::catTarget, "Cat", {"target|URL Or Path|src/a.c", "revision|Revision|7"}, {"src/a.c", "7"},
            {"cat", "-r", "7", "src/a.c"}, false},
        {"cat without revision", &AppState::catTarget, "Cat", {"target|URL Or Path|src/a.c", "revision|Revision|7"},
            {"src/a.c", "  "}, {"cat", "src/a.c"}, false},
        {"mkdir", &AppState::makeRemoteDirectory, "Remote Directory",
            {"url|Repository URL|", "message|Message|Create directory"}, {"file:///r/new dir", "Make it\n"},
            {"mkdir", "file:///r/new dir", "-m", "Make it"}, false},
        {"blame", &AppState::showBlame, "Blame", {"path|Path|src/a.c"}, {"src/a.c"}, {"blame", "src/a.c"}, false},
        {"diff", &AppState::showDiffAgainstRevision, "Diff", {"revision|Revision Or Range|7", "path|Path|src/a.c"},
            {"3:7", "src/a.c"}, {"diff", "-r", "3:7", "src/a.c"}, false},
        {"diff of everything", &AppState::showDiffAgainstRevision, "Diff",
            {"revision|Revision Or Range|7", "path|Path|src/a.c"}, {"7", ""}, {"diff", "-r", "7"}, false},
        {"pull", &AppState::pullFileAtRevision, "Pull File", {"path|Path|src/a.c", "revision|Revision|7"},
            {"src/a.c", "7"}, {"update", "-r", "7", "src/a.c"}, true},
        {"merge", &AppState::merge, "Merge", {"source|Source URL Or Path|file:///repo/trunk", "range|Revision Range|"},
            {"file:///repo/branches/b", "3:5"}, {"merge", "-r", "3:5", "file:///repo/branches/b", "."}, true},
        {"merge without range", &AppState::merge, "Merge",
            {"source|Source URL Or Path|file:///repo/trunk", "range|Revision Range|"}, {"file:///repo/branches/b", ""},
            {"merge", "file:///repo/branches/b", "."}, true},
    };
    for (const FormRow &row : rows) {
        SCOPED_TRACE(row.name);
        fakes = FakeClients();
        dialogs = ScriptedDialogs();
        makeSvnState();
        answer(row.answers);
        (state.get()->*row.action)();
        settle();
        ASSERT_EQ(dialogs.prompts.size(), 1);
        EXPECT_EQ(dialogs.prompts[0].title, row.title);
        EXPECT_EQ(describe(dialogs.prompts[0].fields), row.fields);
        ASSERT_FALSE(fakes.svn->calls.isEmpty());
        EXPECT_EQ(fakes.svn->calls[0].arguments, row.arguments);
        EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
        // A reload starts with the status of the project; a command that keeps the files reloads nothing.
        if (row.refreshAfter)
            EXPECT_EQ(fakes.svn->calls.value(1).arguments.value(0), "status");
        else
            EXPECT_EQ(fakes.svn->calls.size(), 1);
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, row.title);
        EXPECT_FALSE(state->alert());
        EXPECT_FALSE(state->busyMessage());
    }
}

TEST_F(HistoryFixture, GitFormActionsTakeTheGitRouteAfterTheForm)
{
    const QList<FormRow> rows = {
        {"cat", &AppState::catTarget, "Cat", {"target|URL Or Path|src/a.c", "revision|Revision|" + hash},
            {"src/a.c", "main~2"}, {"show", "main~2:src/a.c"}, false},
        {"cat at HEAD", &AppState::catTarget, "Cat", {"target|URL Or Path|src/a.c", "revision|Revision|" + hash},
            {"src/a.c", ""}, {"show", "HEAD:src/a.c"}, false},
        {"blame", &AppState::showBlame, "Blame", {"path|Path|src/a.c"}, {"src/a.c"}, {"blame", "--", "src/a.c"}, false},
        {"diff", &AppState::showDiffAgainstRevision, "Diff",
            {"revision|Revision Or Range|" + hash, "path|Path|src/a.c"}, {hash, "src/a.c"},
            {"show", "--format=", "--patch", "--find-renames", "--no-ext-diff", "--no-color", "--src-prefix=a/",
                "--dst-prefix=b/", hash, "--", "src/a.c"},
            false},
        {"diff of everything", &AppState::showDiffAgainstRevision, "Diff",
            {"revision|Revision Or Range|" + hash, "path|Path|src/a.c"}, {hash, ""},
            {"show", "--format=", "--patch", "--find-renames", "--no-ext-diff", "--no-color", "--src-prefix=a/",
                "--dst-prefix=b/", hash},
            false},
        {"pull", &AppState::pullFileAtRevision, "Pull File", {"path|Path|src/a.c", "revision|Revision|" + hash},
            {"src/a.c", hash}, {"checkout", hash, "--", "src/a.c"}, true},
    };
    for (const FormRow &row : rows) {
        SCOPED_TRACE(row.name);
        fakes = FakeClients();
        dialogs = ScriptedDialogs();
        makeGitState();
        answer(row.answers);
        (state.get()->*row.action)();
        settle();
        ASSERT_EQ(dialogs.prompts.size(), 1);
        EXPECT_EQ(dialogs.prompts[0].title, row.title);
        EXPECT_EQ(describe(dialogs.prompts[0].fields), row.fields);
        ASSERT_FALSE(fakes.git->calls.isEmpty());
        EXPECT_EQ(fakes.git->calls[0].arguments, row.arguments);
        EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/beta");
        EXPECT_EQ(fakes.git->calls.size() > 1, row.refreshAfter);
        EXPECT_TRUE(fakes.svn->calls.isEmpty());
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, row.title);
    }
}

TEST_F(HistoryFixture, SvnOnlyActionsInAGitProjectAndAnyActionWithoutProjectAlertAfterTheForm)
{
    makeGitState();
    for (Action action : {&AppState::listTarget, &AppState::makeRemoteDirectory, &AppState::merge}) {
        state->setAlert(std::nullopt);
        answer({"file:///r/x", "msg"});
        (state.get()->*action)();
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "SVN Command Unavailable");
    }
    EXPECT_EQ(dialogs.prompts.size(), 3);

    makeState({svnProject});
    state->setSelectedProjectID(std::nullopt);
    dialogs = ScriptedDialogs();
    const QList<Action> formActions = {&AppState::listTarget, &AppState::catTarget, &AppState::makeRemoteDirectory,
        &AppState::showBlame, &AppState::showDiffAgainstRevision, &AppState::pullFileAtRevision, &AppState::merge};
    for (Action action : formActions) {
        state->setAlert(std::nullopt);
        answer({"x", "1"});
        (state.get()->*action)();
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "No Project Selected");
    }
    EXPECT_EQ(dialogs.prompts.size(), formActions.size());
    // Export asks nothing at all without a project.
    state->exportFileAtRevision();
    EXPECT_EQ(dialogs.prompts.size(), formActions.size());
    EXPECT_TRUE(dialogs.savePanels.isEmpty());
    settle();
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(HistoryFixture, CancelledFormsAndEmptyRequiredValuesEndSilently)
{
    makeSvnState();
    const QList<std::pair<Action, QStringList>> cases = {
        {&AppState::listTarget, {"  "}},
        {&AppState::catTarget, {"", "7"}},
        {&AppState::makeRemoteDirectory, {"file:///r/x", " "}},
        {&AppState::makeRemoteDirectory, {"", "Create directory"}},
        {&AppState::showBlame, {"\n"}},
        {&AppState::showDiffAgainstRevision, {"", "src/a.c"}},
        {&AppState::pullFileAtRevision, {"src/a.c", ""}},
        {&AppState::pullFileAtRevision, {"", "7"}},
        {&AppState::merge, {"", "3:5"}},
        {&AppState::exportFileAtRevision, {"", "7"}},
        {&AppState::exportFileAtRevision, {"src/a.c", ""}},
    };
    for (const auto &[action, answers] : cases) {
        answer(answers);
        (state.get()->*action)();
        (state.get()->*action)(); // cancelled: the queue is empty
    }
    settle();
    EXPECT_EQ(dialogs.prompts.size(), 2 * cases.size());
    EXPECT_TRUE(dialogs.savePanels.isEmpty());
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_FALSE(state->alert());
}

TEST_F(HistoryFixture, DiffProposesEachToolsOwnRevisionWithoutASelectedOne)
{
    makeState({svnProject});
    answer({"BASE", ""});
    state->showDiffAgainstRevision();
    settle();
    EXPECT_EQ(describe(dialogs.prompts[0].fields), QStringList({"revision|Revision Or Range|BASE", "path|Path|"}));
    EXPECT_EQ(fakes.svn->argumentLists().value(0), QStringList({"diff", "-r", "BASE"}));

    dialogs = ScriptedDialogs();
    makeState({gitProject});
    answer({"HEAD", ""});
    state->showDiffAgainstRevision();
    settle();
    EXPECT_EQ(describe(dialogs.prompts[0].fields), QStringList({"revision|Revision Or Range|HEAD", "path|Path|"}));
    EXPECT_EQ(fakes.git->argumentLists().value(0).value(8), "HEAD");
    EXPECT_FALSE(state->alert());
}

TEST_F(HistoryFixture, AFailedRunAlertsUnderTheActionTitle)
{
    makeSvnState();
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "svn: E195012: no such revision\n"); };
    answer({"src/a.c", "7"});
    state->pullFileAtRevision();
    settle();
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Pull File Failed");
    EXPECT_EQ(state->alert()->message, "svn: E195012: no such revision\n");
    EXPECT_EQ(state->commandOutput()->title, "Pull File Failed");
    // It may have put files in place before it failed: the project reloads.
    EXPECT_EQ(fakes.svn->argumentLists().value(0).value(0), "update");
    EXPECT_EQ(fakes.svn->argumentLists().value(1).value(0), "status");
}

TEST_F(HistoryFixture, SelectedPathsAreKeptFromOptionAndPegParsingButTypedPathsStayAsTyped)
{
    struct Case {
        QString change;
        Action action;
        QStringList answers;
        QStringList arguments;
    };
    const QList<Case> cases = {
        {"-R", &AppState::catTarget, {"-R", ""}, {"cat", "./-R"}},
        {"-R", &AppState::showBlame, {"-R"}, {"blame", "./-R"}},
        {"-R", &AppState::showDiffAgainstRevision, {"7", "-R"}, {"diff", "-r", "7", "./-R"}},
        {"-R", &AppState::pullFileAtRevision, {"-R", "7"}, {"update", "-r", "7", "./-R"}},
        {"a@2x.png", &AppState::catTarget, {"a@2x.png", "7"}, {"cat", "-r", "7", "a@2x.png@"}},
        {"a@2x.png", &AppState::showBlame, {"a@2x.png"}, {"blame", "a@2x.png@"}},
        {"a@2x.png", &AppState::pullFileAtRevision, {"a@2x.png", "7"}, {"update", "-r", "7", "a@2x.png@"}},
        {"a@2x.png", &AppState::showDiffAgainstRevision, {"BASE", "a@2x.png"},
            {"diff", "-r", "BASE", "--old=a@2x.png@"}},
        // Typed: a peg revision is the user's to give.
        {"a@2x.png", &AppState::catTarget, {"b.c@3", "7"}, {"cat", "-r", "7", "b.c@3"}},
        {"a@2x.png", &AppState::showDiffAgainstRevision, {"7", "b@2"}, {"diff", "-r", "7", "b@2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        fakes = FakeClients();
        dialogs = ScriptedDialogs();
        makeSvnState(c.change);
        answer(c.answers);
        (state.get()->*c.action)();
        settle();
        EXPECT_EQ(fakes.svn->argumentLists().value(0), c.arguments);
    }
}

TEST_F(HistoryFixture, GitRevisionsThatLookLikeOptionsAreRefused)
{
    makeGitState();
    const QList<std::pair<Action, QStringList>> cases = {
        {&AppState::catTarget, {"src/a.c", "--output=/tmp/x"}},
        {&AppState::showDiffAgainstRevision, {"--output=/tmp/x", "src/a.c"}},
        {&AppState::pullFileAtRevision, {"src/a.c", "-p"}},
        {&AppState::exportFileAtRevision, {"src/a.c", "--output=/tmp/x"}},
    };
    for (const auto &[action, answers] : cases) {
        state->setAlert(std::nullopt);
        answer(answers);
        (state.get()->*action)();
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "Invalid Revision");
        EXPECT_EQ(
            state->alert()->message, "A Git revision cannot begin with \"-\", because git would read it as an option.");
    }
    settle();
    EXPECT_TRUE(dialogs.savePanels.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());

    // svn takes the value of "-r" as its argument: no refusal there.
    fakes = FakeClients();
    makeSvnState();
    answer({"src/a.c", "-1"});
    state->catTarget();
    settle();
    EXPECT_EQ(fakes.svn->argumentLists().value(0), QStringList({"cat", "-r", "-1", "src/a.c"}));
}

TEST_F(HistoryFixture, PullFileAsksBeforeReplacingLocalChangesAndRefusesPathsOutside)
{
    makeGitState();
    const QList<WorkingCopyItem> changes{
        WorkingCopyItem{"src/a.c", SVNStatusKind::modified}, WorkingCopyItem{"gone.c", SVNStatusKind::deleted}};
    state->setChanges(changes);

    answer({"./src/a.c", hash});
    dialogs.confirmAnswers.push_back(false);
    state->pullFileAtRevision();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].first, "Pull File");
    EXPECT_EQ(dialogs.confirmations[0].second, "Replace local changes to ./src/a.c with its content at " + hash + "?");
    settle();
    EXPECT_TRUE(fakes.git->calls.isEmpty());
    EXPECT_FALSE(state->alert());

    // Every form of a path to the changed file, or to a folder holding it, asks; accepted, git gets
    // the path that was asked about. A deleted file has nothing to lose, an unlisted one neither. A
    // path outside the project is refused (no operand).
    const struct {
        QString typed;
        bool asks;
        QString operand;
    } rows[] = {
        {"/work/other/a.c", false, ""},
        {"../other/a.c", false, ""},
        {"src/../../a.c", false, ""},
        {"/work/betamax/a.c", false, ""},
        {"src", true, "src"},
        {"/work/beta/src/a.c", true, "src/a.c"},
        {"src/x/../a.c", true, "src/a.c"},
        {"/work/beta/src/", true, "src"},
        {"/work/beta", true, "."},
        {"../beta/src/./a.c", true, "src/a.c"},
        {"gone.c", false, "gone.c"},
        {"src/b.c", false, "src/b.c"},
        {"/work/beta/src/../gone.c", false, "gone.c"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.typed.toStdString());
        dialogs.confirmations.clear();
        fakes.git->calls.clear();
        // The run before reloaded the list from the fake tool.
        state->setChanges(changes);
        answer({row.typed, hash});
        if (row.asks)
            dialogs.confirmAnswers.push_back(true);
        state->setAlert(std::nullopt);
        state->pullFileAtRevision();
        settle();
        EXPECT_EQ(dialogs.confirmations.size(), row.asks ? 1 : 0);
        if (row.operand.isEmpty()) {
            EXPECT_TRUE(fakes.git->calls.isEmpty());
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, "Path Outside Project");
            EXPECT_EQ(state->alert()->message, "Choose a path inside /work/beta.");
            continue;
        }
        EXPECT_EQ(fakes.git->argumentLists().value(0), QStringList({"checkout", hash, "--", row.operand}));
        EXPECT_FALSE(state->alert());
    }

    // svn update would reach another working copy.
    fakes = FakeClients();
    makeSvnState();
    answer({"/work/other/a.c", "7"});
    state->pullFileAtRevision();
    settle();
    EXPECT_EQ(state->alert().value_or(AppAlert()).title, "Path Outside Project");
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(HistoryFixture, ExportWritesTheRawBytesWhereChosenWithoutReloading)
{
    makeSvnState("img/logo.png");
    const QByteArray bytes("\x89PNG\r\n\x1a\n\xff\xfe\x00\x01", 12);
    fakes.svn->responder = [&](const FakeCall &) {
        SVNCommandResult result;
        result.stdoutData = bytes;
        return result;
    };
    const QString destination = dir.filePath("saved.png");
    answer({"img/logo.png", "7"});
    dialogs.savePanelAnswers.push_back(destination);
    fakes.svn->holdRuns = true;
    state->exportFileAtRevision();
    EXPECT_TRUE(fakes.svn->calls.isEmpty()); // the run waits for the task
    ASSERT_EQ(dialogs.savePanels.size(), 1);
    EXPECT_EQ(dialogs.savePanels[0].title, "Save File At Revision");
    EXPECT_EQ(dialogs.savePanels[0].nameFieldValue, "logo.png");
    EXPECT_EQ(describe(dialogs.prompts[0].fields), QStringList({"path|Path|img/logo.png", "revision|Revision|7"}));
    EXPECT_EQ(dialogs.prompts[0].title, "Export File");
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    EXPECT_EQ(state->busyMessage(), "Exporting file");
    EXPECT_FALSE(QFileInfo::exists(destination));
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    settle();
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"cat", "-r", "7", "img/logo.png"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
    EXPECT_EQ(readFile(destination), bytes);
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Export File");
    EXPECT_EQ(state->commandOutput()->stdout, "(The file is binary: its 12 bytes of output are not shown.)");
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());

    // An empty file is written empty, over what was there, and still shows the output.
    fakes.svn->responder = [](const FakeCall &) { return okResult(QString()); };
    state->setCommandOutput(std::nullopt);
    answer({"img/logo.png", "7"});
    dialogs.savePanelAnswers.push_back(destination);
    state->exportFileAtRevision();
    settle();
    EXPECT_TRUE(QFileInfo::exists(destination));
    EXPECT_EQ(readFile(destination), QByteArray());
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Export File");
}

// A large output is judged and decoded on a worker: while every worker of the pool is held, the run's
// output waits for one and the window goes on; a type svn counts as binary then says the file is.
// 8 MiB of Latin-1 text: judging it takes the UI thread longer than a frame.
QByteArray largeLatinText()
{
    QByteArray latin;
    while (latin.size() < 8 * 1024 * 1024)
        latin += "caf\xe9 au lait\n";
    return latin;
}

TEST_F(HistoryFixture, LargeOutputIsJudgedOffTheUiThread)
{
    makeSvnState();
    const QByteArray latin = largeLatinText();
    QString mimeType = QStringLiteral("text/plain; charset=ISO-8859-1\n");
    fakes.svn->responder = [&](const FakeCall &call) {
        if (call.arguments.first() == "propget")
            return okResult(mimeType);
        SVNCommandResult result;
        result.stdoutData = latin;
        return result;
    };
    for (const QString &type : {mimeType, QStringLiteral("application/octet-stream\n")}) {
        SCOPED_TRACE(type.toStdString());
        mimeType = type;
        fakes.svn->calls.clear();
        state->setCommandOutput(std::nullopt);
        HeldWorkers held;
        answer({"src/a.c", "7"});
        state->catTarget();
        ASSERT_TRUE(waitFor([&] { return !fakes.svn->calls.isEmpty(); }));
        for (int turn = 0; turn < 20; ++turn)
            QCoreApplication::processEvents();
        EXPECT_FALSE(state->commandOutput());
        EXPECT_EQ(state->busyMessage(), "Cat");
        held.release();
        settle();
        EXPECT_EQ(fakes.svn->argumentLists(),
            QList<QStringList>({{"cat", "-r", "7", "src/a.c"}, {"propget", "svn:mime-type", "-r", "7", "src/a.c"}}));
        ASSERT_TRUE(state->commandOutput());
        const QString shown = state->commandOutput()->stdout;
        if (type.startsWith("text/")) {
            EXPECT_TRUE(shown.startsWith("(The output is not valid UTF-8")) << shown.left(100).toStdString();
            EXPECT_TRUE(shown.contains(QString::fromUtf8("\ncaf\uFFFD au lait\n")));
        } else {
            EXPECT_EQ(shown,
                "(The file is binary: its " + QString::number(latin.size()) + " bytes of output are not shown.)");
        }
        EXPECT_FALSE(state->busyMessage());
    }
}

// An output shown outside the command frame (here a rollback's, which succeeded or failed) is judged on a
// worker as well, and shows once judged unless a newer output is shown by then.
TEST_F(HistoryFixture, LargeOutputOfARollbackIsJudgedOffTheUiThreadAndNeverShownOverANewerOne)
{
    makeGitState();
    const QByteArray latin = largeLatinText();
    const struct {
        const char *name;
        bool fails;
        bool newerShown;
        QString title;
    } rows[] = {
        {"succeeded", false, false, "Rollback"},
        {"failed", true, false, "Rollback Failed"},
        {"a newer output shown meanwhile", false, true, "Newer"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        state->setAlert(std::nullopt);
        state->setCommandOutput(std::nullopt);
        state->setSelectedRevision(3);
        fakes.git->calls.clear();
        // The workers are held from the revert on: the looks at git's state before it use them too.
        std::optional<HeldWorkers> held;
        fakes.git->responder = [&](const FakeCall &call) {
            const bool reverting = call.arguments.mid(0, 2) == QStringList({"revert", "--no-commit"});
            if (reverting)
                held.emplace();
            SVNCommandResult result = reverting && row.fails ? failedResult(1, "CONFLICT\n") : okResult(QString());
            if (reverting)
                result.stdoutData = latin;
            return result;
        };
        dialogs.confirmAnswers.push_back(true);
        state->rollbackSelectedRevision();
        ASSERT_TRUE(waitFor([&] { return fakes.git->argumentLists().contains(QStringList({"revert", "--quit"})); }));
        for (int turn = 0; turn < 20; ++turn)
            QCoreApplication::processEvents();
        EXPECT_FALSE(state->commandOutput());
        if (row.newerShown)
            state->setCommandOutput(CommandOutput{.title = "Newer"});
        ASSERT_TRUE(held);
        held->release();
        settle();
        QThreadPool::globalInstance()->waitForDone();
        ASSERT_TRUE(waitFor([&] { return state->commandOutput().has_value(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(state->commandOutput()->title, row.title);
        EXPECT_EQ(state->commandOutput()->stdout.startsWith("(The output is not valid UTF-8"), !row.newerShown);
        EXPECT_EQ(state->alert() ? state->alert()->title : QString(), row.fails ? "Rollback Failed" : "");
    }
}

// Two large outputs asked for one after the other: the newer shows, whichever judging ends last. On one
// spare worker the older is judged first and ends first.
TEST_F(HistoryFixture, NewestOfTwoLargeOutputsShowsWhicheverIsJudgedFirst)
{
    makeSvnState();
    const struct {
        const char *name;
        int spareWorkers;
        qsizetype olderSize;
        qsizetype newerSize;
    } rows[] = {
        {"older judged first", 1, 2, 16},
        {"older larger, judged alongside", 2, 32, 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        state->setCommandOutput(std::nullopt);
        const auto text = [](qsizetype mebibytes, char letter) {
            SVNCommandResult result = okResult(QString());
            result.stdoutData = QByteArray(mebibytes * 1024 * 1024, letter);
            return result;
        };
        {
            HeldWorkers held(row.spareWorkers);
            state->showRunOutput("Older", text(row.olderSize, 'o'));
            state->showRunOutput("Newer", text(row.newerSize, 'n'));
        }
        waitFor([] { return false; }, 50);
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, "Newer");
        EXPECT_TRUE(state->commandOutput()->stdout.startsWith("nnn"));
    }
}

TEST_F(HistoryFixture, ExportFailuresKeepTheFileThatWasThere)
{
    makeSvnState();
    const QString destination = dir.filePath("kept.c");
    writeFile(destination, "good\n");
    fakes.svn->responder = [](const FakeCall &) {
        SVNCommandResult result = failedResult(1, "svn: E160013: path not found\n");
        result.stdoutData = "partial";
        return result;
    };
    answer({"src/a.c", "7"});
    dialogs.savePanelAnswers.push_back(destination);
    state->exportFileAtRevision();
    settle();
    EXPECT_EQ(readFile(destination), "good\n");
    // What the tool wrote before it failed went with its temporary file.
    EXPECT_EQ(QDir(dir.path()).entryList({".kept.c.*"}, QDir::Files | QDir::Hidden), QStringList());
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Export File Failed");
    EXPECT_EQ(state->alert()->message, "svn: E160013: path not found\n");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Export File Failed");
    EXPECT_FALSE(state->busyMessage());

    // A folder that does not exist: the write fails before the tool runs, and says where.
    fakes.svn->responder = [](const FakeCall &) { return okResult("text\n"); };
    state->setCommandOutput(std::nullopt);
    const QString nowhere = dir.filePath("missing/folder/a.c");
    answer({"src/a.c", "7"});
    dialogs.savePanelAnswers.push_back(nowhere);
    state->exportFileAtRevision();
    settle();
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    EXPECT_EQ(state->alert()->title, "Export File Failed");
    EXPECT_TRUE(state->alert()->message.startsWith("Could not write " + nowhere + ": "))
        << state->alert()->message.toStdString();
    EXPECT_FALSE(state->commandOutput());
    EXPECT_EQ(fakes.svn->calls.size(), 1); // nothing ran, nothing reloaded

    // A cancelled save panel runs nothing.
    answer({"src/a.c", "7"});
    state->exportFileAtRevision();
    settle();
    EXPECT_EQ(fakes.svn->calls.size(), 1);
}

// A destination that stands and is no regular file is refused before anything runs: a rename would put a
// file in the place of a FIFO, a folder or a link to nothing. A link to a file writes that file and stays.
TEST_F(HistoryFixture, ExportOntoAnythingButARegularFileIsRefusedBeforeItRuns)
{
    makeSvnState();
    fakes.svn->responder = [](const FakeCall &) { return okResult("exported\n"); };
    const QString folder = dir.filePath("destinations");
    writeFile(folder + "/target.c", "old\n");
    const auto entries = [&] {
        QStringList listed;
        for (const QFileInfo &entry :
            QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            struct stat info { };
            ::lstat(QFile::encodeName(entry.filePath()).constData(), &info);
            listed << entry.fileName() + u' ' + QString::number(info.st_mode, 8);
        }
        return listed;
    };
    const struct {
        const char *name;
        std::function<bool(const QString &)> make;
        bool refused;
    } rows[] = {
        {"fifo", [](const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }, true},
        {"folder", [](const QString &path) { return QDir().mkpath(path); }, true},
        {"link to nothing", [&](const QString &path) { return QFile::link(folder + "/nowhere", path); }, true},
        {"link to a file", [&](const QString &path) { return QFile::link(folder + "/target.c", path); }, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString destination = folder + u'/' + row.name;
        ASSERT_TRUE(row.make(destination));
        const QStringList before = entries();
        fakes.svn->calls.clear();
        state->setAlert(std::nullopt);
        answer({"src/a.c", "7"});
        dialogs.savePanelAnswers.push_back(destination);
        state->exportFileAtRevision();
        settle();
        EXPECT_EQ(entries(), before);
        if (row.refused) {
            EXPECT_TRUE(fakes.svn->calls.isEmpty());
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, "Export File Failed");
            EXPECT_EQ(state->alert()->message, "Could not write " + destination + ": it is not a regular file.");
            EXPECT_EQ(readFile(folder + "/target.c"), "old\n");
        } else {
            EXPECT_FALSE(state->alert());
            EXPECT_EQ(readFile(folder + "/target.c"), "exported\n");
        }
    }
}

TEST_F(HistoryFixture, RollbackAsksThenReverseMergesTheSelectedRevision)
{
    makeState({svnProject});
    state->rollbackSelectedRevision();
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "No Revision Selected");
    EXPECT_EQ(state->alert()->message, "Select a revision in History first.");
    EXPECT_TRUE(dialogs.confirmations.isEmpty());

    state->setAlert(std::nullopt);
    state->setSelectedRevision(12);
    state->rollbackSelectedRevision(); // declined
    dialogs.confirmAnswers.push_back(true);
    state->rollbackSelectedRevision();
    settle();
    ASSERT_EQ(dialogs.confirmations.size(), 2);
    EXPECT_EQ(dialogs.confirmations[1].first, "Rollback Revision");
    EXPECT_EQ(dialogs.confirmations[1].second,
        "Reverse-merge r12 into the working copy? Review the resulting changes before committing.");
    EXPECT_EQ(fakes.svn->argumentLists().value(0), QStringList({"merge", "-c", "-12", "."}));
    EXPECT_EQ(fakes.svn->argumentLists().value(1).value(0), "status");
    EXPECT_EQ(state->commandOutput()->title, "Rollback");
    EXPECT_FALSE(state->alert());
}

TEST_F(HistoryFixture, GitRollbackRevertsTheSelectedCommitsWholeHash)
{
    makeGitState();
    state->setSelectedRevision(std::nullopt);
    state->rollbackSelectedRevision();
    EXPECT_EQ(state->alert()->title, "No Revision Selected");

    // A revision number that no file-history revision carries has no hash.
    state->setSelectedRevision(99);
    state->rollbackSelectedRevision();
    EXPECT_EQ(state->alert()->title, "No Commit Selected");
    EXPECT_EQ(state->alert()->message, "Select a Git commit in History first.");
    EXPECT_TRUE(dialogs.confirmations.isEmpty());

    // "--quit" ends the revert that the rollback began, whether it succeeded or not; the sheet shows both.
    const struct {
        const char *name;
        QString failing; // the run that fails
        QString alert; // its message, if any
        QString title; // the output sheet's
    } rows[] = {
        {"both succeed", "", "", "Rollback"},
        {"the revert stops at a conflict", "revert --no-commit", "CONFLICT\n", "Rollback Failed"},
        {"the quit fails", "revert --quit", "refused\n", "Rollback Failed"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        state->setAlert(std::nullopt);
        state->setSelectedRevision(3);
        dialogs.confirmations.clear();
        fakes.git->calls.clear();
        fakes.git->responder = [&row](const FakeCall &call) {
            const QString run = call.arguments.mid(0, 2).join(' ');
            if (run == row.failing)
                return failedResult(1, run == "revert --quit" ? "refused\n" : "CONFLICT\n");
            return okResult(call.arguments.value(0) == "revert" ? run + '\n' : QString());
        };
        dialogs.confirmAnswers.push_back(true);
        state->rollbackSelectedRevision();
        settle();
        ASSERT_EQ(dialogs.confirmations.size(), 1);
        EXPECT_EQ(dialogs.confirmations[0].first, "Rollback Commit");
        EXPECT_EQ(dialogs.confirmations[0].second,
            "Revert 0123456 into the working copy? Review the resulting changes before committing.");
        const QList<QStringList> runs = fakes.git->argumentLists();
        EXPECT_EQ(runs.value(0).value(0), "rev-parse");
        EXPECT_EQ(runs.value(1).value(0), "rev-parse") << "git's state is looked at again after the question";
        EXPECT_EQ(runs.value(2), QStringList({"revert", "--no-commit", hash}));
        EXPECT_EQ(runs.value(3), QStringList({"revert", "--quit"}));
        EXPECT_EQ(runs.value(4).value(0), "status") << "the list was not reloaded";
        EXPECT_EQ(state->alert() ? state->alert()->message : QString(), row.alert);
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, row.title);
        EXPECT_EQ(state->commandOutput()->commandLine,
            "/usr/bin/fake revert --no-commit " + hash + "\n/usr/bin/fake revert --quit");
        EXPECT_EQ(state->commandOutput()->status, row.failing.isEmpty() ? 0 : 1);
    }
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

// Real repositories.

namespace {

struct RealHistoryFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;

    void open(const QString &path, RepositoryKind kind)
    {
        ProjectStore(&settings).save({Project{QUuid::createUuid(), QStringLiteral("project"), path, kind}});
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
    }

    void settle() { ASSERT_TRUE(waitUntilIdle(*state)); }

    // Runs a form action with the given answers and gives its output.
    QString outputOf(void (AppState::*action)(), const QStringList &answers)
    {
        state->setCommandOutput(std::nullopt);
        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(answers);
        (state.get()->*action)();
        EXPECT_TRUE(waitUntilIdle(*state));
        EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
        return state->commandOutput() ? state->commandOutput()->stdout : QStringLiteral("(no output)");
    }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

const QByteArray binaryOne("one\xff\xfe\x00\x01\n", 8);

} // namespace

TEST_F(RealHistoryFixture, SvnBlameCatDiffExportPullAndRollback)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/notes.txt", "one\n");
    writeFile(svn.workingCopy + "/a@2x.png", "one\n");
    writeFile(svn.workingCopy + "/-R", "dash one\n");
    writeFile(svn.workingCopy + "/raw@1.bin", binaryOne);
    svn.svn({"add", "-q", "notes.txt", "a@2x.png@", "./-R", "raw@1.bin@"});
    svn.svn({"commit", "-q", "-m", "first"});
    writeFile(svn.workingCopy + "/notes.txt", "two\n");
    writeFile(svn.workingCopy + "/a@2x.png", "two\n");
    writeFile(svn.workingCopy + "/-R", "dash two\n");
    writeFile(svn.workingCopy + "/raw@1.bin", "raw two\n");
    svn.svn({"commit", "-q", "-m", "second"});
    svn.svn({"update", "-q"});
    writeFile(svn.workingCopy + "/a@2x.png", "three\n");
    open(svn.workingCopy, RepositoryKind::svn);

    state->setSelectedChangeID(QStringLiteral("notes.txt"));
    EXPECT_TRUE(outputOf(&AppState::showBlame, {"notes.txt"}).contains(QRegularExpression("2 +[^ ]+ two")));
    EXPECT_EQ(outputOf(&AppState::catTarget, {"notes.txt", "1"}), "one\n");
    const QString diff = outputOf(&AppState::showDiffAgainstRevision, {"1:2", "notes.txt"});
    EXPECT_TRUE(diff.contains("\n-one\n+two\n")) << diff.toStdString();

    // The selection's awkward names reach svn as those files.
    state->setSelectedChangeID(QStringLiteral("a@2x.png"));
    const QString localDiff = outputOf(&AppState::showDiffAgainstRevision, {"BASE", "a@2x.png"});
    EXPECT_TRUE(localDiff.contains("\n-two\n+three\n")) << localDiff.toStdString();
    EXPECT_EQ(outputOf(&AppState::showBlame, {"a@2x.png"}).count('\n'), 1);
    state->setSelectedChangeID(QStringLiteral("-R"));
    EXPECT_EQ(outputOf(&AppState::catTarget, {"-R", "1"}), "dash one\n");

    // Export of a binary file at revision 1, bytes as stored.
    state->setSelectedChangeID(QStringLiteral("raw@1.bin"));
    const QString destination = sandbox.filePath("out/raw.bin");
    QDir().mkpath(sandbox.filePath("out"));
    dialogs.promptAnswers.push_back(QStringList{"raw@1.bin", "1"});
    dialogs.savePanelAnswers.push_back(destination);
    state->exportFileAtRevision();
    settle();
    EXPECT_EQ(dialogs.savePanels.last().nameFieldValue, "raw@1.bin");
    EXPECT_EQ(readFile(destination), binaryOne);
    EXPECT_EQ(state->commandOutput()->title, "Export File");
    // A new file gets the usual mode, not the private one of a temporary file.
    writeFile(sandbox.filePath("out/plain"), "x");
    EXPECT_EQ(QFileInfo(destination).permissions(), QFileInfo(sandbox.filePath("out/plain")).permissions());

    // A revision that does not exist writes nothing.
    const QString missing = sandbox.filePath("out/none.bin");
    dialogs.promptAnswers.push_back(QStringList{"raw@1.bin", "99"});
    dialogs.savePanelAnswers.push_back(missing);
    state->exportFileAtRevision();
    settle();
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(state->alert()->title, "Export File Failed");

    // Pull file: the working file goes back to revision 1.
    state->setSelectedChangeID(QStringLiteral("-R"));
    outputOf(&AppState::pullFileAtRevision, {"-R", "1"});
    EXPECT_EQ(readFile(svn.workingCopy + "/-R"), "dash one\n");

    // Rollback of revision 2 reverse-merges it: notes.txt reads "one" again, uncommitted.
    svn.svn({"revert", "-q", "a@2x.png@"});
    svn.svn({"update", "-q"});
    state->setSelectedRevision(2);
    dialogs.confirmAnswers.push_back(true);
    state->rollbackSelectedRevision();
    settle();
    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(readFile(svn.workingCopy + "/notes.txt"), "one\n");
    EXPECT_EQ(state->commandOutput()->title, "Rollback");
    // The status reload after the rollback lists the reverted file.
    bool listed = false;
    for (const WorkingCopyItem &item : state->changes())
        listed = listed || (item.path == "notes.txt" && item.kind == SVNStatusKind::modified);
    EXPECT_TRUE(listed);
}

// A file in a legacy encoding and a binary file, and a second revision of the first; in svn also the
// legacy file under a type that makes it binary. The working copy is not updated: svn blames a binary
// file at the revision it was added in as text (after an update it skips it and says why itself).
TEST_F(RealHistoryFixture, OutputThatIsNotUtf8ShowsWithReplacementsAndABinaryFileSaysSo)
{
    QByteArray legacy;
    for (int line = 1; line < 50; ++line)
        legacy += "line " + QByteArray::number(line) + '\n';
    legacy += "caf\xe9\n";
    QByteArray binary(256 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(47);
    for (char &byte : binary)
        byte = char(generator.bounded(256));
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    const GitFixture git = GitFixture::create(sandbox.path());
    // Longer than the output sheet shows of an exported file.
    QByteArray longText;
    for (int line = 1; longText.size() <= 2 * shownFileStart; ++line)
        longText += "line " + QByteArray::number(line) + '\n';
    for (const QString &folder : {svn.workingCopy, git.path}) {
        writeFile(folder + "/latin.txt", legacy);
        writeFile(folder + "/blob.bin", binary);
        writeFile(folder + "/long.txt", longText);
    }
    writeFile(svn.workingCopy + "/typed.dat", legacy);
    svn.svn({"add", "-q", "typed.dat"});
    svn.svn({"propset", "-q", "svn:mime-type", "application/octet-stream", "typed.dat"});
    svn.commitAll("first");
    git.commitAll("first");
    for (const QString &folder : {svn.workingCopy, git.path})
        writeFile(folder + "/latin.txt", legacy + "th\xe9\n");
    svn.svn({"commit", "-q", "-m", "second"});
    git.commitAll("second");
    const QString secondCommit = QString::fromUtf8(git.git({"rev-parse", "HEAD"}).trimmed());

    const QString notUtf8
        = QString::fromUtf8("(The output is not valid UTF-8: what could not be read shows as \uFFFD.)\n");
    const QString binaryFile = "(The file is binary: its ";
    const struct {
        const char *name;
        RepositoryKind kind;
        void (AppState::*action)();
        QStringList answers;
        // What the output begins with, and a line it holds.
        QString begins;
        QString holds;
        // What Export File writes.
        QByteArray exported = {};
    } rows[] = {
        {"svn blame, Latin-1", RepositoryKind::svn, &AppState::showBlame, {"latin.txt"}, notUtf8, "th\uFFFD"},
        {"svn cat, Latin-1", RepositoryKind::svn, &AppState::catTarget, {"latin.txt", "1"}, notUtf8 + "line 1\n",
            "\ncaf\uFFFD\n"},
        {"svn diff, Latin-1", RepositoryKind::svn, &AppState::showDiffAgainstRevision, {"1:2", "latin.txt"}, notUtf8,
            "\n+th\uFFFD\n"},
        {"svn blame, binary", RepositoryKind::svn, &AppState::showBlame, {"blob.bin"}, binaryFile, ""},
        {"svn cat, binary", RepositoryKind::svn, &AppState::catTarget, {"blob.bin", ""},
            binaryFile + "262144 bytes of output are not shown.)", ""},
        {"svn cat, Latin-1 typed binary", RepositoryKind::svn, &AppState::catTarget, {"typed.dat", ""},
            binaryFile + QString::number(legacy.size()) + " bytes of output are not shown.)", ""},
        {"svn export, Latin-1", RepositoryKind::svn, &AppState::exportFileAtRevision, {"latin.txt", "2"},
            notUtf8 + "line 1\n", "\nth\uFFFD\n", legacy + "th\xe9\n"},
        {"svn export, Latin-1 typed binary", RepositoryKind::svn, &AppState::exportFileAtRevision, {"typed.dat", "1"},
            binaryFile + QString::number(legacy.size()) + " bytes of output are not shown.)", "", legacy},
        {"svn export, long text", RepositoryKind::svn, &AppState::exportFileAtRevision, {"long.txt", "2"}, "line 1\n",
            "\n(The file is " + QString::number(longText.size()) + " bytes long: only its start is shown.)", longText},
        {"git blame, Latin-1", RepositoryKind::git, &AppState::showBlame, {"latin.txt"}, notUtf8, "th\uFFFD"},
        {"git cat, Latin-1", RepositoryKind::git, &AppState::catTarget, {"latin.txt", ""}, notUtf8 + "line 1\n",
            "\nth\uFFFD\n"},
        {"git diff, Latin-1", RepositoryKind::git, &AppState::showDiffAgainstRevision, {secondCommit, "latin.txt"},
            notUtf8, "\n+th\uFFFD\n"},
        {"git blame, binary", RepositoryKind::git, &AppState::showBlame, {"blob.bin"}, binaryFile, ""},
        {"git cat, binary", RepositoryKind::git, &AppState::catTarget, {"blob.bin", ""},
            binaryFile + "262144 bytes of output are not shown.)", ""},
        {"git export, binary", RepositoryKind::git, &AppState::exportFileAtRevision, {"blob.bin", secondCommit},
            binaryFile + "262144 bytes of output are not shown.)", "", binary},
        {"git export, long text", RepositoryKind::git, &AppState::exportFileAtRevision, {"long.txt", secondCommit},
            "line 1\n", "\n(The file is " + QString::number(longText.size()) + " bytes long: only its start is shown.)",
            longText},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (!state || state->selectedProjectKind() != row.kind)
            open(row.kind == RepositoryKind::svn ? svn.workingCopy : git.path, row.kind);
        const QString destination = sandbox.filePath(QStringLiteral("exported-") + row.name);
        if (!row.exported.isEmpty())
            dialogs.savePanelAnswers.push_back(destination);
        const QString output = outputOf(row.action, row.answers);
        if (!row.exported.isEmpty()) {
            EXPECT_EQ(readFile(destination), row.exported);
        }
        EXPECT_TRUE(output.startsWith(row.begins)) << output.left(300).toStdString();
        EXPECT_TRUE(output.contains(row.holds)) << output.left(300).toStdString();
        if (row.begins == binaryFile) {
            EXPECT_EQ(output.count(u'\n'), 0) << output.left(300).toStdString();
        }
    }
}

TEST(FileOutputs, MimeTypesAreBinaryAsSvnReadsThem)
{
    const std::pair<const char *, bool> types[] = {{"application/octet-stream", true}, {"image/png", true},
        {"text/plain; charset=ISO-8859-1", false}, {"text/x-c", false}, {"image/x-xpixmap", false},
        {"image/x-xbitmap;x=1", false}, {"", false}, {"\n", false}};
    for (const auto &[type, binary] : types)
        EXPECT_EQ(isBinaryMimeType(type), binary) << type;
}

TEST_F(RealHistoryFixture, SvnFilesThatLeftTheWorkingCopyAreReadAtTheRevisionHistoryLists)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    const QString trunk = svn.checkoutNewFolder("trunk", sandbox.filePath("trunk"));
    writeFile(trunk + "/gone.txt", "gone at r2\n");
    writeFile(trunk + "/old.txt", "old at r2\n");
    runTool("svn", {"add", "-q", "gone.txt", "old.txt"}, trunk);
    runTool("svn", {"commit", "-q", "-m", "two files"}, trunk);
    runTool("svn", {"delete", "-q", "gone.txt"}, trunk);
    runTool("svn", {"move", "-q", "old.txt", "new.txt"}, trunk);
    runTool("svn", {"commit", "-q", "-m", "one deleted, one renamed"}, trunk);
    runTool("svn", {"update", "-q"}, trunk);
    open(trunk, RepositoryKind::svn);
    state->refreshAll();
    settle();
    state->refreshHistory();
    settle();

    const QList<std::pair<QString, QByteArray>> files{{"gone.txt", "gone at r2\n"}, {"old.txt", "old at r2\n"}};
    for (const auto &[path, content] : files) {
        SCOPED_TRACE(path.toStdString());
        state->setSelectedHistoryPath(path);
        state->selectedHistoryPathChanged();
        settle();
        ASSERT_TRUE(state->selectedFileHistoryItem()) << "History lists it";
        state->setSelectedRevision(2);
        EXPECT_EQ(state->selectedActionPath(), path);
        EXPECT_EQ(outputOf(&AppState::catTarget, {path, "2"}).toUtf8(), content);

        const QString destination = sandbox.filePath("export-" + path);
        dialogs.promptAnswers.push_back(QStringList{path, "2"});
        dialogs.savePanelAnswers.push_back(destination);
        state->exportFileAtRevision();
        settle();
        EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
        EXPECT_EQ(readFile(destination), content);
    }
    // A file still in the working copy keeps its own name: svn follows it back through the rename.
    state->setSelectedHistoryPath(QStringLiteral("new.txt"));
    EXPECT_EQ(outputOf(&AppState::catTarget, {"new.txt", "2"}), "old at r2\n");
}

TEST_F(RealHistoryFixture, GitBlameCatDiffExportPullAndRollback)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "one\n");
    writeFile(git.path + "/*.txt", binaryOne);
    writeFile(git.path + "/docs/guide.txt", "guide\n");
    git.commitAll("first");
    writeFile(git.path + "/a.txt", "two\n");
    writeFile(git.path + "/*.txt", "star two\n");
    git.commitAll("second");
    open(git.path, RepositoryKind::git);

    // Nothing selected: the proposal, accepted as it stands, shows the last commit.
    state->showDiffAgainstRevision();
    ASSERT_EQ(dialogs.prompts.size(), 1);
    QStringList proposed;
    for (const PromptField &field : dialogs.prompts[0].fields)
        proposed << field.value;
    EXPECT_EQ(proposed, QStringList({"HEAD", ""}));
    const QString latest = outputOf(&AppState::showDiffAgainstRevision, proposed);
    EXPECT_TRUE(latest.contains("\n-one\n+two\n")) << latest.toStdString();

    state->refreshHistory();
    settle();
    ASSERT_EQ(state->logEntries().size(), 2);
    const QString first = *state->logEntries().last().commitHash;
    const QString second = *state->logEntries().first().commitHash;

    state->setSelectedHistoryPath(QStringLiteral("a.txt"));
    state->selectedHistoryPathChanged();
    settle();
    EXPECT_EQ(state->selectedRevisionToken(), second);
    EXPECT_TRUE(outputOf(&AppState::showBlame, {"a.txt"}).contains("two"));
    EXPECT_EQ(outputOf(&AppState::catTarget, {"a.txt", first}), "one\n");
    EXPECT_EQ(outputOf(&AppState::catTarget, {"a.txt", ""}), "two\n");
    const QString diff = outputOf(&AppState::showDiffAgainstRevision, {second, "a.txt"});
    EXPECT_TRUE(diff.contains("\n-one\n+two\n")) << diff.toStdString();
    EXPECT_FALSE(diff.contains("star")) << diff.toStdString();

    const QString destination = sandbox.filePath("star.bin");
    dialogs.promptAnswers.push_back(QStringList{"*.txt", first});
    dialogs.savePanelAnswers.push_back(destination);
    state->exportFileAtRevision();
    settle();
    EXPECT_EQ(readFile(destination), binaryOne);

    // A folder is no file at the commit (git show would print its listing): nothing is written.
    const QString listing = sandbox.filePath("docs.out");
    dialogs.promptAnswers.push_back(QStringList{"docs", first});
    dialogs.savePanelAnswers.push_back(listing);
    state->exportFileAtRevision();
    settle();
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Export File Failed");
    EXPECT_EQ(state->alert()->message, "docs is not a file at " + first + ".");
    EXPECT_FALSE(QFileInfo::exists(listing));
    state->setAlert(std::nullopt);

    // Pull the file named "*.txt" at the first commit: a.txt and its local change stay as they are.
    writeFile(git.path + "/a.txt", "local\n");
    writeFile(git.path + "/*.txt", "star local\n");
    state->refreshStatus();
    settle();
    state->setSelectedChangeID(QStringLiteral("*.txt"));
    dialogs.promptAnswers.push_back(QStringList{"*.txt", first});
    dialogs.confirmAnswers.push_back(true);
    state->pullFileAtRevision();
    settle();
    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].second, "Replace local changes to *.txt with its content at " + first + "?");
    EXPECT_EQ(readFile(git.path + "/*.txt"), binaryOne);
    EXPECT_EQ(readFile(git.path + "/a.txt"), "local\n");

    // A path through a link to the project folder, and the absolute path of an edited folder, ask
    // like the plain names; git takes the edits.
    const QString linked = sandbox.filePath("linked");
    ASSERT_TRUE(QFile::link(git.path, linked));
    writeFile(git.path + "/docs/guide.txt", "local guide\n");
    state->refreshStatus();
    settle();
    for (const QString &typed : {linked + "/a.txt", git.path + "/docs"}) {
        dialogs.promptAnswers.push_back(QStringList{typed, first});
        dialogs.confirmAnswers.push_back(true);
        state->pullFileAtRevision();
        settle();
        EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    }
    EXPECT_EQ(dialogs.confirmations.size(), 3);
    EXPECT_EQ(readFile(git.path + "/a.txt"), "one\n");
    EXPECT_EQ(readFile(git.path + "/docs/guide.txt"), "guide\n");

    // Rollback of the second commit on a clean tree brings a.txt back to "one", uncommitted.
    git.git({"checkout", "-q", "HEAD", "--", "."});
    state->setSelectedHistoryPath(QStringLiteral("a.txt"));
    state->selectedHistoryPathChanged();
    settle();
    dialogs.confirmAnswers.push_back(true);
    state->rollbackSelectedRevision();
    settle();
    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(dialogs.confirmations.last().second,
        "Revert " + second.left(7) + " into the working copy? Review the resulting changes before committing.");
    EXPECT_EQ(readFile(git.path + "/a.txt"), "one\n");
    EXPECT_EQ(git.git({"rev-parse", "HEAD"}).trimmed(), second.toUtf8());
}
