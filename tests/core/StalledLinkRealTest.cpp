// Actions and loads against real servers whose link stalls: Stop ends an action with nothing lost,
// and refreshes never leave more than one run of a kind waiting.
#include "support/FakeClients.h"
#include "support/LinkServers.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QRandomGenerator>
#include <QSettings>

#include <map>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// Processes of anyone's working in the folder or naming a path inside it: a tool and every helper it
// started there, or a checkout writing into it.
int processesIn(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    const auto inside = [&](const QString &path) {
        return path == canonical || path.startsWith(canonical + '/') || path == absolute
            || path.startsWith(absolute + '/');
    };
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (entry.toInt() <= 0)
            continue;
        const QList<QByteArray> arguments = readFile("/proc/" + entry + "/cmdline").split('\0');
        if (inside(QFileInfo("/proc/" + entry + "/cwd").canonicalFilePath())
            || std::any_of(arguments.cbegin(), arguments.cend(),
                [&](const QByteArray &argument) { return inside(QString::fromLocal8Bit(argument)); }))
            ++count;
    }
    return count;
}

struct StalledLinkFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    ScriptedDialogs dialogs;
    // Declared last: destroyed first, ending whatever still waits on the link.
    std::unique_ptr<AppState> state;

    void open(const QString &path, RepositoryKind kind, WorkflowTab tab = WorkflowTab::changes)
    {
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "project", path, kind}});
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
        state->setSelectedTab(tab);
    }

    // Runs the action until its tool waits on the stalled link, then stops it, which must end it soon.
    // `reached`, when given, tells that the tool has got as far as the stall the test wants.
    void stopWhileWaiting(const std::function<void(AppState &)> &action, const LinkProxy &link, const QString &folder,
        const std::function<bool()> &reached = {})
    {
        const int accepted = link.accepted();
        action(*state);
        ASSERT_TRUE(waitFor(
            [&] { return link.accepted() > accepted && processesIn(folder) > 0 && (!reached || reached()); }, 20000));
        ASSERT_TRUE(state->actionRunning());
        state->stopRunningAction();
        ASSERT_TRUE(waitUntilIdle(*state, 15000)) << "the stopped action is still running";
        EXPECT_EQ(processesIn(folder), 0);
        EXPECT_FALSE(state->actionRunning());
    }
};

// A working copy checked out through a link to svnserve, one revision behind the repository, with a
// local change and a file of the user's own.
struct SvnLinkFixture : StalledLinkFixture {
    SvnFixture svn = SvnFixture::create(sandbox.path());
    LocalSvnServe serve{svn.repositoryPath};
    std::unique_ptr<LinkProxy> link;
    QString workingCopy = sandbox.filePath("linked");

    void SetUp() override
    {
        for (int i = 0; i < 20; ++i)
            writeFile(svn.workingCopy + QStringLiteral("/f%1.txt").arg(i), "one\n");
        svn.commitAll();
        ASSERT_TRUE(serve.waitUntilListening());
        link = std::make_unique<LinkProxy>(serve.port());
        runTool("svn", {"checkout", "-q", "svn://127.0.0.1:" + QString::number(link->port()), workingCopy});
        writeFile(svn.workingCopy + "/f1.txt", "two\n");
        writeFile(svn.workingCopy + "/new.txt", "new\n");
        svn.commitAll();
        writeFile(workingCopy + "/f0.txt", "mine\n");
        writeFile(workingCopy + "/notes.txt", "notes\n");
        link->setMode(LinkProxy::Mode::stall);
    }

    QByteArray linkedSvn(const QStringList &arguments, int *status = nullptr)
    {
        return runTool("svn", arguments, workingCopy, status);
    }
};

} // namespace

TEST_F(SvnLinkFixture, StoppedUpdateLosesNothingAndSaysToRunCleanup)
{
    open(workingCopy, RepositoryKind::svn);
    const QMap<QString, QByteArray> before = filesUnder(workingCopy);
    stopWhileWaiting([](AppState &s) { s.updateWorkingCopy(); }, *link, workingCopy);

    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Update Failed");
    EXPECT_TRUE(state->alert()->message.startsWith("Update was stopped")) << state->alert()->message.toStdString();
    EXPECT_TRUE(state->alert()->message.contains("Run Cleanup")) << state->alert()->message.toStdString();
    // The project reloaded: the list still shows the user's change.
    EXPECT_TRUE(std::any_of(state->changes().cbegin(), state->changes().cend(),
        [](const WorkingCopyItem &item) { return item.path == "f0.txt" && item.kind == SVNStatusKind::modified; }));

    EXPECT_EQ(filesUnder(workingCopy), before);
    EXPECT_TRUE(linkedSvn({"status"}).contains("  L "));
    int status = -1;
    linkedSvn({"cleanup"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(linkedSvn({"status"}), "M       f0.txt\n?       notes.txt\n");
    EXPECT_EQ(linkedSvn({"info", "--show-item", "revision"}).trimmed(), "1");

    // Once the link answers again, the update goes through as if nothing had happened.
    link->setMode(LinkProxy::Mode::forward);
    linkedSvn({"update", "-q"});
    EXPECT_EQ(readFile(workingCopy + "/f1.txt"), "two\n");
    EXPECT_EQ(readFile(workingCopy + "/new.txt"), "new\n");
    EXPECT_EQ(readFile(workingCopy + "/f0.txt"), "mine\n");
}

// Both wait on the silent server: the History load the user asked for during an Update, and the Update.
// Stop ends the load the busy text names; the Update goes on until a second Stop.
TEST_F(SvnLinkFixture, StopBesideALoadDuringAnUpdateEndsTheLoadAlone)
{
    open(workingCopy, RepositoryKind::svn);
    int accepted = link->accepted();
    state->updateWorkingCopy();
    ASSERT_TRUE(waitFor([&] { return link->accepted() > accepted && processesIn(workingCopy) > 0; }, 20000));
    accepted = link->accepted();
    state->refreshHistory();
    ASSERT_TRUE(waitFor(
        [&] { return link->accepted() > accepted && state->busyMessage() == QString("Loading history"); }, 20000));
    ASSERT_TRUE(waitFor([&] { return processesIn(workingCopy) == 2; }, 20000));

    state->stopRunningAction();
    EXPECT_EQ(state->busyMessage(), QString("Update"));
    EXPECT_TRUE(state->canStop());
    ASSERT_TRUE(waitFor([&] { return processesIn(workingCopy) == 1; }, 15000)) << "the history load still runs";
    EXPECT_FALSE(waitFor([&] { return !state->actionRunning(); }, 500)) << "the update was stopped too";
    EXPECT_EQ(state->busyMessage(), QString("Update"));
    EXPECT_FALSE(state->alert());

    state->stopRunningAction();
    ASSERT_TRUE(waitFor([&] { return state->alert().has_value(); }, 15000)) << "the stopped update is still running";
    EXPECT_EQ(state->alert()->title, "Update Failed");
    // The reload after it waits on the server for History, which is shown now, and is stopped in turn.
    ASSERT_TRUE(waitFor([&] { return state->busyMessage() == QString("Loading history"); }, 20000));
    state->stopRunningAction();
    ASSERT_TRUE(waitUntilIdle(*state, 15000)) << "the stopped reload is still running";
    EXPECT_EQ(processesIn(workingCopy), 0);
    EXPECT_EQ(state->alert()->title, "Update Failed");
    linkedSvn({"cleanup"});
}

TEST_F(SvnLinkFixture, RefreshesLeaveOneWaitingRunPerKind)
{
    // A return to the window refreshes the visible tab; against a silent server each load waits.
    for (const WorkflowTab tab : {WorkflowTab::history, WorkflowTab::incoming}) {
        SCOPED_TRACE(int(tab));
        open(workingCopy, RepositoryKind::svn, tab);
        for (int refresh = 1; refresh <= 5; ++refresh) {
            const int accepted = link->accepted();
            state->refreshAll();
            // This refresh's load has reached the server.
            ASSERT_TRUE(waitFor([&] { return link->accepted() > accepted; }, 20000));
        }
        // A superseded run gets the grace period that quitting gives, then it is killed; the local
        // loads of each refresh have ended by then.
        waitFor([&] { return processesIn(workingCopy) <= 1; }, 8000);
        EXPECT_EQ(processesIn(workingCopy), 1);
        EXPECT_EQ(state->busyMessage(), tab == WorkflowTab::history ? "Loading history" : "Loading incoming");
        EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
        state.reset();
        EXPECT_EQ(processesIn(workingCopy), 0);
    }
}

// A load waiting on the silent server, whether a refresh's or the reload after a stopped action, is
// stopped like an action: its list stays as it was, its busy text goes, and it alerts nothing.
TEST_F(SvnLinkFixture, StopEndsALoadWaitingOnASilentServer)
{
    const struct {
        const char *name;
        WorkflowTab tab;
        // What starts the waiting load once the link is silent; the action stopped first, if any.
        std::function<void(AppState &)> start;
        const char *stoppedAction = nullptr;
    } rows[] = {
        {"history refresh", WorkflowTab::history, [](AppState &s) { s.refreshAll(); }},
        {"incoming refresh", WorkflowTab::incoming, [](AppState &s) { s.refreshAll(); }},
        {"incoming refresh, then Changes shown", WorkflowTab::incoming,
            [](AppState &s) {
                s.refreshIncoming();
                s.setSelectedTab(WorkflowTab::changes);
                s.tabChanged();
            }},
        {"reload after a stopped update", WorkflowTab::incoming, [](AppState &s) { s.updateWorkingCopy(); }, "Update"},
        {"reload after a stopped archive zip", WorkflowTab::archives, [](AppState &s) { s.createArchiveZip(); },
            "Create Archive Zip"},
    };
    const std::map<WorkflowTab, QString> busyTexts{{WorkflowTab::history, "Loading history"},
        {WorkflowTab::archives, "Loading archives"}, {WorkflowTab::incoming, "Loading incoming"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        link->setMode(LinkProxy::Mode::forward);
        open(workingCopy, RepositoryKind::svn, row.tab);
        state->refreshAll();
        state->refreshHistory();
        state->refreshArchives();
        state->refreshIncoming();
        ASSERT_TRUE(waitUntilIdle(*state, 20000));
        state->setSelectedTab(row.tab);
        state->setSelectedArchiveEntryID(state->archiveEntries().value(0).revision);
        ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
        const QList<LogEntry> history = state->logEntries();
        const QList<LogEntry> archives = state->archiveEntries();
        const QList<LogEntry> incoming = state->incomingEntries();
        ASSERT_EQ(incoming.size(), 1);

        link->setMode(LinkProxy::Mode::stall);
        dialogs.savePanelAnswers = {sandbox.filePath("snapshot.zip")};
        int accepted = link->accepted();
        row.start(*state);
        if (row.stoppedAction) {
            ASSERT_TRUE(waitFor([&] { return link->accepted() > accepted && state->actionRunning(); }, 20000));
            accepted = link->accepted();
            state->stopRunningAction();
        }
        // The load waits on the server behind its busy text.
        ASSERT_TRUE(waitFor(
            [&] { return link->accepted() > accepted && state->busyMessage() == busyTexts.at(row.tab); }, 20000));
        EXPECT_FALSE(state->actionRunning());
        EXPECT_TRUE(state->canStop());
        state->stopRunningAction();
        ASSERT_TRUE(waitUntilIdle(*state, 15000)) << "the stopped load is still running";
        EXPECT_EQ(processesIn(workingCopy), 0);
        EXPECT_FALSE(state->busyMessage());
        EXPECT_FALSE(state->canStop());
        EXPECT_TRUE(state->logEntries() == history);
        EXPECT_TRUE(state->archiveEntries() == archives);
        EXPECT_TRUE(state->incomingEntries() == incoming);
        if (row.stoppedAction) {
            // The stopped action's own alert stands, and nothing else.
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, QString(row.stoppedAction) + " Failed");
            EXPECT_TRUE(state->alert()->message.startsWith(QString(row.stoppedAction) + " was stopped"))
                << state->alert()->message.toStdString();
            linkedSvn({"cleanup"});
        } else {
            EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(sandbox.filePath("snapshot.zip")));
        state.reset();
    }
}

// svn reaching its repository through an http proxy that accepts and never answers: the load waits on
// the proxy, and Stop ends it as it ends one waiting on the server itself.
TEST_F(StalledLinkFixture, StopEndsALoadWaitingOnASilentHttpProxy)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "one\n");
    svn.commitAll();
    // The working copy made to name an http repository, for which svn asks the proxy alone.
    int status = -1;
    runTool("sqlite3", {svn.workingCopy + "/.svn/wc.db", "UPDATE REPOSITORY SET root = 'http://repo.invalid/repo'"},
        QString(), &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(runTool("svn", {"info", "--show-item", "url"}, svn.workingCopy).trimmed(), "http://repo.invalid/repo");
    LinkProxy proxy(0);
    proxy.setMode(LinkProxy::Mode::stall);
    writeFile(QDir::homePath() + "/.subversion/servers",
        "[global]\nhttp-proxy-host = 127.0.0.1\nhttp-proxy-port = " + QByteArray::number(proxy.port()) + "\n");

    for (const auto &[tab, busyText] :
        {std::pair{WorkflowTab::history, "Loading history"}, std::pair{WorkflowTab::incoming, "Loading incoming"}}) {
        SCOPED_TRACE(busyText);
        open(svn.workingCopy, RepositoryKind::svn, tab);
        const int accepted = proxy.accepted();
        state->refreshAll();
        ASSERT_TRUE(
            waitFor([&] { return proxy.accepted() > accepted && state->busyMessage() == QString(busyText); }, 20000));
        // Waiting, not failing: nothing but Stop ends it.
        EXPECT_FALSE(waitFor([&] { return !state->busyMessage(); }, 500));
        EXPECT_FALSE(state->actionRunning());
        EXPECT_TRUE(state->canStop());
        state->stopRunningAction();
        ASSERT_TRUE(waitUntilIdle(*state, 15000)) << "the stopped load is still running";
        EXPECT_EQ(processesIn(svn.workingCopy), 0);
        EXPECT_FALSE(state->busyMessage());
        EXPECT_FALSE(state->canStop());
        EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
        state.reset();
    }
}

TEST_F(StalledLinkFixture, StoppedPullLosesNothing)
{
    const GitFixture origin = GitFixture::create(sandbox.filePath("served"), "origin");
    writeFile(origin.path + "/a.txt", "one\n");
    writeFile(origin.path + "/b.txt", "one\n");
    origin.commitAll();
    const LocalGitDaemon daemon(sandbox.filePath("served"));
    ASSERT_TRUE(daemon.waitUntilListening());
    LinkProxy link(daemon.port());
    const QString clone = sandbox.filePath("clone");
    runTool("git", {"clone", "-q", "git://127.0.0.1:" + QString::number(link.port()) + "/origin", clone});
    const GitFixture local{clone};
    writeFile(origin.path + "/b.txt", "two\n");
    origin.commitAll("second");
    writeFile(clone + "/a.txt", "mine\n");
    writeFile(clone + "/notes.txt", "notes\n");
    const QByteArray head = local.git({"rev-parse", "HEAD"});
    link.setMode(LinkProxy::Mode::stall);

    open(clone, RepositoryKind::git);
    const QMap<QString, QByteArray> before = filesUnder(clone);
    stopWhileWaiting([](AppState &s) { s.updateWorkingCopy(); }, link, clone);

    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Pull Failed");
    EXPECT_EQ(state->alert()->message, "Pull was stopped before it finished.");
    EXPECT_EQ(filesUnder(clone), before);
    EXPECT_EQ(local.git({"rev-parse", "HEAD"}), head);
    EXPECT_EQ(local.git({"status", "--porcelain=v1"}), " M a.txt\n?? notes.txt\n");
    EXPECT_FALSE(QFileInfo::exists(clone + "/.git/index.lock"));

    link.setMode(LinkProxy::Mode::forward);
    local.git({"pull", "-q", "--ff-only"});
    EXPECT_EQ(readFile(clone + "/b.txt"), "two\n");
    EXPECT_EQ(readFile(clone + "/a.txt"), "mine\n");
}

// A transfer that hangs midway has already made the destination and written into it.
TEST_F(StalledLinkFixture, StoppedCheckoutLeavesNoFolderAndNoProject)
{
    // Random bytes do not compress: their transfer outlasts the bytes the link passes on.
    QByteArray large(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(large.data()), large.size() / 4);
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    writeFile(svn.workingCopy + "/large.bin", large);
    svn.commitAll();
    const LocalSvnServe serve(svn.repositoryPath);
    const GitFixture origin = GitFixture::create(sandbox.filePath("served"), "origin");
    writeFile(origin.path + "/large.bin", large);
    origin.commitAll();
    const LocalGitDaemon daemon(sandbox.filePath("served"));
    ASSERT_TRUE(serve.waitUntilListening());
    ASSERT_TRUE(daemon.waitUntilListening());
    LinkProxy svnLink(serve.port());
    LinkProxy gitLink(daemon.port());

    const QString parent = sandbox.filePath("parent");
    const QString destination = parent + "/checkout";
    writeFile(parent + "/keep.txt", "mine\n");
    const auto svnMadeIt = [&] { return QFileInfo::exists(destination + "/.svn/wc.db"); };
    const auto gitReceiving
        = [&] { return !QDir(destination + "/.git/objects/pack").entryList(QDir::Files).isEmpty(); };
    const QString svnURL = "svn://127.0.0.1:" + QString::number(svnLink.port());
    // A git:// URL without ".git" is tried with svn first, which refuses the scheme, then cloned.
    const QString gitURL = "git://127.0.0.1:" + QString::number(gitLink.port()) + "/origin";
    const struct {
        const char *name;
        LinkProxy &link;
        QString url;
        qint64 stallAfter; // negative: silent from the start
        std::function<bool()> reached;
        // The user's files in a destination folder that stood there before; none: no folder.
        std::optional<QStringList> usersFolder = std::nullopt;
        // Quit as the program does instead of stopping.
        bool quit = false;
    } rows[] = {
        {"svn, silent server", svnLink, svnURL, -1, {}},
        {"svn, midway", svnLink, svnURL, 65536, svnMadeIt},
        {"git, silent server", gitLink, gitURL, -1, {}},
        {"git, midway", gitLink, gitURL, 65536, gitReceiving},
        {"svn, midway, into the user's folder", svnLink, svnURL, 65536, svnMadeIt, QStringList{"mine.txt"}},
        {"git, midway, into the user's empty folder", gitLink, gitURL, 65536, gitReceiving, QStringList{}},
        {"svn, midway, quit", svnLink, svnURL, 65536, svnMadeIt, std::nullopt, true},
        {"git, midway, quit", gitLink, gitURL, 65536, gitReceiving, std::nullopt, true},
        {"svn, midway into the user's folder, quit", svnLink, svnURL, 65536, svnMadeIt, QStringList{"mine.txt"}, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.link.setMode(row.stallAfter < 0 ? LinkProxy::Mode::stall : LinkProxy::Mode::forward);
        row.link.setStallAfter(row.stallAfter);
        QDir().mkpath(row.usersFolder ? destination : parent);
        for (const QString &name : row.usersFolder.value_or(QStringList()))
            writeFile(destination + "/" + name, "mine\n");
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
        dialogs.promptAnswers = {QStringList{row.url}, QStringList{"checkout"}};
        dialogs.openPanelAnswers = {parent};
        if (row.quit) {
            state->checkoutRepository();
            ASSERT_TRUE(waitFor([&] { return processesIn(parent) > 0 && row.reached(); }, 20000));
            state.reset();
            EXPECT_EQ(processesIn(parent), 0);
        } else {
            stopWhileWaiting([](AppState &s) { s.checkoutRepository(); }, row.link, parent, row.reached);
            ASSERT_TRUE(state->alert());
            EXPECT_EQ(state->alert()->title, "Checkout Failed");
            EXPECT_EQ(state->alert()->message, "Checkout was stopped before it finished.");
            EXPECT_TRUE(state->projects().isEmpty());
        }
        EXPECT_TRUE(ProjectStore(&settings).load().isEmpty());
        EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            row.usersFolder ? QStringList({"checkout", "keep.txt"}) : QStringList({"keep.txt"}));
        EXPECT_EQ(readFile(parent + "/keep.txt"), "mine\n");
        for (const QString &name : row.usersFolder.value_or(QStringList()))
            EXPECT_EQ(readFile(destination + "/" + name), "mine\n");
        if (row.usersFolder)
            QDir(destination).removeRecursively();
    }
}

// A checkout whose connection drops midway: svn's working copy stays for Cleanup and Update to finish,
// no project is added and git is not tried.
TEST_F(StalledLinkFixture, CheckoutCutMidwayKeepsTheWorkingCopyForCleanupAndUpdate)
{
    QByteArray large(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(large.data()), large.size() / 4);
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    writeFile(svn.workingCopy + "/large.bin", large);
    svn.commitAll();
    const LocalSvnServe serve(svn.repositoryPath);
    ASSERT_TRUE(serve.waitUntilListening());
    LinkProxy link(serve.port());
    link.setMode(LinkProxy::Mode::drop);
    link.setStallAfter(65536);
    const QString parent = sandbox.filePath("parent");
    const QString destination = parent + "/checkout";
    QDir().mkpath(parent);

    state = std::make_unique<AppState>(&settings);
    state->setDialogs(&dialogs);
    dialogs.promptAnswers = {QStringList{"svn://127.0.0.1:" + QString::number(link.port())}, QStringList{"checkout"}};
    dialogs.openPanelAnswers = {parent};
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state, 30000));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Checkout Failed");
    EXPECT_TRUE(state->alert()->message.startsWith("svn: E")) << state->alert()->message.toStdString();
    EXPECT_TRUE(state->alert()->message.contains(destination + "; run Cleanup, then Update there"))
        << state->alert()->message.toStdString();
    ASSERT_TRUE(state->commandOutput());
    EXPECT_FALSE(state->commandOutput()->commandLine.contains("clone"));
    EXPECT_TRUE(state->projects().isEmpty());
    EXPECT_TRUE(ProjectStore(&settings).load().isEmpty());
    ASSERT_TRUE(QFileInfo::exists(destination + "/.svn/wc.db"));
    EXPECT_NE(readFile(destination + "/large.bin"), large);

    link.setMode(LinkProxy::Mode::forward);
    link.setStallAfter(-1);
    runTool("svn", {"cleanup", "-q", destination});
    runTool("svn", {"update", "-q", destination});
    EXPECT_EQ(readFile(destination + "/large.bin"), large);
    EXPECT_EQ(readFile(destination + "/a.txt"), "a\n");
    EXPECT_TRUE(runTool("svn", {"status", destination}).isEmpty());
}
