#pragma once

#include "model/LogEntry.h"
#include "tools/SVNCommandResult.h"

#include <QString>

// The branch's line in the switch prompt: its name, marked remote and current.
QString gitBranchPromptTitle(const GitBranch &branch);
// A git too old for `git switch`: the caller falls back to checkout.
bool gitSwitchUnavailable(const SVNCommandResult &result);
