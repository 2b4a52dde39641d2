#pragma once

#include "SVNCommandResult.h"
#include "ToolRunScope.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

// Variables set in one run's child environment on top of the runner's own; one without a value is
// removed from it.
using ToolEnvironment = QList<std::pair<QString, std::optional<QString>>>;

// The one place where child processes are started: environment, standard input, both output
// pipes and the exit status are handled here for every tool.
namespace ToolRunner {

// A regular file that this process may execute. A folder with the x bit does not count.
bool isExecutableFile(const QString &path);

// Searches the folders of PATH, in order, for an executable file of that name.
std::optional<QString> findExecutable(const QString &name);

// The first of the paths that is an executable file.
std::optional<QString> firstExecutable(const QStringList &paths);

// Runs the program with the arguments, unchanged and without a shell, in the working folder when one
// is given. The child runs in a session of its own, without a controlling terminal, and gets this
// process's environment with LC_ALL=C.UTF-8 and GIT_TERMINAL_PROMPT=0 and the null device as standard
// input, then the given variables set or removed. Throws launchFailed ("Could not launch <display>:
// <reason>") when the child does not start, commandFailed when checkStatus is set and the run did not
// succeed, and ToolRunAbandoned when the scope has been ended. Standard output goes to `onOutput` as it
// comes and, with `keepOutput`, into the result; past `outputLimit` bytes (when not negative) the rest is
// dropped and the child ended, and its status is not checked. With an `outputFile` (an open descriptor)
// the child writes its standard output straight into that file, and none of it reaches the program.
// The child is killed when the program ends, however it ends.
QCoro::Task<SVNCommandResult> runProcess(QString program, QStringList arguments, QString workingDirectory,
    QString displayExecutable, bool checkStatus, ToolEnvironment environmentAdditions = {},
    std::shared_ptr<ToolRunScope> scope = {}, bool decodeOutput = true,
    std::function<void(const QByteArray &)> onOutput = {}, bool keepOutput = true, qint64 outputLimit = -1,
    int outputFile = -1);

} // namespace ToolRunner
