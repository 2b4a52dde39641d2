#pragma once

#include "support/FakeStateFixture.h"

#include <gtest/gtest.h>

// A real AppState over fake tools and scripted dialogs, for the widget tests.
struct UiFixture : FakeStateFixture {
    void makeState(const QList<Project> &projects)
    {
        FakeStateFixture::makeState(projects);
        // svn finds no working copy in the Git project, so a refresh keeps it a Git project.
        fakes.svn->responder = [this](const FakeCall &call) {
            if (call.workingDirectory == gitProject.path)
                return failedResult(1, "svn: E155007: '" + gitProject.path + "' is not a working copy\n");
            return okResult(QString());
        };
    }
};

// Lets queued renders and tasks run.
inline void settle(const AppState &state)
{
    EXPECT_TRUE(waitUntilIdle(state));
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntilIdle(state));
}
