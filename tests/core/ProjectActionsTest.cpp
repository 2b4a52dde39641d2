// Adding and removing projects: the panel, the detection order, the stored list and the selection.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QString infoXml(const QString &root)
{
    return QStringLiteral("<?xml version=\"1.0\"?><info><entry path=\".\" revision=\"3\" kind=\"dir\">"
                          "<url>file:///repo/trunk</url><relative-url>^/trunk</relative-url>"
                          "<wc-info><wcroot-abspath>%1</wcroot-abspath></wc-info></entry></info>")
        .arg(root);
}

const QString emptyStatus = QStringLiteral("<?xml version=\"1.0\"?><status><target path=\".\"></target></status>");

QStringList names(const QList<Project> &projects)
{
    QStringList list;
    for (const Project &project : projects)
        list << project.name;
    return list;
}

struct ProjectsFixture : FakeStateFixture {
    // Folders svn and git claim, by the folder asked about, with the root each reports.
    QHash<QString, QString> svnRoots;
    QHash<QString, QString> gitRoots;

    void makeState(const QList<Project> &projects)
    {
        FakeStateFixture::makeState(projects);
        fakes.svn->responder = [this](const FakeCall &call) {
            if (call.arguments.value(0) == "info") {
                if (!svnRoots.contains(call.workingDirectory))
                    return failedResult(1, "svn: E155007: '" + call.workingDirectory + "' is not a working copy\n");
                return okResult(infoXml(svnRoots.value(call.workingDirectory)));
            }
            if (call.arguments.value(0) == "status")
                return okResult(emptyStatus);
            return okResult(QString());
        };
        fakes.git->responder = [this](const FakeCall &call) {
            if (call.arguments == QStringList{"rev-parse", "--show-toplevel"}) {
                if (!gitRoots.contains(call.workingDirectory))
                    return failedResult(128, "fatal: not a git repository\n");
                return okResult(gitRoots.value(call.workingDirectory) + "\n");
            }
            return okResult(QString());
        };
    }

    QList<Project> stored() { return ProjectStore(&settings).load(); }
};

} // namespace

TEST_F(ProjectsFixture, AddingASubfolderOfAWorkingCopyAddsItsRootSortedSavedAndSelected)
{
    const Project alpha{QUuid::createUuid(), "Alpha", "/work/Alpha", RepositoryKind::svn};
    const Project ten{QUuid::createUuid(), "Project 10", "/work/Project 10", RepositoryKind::git};
    makeState({alpha, ten});
    svnRoots.insert("/work/project 2/src/lib", "/work/project 2");
    svnRoots.insert("/work/project 2", "/work/project 2");
    dialogs.openPanelAnswers.push_back("/work/project 2/src/lib");
    fakes.svn->holdRuns = true;

    state->addExistingWorkingCopy();
    ASSERT_EQ(dialogs.openPanels.size(), 1);
    EXPECT_EQ(dialogs.openPanels[0].title, "Add Working Copy");
    EXPECT_FALSE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_TRUE(dialogs.openPanels[0].canChooseDirectories);
    EXPECT_FALSE(dialogs.openPanels[0].canCreateDirectories);
    EXPECT_EQ(dialogs.broughtToFront, 0);

    ASSERT_TRUE(waitFor([&] { return fakes.svn->heldCount() == 1; }));
    EXPECT_EQ(state->busyMessage(), "Checking project");
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"info", "--xml"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/project 2/src/lib");
    fakes.svn->holdRuns = false;
    fakes.svn->release(0);
    ASSERT_TRUE(waitFor([&] { return state->projects().size() == 3; }));

    EXPECT_EQ(names(state->projects()), QStringList({"Alpha", "project 2", "Project 10"}));
    const Project added = state->projects()[1];
    EXPECT_EQ(added.path, "/work/project 2");
    EXPECT_EQ(added.kind, RepositoryKind::svn);
    EXPECT_EQ(state->selectedProjectID(), added.id);
    EXPECT_TRUE(fakes.git->calls.isEmpty()) << "svn claimed the folder; git is not asked";
    EXPECT_EQ(dialogs.rememberedFolders, QStringList({"/work"})) << "the next panel opens beside the project";
    // The refresh of the new selection ran in its folder.
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(stored(), state->projects());
    EXPECT_EQ(fakes.svn->calls.last().workingDirectory, "/work/project 2");
    EXPECT_FALSE(state->alert());
}

TEST_F(ProjectsFixture, AFolderOnlyGitClaimsBecomesAGitProjectAtItsTopLevel)
{
    makeState({});
    gitRoots.insert("/work/tool/docs", "/work/tool");
    dialogs.openPanelAnswers.push_back("/work/tool/docs");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->projects().size(), 1);
    EXPECT_EQ(state->projects()[0].name, "tool");
    EXPECT_EQ(state->projects()[0].path, "/work/tool");
    EXPECT_EQ(state->projects()[0].kind, RepositoryKind::git);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"info", "--xml"}));
    EXPECT_EQ(fakes.git->calls[0].arguments, QStringList({"rev-parse", "--show-toplevel"}));
    EXPECT_EQ(fakes.git->calls[0].workingDirectory, "/work/tool/docs");
}

TEST_F(ProjectsFixture, AFolderNoToolClaimsAlertsWithTheChosenPathAndAddsNothing)
{
    const Project alpha{QUuid::createUuid(), "Alpha", "/work/Alpha", RepositoryKind::svn};
    makeState({alpha});
    dialogs.openPanelAnswers.push_back("/work/plain/sub");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Could Not Add Project");
    EXPECT_EQ(state->alert()->message, "No SVN working copy or Git repository was found at /work/plain/sub.");
    EXPECT_FALSE(state->commandOutput()) << "the dropped tool failures show no output";
    EXPECT_FALSE(state->busyMessage());
    EXPECT_EQ(state->projects(), QList<Project>({alpha}));
    EXPECT_EQ(state->selectedProjectID(), alpha.id);
}

TEST_F(ProjectsFixture, AListedRootIsReusedWithItsKindUpdatedWhileATrailingSlashIsNotAMatch)
{
    const Project zed{QUuid::createUuid(), "zed", "/work/zed", RepositoryKind::svn};
    const Project alpha{QUuid::createUuid(), "alpha", "/work/alpha", RepositoryKind::svn};
    const Project slash{QUuid::createUuid(), "beta", "/work/beta/", RepositoryKind::svn};
    // Unsorted on purpose: reusing a project does not sort the list.
    makeState({zed, alpha, slash});
    gitRoots.insert("/work/alpha", "/work/alpha");
    dialogs.openPanelAnswers.push_back("/work/alpha");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->projects().size(), 3);
    EXPECT_EQ(names(state->projects()), QStringList({"zed", "alpha", "beta"}));
    EXPECT_EQ(state->projects()[1].kind, RepositoryKind::git);
    EXPECT_EQ(state->projects()[1].id, alpha.id);
    EXPECT_EQ(state->selectedProjectID(), alpha.id);
    EXPECT_EQ(stored(), state->projects());

    // Same kind again, the stored list emptied meanwhile (by another copy): only this folder is listed
    // there again.
    settings.sync();
    settings.remove("KorvelSVN.projects");
    settings.sync();
    dialogs.openPanelAnswers.push_back("/work/alpha");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(stored(), QList<Project>({state->projects()[1]}));
    EXPECT_EQ(state->projects().size(), 3);

    svnRoots.insert("/work/beta/", "/work/beta/.");
    dialogs.openPanelAnswers.push_back("/work/beta/");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(state->projects().size(), 4);
    EXPECT_EQ(names(state->projects()), QStringList({"alpha", "beta", "beta", "zed"}));
    EXPECT_EQ(state->selectedProject()->path, "/work/beta");
}

TEST_F(ProjectsFixture, ACancelledPanelStartsNothing)
{
    makeState({});
    state->addExistingWorkingCopy();
    dialogs.openPanelAnswers.push_back(QString());
    state->addExistingWorkingCopy();
    EXPECT_EQ(state->runningTasks(), 0);
    EXPECT_EQ(dialogs.openPanels.size(), 2);
}

TEST_F(ProjectsFixture, RemovingAsksFirstThenSavesAndSelectsTheNewFirst)
{
    const Project a{QUuid::createUuid(), "A", "/work/a", RepositoryKind::svn};
    const Project b{QUuid::createUuid(), "B", "/work/b", RepositoryKind::svn};
    const Project c{QUuid::createUuid(), "C", "/work/c", RepositoryKind::git};
    makeState({a, b, c});

    dialogs.confirmAnswers.push_back(false);
    state->removeSelectedProject();
    ASSERT_EQ(dialogs.confirmations.size(), 1);
    EXPECT_EQ(dialogs.confirmations[0].first, "Remove Project");
    EXPECT_EQ(dialogs.confirmations[0].second,
        "Remove A from the project list? The working copy on disk will not be deleted.");
    EXPECT_EQ(dialogs.broughtToFront, 1);
    EXPECT_EQ(state->projects().size(), 3);
    EXPECT_EQ(state->runningTasks(), 0);

    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    EXPECT_EQ(state->projects(), QList<Project>({b, c}));
    EXPECT_EQ(state->selectedProjectID(), b.id);
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(stored(), QList<Project>({b, c}));
    EXPECT_EQ(fakes.svn->calls.last().workingDirectory, "/work/b");

    // Removing a later project still selects the first, not a neighbour.
    state->setSelectedProjectID(c.id);
    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    EXPECT_EQ(state->selectedProjectID(), b.id);

    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->projects().isEmpty());
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_FALSE(state->selectedProjectID());

    // Nothing selected: no question at all.
    state->removeSelectedProject();
    EXPECT_EQ(dialogs.confirmations.size(), 4);
}

// One entry that does not read among thousands: the rest are listed, one alert counts what is left
// out, and the stored list is kept whole before the first save replaces it.
TEST_F(ProjectsFixture, AnUnreadableEntryIsLeftOutAlertedAndKeptWithTheWholeList)
{
    QList<Project> projects;
    for (int i = 0; i < 5000; ++i)
        projects.push_back(Project{QUuid::createUuid(), QString::number(i), "/work/" + QString::number(i)});
    QByteArray bytes = ProjectStore::encode(projects);
    const QByteArray id = uuidText(projects[2500].id).toUtf8();
    ASSERT_EQ(bytes.count(id), 1);
    bytes.replace(id, "not-an-id");
    settings.setValue("KorvelSVN.projects", bytes);
    settings.sync();
    state = std::make_unique<AppState>(&settings, fakes.make());
    state->setDialogs(&dialogs);

    projects.removeAt(2500);
    EXPECT_EQ(state->projects(), projects);
    EXPECT_EQ(state->selectedProjectID(), projects[0].id);
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Projects Not Read");
    EXPECT_EQ(state->alert()->message,
        "1 saved project(s) could not be read and are not listed. The whole saved list is kept as "
        "\"KorvelSVN.projects.unreadable\" in "
            + settings.fileName() + ".");

    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    ASSERT_TRUE(waitUntilIdle(*state));
    projects.removeFirst();
    EXPECT_EQ(stored(), projects);
    settings.sync();
    EXPECT_EQ(settings.value("KorvelSVN.projects.unreadable").toByteArray(), bytes);
}

// A list that does not read at all: no project, and the same alert, naming where the list is kept.
TEST_F(ProjectsFixture, AWholeListThatDoesNotReadIsAlertedWithItsBackup)
{
    const QByteArray cut = R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","pa)";
    settings.setValue("KorvelSVN.projects", cut);
    settings.sync();
    state = std::make_unique<AppState>(&settings, fakes.make());
    EXPECT_TRUE(state->projects().isEmpty());
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Projects Not Read");
    EXPECT_EQ(state->alert()->message,
        "The saved project list could not be read, so no project is listed. It is kept as "
        "\"KorvelSVN.projects.unreadable\" in "
            + settings.fileName() + ".");
    QSettings reread(settings.fileName(), QSettings::IniFormat);
    EXPECT_EQ(reread.value("KorvelSVN.projects.unreadable").toByteArray(), cut);
}

// The settings file gives way to a folder of the same name: an addition is shown and selected all the
// same, and the alert names the file.
TEST_F(ProjectsFixture, AListThatCannotBeSavedIsAlertedAndStaysShown)
{
    const Project alpha{QUuid::createUuid(), "alpha", "/work/alpha", RepositoryKind::svn};
    makeState({alpha});
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_TRUE(QFile::remove(settings.fileName()));
    ASSERT_TRUE(QDir().mkpath(settings.fileName()));
    svnRoots.insert("/work/beta", "/work/beta");
    dialogs.openPanelAnswers.push_back("/work/beta");
    state->addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(names(state->projects()), QStringList({"alpha", "beta"}));
    EXPECT_EQ(state->selectedProject()->path, "/work/beta");
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Projects Not Saved");
    EXPECT_TRUE(
        state->alert()->message.startsWith("The project list could not be saved in " + settings.fileName() + ": "))
        << state->alert()->message.toStdString();
    EXPECT_TRUE(state->alert()->message.endsWith(". The projects shown stay listed until the program quits."));
    EXPECT_TRUE(QFileInfo(settings.fileName()).isDir());
}

// Two copies of the program over one settings file, with the real tools: each keeps what the other
// added or removed, and a copy started later shows both.
TEST(ProjectActionsReal, TwoRunningCopiesKeepEachOthersProjects)
{
    Sandbox sandbox;
    const SvnFixture one = SvnFixture::create(sandbox.path(), "one");
    const GitFixture two = GitFixture::create(sandbox.path(), "two");
    const SvnFixture three = SvnFixture::create(sandbox.filePath("more"), "three");
    const QString file = sandbox.filePath("settings.ini");
    struct Copy {
        explicit Copy(const QString &file) : settings(file, QSettings::IniFormat) { state.setDialogs(&dialogs); }
        QSettings settings;
        ScriptedDialogs dialogs;
        AppState state{&settings};
        void add(const QString &folder)
        {
            dialogs.openPanelAnswers.push_back(folder);
            state.addExistingWorkingCopy();
            ASSERT_TRUE(waitUntilIdle(state));
            ASSERT_FALSE(state.alert()) << state.alert()->message.toStdString();
        }
    };
    const auto stored = [&] {
        QSettings reread(file, QSettings::IniFormat);
        return names(ProjectStore(&reread).load());
    };
    Copy a(file);
    Copy b(file);
    a.add(one.workingCopy);
    b.add(two.path);
    EXPECT_EQ(stored(), QStringList({"one", "two"}));
    EXPECT_EQ(names(b.state.projects()), QStringList({"two"})) << "the other's addition shows at the next start";

    Copy c(file);
    EXPECT_EQ(names(c.state.projects()), QStringList({"one", "two"}));
    c.dialogs.confirmAnswers.push_back(true);
    c.state.removeSelectedProject();
    ASSERT_TRUE(waitUntilIdle(c.state));
    a.add(three.workingCopy);
    EXPECT_EQ(names(a.state.projects()), QStringList({"one", "three"}));
    EXPECT_EQ(stored(), QStringList({"three", "two"})) << "a removal in another copy is not undone";
}

// With the real tools: a subfolder of a checkout, a folder inside a Git repository, a plain folder.
TEST(ProjectActionsReal, AddsRootsOfRealRepositoriesKeepsTheListSortedAndRemovesWithoutTouchingDisk)
{
    Sandbox sandbox;
    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const SvnFixture svn = SvnFixture::create(sandbox.path(), "Project 10");
    writeFile(svn.workingCopy + "/src/main.c", "int main;\n");
    svn.commitAll();
    const GitFixture git = GitFixture::create(sandbox.path(), "project 2");
    writeFile(git.path + "/docs/readme.txt", "hello\n");
    git.commitAll();
    QDir().mkpath(sandbox.filePath("Alpha"));

    AppState state(&settings);
    ScriptedDialogs dialogs;
    state.setDialogs(&dialogs);
    dialogs.openPanelAnswers.push_back(svn.workingCopy + "/src");
    state.addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(state));
    dialogs.openPanelAnswers.push_back(git.path + "/docs");
    state.addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(state));
    dialogs.openPanelAnswers.push_back(sandbox.filePath("Alpha"));
    state.addExistingWorkingCopy();
    ASSERT_TRUE(waitUntilIdle(state));

    ASSERT_TRUE(state.alert());
    EXPECT_EQ(state.alert()->message,
        "No SVN working copy or Git repository was found at " + sandbox.filePath("Alpha") + ".");
    ASSERT_EQ(state.projects().size(), 2);
    EXPECT_EQ(names(state.projects()), QStringList({"project 2", "Project 10"}));
    EXPECT_EQ(state.projects()[0].kind, RepositoryKind::git);
    EXPECT_EQ(state.projects()[0].path, QDir(git.path).canonicalPath());
    EXPECT_EQ(state.projects()[1].kind, RepositoryKind::svn);
    EXPECT_EQ(state.projects()[1].path, svn.workingCopy);
    EXPECT_EQ(ProjectStore(&settings).load(), state.projects());

    // A second state reads the same sorted list back.
    AppState reread(&settings);
    EXPECT_EQ(reread.projects(), state.projects());

    state.setSelectedProjectID(state.projects()[1].id);
    dialogs.confirmAnswers.push_back(true);
    state.removeSelectedProject();
    ASSERT_TRUE(waitUntilIdle(state));
    EXPECT_EQ(names(ProjectStore(&settings).load()), QStringList({"project 2"}));
    EXPECT_TRUE(QFileInfo::exists(svn.workingCopy + "/src/main.c"));
    EXPECT_TRUE(QFileInfo::exists(svn.workingCopy + "/.svn"));
}
