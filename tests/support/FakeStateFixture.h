#pragma once

#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"

#include "model/Project.h"
#include "state/AppState.h"
#include "state/ProjectStore.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A real state over fake tools and scripted dialogs, its settings in a folder of its own, with an svn and a
// Git project at hand. The test ends only when the state runs nothing.
template <class State = AppState> struct FakeStateFixtureOf : ::testing::Test {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
    FakeClients fakes;
    ScriptedDialogs dialogs;
    std::unique_ptr<State> state;
    Project svnProject{QUuid::createUuid(), "Alpha", "/work/alpha", RepositoryKind::svn};
    Project gitProject{QUuid::createUuid(), "Beta", "/work/beta", RepositoryKind::git};

    // Stores the projects and makes the state over the fakes, asking the scripted dialogs.
    void makeState(const QList<Project> &projects = {})
    {
        ProjectStore(&settings).save(projects);
        state = std::make_unique<State>(&settings, fakes.make());
        state->setDialogs(&dialogs);
    }

    // The first argument of each svn run, in order.
    QStringList svnSubcommands() const
    {
        QStringList names;
        for (const FakeCall &call : fakes.svn->calls)
            names << call.arguments.value(0);
        return names;
    }

    // How often svn ran the subcommand.
    int svnRuns(const QString &subcommand) const { return int(svnSubcommands().count(subcommand)); }

    void TearDown() override
    {
        if (state) {
            EXPECT_TRUE(waitUntilIdle(*state));
        }
    }
};

using FakeStateFixture = FakeStateFixtureOf<>;
