// The state over fake tools: argument lists, ordering, overlapping loads and the derived selections.
#include "model/TextUtil.h"
#include "state/FileHistory.h"
#include "state/IgnoreEdits.h"
#include "state/WorkingCopyPaths.h"
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/TestSupport.h"

#include <QCollator>
#include <QSemaphore>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

namespace {

const QString statusXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<status><target path=".">
<entry path="b.txt"><wc-status item="modified" props="none" revision="3"><commit revision="2"><author>ann</author></commit></wc-status></entry>
<entry path="a.txt"><wc-status item="normal" props="modified" revision="3"></wc-status></entry>
<entry path="new.txt"><wc-status item="unversioned" props="none"></wc-status></entry>
</target></status>)";

QString statusWith(const QStringList &modifiedPaths)
{
    QString xml = R"(<?xml version="1.0"?><status><target path=".">)";
    for (const QString &path : modifiedPaths)
        xml += QStringLiteral("<entry path=\"%1\"><wc-status item=\"modified\" props=\"none\" revision=\"1\"/></entry>")
                   .arg(path);
    return xml + "</target></status>";
}

struct StateFixture : FakeStateFixture {
    void makeState(const QList<Project> &projects)
    {
        FakeStateFixture::makeState(projects);
        // Outside a repository git fails, as it would for an svn working copy.
        fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: not a git repository\n"); };
    }

    // svn answers: info names the project folder as its own root; status and diffs as given.
    void answerSvn(const QString &status)
    {
        fakes.svn->responder = [status](const FakeCall &call) {
            if (call.arguments.value(0) == "info")
                return okResult(
                    QStringLiteral("<?xml version=\"1.0\"?><info><entry path=\".\" revision=\"3\" kind=\"dir\">"
                                   "<url>file:///repo/trunk</url><relative-url>^/trunk</relative-url>"
                                   "<wc-info><wcroot-abspath>%1</wcroot-abspath></wc-info></entry></info>")
                        .arg(call.workingDirectory));
            if (call.arguments.value(0) == "status")
                return okResult(status);
            if (call.arguments.value(0) == "diff")
                return okResult("diff of " + call.arguments.last() + "\n");
            return okResult(QString());
        };
    }
};

} // namespace

TEST_F(StateFixture, StartsWithDefaultsAndRunsNothing)
{
    makeState({});
    EXPECT_TRUE(state->projects().isEmpty());
    EXPECT_FALSE(state->selectedProjectID());
    EXPECT_EQ(state->selectedTab(), WorkflowTab::changes);
    EXPECT_EQ(state->repositoryInfo(), RepositoryInfo());
    EXPECT_EQ(state->selectedProjectName(), "KorvelSVN");
    EXPECT_EQ(state->selectedProjectPath(), "");
    state->start();
    state->projectSelectionChanged();
    EXPECT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(StateFixture, SelectsTheFirstStoredProjectWithoutRunningATool)
{
    makeState({gitProject, svnProject});
    EXPECT_EQ(state->selectedProjectID(), gitProject.id);
    EXPECT_EQ(state->selectedProjectKind(), RepositoryKind::git);
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(StateFixture, RefreshOfAWorkingCopyTopRunsStatusDiffAndInfoInOrder)
{
    makeState({svnProject});
    answerSvn(statusXml);
    state->refreshAll();
    EXPECT_EQ(state->runningTasks(), 1);
    EXPECT_TRUE(fakes.svn->calls.isEmpty()) << "the task starts on the next turn of the event loop";
    ASSERT_TRUE(waitUntilIdle(*state));

    // A folder that is the top of its own working copy needs no kind check.
    EXPECT_EQ(fakes.svn->argumentLists(),
        QList<QStringList>({{"status", "--xml", "--no-ignore"}, {"diff", "a.txt"}, {"info", "--xml"}}));
    for (const FakeCall &call : fakes.svn->calls)
        EXPECT_EQ(call.workingDirectory, "/work/alpha");
    ASSERT_EQ(state->changes().size(), 3);
    EXPECT_EQ(state->changes()[0].path, "a.txt");
    EXPECT_EQ(state->changes()[2].path, "new.txt");
    // a.txt changed its properties only, which are ticked like content.
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt", "new.txt"}));
    EXPECT_EQ(state->selectedChangeID(), "a.txt");
    EXPECT_EQ(state->diffText(), "diff of a.txt\n");
    EXPECT_FALSE(state->busyMessage());
    EXPECT_EQ(state->repositoryInfo().relativeURL, "^/trunk");
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(StateFixture, StatusFailureShowsAlertAndKeepsTheList)
{
    makeState({svnProject});
    answerSvn(statusXml);
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    const QList<WorkingCopyItem> before = state->changes();

    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "status")
            return failedResult(1, "svn: E155007: '/work/alpha' is not a working copy\n");
        return failedResult(1, "no info");
    };
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Status Failed");
    EXPECT_EQ(state->alert()->message, "svn: E155007: '/work/alpha' is not a working copy\n");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Status Failed");
    EXPECT_EQ(state->commandOutput()->status, 1);
    EXPECT_EQ(state->changes(), before);
    EXPECT_FALSE(state->busyMessage());
    EXPECT_EQ(state->repositoryInfo(), RepositoryInfo()) << "a failed info load empties the info silently";
}

TEST_F(StateFixture, LaunchFailureAlertCarriesTheMessageAndNoOutput)
{
    makeState({svnProject});
    fakes.svn->responder = [](const FakeCall &) -> SVNCommandResult {
        throw SVNClientError::launchFailed("Could not find svn. Choose an executable from SVN > Set svn Executable..., "
                                           "or make svn available in PATH.");
    };
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_TRUE(state->alert()->message.startsWith("Could not find svn."));
    EXPECT_FALSE(state->commandOutput());
}

TEST_F(StateFixture, OverlappingStatusLoadsShowOnlyTheNewerProject)
{
    Project other{QUuid::createUuid(), "Gamma", "/work/gamma", RepositoryKind::svn};
    makeState({svnProject, other});
    fakes.svn->responder = [](const FakeCall &call) {
        if (call.arguments.value(0) == "status")
            return okResult(statusWith({call.workingDirectory == "/work/alpha" ? "alpha-only.txt" : "gamma-only.txt"}));
        if (call.arguments.value(0) == "info")
            return failedResult(1, "not now");
        return okResult("diff\n");
    };
    fakes.svn->holdRuns = true;
    state->refreshAll();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    fakes.svn->release(0); // alpha's kind check fails quietly; its status run starts and is held
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1 && fakes.svn->calls.size() == 2; }));

    state->setSelectedProjectID(other.id);
    state->projectSelectionChanged();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 2; }));
    fakes.svn->release(1); // gamma's kind check
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 2 && fakes.svn->calls.size() == 4; }));
    // Gamma's status finishes first, then alpha's stale one.
    fakes.svn->release(1);
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() >= 2; }));
    fakes.svn->release(0);
    fakes.svn->holdRuns = false;
    while (fakes.svn->heldCount() > 0)
        fakes.svn->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    while (fakes.svn->heldCount() > 0) {
        fakes.svn->release(0);
        waitUntilIdle(*state);
    }

    ASSERT_EQ(state->changes().size(), 1);
    EXPECT_EQ(state->changes()[0].path, "gamma-only.txt");
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"gamma-only.txt"}));
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(StateFixture, ReloadOfTheSameProjectKeepsTheUsersTicks)
{
    makeState({svnProject});
    answerSvn(statusWith({"a.txt", "b.txt"}));
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt"}));

    state->setSelectedCommitPaths({"b.txt"});
    answerSvn(statusWith({"a.txt", "b.txt", "c.txt"}));
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"b.txt", "c.txt"}));

    // Choosing the project again starts over with the default ticks.
    state->projectSelectionChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt", "c.txt"}));
}

TEST_F(StateFixture, SelectionSurvivesWhenStillListedElseFirst)
{
    makeState({svnProject});
    answerSvn(statusWith({"a.txt", "b.txt"}));
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    state->setSelectedChangeID("b.txt");
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedChangeID(), "b.txt");
    answerSvn(statusWith({"a.txt"}));
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedChangeID(), "a.txt");
    answerSvn(statusWith({}));
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(state->selectedChangeID());
    EXPECT_EQ(state->diffText(), "");
}

TEST_F(StateFixture, GitInfoRunsSixQueriesAndFoldsThem)
{
    makeState({gitProject});
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "not svn"); };
    fakes.git->responder = [](const FakeCall &call) {
        const QString joined = call.arguments.join(' ');
        if (joined == "rev-parse --show-toplevel")
            return okResult("/work/beta\n");
        if (joined == "rev-parse --abbrev-ref HEAD")
            return okResult("main\n");
        if (joined == "rev-parse --short HEAD")
            return okResult("1a2b3c4\n");
        if (joined == "config --get remote.origin.url")
            return failedResult(1, "");
        if (joined == "log --no-ext-diff --no-color -1 --format=%an")
            return okResult("  Ann Smith \n");
        if (joined == "log --no-ext-diff --no-color -1 --format=%aI")
            return okResult("2024-05-01T10:20:30+02:00\n");
        return okResult(QString());
    };
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    const RepositoryInfo &info = state->repositoryInfo();
    EXPECT_EQ(info.workingCopyRoot, "/work/beta");
    EXPECT_EQ(info.repositoryRoot, "/work/beta");
    EXPECT_EQ(info.url, "/work/beta");
    EXPECT_EQ(info.revision, "main 1a2b3c4");
    EXPECT_EQ(info.lastChangedAuthor, "Ann Smith");
    ASSERT_TRUE(info.lastChangedDate);
    EXPECT_EQ(info.lastChangedDate->toUTC().time().hour(), 8);
    EXPECT_FALSE(info.relativeURL);
    EXPECT_FALSE(info.repositoryUUID);
    EXPECT_FALSE(info.workingRevision);
    EXPECT_FALSE(info.lastChangedRevision);

    QList<FakeCall> infoCalls;
    for (const FakeCall &call : fakes.git->calls) {
        if (call.arguments.value(0) != "status" && call.arguments.value(0) != "diff")
            infoCalls.push_back(call);
    }
    ASSERT_EQ(infoCalls.size(), 6);
    EXPECT_TRUE(infoCalls[0].checkStatus);
    for (int i = 1; i < 6; ++i)
        EXPECT_FALSE(infoCalls[i].checkStatus) << i;
}

TEST_F(StateFixture, GitInfoFailureOfTheFirstQueryGivesEmptyInfo)
{
    makeState({gitProject});
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "not svn"); };
    fakes.git->responder = [](const FakeCall &call) {
        if (call.arguments.join(' ') == "rev-parse --show-toplevel")
            return failedResult(128, "fatal: not a git repository\n");
        return okResult("x\n");
    };
    state->setRepositoryInfo(RepositoryInfo{.revision = QString("old")});
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->repositoryInfo(), RepositoryInfo());
    EXPECT_FALSE(state->alert()) << "a failed info load shows nothing";
}

TEST_F(StateFixture, TabChangedReloadsOnlyMissingOrStaleTabs)
{
    makeState({svnProject});
    answerSvn(statusWith({}));
    state->setSelectedTab(WorkflowTab::history);
    state->tabChanged();
    EXPECT_EQ(state->runningTasks(), 1);
    ASSERT_TRUE(waitUntilIdle(*state));
    // An empty log: every switch reloads again.
    const qsizetype calls = fakes.svn->calls.size();
    state->tabChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_GT(fakes.svn->calls.size(), calls);

    state->setSelectedTab(WorkflowTab::changes);
    state->tabChanged();
    EXPECT_EQ(state->runningTasks(), 0);
}

TEST(DerivedSelections, WorkingCopyPathMapping)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    EXPECT_EQ(state.workingCopyPath("/a/b/"), "a/b");
    state.setRepositoryInfo(RepositoryInfo{.relativeURL = QString("^/trunk")});
    EXPECT_EQ(state.workingCopyPath("/trunk/src/a.c"), "src/a.c");
    EXPECT_EQ(state.workingCopyPath("/trunk"), ".");
    EXPECT_EQ(state.workingCopyPath("/trunk/"), ".");
    EXPECT_EQ(state.workingCopyPath("/trunkfile"), "trunkfile");
    EXPECT_EQ(state.workingCopyPath("/branches/x/a.c"), "branches/x/a.c");
    state.setRepositoryInfo(RepositoryInfo{.relativeURL = QString("^/my%20dir/%C3%A9")});
    EXPECT_EQ(state.workingCopyPath(QString::fromUtf8("/my dir/é/f.txt")), "f.txt");
}

// The grouping of a long log, made in parallel, is the one a single pass over the log in its order
// makes: wide entries, a path changed again in later and earlier revisions, an entry listed out of order,
// folders, the working copy itself and paths that map to nothing; the index finds each file's place.
TEST(DerivedSelections, FileHistoryOfALongLogIsTheOneAPlainPassMakes)
{
    QList<LogEntry> entries;
    for (const qint64 revision : {40, 39, 12, 38, 5}) {
        LogEntry entry{revision, {}, QString("a%1").arg(revision), {}, QString("m%1").arg(revision), {}};
        const int files = revision == 39 ? 30000 : revision == 12 ? 20000 : 300;
        for (int file = 0; file < files; ++file) {
            const int name = (file * 7 + int(revision)) % 25000;
            // Actions mixed within an entry: files changed once share a list only with files changed alike.
            const QString action = QStringList{"M", "A", "D"}[(file / 5 + int(revision)) % 3];
            entry.paths.append({action, QString("/trunk/d%1/F%2.c").arg(name % 13).arg(name), "file"});
        }
        entry.paths.append({"M", "/trunk", "dir"});
        entry.paths.append({"M", "/trunk/", {}});
        entry.paths.append({"A", "/trunk/d1", "dir"});
        entry.paths.append({"A", "/branches/x/F1.c", {}});
        entries.append(entry);
    }
    const WorkingCopyPathMapping mapping(QString("^/trunk"));
    const FileHistoryCache cache = FileHistoryCache::build(entries, QString("^/trunk"));

    QList<FileHistoryItem> expected;
    QHash<QString, qsizetype> seen;
    for (const LogEntry &entry : entries) {
        for (const SVNPathChange &change : entry.paths) {
            const QString path = mapping(change.path);
            if (!change.isFileChange() || path.isEmpty() || path == ".")
                continue;
            if (!seen.contains(path)) {
                seen.insert(path, expected.size());
                expected.append({path, {}});
            }
            expected[seen.value(path)].revisions.append(FileHistoryRevision{entry, change.action});
        }
    }
    for (FileHistoryItem &item : expected)
        std::stable_sort(item.revisions.begin(), item.revisions.end(),
            [](const FileHistoryRevision &a, const FileHistoryRevision &b) { return a.revision > b.revision; });
    const QCollator collator = TextUtil::standardCollator();
    std::stable_sort(expected.begin(), expected.end(), [&](const FileHistoryItem &a, const FileHistoryItem &b) {
        if (a.revisions.first().revision != b.revisions.first().revision)
            return a.revisions.first().revision > b.revisions.first().revision;
        return collator.compare(a.path, b.path) < 0;
    });
    ASSERT_EQ(cache.items.size(), expected.size());
    EXPECT_TRUE(cache.items == expected);
    EXPECT_EQ(cache.items.first().path, "branches/x/F1.c");
    EXPECT_EQ(cache.indexByPath.size(), expected.size());
    for (qsizetype at = 0; at < expected.size(); at += 97)
        EXPECT_EQ(cache.indexByPath.value(expected[at].path, -1), at);
    for (const QString &missing : {QString("d2/F1.c"), QString("trunk/d1/F14.c"), QString(), QString("branches")})
        EXPECT_EQ(cache.indexByPath.value(missing), -1) << missing.toStdString();
    EXPECT_EQ(buildFileHistory(entries, mapping), expected);

    // Paths worked out ahead as they were read, in pieces, give the same whether the log kept the order
    // read or not.
    for (const bool reordered : {false, true}) {
        FilePathsReadAhead readAhead(QString("^/trunk"));
        QList<LogEntry> read = entries;
        if (reordered)
            std::reverse(read.begin(), read.end());
        for (const LogEntry &entry : read) {
            QList<SVNPathChange> pending;
            for (qsizetype at = 0; at < entry.paths.size(); ++at) {
                pending.append(entry.paths[at]);
                if (at % 5000 == 4999)
                    readAhead.add(pending, pending.size() - 5000);
            }
            readAhead.add(pending, pending.size() / 5000 * 5000);
        }
        readAhead.finish();
        const FileHistoryCache ahead = FileHistoryCache::build(entries, QString("^/trunk"), &readAhead);
        EXPECT_TRUE(ahead.items == expected) << reordered;
        EXPECT_EQ(ahead.indexByPath.value(expected.last().path), expected.size() - 1);
    }
    {
        // Paths whose hashes all fall in one share of the index: that share's table holds them all.
        const size_t shares = size_t(std::max(1, QThread::idealThreadCount()));
        LogEntry alike{1, {}, "a", {}, "m", {}};
        for (int name = 0; alike.paths.size() < 20000; ++name) {
            const QString path = QString("same/F%1.c").arg(name);
            if (qHash(path) % shares == 0)
                alike.paths.append({"A", "/" + path, "file"});
        }
        const FileHistoryCache one = FileHistoryCache::build({alike}, std::nullopt);
        ASSERT_EQ(one.items.size(), 20000);
        for (qsizetype at = 0; at < one.items.size(); at += 997)
            EXPECT_EQ(one.indexByPath.value(one.items[at].path), at);
    }
    {
        // Given up before its end, as a superseded load's is: its work finishes or is skipped on its own.
        FilePathsReadAhead givenUp(QString("^/trunk"));
        for (const LogEntry &entry : entries)
            givenUp.add(entry.paths);
    }
}

TEST(DerivedSelections, FileHistoryGroupingAndTokens)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    const Project project{QUuid::createUuid(), "P", "/p", RepositoryKind::svn};
    ProjectStore(&settings).save({project});
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    state.setRepositoryInfo(RepositoryInfo{.relativeURL = QString("^/trunk")});
    state.setLogEntries({
        LogEntry{9, {}, "ann", {}, "nine",
            {{"M", "/trunk/file10", "file"}, {"M", "/trunk/file2", "file"}, {"A", "/trunk/B.txt", {}},
                {"A", "/trunk/a.txt", {}}, {"M", "/trunk", "dir"}}},
        LogEntry{7, {}, "bob", {}, "seven", {{"M", "/trunk/old.txt", "file"}, {"M", "/trunk/file2", "file"}}},
        LogEntry{5, {}, "cy", {}, "five", {{"M", "/trunk/sub", "dir"}}},
    });
    QStringList paths;
    for (const FileHistoryItem &item : state.fileHistoryItems())
        paths << item.path;
    EXPECT_EQ(paths, QStringList({"a.txt", "B.txt", "file2", "file10", "old.txt"}));
    ASSERT_EQ(state.fileHistoryItems()[2].revisions.size(), 2);
    EXPECT_EQ(state.fileHistoryItems()[2].revisions[0].revision, 9);
    EXPECT_EQ(state.fileHistoryItems()[2].revisions[0].paths.size(), 5) << "a revision carries all its paths";

    state.setSelectedHistoryPath("file2");
    state.setSelectedRevision(7);
    ASSERT_TRUE(state.selectedFileHistoryRevision());
    EXPECT_EQ(state.selectedFileHistoryRevision()->action, "M");
    EXPECT_EQ(state.selectedRevisionToken(), "7");
    state.setSelectedIncomingRevision(12);
    state.setSelectedTab(WorkflowTab::incoming);
    EXPECT_EQ(state.selectedRevisionToken(), "12");
    EXPECT_EQ(state.selectedActionPath(), "file2");
    state.setSelectedChangeID("x.c");
    EXPECT_EQ(state.selectedActionPath(), "x.c");

    EXPECT_EQ(state.incomingRangeDescription(), "");
    state.setIncomingBaseRevision(120);
    state.setIncomingHeadRevision(125);
    EXPECT_EQ(state.incomingRangeDescription(), "r120 to r125");
}

TEST(DerivedSelections, GitTokenIsTheSelectedCommitHashOnEveryTab)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    ProjectStore(&settings).save({Project{QUuid::createUuid(), "G", "/g", RepositoryKind::git}});
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    state.setLogEntries({LogEntry{1000000, QString("abcdef0123"), "a", {}, "m", {{"M", "f.txt", {}}}}});
    state.setSelectedHistoryPath("f.txt");
    state.setSelectedRevision(1000000);
    state.setSelectedTab(WorkflowTab::incoming);
    EXPECT_EQ(state.selectedRevisionToken(), "abcdef0123");
    state.setSelectedRevision(5);
    state.setSelectedIncomingRevision(3);
    EXPECT_EQ(state.selectedRevisionToken(), "3");
}

TEST(LocationHelpers, RelativePathsAndEscapes)
{
    EXPECT_EQ(repositoryRelativePath("/w/proj", "/w/proj"), "");
    EXPECT_EQ(repositoryRelativePath("/w/proj/a/./b", "/w/proj/"), "a/b");
    EXPECT_FALSE(repositoryRelativePath("/w/project2/x", "/w/proj"));
    EXPECT_FALSE(repositoryRelativePath("/etc", "/"));
    EXPECT_EQ(escapedIgnorePattern("src/main.c"), "src/main.c");
    EXPECT_EQ(escapedIgnorePattern("my file.txt"), "my\\ file.txt");
    EXPECT_EQ(escapedIgnorePattern("a[1]#b"), "a\\[1\\]\\#b");
    EXPECT_EQ(escapedIgnorePattern("a\\b!*? "), "a\\\\b\\!\\*\\?\\ ");
}

// The user unticks a path while the status is being read on a worker: the reload keeps that choice.
TEST_F(StateFixture, TickChangedWhileTheStatusIsReadIsKept)
{
    makeState({svnProject});
    answerSvn(statusWith({"a.txt", "b.txt"}));
    state->refreshStatus();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt", "b.txt"}));

    // Every worker is kept busy, so the reading waits until the tick has changed.
    QThreadPool *pool = QThreadPool::globalInstance();
    QSemaphore gate;
    QSemaphore started;
    QList<QFuture<void>> blockers;
    for (int i = 0; i < pool->maxThreadCount(); ++i) {
        blockers.push_back(QtConcurrent::run([&] {
            started.release();
            gate.acquire();
        }));
    }
    started.acquire(pool->maxThreadCount());
    fakes.svn->holdRuns = true;
    state->refreshStatus();
    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    fakes.svn->holdRuns = false;
    fakes.svn->release(0); // the status run; its reading then waits for a worker
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents();
    ASSERT_TRUE(state->busyMessage());
    state->setSelectedCommitPaths({"a.txt"});
    gate.release(pool->maxThreadCount());
    for (QFuture<void> &blocker : blockers)
        blocker.waitForFinished();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->selectedCommitPaths(), QSet<QString>({"a.txt"}));
    EXPECT_EQ(state->changes().size(), 2);
}
