#include "state/ProjectStore.h"

#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <iostream>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

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
    settings.sync();
    EXPECT_TRUE(store.load().isEmpty());
}

TEST_F(StoreFixture, SaveThenLoadKeepsOrderAndIdentity)
{
    QList<Project> projects = {Project{QUuid::createUuid(), "Zeta", "/z", RepositoryKind::git},
        Project{QUuid::createUuid(), "Alpha", "/path with space", RepositoryKind::svn}};
    ASSERT_FALSE(store.save(projects));
    EXPECT_EQ(store.load(), projects);

    // A new settings object over the same file reads the same list back.
    QSettings reread(dir.filePath("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(ProjectStore(&reread).load(), projects);

    ASSERT_FALSE(store.save({}));
    settings.sync();
    EXPECT_EQ(settings.value("KorvelSVN.projects").toByteArray(), "[]");
    EXPECT_TRUE(store.load().isEmpty());
}

TEST_F(StoreFixture, OneBadElementLoadsTheRestAndIsKeptWholeOnSave)
{
    settings.setValue("KorvelSVN.projects", threeWithBadKind);
    settings.sync();
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
    settings.sync();
    EXPECT_EQ(settings.value("KorvelSVN.projects.unreadable").toByteArray(), threeWithBadKind);
    EXPECT_FALSE(settings.contains("KorvelSVN.projects.unreadable.2")) << "the same value is kept once";
}

TEST_F(StoreFixture, ReadableListNeedsNoBackup)
{
    store.save({Project{QUuid::createUuid(), "A", "/a", RepositoryKind::svn}});
    store.save({});
    settings.sync();
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
        damaged.sync();
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
    reread.sync();
    ProjectStore(&reread).save({});
    reread.sync();
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

// A list as an earlier version stored it loads, and a save rewrites it in the same form, leaving every
// other line of the file as it was, whatever it holds: nothing the store did not write blocks a save.
TEST_F(StoreFixture, AStoredFileLoadsAndASaveKeepsItsFormAndOtherSettings)
{
    const QByteArray head = "[General]\nKorvelSVN.projects=\"@ByteArray([{\\\"id\\\":\\\"6F9619FF-8B86-D011-B42D-"
                            "00C04FC964FF\\\",\\\"kind\\\":\\\"git\\\",\\\"name\\\":\\\"A\\\",\\\"path\\\":\\\"/a\\\"}";
    const QByteArray added = ",{\\\"id\\\":\\\"7F9619FF-8B86-D011-B42D-00C04FC964FF\\\",\\\"kind\\\":\\\"svn\\\","
                             "\\\"name\\\":\\\"B\\\",\\\"path\\\":\\\"/b\\\"}";
    const std::pair<const char *, QByteArray> others[] = {
        {"the svn executable", "KorvelSVN.svnExecutablePath=/opt/svn/bin/svn\n"},
        {"a NaN", "Window.ratio=@Variant(\\0\\0\\0\\x6\\x7f\\xf8\\0\\0\\0\\0\\0\\0)\n"},
        {"a type no one knows, a comment, a list and a section",
            "Window.state=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\vNoSuchType\\0)\n; as written\n[Other]\nlist=a, b\n"},
    };
    for (const auto &[title, other] : others) {
        SCOPED_TRACE(title);
        const QByteArray tail = "])\"\n" + other;
        writeFile(settings.fileName(), head + tail);
        const QList<Project> stored = store.load();
        ASSERT_EQ(stored.size(), 1);
        EXPECT_EQ(stored[0].id, QUuid::fromString(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
        EXPECT_EQ(stored[0].kind, RepositoryKind::git);
        const Project b{QUuid::fromString(QStringLiteral("7F9619FF-8B86-D011-B42D-00C04FC964FF")), "B", "/b"};
        ASSERT_FALSE(store.update([&](QList<Project> &list) { ProjectStore::add(list, b); }));
        EXPECT_EQ(readFile(settings.fileName()), head + added + tail);
    }
}

namespace {

// A value in the file, read by QSettings from a copy of its own: QSettings objects over one path share
// what they read of it.
QVariant storedValue(const QString &file, const QString &key)
{
    QTemporaryDir dir;
    QFile::copy(file, dir.filePath("settings.ini"));
    return QSettings(dir.filePath("settings.ini"), QSettings::IniFormat).value(key);
}

QJsonArray storedArray(const QString &file)
{
    return QJsonDocument::fromJson(storedValue(file, "KorvelSVN.projects").toByteArray()).array();
}

QStringList storedNames(const QString &file)
{
    QStringList list;
    for (const QJsonValue &entry : storedArray(file))
        list << entry[QStringLiteral("name")].toString();
    return list;
}

QString notSaved(const QString &file, const QString &reason)
{
    return "The project list could not be saved in " + file + ": " + reason
        + ". The projects shown stay listed until the program quits.";
}

// This process's threads ("task") or open descriptors ("fd").
qsizetype entries(const char *folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size();
}

ProjectStore::Change adding(const Project &project)
{
    return [project](QList<Project> &list) { ProjectStore::add(list, project); };
}

// Another running copy of the program over the same settings file: this test program, running one of
// the ProjectStoreCopy tests below, which says what it does on lines of "copy: ".
class RunningCopy {
public:
    RunningCopy(
        const QString &test, const QString &file, const QStringList &variables = {}, const QStringList &wrapper = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KORVEL_STORE_FILE", file);
        for (const QString &variable : variables)
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList command = wrapper
            + QStringList{QCoreApplication::applicationFilePath(), "--gtest_also_run_disabled_tests",
                "--gtest_filter=ProjectStoreCopy.DISABLED_" + test};
        m_process.start(command.takeFirst(), command);
    }
    ~RunningCopy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            signal(SIGCONT);
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    qint64 pid() const { return m_process.processId(); }
    void signal(int number) const { ::kill(pid_t(pid()), number); }

    // What the copy says next; empty when it says nothing more.
    QString next()
    {
        for (;;) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().chopped(1);
                m_transcript += line + '\n';
                if (line.startsWith("copy: "))
                    return QString::fromUtf8(line.mid(6));
            }
            if (!m_process.waitForReadyRead(60000))
                return {};
        }
    }
    void say(const QByteArray &line)
    {
        m_process.write(line + '\n');
        m_process.waitForBytesWritten();
    }
    // Waits for the copy to end; true when its test passed.
    bool passed()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(60000);
        m_transcript += m_process.readAll();
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    std::string transcript() const { return m_transcript.toStdString(); }

private:
    QProcess m_process;
    QByteArray m_transcript;
};

void tell(const QString &line)
{
    std::cout << "copy: " << line.toStdString() << std::endl;
}

void waitForWord()
{
    std::string line;
    std::getline(std::cin, line);
}

} // namespace

// Or for KORVEL_STORE_HOLD_MS milliseconds when that is set.
TEST(ProjectStoreCopy, DISABLED_HoldsTheListUntilTold)
{
    QSettings settings(qEnvironmentVariable("KORVEL_STORE_FILE"), QSettings::IniFormat);
    const std::optional<QString> failure = ProjectStore(&settings).update([](QList<Project> &list) {
        tell("inside");
        if (qEnvironmentVariableIsSet("KORVEL_STORE_HOLD_MS"))
            QThread::msleep(qEnvironmentVariableIntValue("KORVEL_STORE_HOLD_MS"));
        else
            waitForWord();
        ProjectStore::add(list, named("held"));
    });
    tell(failure.value_or("saved"));
}

// Adds, removes and renames projects of its own for three seconds, then tells those it was told it stored.
TEST(ProjectStoreCopy, DISABLED_ChangesAtRandom)
{
    QSettings settings(qEnvironmentVariable("KORVEL_STORE_FILE"), QSettings::IniFormat);
    ProjectStore store(&settings);
    const QString prefix = qEnvironmentVariable("KORVEL_STORE_COPY");
    QRandomGenerator *random = QRandomGenerator::global();
    QList<Project> mine;
    QElapsedTimer clock;
    clock.start();
    for (int made = 0; clock.elapsed() < 3000; ++made) {
        QList<Project> changed = mine;
        ProjectStore::Change change;
        const int action = mine.size() < 3 ? 0 : int(random->bounded(3));
        const qsizetype at = mine.isEmpty() ? 0 : random->bounded(int(mine.size()));
        if (action == 0) {
            changed << named(prefix + '-' + QString::number(made) + 'a');
            change = adding(changed.last());
        } else if (action == 1) {
            changed.removeAt(at);
            change = [project = mine[at]](QList<Project> &list) { ProjectStore::remove(list, project); };
        } else {
            // A name of the same length: the file keeps its size.
            changed[at].name.back() = changed[at].name.back() == u'a' ? u'b' : u'a';
            change = [project = mine[at], renamed = changed[at]](
                         QList<Project> &list) { ProjectStore::replace(list, project, renamed); };
        }
        if (const std::optional<QString> failure = store.update(change))
            tell("failed " + *failure);
        else
            mine = changed;
    }
    for (const Project &project : mine)
        tell("kept " + uuidText(project.id) + ' ' + project.name);
    tell("done");
}

// Another running copy inside its change of the list. Stopped there (a stalled disk, a process stopped by
// its user): a load goes on without waiting; a removal shows while the window goes on, and once given up
// is alerted and never written; changes given up cost one waiting thread at most. Killed there, its
// lock is free at once.
TEST_F(FakeStateFixture, NoChangeWaitingForAnotherCopyHoldsTheWindowOrIsWrittenWithoutTheLock)
{
    makeState({svnProject, gitProject});
    ASSERT_TRUE(waitUntilIdle(*state));
    const QString file = settings.fileName();
    std::optional<RunningCopy> holder(std::in_place, "HoldsTheListUntilTold", file);
    ASSERT_EQ(holder->next(), "inside") << holder->transcript();
    holder->signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    const qsizetype loadThreads = entries("/proc/self/task");
    EXPECT_EQ(ProjectStore(&settings).load(), QList<Project>({svnProject, gitProject}));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(entries("/proc/self/task"), loadThreads) << "a load leaves no thread waiting for the lock";

    state->setProjectsLockWait(std::chrono::milliseconds(500));
    int turns = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++turns; });
    ticking.start(10);
    dialogs.confirmAnswers.push_back(true);
    state->removeSelectedProject();
    EXPECT_EQ(state->projects(), QList<Project>({gitProject}));
    ASSERT_TRUE(waitFor([&] { return state->alert().has_value(); }, 10000));
    EXPECT_GT(turns, 5);
    EXPECT_EQ(state->alert()->title, "Projects Not Saved");
    EXPECT_EQ(state->alert()->message, notSaved(file, "another running copy of the program holds the list"));

    // Changes given up one after another leave at most one attempt waiting, which the next one takes over.
    ProjectStore store(&settings);
    store.setLockWait(std::chrono::milliseconds(50));
    const qsizetype threads = entries("/proc/self/task");
    const qsizetype descriptors = entries("/proc/self/fd");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(store.update(adding(named("given up"))));
    EXPECT_LE(entries("/proc/self/task"), threads + 1);
    EXPECT_LE(entries("/proc/self/fd"), descriptors + 1);
    store.setLockWait(std::chrono::seconds(30));
    QFuture<std::optional<QString>> waiting = store.startUpdate(adding(named("after")));
    holder->signal(SIGCONT);
    holder->say("go");
    EXPECT_EQ(holder->next(), "saved");
    waiting.waitForFinished();
    EXPECT_FALSE(waiting.result());
    EXPECT_EQ(storedNames(file), QStringList({"after", "Alpha", "Beta", "held"}));

    holder.emplace("HoldsTheListUntilTold", file);
    ASSERT_EQ(holder->next(), "inside") << holder->transcript();
    holder->signal(SIGKILL);
    clock.restart();
    EXPECT_FALSE(ProjectStore(&settings).update(adding(named("mine"))));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(storedNames(file), QStringList({"after", "Alpha", "Beta", "held", "mine"}));
}

// Quitting right after a removal that waits for another copy: the state goes at once, and the removal
// is stored if that copy lets the list go within the removal's wait; only one that waited it out is
// dropped, and nothing else with it.
TEST_F(FakeStateFixture, QuittingLetsAChangeWaitingForAnotherCopyFinishWithinItsWait)
{
    const struct {
        const char *title;
        QStringList holding;
        std::chrono::milliseconds wait;
        QStringList stored;
    } cases[] = {
        {"let go in time", {"KORVEL_STORE_HOLD_MS=1500"}, std::chrono::seconds(30), {"Beta", "held"}},
        {"held past the wait", {}, std::chrono::milliseconds(300), {"Alpha", "Beta", "held"}},
    };
    const QString file = settings.fileName();
    for (const auto &row : cases) {
        SCOPED_TRACE(row.title);
        makeState({svnProject, gitProject});
        ASSERT_TRUE(waitUntilIdle(*state));
        RunningCopy holder("HoldsTheListUntilTold", file, row.holding);
        ASSERT_EQ(holder.next(), "inside") << holder.transcript();
        state->setProjectsLockWait(row.wait);
        dialogs.confirmAnswers.push_back(true);
        state->removeSelectedProject();
        state.reset();
        if (row.holding.isEmpty())
            holder.say("go");
        EXPECT_EQ(holder.next(), "saved") << holder.transcript();
        EXPECT_EQ(storedNames(file), row.stored);
    }
}

// A copy that reaches the settings file through a link waits for one that holds the list through the
// file's real path, and its save leaves the link a link.
TEST(ProjectStoreCopies, ALinkToTheSettingsTakesTheLockOfItsRealPath)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("settings.ini");
    const QString link = dir.filePath("linked.ini");
    ASSERT_TRUE(QFile::link(file, link));
    {
        QSettings settings(file, QSettings::IniFormat);
        ASSERT_FALSE(ProjectStore(&settings).save({named("one")}));
    }
    RunningCopy holder("HoldsTheListUntilTold", file);
    ASSERT_EQ(holder.next(), "inside") << holder.transcript();
    QSettings linked(link, QSettings::IniFormat);
    ProjectStore store(&linked);
    store.setLockWait(std::chrono::milliseconds(300));
    EXPECT_EQ(store.update(adding(named("two"))), notSaved(link, "another running copy of the program holds the list"));
    holder.say("go");
    EXPECT_EQ(holder.next(), "saved") << holder.transcript();
    EXPECT_EQ(storedNames(file), QStringList({"held", "one"}));
    EXPECT_FALSE(store.update(adding(named("two"))));
    EXPECT_EQ(storedNames(file), QStringList({"held", "one", "two"}));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// The svn executable chosen or reset while another copy is inside its change of the list: both are kept,
// and the clients use the choice once it is stored. A choice that gave up waiting is alerted.
TEST(ProjectStoreCopies, TheSvnExecutableChosenMeanwhileIsKeptWithTheOtherCopysChange)
{
    const struct {
        const char *title;
        std::optional<QString> chosen;
    } cases[] = {{"chosen", QString("/opt/svn/bin/svn")}, {"reset", std::nullopt}};
    for (const auto &row : cases) {
        SCOPED_TRACE(row.title);
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.ini");
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("KorvelSVN.svnExecutablePath", "/usr/local/bin/svn");
        settings.sync();
        ASSERT_FALSE(ProjectStore(&settings).save({named("one")}));
        AppState state(&settings);
        ScriptedDialogs dialogs;
        state.setDialogs(&dialogs);
        const auto choose = [&] {
            if (!row.chosen)
                return state.resetSVNExecutable();
            dialogs.openPanelAnswers.push_back(*row.chosen);
            state.setSVNExecutable();
        };
        RunningCopy holder("HoldsTheListUntilTold", file);
        ASSERT_EQ(holder.next(), "inside") << holder.transcript();

        state.setProjectsLockWait(std::chrono::milliseconds(100));
        choose();
        ASSERT_TRUE(waitUntilIdle(state));
        ASSERT_TRUE(state.alert());
        EXPECT_EQ(state.alert()->title, "svn Executable Not Saved");
        EXPECT_EQ(state.alert()->message,
            "The choice of svn executable could not be saved in " + file
                + ": another running copy of the program holds the list.");

        state.setProjectsLockWait(std::chrono::seconds(30));
        choose();
        holder.say("go");
        EXPECT_EQ(holder.next(), "saved");
        ASSERT_TRUE(waitUntilIdle(state));
        EXPECT_EQ(storedNames(file), QStringList({"held", "one"}));
        const QVariant stored = storedValue(file, "KorvelSVN.svnExecutablePath");
        EXPECT_EQ(stored.isValid() ? std::optional(stored.toString()) : std::nullopt, row.chosen);
        EXPECT_EQ(state.client().explicitExecutablePath(), row.chosen);
    }
}

// Eight copies changing their own projects at once: the list stored at the end holds exactly what each
// was told it stored, each entry once.
TEST(ProjectStoreCopies, EightCopiesChangingAtOnceLoseAndRepeatNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("settings.ini");
    std::vector<std::unique_ptr<RunningCopy>> copies;
    for (int i = 0; i < 8; ++i)
        copies.push_back(std::make_unique<RunningCopy>(
            "ChangesAtRandom", file, QStringList{"KORVEL_STORE_COPY=c" + QString::number(i)}));
    QStringList kept;
    for (const auto &copy : copies) {
        for (QString line = copy->next(); line != "done"; line = copy->next()) {
            ASSERT_FALSE(line.isEmpty()) << copy->transcript();
            if (line.startsWith("kept "))
                kept << line.mid(5);
            else
                ADD_FAILURE() << "a change with time enough to wait was not saved: " << line.toStdString();
        }
        EXPECT_TRUE(copy->passed()) << copy->transcript();
    }
    QStringList stored;
    for (const QJsonValue &entry : storedArray(file))
        stored << entry["id"].toString() + ' ' + entry["name"].toString();
    kept.sort();
    stored.sort();
    EXPECT_EQ(stored, kept);
    EXPECT_GE(kept.size(), 24);
}

// Adds a project too long for its file-size limit, then, once told, one more with the limit lifted.
TEST(ProjectStoreCopy, DISABLED_FailsToSaveThenSaves)
{
    const QString file = qEnvironmentVariable("KORVEL_STORE_FILE");
    QSettings settings(file, QSettings::IniFormat);
    ProjectStore store(&settings);
    // A write past the limit then fails with EFBIG instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = QFileInfo(file).size() + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    tell(store.update(adding(named("failed" + QString(1000, u'x')))).value_or("saved"));
    waitForWord();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    tell(store.update(adding(named("three"))).value_or("saved"));
}

// A save that failed leaves nothing pending: the next one stores its own change over what another copy
// stored meanwhile.
TEST(ProjectStoreCopies, AFailedSaveComesNotBackOverAnotherCopysChange)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("settings.ini");
    QSettings settings(file, QSettings::IniFormat);
    ProjectStore store(&settings);
    ASSERT_FALSE(store.save({named("one")}));
    RunningCopy failing("FailsToSaveThenSaves", file);
    EXPECT_TRUE(failing.next().startsWith("The project list could not be saved in " + file + ": "))
        << failing.transcript();
    EXPECT_EQ(storedNames(file), QStringList({"one"}));
    ASSERT_FALSE(store.update(adding(named("other"))));
    failing.say("go");
    EXPECT_EQ(failing.next(), "saved") << failing.transcript();
    EXPECT_EQ(storedNames(file), QStringList({"one", "other", "three"}));
}

// As a user the files do not let in: a list that does not read is alerted and never written over; in a
// folder that takes no file, with the lock file an earlier version left when it crashed, a load waits
// for nothing and a save says at once why it fails.
TEST(ProjectStoreCopy, DISABLED_WorksAsAUserTheFilesKeepOut)
{
    const QString file = qEnvironmentVariable("KORVEL_STORE_FILE");
    {
        QSettings settings(file, QSettings::IniFormat);
        FakeClients fakes;
        AppState state(&settings, fakes.make());
        EXPECT_TRUE(state.projects().isEmpty());
        ASSERT_TRUE(state.alert());
        EXPECT_EQ(state.alert()->title, "Projects Not Read");
        EXPECT_EQ(state.alert()->message,
            "The saved project list in " + file
                + " could not be read: Permission denied. No project is listed, and nothing is saved over the file.");
        EXPECT_EQ(ProjectStore(&settings).update(adding(named("two"))), notSaved(file, "Permission denied"));
    }
    const QString kept = qEnvironmentVariable("KORVEL_STORE_KEPT");
    QSettings settings(kept, QSettings::IniFormat);
    ProjectStore store(&settings);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(names(store.load()), QStringList({"one"}));
    EXPECT_EQ(store.update(adding(named("two"))), notSaved(kept, "Permission denied"));
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST(ProjectStoreCopies, AListTheUserMayNotReadIsAlertedAndKept)
{
    Sandbox sandbox;
    QFile::setPermissions(sandbox.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QString unreadable = sandbox.filePath("open/settings.ini");
    const QString kept = sandbox.filePath("closed/settings.ini");
    for (const QString &file : {unreadable, kept}) {
        QSettings settings(file, QSettings::IniFormat);
        ASSERT_FALSE(ProjectStore(&settings).save({named("one")}));
    }
    writeFile(kept + ".projects-lock", "2147483646\nkorvelsvn\nelsewhere\n");
    const QByteArray bytes = readFile(unreadable);
    QFile::setPermissions(unreadable, {});
    QFile::setPermissions(sandbox.filePath("open"), QFile::Permissions(0x7777));
    QFile::setPermissions(sandbox.filePath("closed"), QFile::Permissions(0x5555));
    QFile::setPermissions(kept, QFile::Permissions(0x4444));
    // As root the file modes let everything in: the copy runs as nobody.
    const QStringList wrapper
        = ::geteuid() == 0 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} : QStringList();
    RunningCopy copy("WorksAsAUserTheFilesKeepOut", unreadable, {"KORVEL_STORE_KEPT=" + kept}, wrapper);
    const bool passed = copy.passed();
    if (copy.transcript().empty())
        GTEST_SKIP() << "this test program cannot run as nobody from the folder it is in";
    EXPECT_TRUE(passed) << copy.transcript();
    EXPECT_FALSE(QFileInfo(unreadable).permissions() & QFile::Permissions(0x7077));
    QFile::setPermissions(unreadable, QFile::ReadOwner);
    EXPECT_EQ(readFile(unreadable), bytes);
    QFile::setPermissions(sandbox.filePath("closed"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// On a full disk the alert says so; a full /dev/shm is none of the list's concern.
TEST(ProjectStoreCopy, DISABLED_SavesOnAFullDisk)
{
    const QString folder = qEnvironmentVariable("KORVEL_STORE_FILE");
    for (const QString &mounted : {folder, QStringLiteral("/dev/shm")}) {
        if (::mount("tmpfs", QFile::encodeName(mounted).constData(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    const auto fill = [](const QString &path) {
        QFile filler(path);
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'x')) > 0) { }
    };
    fill("/dev/shm/filler");
    const QString file = folder + "/settings.ini";
    QSettings settings(file, QSettings::IniFormat);
    ProjectStore store(&settings);
    ASSERT_FALSE(store.save({named("one")}));
    const QByteArray bytes = readFile(file);
    fill(folder + "/filler");
    EXPECT_EQ(store.update(adding(named("two"))), notSaved(file, "No space left on device"));
    EXPECT_EQ(readFile(file), bytes);
    QFile::remove(folder + "/filler");
    EXPECT_FALSE(store.update(adding(named("two"))));
    EXPECT_EQ(storedNames(file), QStringList({"one", "two"}));
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    EXPECT_EQ(names(state.projects()), QStringList({"one", "two"}));
    EXPECT_FALSE(state.alert());
}

TEST(ProjectStoreCopies, AFullDiskIsNamedAsTheReasonAndAFullDevShmStopsNothing)
{
    QTemporaryDir dir;
    RunningCopy copy("SavesOnAFullDisk", dir.path(), {}, {"unshare", "--user", "--map-root-user", "--mount"});
    const bool passed = copy.passed();
    if (copy.transcript().find("[  SKIPPED ] 1 test") != std::string::npos || copy.transcript().empty())
        GTEST_SKIP() << "no tmpfs can be mounted in a namespace of this test's own";
    EXPECT_TRUE(passed) << copy.transcript();
}
