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

TEST_F(StoreFixture, OneBadElementLoadsEmptyButIsKeptOnSave)
{
    settings.setValue("KorvelSVN.projects", threeWithBadKind);
    EXPECT_TRUE(store.load().isEmpty());

    store.save({Project{QUuid::createUuid(), "New", "/new", RepositoryKind::svn}});
    EXPECT_EQ(store.load().size(), 1);
    EXPECT_EQ(settings.value("KorvelSVN.projects.unreadable").toByteArray(), threeWithBadKind);

    // A later unreadable value never overwrites the first copy.
    settings.setValue("KorvelSVN.projects", QByteArray("not json"));
    store.save({});
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

TEST_F(StoreFixture, ListInASettingsFileCutShortIsKeptBeforeTheNextSave)
{
    const QList<Project> projects = {Project{QUuid::createUuid(), "Alpha", "/a", RepositoryKind::svn},
        Project{QUuid::createUuid(), "Beta", "/b", RepositoryKind::git}};
    store.save(projects);
    settings.sync();

    // The file as QSettings wrote it, cut in the middle of the list, as a full disk or a crash leaves it.
    const QString path = dir.filePath("settings.ini");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    const qsizetype start = written.indexOf("@ByteArray(");
    ASSERT_GE(start, 0) << written.toStdString();
    const QByteArray cut = written.left(start + 60);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(cut);
    file.close();

    QSettings damaged(path, QSettings::IniFormat);
    ProjectStore reopened(&damaged);
    EXPECT_TRUE(reopened.load().isEmpty());
    const QList<Project> replacement = {Project{QUuid::createUuid(), "New", "/new", RepositoryKind::svn}};
    reopened.save(replacement);
    EXPECT_EQ(reopened.load(), replacement);
    const QString kept = damaged.value("KorvelSVN.projects.unreadable").toString();
    EXPECT_TRUE(kept.contains(projects[0].id.toString(QUuid::WithoutBraces).toUpper().left(20))) << kept.toStdString();

    // Read back from the file, the copy is still there, and a later save keeps it.
    damaged.sync();
    QSettings reread(path, QSettings::IniFormat);
    EXPECT_EQ(reread.value("KorvelSVN.projects.unreadable").toString(), kept);
    reread.setValue("KorvelSVN.projects", QStringLiteral("garbage"));
    ProjectStore(&reread).save({});
    EXPECT_EQ(reread.value("KorvelSVN.projects.unreadable").toString(), kept);
}
