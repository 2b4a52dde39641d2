// Checkout, repository creation, import and export: forms, panels, argument lists, fallbacks and alerts.
#include "state/CheckoutNames.h"
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/LinkServers.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QStringList names(const QList<Project> &projects)
{
    QStringList list;
    for (const Project &project : projects)
        list << project.name;
    return list;
}

struct ActionsFixture : FakeStateFixture {
    // Answers the checkout's two forms and its panel.
    void answerCheckout(const QString &url, const QString &parent, const std::optional<QString> &name = std::nullopt)
    {
        dialogs.promptAnswers.push_back(QStringList{url});
        dialogs.openPanelAnswers.push_back(parent);
        dialogs.promptAnswers.push_back(name ? std::optional<QStringList>(QStringList{*name}) : std::nullopt);
    }

    QString checkoutDefaultName()
    {
        return dialogs.prompts.size() > 1 ? dialogs.prompts[1].fields.value(0).value : QStringLiteral("<no form>");
    }
};

} // namespace

TEST(CheckoutURLs, GitLookingURLsAreCaseSensitiveAndOnlyAtTheirEnds)
{
    EXPECT_TRUE(looksLikeGitRepositoryURL("https://host/tool.git"));
    EXPECT_TRUE(looksLikeGitRepositoryURL("git@host:me/tool"));
    EXPECT_TRUE(looksLikeGitRepositoryURL("ssh://git@host/tool"));
    EXPECT_FALSE(looksLikeGitRepositoryURL("https://host/tool.git/"));
    EXPECT_FALSE(looksLikeGitRepositoryURL("https://host/tool.GIT"));
    EXPECT_FALSE(looksLikeGitRepositoryURL("ssh://user@host/tool"));
    EXPECT_FALSE(looksLikeGitRepositoryURL(" git@host:tool"));
}

TEST_F(ActionsFixture, GitURLClonesDirectlyAndAlwaysShowsTheOutput)
{
    makeState();
    answerCheckout("  https://host/tool.git \n", "/tmp/korvel-no-such-parent", "tool");
    fakes.git->holdRuns = true;
    state->checkoutRepository();

    ASSERT_EQ(dialogs.prompts.size(), 2);
    EXPECT_EQ(dialogs.prompts[0].title, "Checkout");
    ASSERT_EQ(dialogs.prompts[0].fields.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].fields[0].key, "url");
    EXPECT_EQ(dialogs.prompts[0].fields[0].label, "Repository URL");
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "");
    ASSERT_EQ(dialogs.openPanels.size(), 1);
    EXPECT_EQ(dialogs.openPanels[0].title, "Choose Checkout Parent Folder");
    EXPECT_FALSE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_TRUE(dialogs.openPanels[0].canChooseDirectories);
    EXPECT_TRUE(dialogs.openPanels[0].canCreateDirectories);
    EXPECT_EQ(dialogs.prompts[1].title, "Checkout Folder");
    EXPECT_EQ(dialogs.prompts[1].fields[0].key, "name");
    EXPECT_EQ(dialogs.prompts[1].fields[0].label, "Folder Name");
    EXPECT_EQ(dialogs.prompts[1].fields[0].value, "tool");

    ASSERT_TRUE(waitFor([&] { return fakes.git->heldCount() == 1; }));
    EXPECT_EQ(state->busyMessage(), "Checkout");
    fakes.git->holdRuns = false;
    fakes.git->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));

    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    ASSERT_EQ(fakes.git->calls.size(), 1);
    EXPECT_EQ(fakes.git->calls[0].arguments,
        QStringList({"clone", "https://host/tool.git", "/tmp/korvel-no-such-parent/tool"}));
    EXPECT_EQ(fakes.git->calls[0].workingDirectory, "");
    EXPECT_TRUE(fakes.git->calls[0].checkStatus);
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    EXPECT_EQ(state->commandOutput()->stdout, "");
    EXPECT_FALSE(state->busyMessage());
    // The tool left nothing at the destination: no project and no message.
    EXPECT_TRUE(state->projects().isEmpty());
    EXPECT_FALSE(state->alert());
}

TEST_F(ActionsFixture, DefaultFolderNamesFollowTheURLsLastPiece)
{
    const QList<std::pair<QString, QString>> cases{
        {"https://host/repos/tool.git/", "tool"},
        {"https://host/lib.gitutils.git", "libutils"},
        {"https://host/x.svn.git", "x"},
        {"https://host/trunk//", "trunk"},
        {"git@host:tool.git", "git@host:tool"},
        {"https://host/Tool.GIT", "Tool.GIT"},
        {"///", "Working Copy"},
        {"https://host/.git", ""},
    };
    for (const auto &[url, expected] : cases) {
        makeState();
        answerCheckout(url, "/parent");
        state->checkoutRepository();
        EXPECT_EQ(checkoutDefaultName(), expected) << url.toStdString();
        EXPECT_EQ(state->runningTasks(), 0) << "a cancelled folder form ends the action";
        dialogs = ScriptedDialogs();
    }
}

TEST_F(ActionsFixture, CancelledOrEmptyAnswersEndTheCheckoutSilently)
{
    makeState();
    state->checkoutRepository();
    EXPECT_TRUE(dialogs.openPanels.isEmpty());

    dialogs.promptAnswers.push_back(QStringList{"   "});
    state->checkoutRepository();
    EXPECT_TRUE(dialogs.openPanels.isEmpty());

    dialogs.promptAnswers.push_back(QStringList{"https://host/tool"});
    state->checkoutRepository();
    EXPECT_EQ(dialogs.openPanels.size(), 1);
    EXPECT_EQ(dialogs.prompts.size(), 3) << "no folder form after a cancelled panel";

    // A URL whose only piece the removals empty: accepting the empty default does nothing.
    answerCheckout("https://host/.git", "/parent", "");
    state->checkoutRepository();
    EXPECT_EQ(state->runningTasks(), 0);
    EXPECT_FALSE(state->alert());
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(ActionsFixture, FolderNamesThatLeaveTheParentAreRefused)
{
    makeState();
    const QStringList refused{".", "..", "a/b", "/abs", QStringLiteral("a") + QChar(0) + "b"};
    for (const QString &name : refused) {
        state->setAlert(std::nullopt);
        answerCheckout("https://host/repo", "/parent", name);
        state->checkoutRepository();
        ASSERT_TRUE(state->alert()) << name.toStdString();
        EXPECT_EQ(state->alert()->title, "Folder Name Invalid");
        EXPECT_EQ(state->alert()->message, "Enter a single folder name.");

        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(QStringList{"https://host/repo"});
        dialogs.openPanelAnswers.push_back("/parent");
        dialogs.promptAnswers.push_back(QStringList{name});
        state->exportRepository();
        ASSERT_TRUE(state->alert()) << name.toStdString();
        EXPECT_EQ(state->alert()->title, "Folder Name Invalid");
    }
    // A URL ending in "/." offers "." and is refused when accepted.
    answerCheckout("https://host/repo/.", "/parent", ".");
    state->checkoutRepository();
    EXPECT_EQ(dialogs.prompts.last().fields[0].value, ".");
    EXPECT_EQ(state->runningTasks(), 0);
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());

    // Names that merely start with dots are single folder names.
    answerCheckout("https://host/repo", "/parent", "...");
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments.last(), "/parent/...");
}

TEST_F(ActionsFixture, FailedSvnCheckoutFallsBackToGitAndShowsOnlyTheGitRun)
{
    makeState();
    answerCheckout("https://host/tool.git/", "/parent", "tool");
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "svn: E170013: Unable to connect\n"); };
    fakes.git->responder = [](const FakeCall &) { return okResult("", "Cloning into 'tool'...\n"); };
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"checkout", "https://host/tool.git/", "/parent/tool"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "");
    EXPECT_TRUE(fakes.svn->calls[0].checkStatus);
    ASSERT_EQ(fakes.git->calls.size(), 1);
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"clone", "https://host/tool.git/", "/parent/tool"}));
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    EXPECT_EQ(state->commandOutput()->commandLine, "/usr/bin/fake clone https://host/tool.git/ /parent/tool");
    EXPECT_EQ(state->commandOutput()->stderr, "Cloning into 'tool'...\n");
    EXPECT_FALSE(state->alert());
}

TEST_F(ActionsFixture, WhenBothCheckoutsFailTheAlertGivesSvnsReasonThenGits)
{
    makeState();
    answerCheckout("https://host/repo", "/parent", "repo");
    fakes.svn->responder = [](const FakeCall &) {
        return failedResult(1, "svn: E230001: Server SSL certificate verification failed\n");
    };
    fakes.git->responder = [](const FakeCall &) {
        SVNCommandResult result = failedResult(128, "fatal: repository 'https://host/repo/' not found\n");
        result.stdout = "git out\n";
        return result;
    };
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Checkout Failed");
    EXPECT_EQ(state->alert()->message,
        "svn: E230001: Server SSL certificate verification failed\n\n"
        "fatal: repository 'https://host/repo/' not found\n");
    // The sheet holds both runs, svn's first; the status is git's.
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Checkout Failed");
    EXPECT_EQ(state->commandOutput()->status, 128);
    EXPECT_EQ(state->commandOutput()->commandLine,
        "/usr/bin/fake checkout https://host/repo /parent/repo\n/usr/bin/fake clone https://host/repo /parent/repo");
    EXPECT_EQ(state->commandOutput()->stdout, "git out\n");
    EXPECT_EQ(state->commandOutput()->stderr,
        "svn: E230001: Server SSL certificate verification failed\n"
        "fatal: repository 'https://host/repo/' not found\n");
    EXPECT_FALSE(state->busyMessage());

    // svn could not even start: its launch message comes first all the same.
    dialogs = ScriptedDialogs();
    makeState();
    answerCheckout("https://host/repo", "/parent", "repo");
    fakes.svn->responder
        = [](const FakeCall &) -> SVNCommandResult { throw SVNClientError::launchFailed("Could not find svn."); };
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, ""); };
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->alert()->message, "Could not find svn.\n\nCommand exited with status 128.");
}

TEST_F(ActionsFixture, AFailedGitLookingCloneTriesNoSvnAndShowsGitsMessageOnly)
{
    makeState();
    answerCheckout("git@host:me/tool", "/parent", "tool");
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: Could not read\n"); };
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Checkout Failed");
    EXPECT_EQ(state->alert()->message, "fatal: Could not read\n");
    EXPECT_EQ(state->commandOutput()->title, "Checkout Failed");
}

TEST_F(ActionsFixture, ACheckoutIntoAListedFolderReusesItAndAnUnknownDestinationAlertsAfterTheOutput)
{
    QTemporaryDir parent;
    const QString destination = parent.filePath("wc");
    const Project listed{QUuid::createUuid(), "wc", destination, RepositoryKind::git};
    const Project other{QUuid::createUuid(), "Other", "/work/other", RepositoryKind::svn};
    makeState({other, listed});
    bool claim = true;
    fakes.svn->responder = [&](const FakeCall &call) {
        if (call.arguments.value(0) == "checkout") {
            QDir().mkpath(call.arguments.value(2));
            return okResult("Checked out revision 4.\n");
        }
        if (call.arguments.value(0) == "info" && claim && call.workingDirectory == destination)
            return okResult("<?xml version=\"1.0\"?><info><entry path=\".\" revision=\"4\" kind=\"dir\">"
                            "<url>file:///repo</url><wc-info><wcroot-abspath>"
                + destination + "</wcroot-abspath></wc-info></entry></info>");
        if (call.arguments.value(0) == "status")
            return okResult("<?xml version=\"1.0\"?><status><target path=\".\"></target></status>");
        return failedResult(1, "svn: E155007: not a working copy\n");
    };
    fakes.git->responder = [](const FakeCall &) { return failedResult(128, "fatal: not a git repository\n"); };
    answerCheckout("https://host/wc", parent.path(), "wc");
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->projects().size(), 2);
    EXPECT_EQ(state->projects()[1].id, listed.id);
    EXPECT_EQ(state->projects()[1].kind, RepositoryKind::svn);
    EXPECT_EQ(state->selectedProjectID(), listed.id);
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    EXPECT_EQ(state->commandOutput()->stdout, "Checked out revision 4.\n");

    // The tool succeeded but neither tool claims what it left.
    claim = false;
    answerCheckout("https://host/wc", parent.path(), "wc");
    state->checkoutRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Checkout Failed");
    EXPECT_EQ(state->alert()->message, "No SVN working copy or Git repository was found at " + destination + ".");
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    EXPECT_EQ(state->projects().size(), 2);
    EXPECT_FALSE(state->busyMessage());
}

TEST_F(ActionsFixture, CreateRunsSvnadminOnTheStandardizedPathAndShowsTheOutput)
{
    makeState({svnProject});
    dialogs.savePanelAnswers.push_back("/tmp/repos/./NewRepository/");
    fakes.svnAdmin->holdRuns = true;
    state->createSVNRepository();
    ASSERT_EQ(dialogs.savePanels.size(), 1);
    const SavePanelOptions &panel = dialogs.savePanels[0];
    EXPECT_EQ(panel.title, "Create SVN Repository");
    EXPECT_EQ(panel.message, "Choose where to create a local SVN repository.");
    EXPECT_EQ(panel.prompt, "Create");
    EXPECT_EQ(panel.nameFieldLabel, "Repository Name:");
    EXPECT_EQ(panel.nameFieldValue, "NewRepository");
    EXPECT_TRUE(panel.canCreateDirectories);

    ASSERT_TRUE(waitFor([&] { return fakes.svnAdmin->heldCount() == 1; }));
    EXPECT_EQ(state->busyMessage(), "Creating repository");
    fakes.svnAdmin->holdRuns = false;
    fakes.svnAdmin->release(0);
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svnAdmin->calls.size(), 1);
    EXPECT_EQ(fakes.svnAdmin->calls[0].arguments, QStringList({"create", "/tmp/repos/NewRepository"}));
    EXPECT_EQ(fakes.svnAdmin->calls[0].workingDirectory, "");
    EXPECT_TRUE(fakes.svnAdmin->calls[0].checkStatus);
    EXPECT_EQ(state->commandOutput()->title, "Create SVN Repository");
    EXPECT_FALSE(state->busyMessage());
    EXPECT_EQ(state->projects(), QList<Project>({svnProject}));
    EXPECT_TRUE(fakes.svn->calls.isEmpty()) << "nothing is reloaded";

    fakes.svnAdmin->responder = [](const FakeCall &) { return failedResult(1, "svnadmin: E165002: exists\n"); };
    dialogs.savePanelAnswers.push_back("/tmp/repos/Existing");
    state->createSVNRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->alert()->title, "Create SVN Repository Failed");
    EXPECT_EQ(state->alert()->message, "svnadmin: E165002: exists\n");
    EXPECT_EQ(state->commandOutput()->title, "Create SVN Repository Failed");

    dialogs.savePanelAnswers.push_back(QString());
    state->createSVNRepository();
    EXPECT_EQ(state->alert()->title, "Repository Name Required");
    EXPECT_EQ(state->alert()->message, "Choose a folder name for the new SVN repository.");
    state->createSVNRepository();
    EXPECT_EQ(state->runningTasks(), 0);
    EXPECT_EQ(fakes.svnAdmin->calls.size(), 2);
}

TEST_F(ActionsFixture, ImportAsksForTheFolderFirstAndRunsThroughTheFrameWithoutReload)
{
    makeState({svnProject});
    // A cancelled panel: the form is never shown.
    state->importDirectory();
    EXPECT_TRUE(dialogs.prompts.isEmpty());
    ASSERT_EQ(dialogs.openPanels.size(), 1);
    EXPECT_EQ(dialogs.openPanels[0].title, "Choose Directory To Import");
    EXPECT_FALSE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_TRUE(dialogs.openPanels[0].canChooseDirectories);
    EXPECT_FALSE(dialogs.openPanels[0].canCreateDirectories);

    for (const QStringList &answer : {QStringList{"file:///repo", " \n"}, QStringList{"", "msg"}}) {
        dialogs.openPanelAnswers.push_back("/src");
        dialogs.promptAnswers.push_back(answer);
        state->importDirectory();
    }
    EXPECT_EQ(state->runningTasks(), 0);

    dialogs.openPanelAnswers.push_back("/home/me/project");
    dialogs.promptAnswers.push_back(QStringList{" file:///repo/trunk ", " Initial import "});
    state->importDirectory();
    const auto &form = dialogs.prompts.last();
    EXPECT_EQ(form.title, "Import");
    ASSERT_EQ(form.fields.size(), 2);
    EXPECT_EQ(form.fields[0].key, "url");
    EXPECT_EQ(form.fields[0].label, "Repository URL");
    EXPECT_EQ(form.fields[0].value, "");
    EXPECT_EQ(form.fields[1].key, "message");
    EXPECT_EQ(form.fields[1].label, "Message");
    EXPECT_EQ(form.fields[1].value, "Initial import");
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments,
        QStringList({"import", "/home/me/project", "file:///repo/trunk", "-m", "Initial import"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "");
    EXPECT_EQ(state->commandOutput()->title, "Import");

    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "svn: E170000: bad URL\n"); };
    dialogs.openPanelAnswers.push_back("/home/me/project");
    dialogs.promptAnswers.push_back(QStringList{"file:///nowhere", "m"});
    state->importDirectory();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(state->alert()->title, "Import Failed");
    EXPECT_EQ(fakes.svn->calls.size(), 2);
}

TEST_F(ActionsFixture, ExportPrefillsTheRepositoryURLAndRunsInTheSelectedProject)
{
    makeState({svnProject});
    RepositoryInfo info;
    info.url = "https://host/repo/trunk/";
    state->setRepositoryInfo(info);
    dialogs.promptAnswers.push_back(QStringList{"https://host/repo/trunk/"});
    dialogs.openPanelAnswers.push_back("/exports");
    dialogs.promptAnswers.push_back(QStringList{" trunk "});
    state->exportRepository();
    ASSERT_EQ(dialogs.prompts.size(), 2);
    EXPECT_EQ(dialogs.prompts[0].title, "Export");
    EXPECT_EQ(dialogs.prompts[0].fields[0].key, "source");
    EXPECT_EQ(dialogs.prompts[0].fields[0].label, "URL Or Path");
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "https://host/repo/trunk/");
    EXPECT_EQ(dialogs.openPanels[0].title, "Choose Export Destination Parent");
    EXPECT_FALSE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_TRUE(dialogs.openPanels[0].canChooseDirectories);
    EXPECT_TRUE(dialogs.openPanels[0].canCreateDirectories);
    EXPECT_EQ(dialogs.prompts[1].title, "Export Folder");
    EXPECT_EQ(dialogs.prompts[1].fields[0].key, "name");
    EXPECT_EQ(dialogs.prompts[1].fields[0].label, "Folder Name");
    EXPECT_EQ(dialogs.prompts[1].fields[0].value, "trunk");
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"export", "https://host/repo/trunk/", "/exports/trunk"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
    EXPECT_EQ(state->commandOutput()->title, "Export");
    EXPECT_TRUE(fakes.git->calls.isEmpty());

    // A cancelled source form: no panel.
    state->exportRepository();
    EXPECT_EQ(dialogs.openPanels.size(), 1);
}

TEST_F(ActionsFixture, ExportWithoutAProjectStartsEmptyAndRunsWithoutAFolder)
{
    makeState();
    dialogs.promptAnswers.push_back(QStringList{"///"});
    dialogs.openPanelAnswers.push_back("/exports");
    dialogs.promptAnswers.push_back(QStringList{"Export"});
    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "svn: E000002: not found\n"); };
    state->exportRepository();
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "");
    EXPECT_EQ(dialogs.prompts[1].fields[0].value, "Export");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"export", "///", "/exports/Export"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "");
    EXPECT_EQ(state->alert()->title, "Export Failed");
    EXPECT_EQ(state->commandOutput()->title, "Export Failed");
}

// With the real tools, in a sandbox: everything really lands on disk.
struct RealActions : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;

    void SetUp() override
    {
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
    }

    void checkout(const QString &url, const QString &name)
    {
        dialogs.promptAnswers.push_back(QStringList{url});
        dialogs.openPanelAnswers.push_back(sandbox.filePath("checkouts"));
        dialogs.promptAnswers.push_back(QStringList{name});
        state->checkoutRepository();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    void TearDown() override { EXPECT_TRUE(waitUntilIdle(*state)); }
};

TEST_F(RealActions, CreateImportCheckoutAndExportASubversionRepository)
{
    dialogs.savePanelAnswers.push_back(sandbox.filePath("repos/Made Here"));
    QDir().mkpath(sandbox.filePath("repos"));
    state->createSVNRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(state->commandOutput()->title, "Create SVN Repository");
    EXPECT_TRUE(QFileInfo(sandbox.filePath("repos/Made Here/format")).isFile());
    EXPECT_TRUE(state->projects().isEmpty());
    const QString url = QUrl::fromLocalFile(sandbox.filePath("repos/Made Here")).toString(QUrl::FullyEncoded);

    // A Git repository inside goes in without its .git; the user's own global ignores still hold.
    writeFile(sandbox.filePath("source/readme.txt"), "hello\n");
    writeFile(sandbox.filePath("source/lib/a.c"), "int a;\n");
    writeFile(sandbox.filePath("source/lib/a.tmp"), "scratch\n");
    const GitFixture inner = GitFixture::create(sandbox.filePath("source"), "lib/inner");
    writeFile(inner.path + "/b.c", "int b;\n");
    inner.commitAll();
    writeFile(sandbox.filePath(".home/.subversion/config"), "[miscellany]\nglobal-ignores = *.tmp\n  *.bak\n");
    dialogs.openPanelAnswers.push_back(sandbox.filePath("source"));
    dialogs.promptAnswers.push_back(QStringList{url + "/trunk", "First"});
    state->importDirectory();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(state->commandOutput()->title, "Import");
    EXPECT_TRUE(state->commandOutput()->stdout.contains("Committed revision 1."));
    EXPECT_TRUE(state->commandOutput()->stdout.endsWith("\nLeft out, as a Git repository's own: lib/inner/.git\n"))
        << state->commandOutput()->stdout.toStdString();
    EXPECT_EQ(QString::fromUtf8(runTool("svn", {"list", "-R", url + "/trunk"})).split('\n', Qt::SkipEmptyParts),
        (QStringList{"lib/", "lib/a.c", "lib/inner/", "lib/inner/b.c", "readme.txt"}));
    EXPECT_TRUE(QFileInfo(inner.path + "/.git/config").isFile());

    QDir().mkpath(sandbox.filePath("checkouts"));
    checkout(url + "/trunk", "trunk");
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    const QString wc = sandbox.filePath("checkouts/trunk");
    EXPECT_EQ(readFile(wc + "/lib/a.c"), "int a;\n");
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    ASSERT_EQ(state->projects().size(), 1);
    EXPECT_EQ(state->projects()[0].path, wc);
    EXPECT_EQ(state->projects()[0].kind, RepositoryKind::svn);
    EXPECT_EQ(state->selectedProjectID(), state->projects()[0].id);
    EXPECT_EQ(ProjectStore(&settings).load(), state->projects());
    EXPECT_EQ(state->repositoryInfo().url, url + "/trunk");
    EXPECT_EQ(dialogs.rememberedFolders, QStringList({sandbox.filePath("checkouts")}));

    // A relative source is read inside the selected project.
    dialogs.promptAnswers.push_back(QStringList{"lib"});
    dialogs.openPanelAnswers.push_back(sandbox.filePath("exports"));
    dialogs.promptAnswers.push_back(QStringList{"lib copy"});
    QDir().mkpath(sandbox.filePath("exports"));
    state->exportRepository();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(readFile(sandbox.filePath("exports/lib copy/a.c")), "int a;\n");
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath("exports/lib copy/.svn")));
    EXPECT_EQ(state->commandOutput()->title, "Export");
}

// svn checks everything out, then fails on an external nobody can reach and exits 1: the checkout is
// done and becomes the selected project; its output shows svn's warning.
TEST_F(RealActions, ACheckoutWhoseOnlyFailureIsAnExternalSucceeds)
{
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    writeFile(svn.workingCopy + "/a.txt", "a\n");
    svn.svn({"add", "-q", "a.txt"});
    svn.svn({"propset", "-q", "svn:externals", "ext svn://127.0.0.1:" + QString::number(freeLocalPort()) + "/nothing",
        "."});
    svn.svn({"commit", "-q", "-m", "With an external"});
    QDir().mkpath(sandbox.filePath("checkouts"));
    checkout(svn.repositoryUrl, "with-externals");

    EXPECT_FALSE(state->alert()) << state->alert()->message.toStdString();
    const QString wc = sandbox.filePath("checkouts/with-externals");
    EXPECT_EQ(readFile(wc + "/a.txt"), "a\n");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Checkout");
    EXPECT_EQ(state->commandOutput()->status, 1);
    EXPECT_TRUE(state->commandOutput()->stdout.contains("Checked out revision 1."))
        << state->commandOutput()->stdout.toStdString();
    EXPECT_TRUE(state->commandOutput()->stderr.contains("E205011")) << state->commandOutput()->stderr.toStdString();
    ASSERT_EQ(state->projects().size(), 1);
    EXPECT_EQ(state->projects()[0].path, wc);
    EXPECT_EQ(state->selectedProjectID(), state->projects()[0].id);
    EXPECT_EQ(QString::fromUtf8(runTool("svn", {"info", "--show-item", "revision", wc})).trimmed(), "1");
}

TEST_F(RealActions, GitURLsAreClonedDirectlyOrAfterSvnFails)
{
    const GitFixture git = GitFixture::create(sandbox.path(), "origin");
    writeFile(git.path + "/file.txt", "git\n");
    git.commitAll();
    runTool("git", {"clone", "-q", "--bare", git.path, sandbox.filePath("bare.git")});
    QDir().mkpath(sandbox.filePath("checkouts"));

    // Not Git-looking: svn is tried first and fails, then git clones.
    checkout(QUrl::fromLocalFile(git.path).toString(), "plain");
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(readFile(sandbox.filePath("checkouts/plain/file.txt")), "git\n");
    EXPECT_TRUE(state->commandOutput()->commandLine.contains("clone"));

    checkout(QUrl::fromLocalFile(sandbox.filePath("bare.git")).toString(), "bare");
    ASSERT_FALSE(state->alert()) << state->alert()->message.toStdString();
    EXPECT_EQ(readFile(sandbox.filePath("checkouts/bare/file.txt")), "git\n");

    ASSERT_EQ(state->projects().size(), 2);
    EXPECT_EQ(names(state->projects()), QStringList({"bare", "plain"}));
    EXPECT_EQ(state->projects()[0].kind, RepositoryKind::git);
    EXPECT_EQ(state->projects()[1].kind, RepositoryKind::git);
    EXPECT_EQ(ProjectStore(&settings).load(), state->projects());
}

TEST_F(RealActions, AnAddressNeitherToolReadsReportsBothReasons)
{
    QDir().mkpath(sandbox.filePath("checkouts"));
    checkout(QUrl::fromLocalFile(sandbox.filePath("missing")).toString(), "missing");
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Checkout Failed");
    const QStringList parts = state->alert()->message.split("\n\n");
    ASSERT_GE(parts.size(), 2) << state->alert()->message.toStdString();
    EXPECT_TRUE(parts[0].startsWith("svn: E")) << parts[0].toStdString();
    EXPECT_TRUE(parts.mid(1).join("\n\n").contains("fatal:")) << parts[1].toStdString();
    EXPECT_EQ(state->commandOutput()->title, "Checkout Failed");
    const QStringList commandLines = state->commandOutput()->commandLine.split('\n');
    ASSERT_EQ(commandLines.size(), 2) << state->commandOutput()->commandLine.toStdString();
    EXPECT_TRUE(commandLines[0].contains(" checkout ")) << commandLines[0].toStdString();
    EXPECT_TRUE(commandLines[1].contains(" clone ")) << commandLines[1].toStdString();
    const QString &stderr = state->commandOutput()->stderr;
    EXPECT_TRUE(stderr.startsWith("svn: E")) << stderr.toStdString();
    EXPECT_GT(stderr.indexOf("fatal:"), 0) << stderr.toStdString();
    EXPECT_TRUE(state->projects().isEmpty());
}

// Addresses only svn reads are never handed to git, whose "remote-svn" complaint would bury svn's
// reason; and an ssh tunnel that fails says why in ssh's own words.
TEST_F(RealActions, SvnOnlyURLsTryNoGitAndKeepSshsOwnReason)
{
    QDir().mkpath(sandbox.filePath("checkouts"));
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString refusing = "svn://127.0.0.1:" + QString::number(closed.serverPort()) + "/repo";
    closed.close();
    const struct {
        QString url;
        QString reason;
    } cases[] = {
        {refusing, "Connection refused"},
        // A name that never resolves (RFC 6761): ssh fails before any network is reached.
        {"svn+ssh://korvel.invalid/repo", "ssh: Could not resolve hostname korvel.invalid"},
    };
    for (const auto &[url, reason] : cases) {
        SCOPED_TRACE(url.toStdString());
        checkout(url, "wc");
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "Checkout Failed");
        EXPECT_TRUE(state->alert()->message.contains("svn: E170013")) << state->alert()->message.toStdString();
        EXPECT_TRUE(state->alert()->message.contains(reason)) << state->alert()->message.toStdString();
        EXPECT_FALSE(state->alert()->message.contains("git")) << state->alert()->message.toStdString();
        ASSERT_TRUE(state->commandOutput());
        EXPECT_TRUE(state->commandOutput()->commandLine.contains(" checkout "))
            << state->commandOutput()->commandLine.toStdString();
        EXPECT_FALSE(QFileInfo::exists(sandbox.filePath("checkouts/wc")));
        state->setAlert(std::nullopt);
    }
}
