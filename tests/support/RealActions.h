#pragma once

// A state over the real tools on a project in a sandbox, for tests that run actions end to end and
// check the working copy afterwards.
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QMap>
#include <QSettings>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

struct RealActionsFixture : ::testing::Test {
    TestSupport::Sandbox sandbox;
    QSettings settings{sandbox.filePath("settings.ini"), QSettings::IniFormat};
    std::unique_ptr<AppState> state;
    ScriptedDialogs dialogs;
    // How long a load or an action may take; tests that hand the tools thousands of paths allow more.
    int idleTimeoutMs = 30000;

    void open(const QString &path, RepositoryKind kind)
    {
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "project", path, kind}});
        state = std::make_unique<AppState>(&settings);
        state->setDialogs(&dialogs);
        refresh();
    }

    void refresh()
    {
        state->refreshAll();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
    }

    void tick(const QStringList &paths)
    {
        state->setSelectedChangeID(std::nullopt);
        state->setSelectedCommitPaths(QSet<QString>(paths.begin(), paths.end()));
    }

    // Runs an action to its end; it must succeed.
    void run(const std::function<void(AppState &)> &action)
    {
        state->setAlert(std::nullopt);
        action(*state);
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        ASSERT_FALSE(state->alert()) << state->alert()->title.toStdString() << ": "
                                     << state->alert()->message.toStdString();
    }

    void commit(const QStringList &paths, const QString &message)
    {
        tick(paths);
        state->setCommitMessage(message);
        run([](AppState &s) { s.commitSelected(); });
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, "Commit");
        EXPECT_EQ(state->commitMessage(), "");
    }

    // The preview's diff once the change at the path is selected and its load has ended.
    QByteArray changeDiff(const QString &path)
    {
        state->setSelectedChangeID(path);
        state->selectedChangeChanged();
        EXPECT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        return state->diffText();
    }

    // Shows a tab as the user does, and waits for its load.
    void showTab(WorkflowTab tab)
    {
        state->setSelectedTab(tab);
        state->tabChanged();
        ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
    }

    const WorkingCopyItem *listedItem(const QString &path) const
    {
        for (const WorkingCopyItem &item : state->changes()) {
            if (item.path == path)
                return &item;
        }
        return nullptr;
    }

    // Commits what is ticked with the message; the commit must end in an alert, which is given back.
    AppAlert refusedCommit(const QString &message)
    {
        state->setAlert(std::nullopt);
        state->setCommitMessage(message);
        state->commitSelected();
        EXPECT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        EXPECT_TRUE(state->alert()) << "the commit was not refused";
        return state->alert().value_or(AppAlert());
    }

    SVNStatusKind listedKind(const QString &path) const
    {
        const WorkingCopyItem *item = listedItem(path);
        return item ? item->kind : SVNStatusKind::none;
    }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
        }
    }
};

// `svn status` by path: the seven status columns.
inline QMap<QString, QString> svnStatus(const TestSupport::SvnFixture &svn)
{
    QMap<QString, QString> columns;
    for (const QString &line : QString::fromUtf8(svn.svn({"status"})).split('\n')) {
        if (line.size() > 8 && !line.startsWith("---"))
            columns.insert(line.mid(8), line.left(7));
    }
    return columns;
}

// `svn log -v` of the repository's newest revision.
inline QString svnLastChangedPaths(const TestSupport::SvnFixture &svn)
{
    return QString::fromUtf8(svn.svn({"log", "-v", "-l", "1", svn.repositoryUrl}));
}

// `svn log -v --xml` of the repository's newest revision: each changed path as its action, the path
// and, for a copy, " from " and its source ("A /b.txt from /a.txt"), sorted.
inline QStringList svnLastRevisionPaths(const TestSupport::SvnFixture &svn)
{
    QStringList paths;
    QXmlStreamReader xml(svn.svn({"log", "-v", "--xml", "-l", "1", svn.repositoryUrl}));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.qualifiedName() != u"path")
            continue;
        const QString action = xml.attributes().value("action").toString();
        const QString from = xml.attributes().value("copyfrom-path").toString();
        const QString path = xml.readElementText();
        paths.push_back(action + ' ' + path + (from.isEmpty() ? QString() : " from " + from));
    }
    paths.sort();
    return paths;
}

// `git status --porcelain=v2 -z` by the exact bytes of each path: the two status letters ("??" untracked).
inline QMap<QByteArray, QByteArray> gitStatusCodes(const TestSupport::GitFixture &git)
{
    QMap<QByteArray, QByteArray> codes;
    const QList<QByteArray> entries = git.git({"status", "--porcelain=v2", "-z", "--untracked-files=all"}).split('\0');
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray &entry = entries[i];
        if (entry.startsWith("? ")) {
            codes.insert(entry.mid(2), "??");
            continue;
        }
        // Ordinary, renamed and unmerged entries hold 8, 9 and 10 fields before the path.
        const int fields = entry.startsWith("1 ") ? 8 : entry.startsWith("2 ") ? 9 : entry.startsWith("u ") ? 10 : 0;
        if (fields == 0)
            continue;
        qsizetype at = 0;
        for (int field = 0; field < fields; ++field)
            at = entry.indexOf(' ', at) + 1;
        codes.insert(entry.mid(at), entry.mid(2, 2));
        if (entry.startsWith("2 "))
            ++i;
    }
    return codes;
}

// `git status` by path: the two status letters.
inline QMap<QString, QString> gitStatus(const TestSupport::GitFixture &git)
{
    QMap<QString, QString> letters;
    const QList<QByteArray> entries = git.git({"status", "--porcelain=v1", "-z", "--untracked-files=all"}).split('\0');
    for (const QByteArray &entry : entries) {
        if (entry.size() > 3)
            letters.insert(QString::fromUtf8(entry.mid(3)), QString::fromUtf8(entry.left(2)));
    }
    return letters;
}
