#pragma once

#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A real AppState over fake tools and scripted dialogs, for the widget tests.
struct UiFixture : ::testing::Test {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
    FakeClients fakes;
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;
    Project svnProject{QUuid::createUuid(), "Alpha", "/work/alpha", RepositoryKind::svn};
    Project gitProject{QUuid::createUuid(), "Beta", "/work/beta", RepositoryKind::git};

    void makeState(const QList<Project> &projects)
    {
        ProjectStore(&settings).save(projects);
        state = std::make_unique<AppState>(&settings, fakes.make());
        state->setDialogs(&dialogs);
        // svn finds no working copy in the Git project, so a refresh keeps it a Git project.
        fakes.svn->responder = [this](const FakeCall &call) {
            if (call.workingDirectory == gitProject.path)
                return failedResult(1, "svn: E155007: '" + gitProject.path + "' is not a working copy\n");
            return okResult(QString());
        };
    }

    // How often svn ran the subcommand.
    int svnRuns(const QString &subcommand) const
    {
        int count = 0;
        for (const FakeCall &call : fakes.svn->calls)
            count += call.arguments.value(0) == subcommand;
        return count;
    }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

// Lets queued renders and tasks run.
inline void settle(const AppState &state)
{
    EXPECT_TRUE(waitUntilIdle(state));
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntilIdle(state));
}
