#include "state/ProjectStore.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

using namespace TestSupport;

namespace {

struct StoreFixture : ::testing::Test {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
    ProjectStore store{&settings};
};

const QByteArray threeWithBadKind
    = R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"/a"},)"
      R"({"id":"7F9619FF-8B86-D011-B42D-00C04FC964FF","name":"B","path":"/b","kind":"hg"},)"
      R"({"id":"8F9619FF-8B86-D011-B42D-00C04FC964FF","name":"C","path":"/c","kind":"git"}])";

} // namespace

TEST_F(StoreFixture, NothingStoredOrNotBytesLoadsEmpty)
{
    EXPECT_TRUE(store.load().isEmpty());
    settings.setValue("KorvelSVN.projects", QStringLiteral("[]"));
    EXPECT_TRUE(store.load().isEmpty());
}

TEST_F(StoreFixture, SaveThenLoadKeepsOrderAndIdentity)
{
    QList<Project> projects = {Project{QUuid::createUuid(), "Zeta", "/z", RepositoryKind::git},
        Project{QUuid::createUuid(), "Alpha", "/path with space", RepositoryKind::svn}};
    store.save(projects);
    EXPECT_EQ(store.load(), projects);

    // A new settings object over the same file reads the same list back.
    QSettings reread(dir.filePath("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(ProjectStore(&reread).load(), projects);

    store.save({});
    EXPECT_EQ(settings.value("KorvelSVN.projects").toByteArray(), "[]");
    EXPECT_TRUE(store.load().isEmpty());
}

TEST_F(StoreFixture, OneBadElementLoadsTheRestAndIsKeptWholeOnSave)
{
    settings.setValue("KorvelSVN.projects", threeWithBadKind);
    ProjectStore::Unreadable unreadable;
    const QList<Project> loaded = store.load(&unreadable);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0].name, "A");
    EXPECT_EQ(loaded[1].name, "C");
    EXPECT_EQ(unreadable.entries, 1);
    EXPECT_FALSE(unreadable.wholeList);
    EXPECT_EQ(unreadable.backupKey, "KorvelSVN.projects.unreadable");

    EXPECT_FALSE(store.save(loaded));
    EXPECT_EQ(store.load(&unreadable), loaded);
    EXPECT_EQ(unreadable.entries, 0);
    EXPECT_TRUE(unreadable.backupKey.isEmpty());
    EXPECT_EQ(settings.value("KorvelSVN.projects.unreadable").toByteArray(), threeWithBadKind);
    EXPECT_FALSE(settings.contains("KorvelSVN.projects.unreadable.2")) << "the same value is kept once";
}

TEST_F(StoreFixture, ReadableListNeedsNoBackup)
{
    store.save({Project{QUuid::createUuid(), "A", "/a", RepositoryKind::svn}});
    store.save({});
    EXPECT_FALSE(settings.contains("KorvelSVN.projects.unreadable"));
}

TEST(ProjectStoreDecode, KindlessObjectsAreSvnAndNonArraysFail)
{
    bool ok = false;
    const auto projects
        = ProjectStore::decode(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"\/a"}])", &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects[0].kind, RepositoryKind::svn);
    EXPECT_EQ(projects[0].path, "/a");
    ProjectStore::decode(R"({"id":"x"})", &ok);
    EXPECT_FALSE(ok);
    ProjectStore::decode("[", &ok);
    EXPECT_FALSE(ok);
}

// The list in the file as QSettings wrote it, cut in the middle; twice, each time after a save of the
// whole list. No copy of the list is ever written over.
TEST_F(StoreFixture, EveryListInASettingsFileCutShortIsKeptUnderANameOfItsOwn)
{
    QList<Project> projects;
    for (int i = 0; i < 4000; ++i)
        projects.push_back(Project{QUuid::createUuid(), QString::number(i), "/p" + QString::number(i),
            i % 2 ? RepositoryKind::git : RepositoryKind::svn});
    const QString path = dir.filePath("settings.ini");
    const QStringList keys{"KorvelSVN.projects.unreadable", "KorvelSVN.projects.unreadable.2"};
    QStringList kept;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        {
            QSettings writer(path, QSettings::IniFormat);
            ProjectStore(&writer).save(projects);
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        file.close();
        const qsizetype start = written.indexOf("KorvelSVN.projects=");
        ASSERT_GE(start, 0) << written.left(200).toStdString();
        const qsizetype end = written.indexOf('\n', start);
        ASSERT_GT(end, start + 100000);
        // The quoted value is closed again, so the lines after it still read.
        qsizetype cut = start + 100000;
        while (written[cut - 1] == '\\')
            --cut;
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(written.left(cut) + '"' + written.mid(end));
        file.close();

        QSettings damaged(path, QSettings::IniFormat);
        ProjectStore reopened(&damaged);
        EXPECT_TRUE(reopened.load().isEmpty());
        const QList<Project> replacement = {Project{QUuid::createUuid(), "New", "/new", RepositoryKind::svn}};
        reopened.save(replacement);
        EXPECT_EQ(reopened.load(), replacement);
        kept.push_back(damaged.value(keys[round]).toString());
        EXPECT_GT(kept.back().size(), 80000);
        EXPECT_TRUE(kept.back().contains(uuidText(projects[0].id))) << kept.back().left(200).toStdString();
        projects.removeFirst();
    }
    QSettings reread(path, QSettings::IniFormat);
    EXPECT_EQ(reread.value(keys[0]).toString(), kept[0]);
    EXPECT_EQ(reread.value(keys[1]).toString(), kept[1]);
    EXPECT_NE(kept[0], kept[1]);
    EXPECT_EQ(ProjectStore(&reread).load().size(), 1);

    reread.setValue("KorvelSVN.projects", QByteArray("[{}]"));
    ProjectStore(&reread).save({});
    EXPECT_EQ(reread.value("KorvelSVN.projects.unreadable.3").toByteArray(), "[{}]");
    EXPECT_EQ(reread.value(keys[0]).toString(), kept[0]);
}

namespace {

Project named(const QString &name)
{
    return Project{QUuid::createUuid(), name, "/work/" + name, RepositoryKind::svn};
}

QStringList names(const QList<Project> &projects)
{
    QStringList list;
    for (const Project &project : projects)
        list << project.name;
    return list;
}

// A running copy of the program: settings of its own over the shared file, and the list it shows.
struct Copy {
    explicit Copy(const QString &file) : settings(file, QSettings::IniFormat) { shown = store.load(); }
    QSettings settings;
    ProjectStore store{&settings};
    QList<Project> shown;

    const Project &entry(const QString &name) const
    {
        return *std::find_if(shown.begin(), shown.end(), [&](const Project &p) { return p.name == name; });
    }
    void change(const ProjectStore::Change &change)
    {
        change(shown);
        EXPECT_FALSE(store.update(change));
    }
    void add(const Project &project)
    {
        change([=](QList<Project> &list) { ProjectStore::add(list, project); });
    }
    void remove(const QString &name)
    {
        const Project project = entry(name);
        change([=](QList<Project> &list) { ProjectStore::remove(list, project); });
    }
    void rename(const QString &name, const QString &renamed)
    {
        const Project project = entry(name);
        Project changed = project;
        changed.name = renamed;
        changed.path = "/work/" + renamed;
        change([=](QList<Project> &list) { ProjectStore::replace(list, project, changed); });
    }
};

} // namespace

// Two copies started over one stored list, each making its own changes in turn: what one added, kept
// or removed is never undone by the other.
TEST(ProjectStoreCopies, EachSaveAppliesOnlyItsOwnChangeToWhatIsStored)
{
    struct Step {
        int copy;
        char action; // a: add, r: remove, n: rename
        QString name;
        QString renamed = {};
    };
    struct Case {
        const char *title;
        QStringList start;
        QList<Step> steps;
        QStringList stored;
    };
    const QList<Case> cases = {
        {"an addition in each", {}, {{0, 'a', "one"}, {1, 'a', "two"}}, {"one", "two"}},
        {"a removal after the other's addition", {"one"}, {{0, 'a', "two"}, {1, 'r', "one"}}, {"two"}},
        {"a rename after the other's addition", {"one"}, {{0, 'a', "two"}, {1, 'n', "one", "uno"}}, {"uno", "two"}},
        {"an addition sorts in the other's", {"b"}, {{0, 'a', "c"}, {1, 'a', "a"}}, {"a", "b", "c"}},
        {"a rename does not bring back what the other removed", {"one", "two"},
            {{0, 'r', "one"}, {1, 'n', "one", "uno"}}, {"two"}},
        {"one folder added in both is listed once and removed by either", {},
            {{0, 'a', "p"}, {1, 'a', "p"}, {1, 'a', "q"}, {1, 'r', "p"}}, {"q"}},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.title);
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.ini");
        QList<Project> start;
        for (const QString &name : row.start)
            start << named(name);
        {
            QSettings settings(file, QSettings::IniFormat);
            ASSERT_FALSE(ProjectStore(&settings).save(start));
        }
        Copy copies[2] = {Copy(file), Copy(file)};
        for (const Step &step : row.steps) {
            Copy &copy = copies[step.copy];
            if (step.action == 'a')
                copy.add(named(step.name));
            else if (step.action == 'r')
                copy.remove(step.name);
            else
                copy.rename(step.name, step.renamed);
        }
        QSettings reread(file, QSettings::IniFormat);
        EXPECT_EQ(names(ProjectStore(&reread).load()), row.stored);
        EXPECT_EQ(names(Copy(file).shown), row.stored) << "a copy started now shows it";
    }
}

// Another process writes the file under settings that read it before: the next save reads it afresh.
TEST_F(StoreFixture, ASaveReadsWhatAnotherProcessWroteMeanwhile)
{
    const Project one = named("one");
    ASSERT_FALSE(store.save({one}));
    ASSERT_EQ(store.load(), QList<Project>({one}));
    const Project two = named("two");
    const QString elsewhere = dir.filePath("elsewhere.ini");
    {
        QSettings written(elsewhere, QSettings::IniFormat);
        ASSERT_FALSE(ProjectStore(&written).save({one, two}));
    }
    QFile file(elsewhere);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    writeFile(dir.filePath("settings.ini"), file.readAll());

    const Project three = named("three");
    ASSERT_FALSE(store.update([&](QList<Project> &list) { ProjectStore::add(list, three); }));
    QSettings reread(dir.filePath("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(ProjectStore(&reread).load(), QList<Project>({one, three, two}));
}

// Settings that cannot be written, as root too: the save says where and why; once the file takes
// writing again, the next save stores its change.
TEST(ProjectStoreUnwritable, AFailedSaveNamesTheFileAndWhy)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("config");
    const QString immutable = dir.filePath("immutable");
    struct Case {
        QString file;
        QString reason;
    };
    QList<Case> cases = {
        {blocker + "/settings.ini", "Not a directory"},
        {"/proc/korvel-settings/settings.ini", "No such file or directory"},
    };
    ASSERT_TRUE(QDir().mkpath(immutable));
    writeFile(immutable + "/settings.ini", "[General]\n");
    if (QProcess::execute("chattr", {"+i", immutable + "/settings.ini"}) == 0)
        cases.push_back({immutable + "/settings.ini", "Operation not permitted"});
    else
        std::cerr << "chattr +i is refused here: the file that takes no writing is left out\n";

    writeFile(blocker, "a file where the settings folder belongs");
    for (const Case &row : cases) {
        SCOPED_TRACE(row.file.toStdString());
        QSettings settings(row.file, QSettings::IniFormat);
        ProjectStore store(&settings);
        const Project one = named("one");
        const std::optional<QString> failure
            = store.update([&](QList<Project> &list) { ProjectStore::add(list, one); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(*failure,
            "The project list could not be saved in " + row.file + ": " + row.reason
                + ". The projects shown stay listed until the program quits.");
    }
    QProcess::execute("chattr", {"-i", immutable + "/settings.ini"});

    // QSettings keeps the first error it met: the same store tells a later save's own outcome.
    QSettings settings(blocker + "/settings.ini", QSettings::IniFormat);
    ProjectStore store(&settings);
    const Project two = named("two");
    const ProjectStore::Change addTwo = [&](QList<Project> &list) { ProjectStore::add(list, two); };
    ASSERT_TRUE(store.update(addTwo));
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_FALSE(store.update(addTwo));
    QSettings reread(blocker + "/settings.ini", QSettings::IniFormat);
    EXPECT_TRUE(names(ProjectStore(&reread).load()).contains("two"));
}

// A stored value that does not read as a list at all: nothing is listed, and the value is kept under
// its backup key at once, once however often it is loaded.
TEST(ProjectStoreUnreadable, AWholeListThatDoesNotReadIsKeptAtOnce)
{
    const QList<std::pair<const char *, QVariant>> cases = {
        {"JSON cut short", QByteArray(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","na)")},
        {"an object, not a list", QByteArray(R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})")},
        {"a settings value cut short", QStringLiteral("@ByteArray([{\"id\":\"6F96")},
    };
    for (const auto &[title, value] : cases) {
        SCOPED_TRACE(title);
        QTemporaryDir dir;
        QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
        settings.setValue("KorvelSVN.projects", value);
        settings.sync();
        for (int load = 0; load < 2; ++load) {
            QSettings reopened(dir.filePath("settings.ini"), QSettings::IniFormat);
            ProjectStore::Unreadable unreadable;
            EXPECT_TRUE(ProjectStore(&reopened).load(&unreadable).isEmpty());
            EXPECT_TRUE(unreadable.wholeList);
            EXPECT_EQ(unreadable.entries, 0);
            EXPECT_EQ(unreadable.backupKey, "KorvelSVN.projects.unreadable");
        }
        QSettings reread(dir.filePath("settings.ini"), QSettings::IniFormat);
        EXPECT_EQ(reread.value("KorvelSVN.projects.unreadable"), value);
        EXPECT_FALSE(reread.contains("KorvelSVN.projects.unreadable.2"));
        EXPECT_EQ(reread.value("KorvelSVN.projects"), value) << "loading writes nothing over the list";
    }
}
