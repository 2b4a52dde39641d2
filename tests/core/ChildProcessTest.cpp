// The children the tools run as: a kill by a signal reported as such.
#include "support/TestSupport.h"
#include "tools/ToolRunner.h"

#include <gtest/gtest.h>

TEST(ToolSessions, RunEndedByASignalSaysSoFirst)
{
    const SVNCommandResult killed = runTask(
        ToolRunner::runProcess("/bin/sh", {"-c", "echo 'Sending        a.txt'; kill -9 $$"}, QString(), "sh", false));
    EXPECT_FALSE(killed.succeeded());
    EXPECT_EQ(killed.status, 9);
    EXPECT_EQ(SVNClientError::commandFailed(killed).description(),
        "Command was terminated by signal 9.\nSending        a.txt\n");
    const SVNCommandResult quiet
        = runTask(ToolRunner::runProcess("/bin/sh", {"-c", "kill -15 $$"}, QString(), "sh", false));
    EXPECT_EQ(SVNClientError::commandFailed(quiet).description(), "Command was terminated by signal 15.");
    const SVNCommandResult exited
        = runTask(ToolRunner::runProcess("/bin/sh", {"-c", "exit 9"}, QString(), "sh", false));
    EXPECT_EQ(SVNClientError::commandFailed(exited).description(), "Command exited with status 9.");
}
