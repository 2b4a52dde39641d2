#include "state/ProjectStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    qsizetype unreadable = 0;
    const QList<Project> loaded = store.load(&unreadable);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0].name, "A");
    EXPECT_EQ(loaded[1].name, "C");
    EXPECT_EQ(unreadable, 1);

    store.save(loaded);
    EXPECT_EQ(store.load(&unreadable), loaded);
    EXPECT_EQ(unreadable, 0);
    EXPECT_EQ(settings.value("KorvelSVN.projects.unreadable").toByteArray(), threeWithBadKind);
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
