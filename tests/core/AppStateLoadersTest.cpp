// Incoming, history and diff loaders over fake tools: base revisions, tickets and Git selections.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"

#include "parsers/SVNXMLParsers.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct LoaderFixture : FakeStateFixture {
    void makeState(const QList<Project> &projects)
    {
        FakeStateFixture::makeState(projects);
        fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: not a git repository\n"); };
    }
};

QString infoXml(const QString &folder, int revision)
{
    return QStringLiteral("<info><entry path=\".\" revision=\"%2\"><url>file:///r/trunk</url>"
                          "<relative-url>^/trunk</relative-url><wc-info><wcroot-abspath>%1</wcroot-abspath></wc-info>"
                          "<commit revision=\"%2\"/></entry></info>")
        .arg(folder)
        .arg(revision);
}

// The status of two modified files, and a diff of either.
SVNCommandResult twoChangesAndTheirDiffs(const FakeCall &call)
{
    if (call.arguments.value(0) == "status")
        return okResult(R"(<status><target path=".">
<entry path="a.txt"><wc-status item="modified" props="none" revision="1"/></entry>
<entry path="b.txt"><wc-status item="modified" props="none" revision="1"/></entry></target></status>)");
    if (call.arguments.value(0) == "diff")
        return okResult("diff of " + call.arguments.last() + "\n");
    return failedResult(1, "no");
}

} // namespace

TEST_F(LoaderFixture, IncomingBaseIgnoresNegativeRevisionsAndAsksTheRange)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        const QString sub = call.arguments.value(0);
        if (sub == "info")
            return okResult(infoXml(call.workingDirectory, 7));
        if (sub == "status")
            return okResult(R"(<status><target path=".">
<entry path="added-upstream.txt"><wc-status item="none" props="none" revision="-1"/><repos-status item="added" props="none"/></entry>
<entry path="old.txt"><wc-status item="normal" props="none" revision="5"/><repos-status item="modified" props="none"/></entry>
<against revision="9"/></target></status>)");
        if (sub == "log")
            return okResult(R"(<log><logentry revision="9"><author>a</author><msg>nine</msg></logentry>
<logentry revision="6"><author>a</author><msg>six</msg></logentry>
<logentry revision="5"><author>a</author><msg>five, outside the range</msg></logentry></log>)");
        return okResult("Index: x\n");
    };
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->incomingBaseRevision(), 5);
    EXPECT_EQ(state->incomingHeadRevision(), 9);
    ASSERT_EQ(state->incomingEntries().size(), 2);
    EXPECT_EQ(state->selectedIncomingRevision(), 9);
    const QList<QStringList> lists = fakes.svn->argumentLists();
    EXPECT_TRUE(lists.contains(QStringList({"log", "--xml", "--verbose", "-r", "6:9"})));
    EXPECT_TRUE(lists.contains(QStringList({"diff", "-c", "9", "file:///r/trunk"})));
    EXPECT_EQ(state->incomingDiffText(), "Index: x\n");
    EXPECT_FALSE(state->busyMessage());

    // Read oldest first or newest first, the same entries again keep the list shown; a changed one is taken.
    const QList<LogEntry> shown = state->incomingEntries();
    const auto answerLog = fakes.svn->responder;
    fakes.svn->responder = [&answerLog](const FakeCall &call) {
        if (call.arguments.value(0) == "log")
            return okResult(R"(<log><logentry revision="6"><author>a</author><msg>six</msg></logentry>
<logentry revision="9"><author>a</author><msg>nine</msg></logentry></log>)");
        return answerLog(call);
    };
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->incomingEntries().constData(), shown.constData());
    fakes.svn->responder = [&answerLog](const FakeCall &call) {
        if (call.arguments.value(0) == "log")
            return okResult(R"(<log><logentry revision="6"><author>a</author><msg>six</msg></logentry>
<logentry revision="9"><author>b</author><msg>nine, edited</msg></logentry></log>)");
        return answerLog(call);
    };
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->incomingEntries().size(), 2);
    EXPECT_EQ(state->incomingEntries()[0].message, "nine, edited");
    EXPECT_EQ(state->incomingEntries()[1].message, "six");
}

// A reload that reads its range and then ends before its log is in shows none of what it read: the
// range, the out-of-date paths and the list stay the ones they were shown with.
TEST_F(LoaderFixture, IncomingReloadEndedBeforeItsLogKeepsTheWholeTabAsItWas)
{
    makeState({svnProject});
    const auto answer = [](int head, const QString &log) {
        return [head, log](const FakeCall &call) {
            const QString sub = call.arguments.value(0);
            if (sub == "info")
                return okResult(infoXml(call.workingDirectory, 5));
            if (sub == "status")
                return okResult(
                    QStringLiteral(R"(<status><target path=".">
<entry path="old.txt"><wc-status item="normal" props="none" revision="5"/><repos-status item="modified" props="none"/></entry>
%1<against revision="%2"/></target></status>)")
                        .arg(head > 9 ? R"(<entry path="new.txt"><wc-status item="normal" props="none" revision="5"/>)"
                                        R"(<repos-status item="modified" props="none"/></entry>)"
                                      : "")
                        .arg(head));
            if (sub == "log")
                return log.isEmpty() ? failedResult(1, "svn: E175002: Connection reset\n") : okResult(log);
            return okResult("Index: x\n");
        };
    };
    fakes.svn->responder = answer(9, R"(<log><logentry revision="9"><msg>nine</msg></logentry>
<logentry revision="6"><msg>six</msg></logentry></log>)");
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    const QList<LogEntry> entries = state->incomingEntries();
    const QList<WorkingCopyItem> outdated = state->incomingOutdatedItems();
    ASSERT_EQ(entries.size(), 2);
    ASSERT_EQ(outdated.size(), 1);
    ASSERT_EQ(state->incomingRangeDescription(), "r5 to r9");

    // Held until the log is asked for; the repository has moved on to r11 meanwhile.
    const auto holdAtTheLog = [&] {
        fakes.svn->holdRuns = true;
        state->refreshIncoming();
        return waitFor([&] {
            const bool atLog = fakes.svn->calls.last().arguments.value(0) == "log";
            if (fakes.svn->heldCount() == 1 && atLog)
                return true;
            if (fakes.svn->heldCount() > 0 && !atLog)
                fakes.svn->release(0);
            return false;
        });
    };
    const QString newerLog = R"(<log><logentry revision="11"><msg>eleven</msg></logentry></log>)";
    const struct {
        const char *name;
        QString log;
        // Ends the held load.
        std::function<void()> end;
        const char *alert;
    } rows[] = {
        {"stopped", newerLog, [&] { state->stopRunningAction(); }, nullptr},
        {"failed", QString(), [] {}, "Incoming Failed"},
        {"superseded by a reload that fails", newerLog,
            [&] {
                fakes.svn->responder = [](const FakeCall &call) {
                    return call.arguments.value(0) == "status" ? failedResult(1, "svn: E170013: Unable to connect\n")
                                                               : okResult(infoXml(call.workingDirectory, 5));
                };
                state->refreshIncoming();
            },
            "Incoming Failed"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        fakes.svn->responder = answer(11, row.log);
        ASSERT_TRUE(holdAtTheLog());
        EXPECT_EQ(state->busyMessage(), "Loading incoming");
        row.end();
        fakes.svn->holdRuns = false;
        while (fakes.svn->heldCount() > 0)
            fakes.svn->release(0);
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(state->incomingRangeDescription(), "r5 to r9");
        EXPECT_EQ(state->incomingBaseRevision(), 5);
        EXPECT_EQ(state->incomingHeadRevision(), 9);
        EXPECT_EQ(state->incomingOutdatedItems(), outdated);
        EXPECT_EQ(state->incomingEntries(), entries);
        EXPECT_EQ(state->selectedIncomingRevision(), 9);
        EXPECT_FALSE(state->busyMessage());
        if (row.alert) {
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, row.alert);
        } else {
            EXPECT_FALSE(state->alert());
        }
        state->setAlert(std::nullopt);
        state->setCommandOutput(std::nullopt);
    }
}

TEST_F(LoaderFixture, IncomingFailureOfTheInfoQueryWaitsForTheOtherAndKeepsState)
{
    makeState({svnProject});
    state->setIncomingBaseRevision(3);
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "info")
            return failedResult(1, "svn: E170013: Unable to connect\n");
        return okResult("<status/>");
    };
    state->refreshIncoming();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Incoming Failed");
    EXPECT_EQ(state->alert()->message, "svn: E170013: Unable to connect\n");
    EXPECT_EQ(state->incomingBaseRevision(), 3);
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(LoaderFixture, TheLastStartedChangeDiffWinsWhateverFinishesFirst)
{
    makeState({svnProject});
    fakes.svn->responder = twoChangesAndTheirDiffs;
    state->refreshStatus();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->diffText(), "diff of a.txt\n");

    fakes.svn->holdRuns = true;
    state->setSelectedChangeID("b.txt");
    state->selectedChangeChanged();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    state->setSelectedChangeID("a.txt");
    state->selectedChangeChanged();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 2; }));
    fakes.svn->holdRuns = false;
    fakes.svn->release(1); // a.txt's diff ends first
    ASSERT_TRUE(waitFor([&] { return state->runningTasks() == 1; }));
    fakes.svn->release(0); // then b.txt's stale one
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->diffText(), "diff of a.txt\n");
}

TEST_F(LoaderFixture, HistoryPicksFileAndRevisionAndDiffsAtThePegRevision)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        const QString sub = call.arguments.value(0);
        if (sub == "info")
            return okResult(infoXml(call.workingDirectory, 4));
        if (sub == "log")
            return okResult(R"(<log>
<logentry revision="4"><author>a</author><msg>four</msg><paths><path action="M" kind="dir">/trunk</path></paths></logentry>
<logentry revision="3"><author>a</author><msg>three</msg><paths><path action="M" kind="file">/trunk/src/my file.c</path></paths></logentry>
</log>)");
        if (sub == "diff")
            return okResult(QString(), "svn: E195012: no diff\n");
        return okResult(QString());
    };
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedHistoryPath(), "src/my file.c");
    EXPECT_EQ(state->selectedRevision(), 3);
    EXPECT_TRUE(
        fakes.svn->argumentLists().contains(QStringList({"diff", "-c", "3", "file:///r/trunk/src/my%20file.c@3"})));
    EXPECT_EQ(state->historyDiffText(), "svn: E195012: no diff\n") << "empty output shows the error text";

    // A log of directories only leaves no file but selects the newest revision.
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "log")
            return okResult(
                R"(<log><logentry revision="8"><msg>m</msg><paths><path action="A" kind="dir">/trunk/d</path></paths></logentry></log>)");
        return okResult(QString());
    };
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(state->selectedHistoryPath());
    EXPECT_EQ(state->selectedRevision(), 8);
    EXPECT_EQ(state->historyDiffText(), "");
}

// A revision of 150,000 files is read and grouped by file off the UI thread: a timer keeps firing
// meanwhile, never held up for half as long as reading and grouping that log takes here; a reload of the
// same log hands the same list back.
TEST_F(LoaderFixture, HistoryOfAWideRevisionIsReadWhileTheEventLoopKeepsTurning)
{
    makeState({svnProject});
    QString log = QStringLiteral("<log><logentry revision=\"2\"><author>a</author><msg>wide</msg><paths>");
    for (int file = 0; file < 150000; ++file)
        log += QStringLiteral("<path action=\"A\" kind=\"file\">/trunk/d%1/file%2.c</path>").arg(file / 1000).arg(file);
    log += QStringLiteral("</paths></logentry></log>");
    const SVNCommandResult answer = okResult(log);
    fakes.svn->responder = [&answer](const FakeCall &call) {
        if (call.arguments.value(0) == "info")
            return okResult(infoXml(call.workingDirectory, 2));
        return call.arguments.value(0) == "log" ? answer : okResult(QString());
    };
    QElapsedTimer clock;
    clock.start();
    const FileHistoryCache here = FileHistoryCache::build(SVNXMLParsers::parseLog(log), QStringLiteral("^/trunk"));
    const qint64 readingHere = clock.elapsed();
    ASSERT_EQ(here.items.size(), 150000);

    qint64 worstPause = 0;
    int ticks = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstPause = std::max(worstPause, sinceTick.restart());
        ++ticks;
    });
    sinceTick.start();
    ticker.start();
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state, 60000));
    // The tick after the load tells how long its last stretch held the loop.
    const int ticksAtIdle = ticks;
    ASSERT_TRUE(waitFor([&] { return ticks > ticksAtIdle; }));
    ticker.stop();
    // Items compare their revisions' whole path lists: compared whole, 150,000 of them take minutes.
    const QList<FileHistoryItem> &items = state->fileHistoryItems();
    ASSERT_EQ(items.size(), here.items.size());
    for (qsizetype i : {qsizetype(0), qsizetype(777), items.size() - 1})
        EXPECT_EQ(items[i].path, here.items[i].path);
    EXPECT_EQ(state->selectedHistoryPath(), here.items.first().path);
    EXPECT_LT(worstPause, readingHere / 2) << "reading here took " << readingHere << " ms";

    const QList<LogEntry> loaded = state->logEntries();
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state, 60000));
    EXPECT_EQ(state->logEntries().constData(), loaded.constData()) << "an equal log keeps the list it had";

    // A load whose log is still being read when a newer one begins is dropped when its reading ends.
    const SVNCommandResult later = okResult(QString(log).replace("revision=\"2\"", "revision=\"3\""));
    fakes.svn->responder
        = [&later](const FakeCall &call) { return call.arguments.value(0) == "log" ? later : okResult(QString()); };
    bool laterShown = false;
    QObject::connect(state.get(), &AppState::changed, [&] {
        laterShown = laterShown || (!state->logEntries().isEmpty() && state->logEntries().first().revision == 3);
    });
    fakes.svn->calls.clear();
    state->refreshHistory();
    ASSERT_TRUE(waitFor([&] {
        return std::any_of(fakes.svn->calls.begin(), fakes.svn->calls.end(),
            [](const FakeCall &call) { return call.arguments.value(0) == "log"; });
    }));
    fakes.svn->responder = [](const FakeCall &call) {
        return okResult(call.arguments.value(0) == "log"
                ? R"(<log><logentry revision="4"><msg>m</msg><paths><path action="M" kind="file">/trunk/x.c</path></paths></logentry></log>)"
                : QString());
    };
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state, 60000));
    ASSERT_EQ(state->logEntries().size(), 1);
    EXPECT_EQ(state->logEntries().first().revision, 4);
    EXPECT_FALSE(laterShown);
}

TEST_F(LoaderFixture, FailedHistoryKeepsTheListAndItsFlag)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "log")
            return failedResult(1, "svn: E170013: Unable to connect\n");
        return okResult(QString());
    };
    const QList<LogEntry> before{LogEntry{2, {}, "a", {}, "m", {{"M", "/x.txt", "file"}}}};
    state->setLogEntries(before);
    state->refreshHistory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "History Failed");
    EXPECT_EQ(state->logEntries(), before);
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(LoaderFixture, DiffOfTheOldSelectionNeverShowsUnderTheNewOne)
{
    makeState({svnProject});
    fakes.svn->responder = twoChangesAndTheirDiffs;
    state->refreshStatus();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->diffText(), "diff of a.txt\n");

    // b's diff is slow; the user moves back to a before it ends, and b's result is already on its
    // way when a's load has not started yet.
    fakes.svn->holdRuns = true;
    state->setSelectedChangeID("b.txt");
    state->selectedChangeChanged();
    EXPECT_EQ(state->diffText(), "");
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    fakes.svn->holdRuns = false;
    state->setSelectedChangeID("a.txt");
    fakes.svn->release(0);
    state->selectedChangeChanged();
    EXPECT_EQ(state->diffText(), "");
    bool showedB = false;
    const QMetaObject::Connection watch
        = QObject::connect(state.get(), &AppState::changed, [&] { showedB |= state->diffText() == "diff of b.txt\n"; });
    ASSERT_TRUE(waitUntilIdle(*state));
    QObject::disconnect(watch);
    EXPECT_FALSE(showedB);
    EXPECT_EQ(state->diffText(), "diff of a.txt\n");
}

TEST_F(LoaderFixture, StatusOfAProjectNoLongerSelectedIsDroppedBeforeTheNextLoadStarts)
{
    const Project other{QUuid::createUuid(), "Beta", "/work/beta", RepositoryKind::svn};
    makeState({svnProject, other});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "status")
            return okResult(R"(<status><target path="."><entry path="alpha.txt">)"
                            R"(<wc-status item="modified" props="none" revision="1"/></entry></target></status>)");
        return okResult("");
    };
    fakes.svn->holdRuns = true;
    state->refreshStatus();
    ASSERT_TRUE(
        waitFor([&] { return fakes.svn->heldCount() == 1 && fakes.svn->calls.last().arguments.value(0) == "status"; }));
    EXPECT_EQ(state->busyMessage(), "Loading status");

    // The selection moves on, and Alpha's status arrives before Beta's load has begun.
    state->setSelectedProjectID(other.id);
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->changes().isEmpty());
    EXPECT_FALSE(state->selectedChangeID());
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());
}
