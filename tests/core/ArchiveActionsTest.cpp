// Archive zips: the names, the argument lists over fakes, the private temporary folder, and real
// zips of svn revisions and git commits read back with unzip.
#include "state/ArchiveNames.h"
#include "state/RunOutputs.h"
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// Records the folders it is asked to zip; fails when told to.
struct RecordingZip : ArchiveZipClient {
    QList<std::pair<QString, QString>> calls;
    std::optional<SVNCommandResult> failure;

    QCoro::Task<SVNCommandResult> zipDirectoryKeepingParent(QString source, QString destination) override
    {
        calls.push_back({source, destination});
        if (failure)
            throw SVNClientError::commandFailed(*failure);
        SVNCommandResult result = okResult(QString());
        result.commandLine = "zip " + destination;
        co_return result;
    }
};

struct ArchiveFixture : ::testing::Test {
    Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;
    FakeClients fakes;
    RecordingZip *zip = nullptr;
    QString temporaryRoot = sandbox.filePath("tmp");
    QByteArray oldTemporary = qgetenv("TMPDIR");

    void SetUp() override
    {
        QDir().mkpath(temporaryRoot);
        qputenv("TMPDIR", QFile::encodeName(temporaryRoot));
    }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
        qputenv("TMPDIR", oldTemporary);
    }

    void makeState(const Project &project, const LogEntry &entry, bool realTools = false)
    {
        ProjectStore(&settings).save({project});
        AppClients clients = realTools ? AppClients::real(&settings) : fakes.make();
        if (!realTools) {
            auto recording = std::make_unique<RecordingZip>();
            zip = recording.get();
            clients.archiveZip = std::move(recording);
        }
        state = std::make_unique<AppState>(&settings, std::move(clients));
        state->setDialogs(&dialogs);
        state->setArchiveEntries({entry});
        state->setSelectedArchiveEntryID(entry.revision);
    }

    void archiveTo(const QString &chosen)
    {
        dialogs.savePanelAnswers.push_back(chosen);
        state->createArchiveZip();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    QStringList temporaryFolders() const
    {
        return QDir(temporaryRoot).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QStringList leftovers(const QString &pattern) const
    {
        return QDir(sandbox.path()).entryList({pattern}, QDir::Files | QDir::Hidden);
    }
    QString alertText() const { return state->alert() ? state->alert()->title + " / " + state->alert()->message : ""; }
};

LogEntry svnEntry(qint64 revision)
{
    LogEntry entry;
    entry.revision = revision;
    return entry;
}

LogEntry gitEntry(const std::optional<QString> &hash)
{
    LogEntry entry;
    entry.revision = 1000000;
    entry.commitHash = hash;
    return entry;
}

} // namespace

TEST(ArchiveNames, RootNamesAndDestinations)
{
    EXPECT_EQ(archiveNameComponent("My Project"), "My-Project");
    EXPECT_EQ(archiveNameComponent("  ..weird//name.. "), "weird-name");
    EXPECT_EQ(archiveNameComponent("a -b"), "a--b");
    EXPECT_EQ(archiveNameComponent(QString::fromUtf8("Cafe\xCC\x81")), "Caf");
    EXPECT_EQ(archiveNameComponent(QString::fromUtf8("日本")), "Archive");
    EXPECT_EQ(archiveNameComponent("-.-"), "Archive");
    const Project app{QUuid::createUuid(), "App", "/x", RepositoryKind::git};
    EXPECT_EQ(archiveRootName(app, gitEntry("a1b2c3d4e5f6")), "App-a1b2c3d");
    EXPECT_EQ(archiveRootName(app, gitEntry(QString(""))), "App-Archive");
    EXPECT_EQ(archiveRootName(app, svnEntry(7)), "App-r7");
    EXPECT_EQ(normalizedZipDestination("/d/out"), "/d/out.zip");
    EXPECT_EQ(normalizedZipDestination("/d/out.ZIP"), "/d/out.ZIP");
    EXPECT_EQ(normalizedZipDestination("/d/out.tar"), "/d/out.tar.zip");
    // A leading dot starts no extension: ".zip" is a name, not a zip extension.
    EXPECT_EQ(normalizedZipDestination("/d/.zip"), "/d/.zip.zip");
    EXPECT_EQ(normalizedZipDestination("/d/.Zip"), "/d/.Zip.zip");
    EXPECT_EQ(normalizedZipDestination("/d.zip/out"), "/d.zip/out.zip");
    const CommandOutput output = archiveOutput("T", "c", 3, {" \n", "one\n", "two"}, {"", "\n"});
    EXPECT_EQ(output.stdout, "one\n\ntwo");
    EXPECT_EQ(output.stderr, "");
    EXPECT_EQ(output.status, 3);
}

TEST_F(ArchiveFixture, SvnRevisionIsExportedIntoAPrivateFolderThatIsRemovedAfterwards)
{
    const Project project{QUuid::createUuid(), "My Project", sandbox.filePath("wc"), RepositoryKind::svn};
    makeState(project, svnEntry(42));
    RepositoryInfo info;
    info.url = "file:///repo/trunk";
    state->setRepositoryInfo(info);
    QFile::Permissions exportParentPermissions;
    fakes.svn->responder = [&](const FakeCall &call) {
        exportParentPermissions = QFileInfo(QFileInfo(call.arguments.last()).path()).permissions();
        return okResult("A  file\n");
    };
    archiveTo(sandbox.filePath("out"));

    ASSERT_EQ(dialogs.savePanels.size(), 1);
    EXPECT_EQ(dialogs.savePanels[0].title, "Create Archive Zip");
    EXPECT_EQ(dialogs.savePanels[0].prompt, "Create Zip");
    EXPECT_EQ(dialogs.savePanels[0].nameFieldValue, "My-Project-r42.zip");
    EXPECT_TRUE(dialogs.savePanels[0].canCreateDirectories);

    ASSERT_EQ(fakes.svn->calls.size(), 1);
    const QStringList arguments = fakes.svn->calls[0].arguments;
    ASSERT_EQ(arguments.size(), 6);
    EXPECT_EQ(arguments.first(5), QStringList({"export", "--force", "-r", "42", "file:///repo/trunk@42"}));
    EXPECT_TRUE(QRegularExpression(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(temporaryRoot)
            + "/KorvelSVN-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/My-Project-r42"))
                    .match(arguments[5])
                    .hasMatch())
        << arguments[5].toStdString();
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, project.path);
    EXPECT_EQ(exportParentPermissions,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser | QFileDevice::ExeUser);
    ASSERT_EQ(zip->calls.size(), 1);
    EXPECT_EQ(zip->calls[0], std::make_pair(arguments[5], sandbox.filePath("out.zip")));
    EXPECT_TRUE(temporaryFolders().isEmpty());

    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "Create Archive Zip");
    EXPECT_TRUE(state->commandOutput()->commandLine.endsWith("\nzip " + sandbox.filePath("out.zip")));
    EXPECT_EQ(state->commandOutput()->stdout, "A  file\n\nCreated " + sandbox.filePath("out.zip"));
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());
}

TEST_F(ArchiveFixture, SvnFailuresRemoveTheFolderBeforeTheAlert)
{
    const Project project{QUuid::createUuid(), "P", sandbox.filePath("wc"), RepositoryKind::svn};
    makeState(project, svnEntry(3));
    // No known URL: svn info is asked once.
    fakes.svn->responder = [&](const FakeCall &call) {
        if (call.arguments.value(0) == "info")
            return okResult("<?xml version=\"1.0\"?><info><entry path=\".\" revision=\"3\" kind=\"dir\">"
                            "<url>file:///r</url></entry></info>");
        EXPECT_EQ(temporaryFolders().size(), 1);
        return failedResult(1, "svn: E160006: No such revision 3\n");
    };
    const QMetaObject::Connection watch = QObject::connect(state.get(), &AppState::changed, [&] {
        if (state->alert()) {
            EXPECT_TRUE(temporaryFolders().isEmpty());
        }
    });
    archiveTo(sandbox.filePath("out.zip"));
    QObject::disconnect(watch);
    EXPECT_EQ(fakes.svn->argumentLists().value(0), QStringList({"info", "--xml"}));
    EXPECT_EQ(fakes.svn->argumentLists().value(1).value(4), "file:///r@3");
    EXPECT_EQ(alertText(), "Create Archive Zip Failed / svn: E160006: No such revision 3\n");
    EXPECT_EQ(state->commandOutput()->title, "Create Archive Zip Failed");
    EXPECT_TRUE(zip->calls.isEmpty());
    EXPECT_TRUE(temporaryFolders().isEmpty());
    EXPECT_FALSE(state->busyMessage());

    fakes.svn->responder = [](const FakeCall &) { return okResult(QString()); };
    zip->failure = failedResult(2, "zip error: Nothing to do!\n");
    state->setRepositoryInfo(RepositoryInfo{.url = "file:///r"});
    archiveTo(sandbox.filePath("out.zip"));
    EXPECT_EQ(alertText(), "Create Archive Zip Failed / zip error: Nothing to do!\n");
    EXPECT_TRUE(temporaryFolders().isEmpty());

    // Info names no URL.
    state->setRepositoryInfo(RepositoryInfo());
    archiveTo(sandbox.filePath("out.zip"));
    EXPECT_EQ(alertText(),
        "Create Archive Zip Failed / Could not determine the SVN repository URL for " + project.path + ".");
}

TEST_F(ArchiveFixture, GitCommitIsWrittenBesideTheDestinationAndMovedOverIt)
{
    const Project project{QUuid::createUuid(), "App", sandbox.filePath("repo"), RepositoryKind::git};
    const QString hash = "a1b2c3d4e5f60718293a4b5c6d7e8f9012345678";
    makeState(project, gitEntry(hash));
    const QString destination = sandbox.filePath("App.zip");
    writeFile(destination, "previous");
    fakes.git->responder = [](const FakeCall &call) {
        writeFile(call.arguments[3], "zip bytes");
        return okResult(QString());
    };
    archiveTo(destination);
    EXPECT_TRUE(dialogs.confirmations.isEmpty());
    EXPECT_EQ(dialogs.savePanels[0].nameFieldValue, "App-a1b2c3d.zip");
    ASSERT_EQ(fakes.git->calls.size(), 1);
    const QStringList arguments = fakes.git->calls[0].arguments;
    ASSERT_EQ(arguments.size(), 6);
    EXPECT_EQ(arguments.first(3), QStringList({"archive", "--format=zip", "--output"}));
    EXPECT_EQ(QFileInfo(arguments[3]).path(), sandbox.path());
    EXPECT_NE(arguments[3], destination);
    EXPECT_EQ(arguments.last(2), QStringList({"--prefix=App-a1b2c3d/", hash}));
    EXPECT_EQ(readFile(destination), "zip bytes");
    EXPECT_FALSE(QFileInfo::exists(arguments[3]));
    EXPECT_EQ(state->commandOutput()->stdout, "Created " + destination);

    // A failed run leaves the user's file as it was and no partial file beside it.
    fakes.git->responder = [](const FakeCall &call) {
        writeFile(call.arguments[3], "partial");
        return failedResult(128, "fatal: not a valid object name\n");
    };
    archiveTo(destination);
    EXPECT_EQ(alertText(), "Create Archive Zip Failed / fatal: not a valid object name\n");
    EXPECT_EQ(readFile(destination), "zip bytes");
    EXPECT_TRUE(leftovers(".App.zip*").isEmpty());
}

TEST_F(ArchiveFixture, GitEntryWithoutHashAlertsWithoutRunningAnything)
{
    const Project project{QUuid::createUuid(), "App", sandbox.filePath("repo"), RepositoryKind::git};
    makeState(project, gitEntry(QString("")));
    archiveTo(sandbox.filePath("x.zip"));
    EXPECT_EQ(dialogs.savePanels[0].nameFieldValue, "App-Archive.zip");
    EXPECT_EQ(
        alertText(), "Create Archive Zip Failed / The selected archive entry does not include a Git commit hash.");
    EXPECT_TRUE(fakes.git->calls.isEmpty());
    EXPECT_FALSE(state->commandOutput());
}

TEST_F(ArchiveFixture, AppendedExtensionAsksBeforeReplacingAFile)
{
    const Project project{QUuid::createUuid(), "P", sandbox.filePath("wc"), RepositoryKind::svn};
    makeState(project, svnEntry(1));
    state->setRepositoryInfo(RepositoryInfo{.url = "file:///r"});
    writeFile(sandbox.filePath("snapshot.zip"), "keep");
    dialogs.confirmAnswers.push_back(false);
    archiveTo(sandbox.filePath("snapshot"));
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(
        dialogs.confirmations[0], std::make_pair(QString("Create Archive Zip"), QString("Replace snapshot.zip?")));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());

    // Cancelling the panel, or a missing entry, shows nothing or the entry alert.
    state->createArchiveZip();
    EXPECT_FALSE(state->busyMessage());
    EXPECT_FALSE(state->alert());
    state->setSelectedArchiveEntryID(std::nullopt);
    state->createArchiveZip();
    EXPECT_EQ(alertText(), "No Archive Selected / Select a revision or commit in Archives first.");
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(ArchiveFixture, RealSvnRevisionZipsToOneTopFolderWithLinksKept)
{
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    writeFile(svn.workingCopy + "/a.txt", "alpha\n");
    writeFile(svn.workingCopy + "/sub dir/b.txt", "beta\n");
    ASSERT_TRUE(QFile::link("a.txt", svn.workingCopy + "/link"));
    svn.commitAll();
    writeFile(svn.workingCopy + "/a.txt", "changed later\n");
    svn.commitAll();
    makeState({QUuid::createUuid(), "My Project", svn.workingCopy, RepositoryKind::svn}, svnEntry(1), true);

    const QString destination = sandbox.filePath("out/snap.zip");
    QDir().mkpath(sandbox.filePath("out"));
    archiveTo(sandbox.filePath("out/snap"));
    ASSERT_FALSE(state->alert()) << alertText().toStdString();
    const QStringList entries
        = QString::fromUtf8(runTool("unzip", {"-Z1", destination})).split('\n', Qt::SkipEmptyParts);
    for (const QString &entry : entries)
        EXPECT_TRUE(entry.startsWith("My-Project-r1/")) << entry.toStdString();
    EXPECT_TRUE(entries.contains("My-Project-r1/sub dir/b.txt"));
    EXPECT_EQ(runTool("unzip", {"-p", destination, "My-Project-r1/a.txt"}), "alpha\n");
    EXPECT_TRUE(runTool("unzip", {"-Z", destination, "My-Project-r1/link"}).startsWith("l"));
    EXPECT_EQ(runTool("unzip", {"-p", destination, "My-Project-r1/link"}), "a.txt");
    EXPECT_TRUE(temporaryFolders().isEmpty());
    EXPECT_TRUE(state->commandOutput()->stdout.endsWith("Created " + destination));

    // A revision that does not exist: svn's message, and the folder is gone.
    state->setArchiveEntries({svnEntry(99)});
    state->setSelectedArchiveEntryID(99);
    archiveTo(destination);
    EXPECT_TRUE(alertText().startsWith("Create Archive Zip Failed / svn: E")) << alertText().toStdString();
    EXPECT_TRUE(temporaryFolders().isEmpty());
    EXPECT_EQ(runTool("unzip", {"-p", destination, "My-Project-r1/a.txt"}), "alpha\n");
}

TEST_F(ArchiveFixture, RealSvnRevisionFromBeforeTheBranchWasMadeZipsWhatTheBranchCameFrom)
{
    const SvnFixture svn = SvnFixture::create(sandbox.filePath("svn"));
    svn.svn({"mkdir", "-q", "trunk", "branches"});
    svn.svn({"commit", "-q", "-m", "layout"});
    writeFile(svn.workingCopy + "/trunk/a.txt", "trunk at r2\n");
    svn.commitAll();
    writeFile(svn.workingCopy + "/trunk/a.txt", "trunk at r3\n");
    svn.commitAll();
    svn.svn({"copy", "-q", "-m", "branch", svn.repositoryUrl + "/trunk", svn.repositoryUrl + "/branches/feature"});
    const QString feature = sandbox.filePath("feature");
    runTool("svn", {"checkout", "-q", svn.repositoryUrl + "/branches/feature", feature});
    ASSERT_TRUE(runTool("svn", {"log", "-q"}, feature).contains("r2 |")) << "the branch's log lists r2";
    makeState({QUuid::createUuid(), "Feature", feature, RepositoryKind::svn}, svnEntry(2), true);

    // The working copy's URL as loaded, and again as the job asks svn for it.
    state->refreshAll();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->repositoryInfo().url);
    for (const bool known : {true, false}) {
        if (!known)
            state->setRepositoryInfo(RepositoryInfo());
        const QString destination = sandbox.filePath(known ? "known.zip" : "asked.zip");
        archiveTo(destination);
        ASSERT_FALSE(state->alert()) << alertText().toStdString();
        EXPECT_EQ(runTool("unzip", {"-p", destination, "Feature-r2/a.txt"}), "trunk at r2\n");
    }
    EXPECT_TRUE(temporaryFolders().isEmpty());
}

TEST_F(ArchiveFixture, RealGitCommitZipsToOneTopFolderWithLinksKept)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    writeFile(git.path + "/a.txt", "alpha\n");
    ASSERT_TRUE(QFile::link("a.txt", git.path + "/link"));
    git.commitAll();
    const QString hash = QString::fromUtf8(git.git({"rev-parse", "HEAD"})).trimmed();
    writeFile(git.path + "/a.txt", "later\n");
    git.commitAll();
    makeState({QUuid::createUuid(), "App", git.path, RepositoryKind::git}, gitEntry(hash), true);

    const QString destination = sandbox.filePath("App.zip");
    archiveTo(destination);
    ASSERT_FALSE(state->alert()) << alertText().toStdString();
    const QString prefix = "App-" + hash.left(7) + "/";
    const QStringList entries
        = QString::fromUtf8(runTool("unzip", {"-Z1", destination})).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(entries, QStringList({prefix, prefix + "a.txt", prefix + "link"}));
    EXPECT_EQ(runTool("unzip", {"-p", destination, prefix + "a.txt"}), "alpha\n");
    EXPECT_TRUE(runTool("unzip", {"-Z", destination, prefix + "link"}).startsWith("l"));

    state->setArchiveEntries({gitEntry(QString(40, u'0'))});
    archiveTo(destination);
    EXPECT_TRUE(alertText().startsWith("Create Archive Zip Failed / fatal:")) << alertText().toStdString();
    EXPECT_EQ(runTool("unzip", {"-p", destination, prefix + "a.txt"}), "alpha\n");
    EXPECT_TRUE(leftovers(".App.zip*").isEmpty());
}
