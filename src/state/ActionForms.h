#pragma once

#include "state/AppDialogs.h"
#include "state/RunRequest.h"
#include "state/WorkingCopyPaths.h"

#include <QString>

#include <optional>

class AppState;

// What several actions ask the user, asked one way.

// Alert and give false for a typed Git revision or URL that the tool would read as an option.
bool acceptGitRevision(AppState &state, const QString &revision);
bool acceptURL(AppState &state, const QString &url);

// Alert "<title> Failed" and give false for a path that git takes only as an argument when its name
// holds bytes that are not UTF-8: no argument can carry them, and git would get another name.
bool acceptGitPathArgument(AppState &state, const QString &title, const QString &path);

// A path typed for the selected project as the tool is to get it (typedWorkingCopyPath; "." for the
// folder itself); alerts and gives nothing when it leads outside the project. Without a project, the
// path as typed, for the action's own check to report.
std::optional<TypedWorkingCopyPath> acceptWorkingCopyPath(AppState &state, const QString &typed);
// Runs the request in the selected project (AppState::runInSelectedProject). Where the typed path is
// a link leading outside, only once the project's tool is found to version that link, which it then
// acts on as a link: one it does not version is refused as outside the project.
void runOnTypedPath(AppState &state, RunRequest request, const TypedWorkingCopyPath &typed);

// The path chosen in an open panel; nothing without dialogs, when cancelled, or when empty.
std::optional<QString> choosePath(AppState &state, const OpenPanelOptions &options);

// Two-field forms that several actions ask the same way. Values are trimmed.

struct PathAtRevision {
    QString path;
    QString revision;
};
// The path (or URL) field, then "Revision" filled with the selected revision; nothing when cancelled.
std::optional<PathAtRevision> promptPathAtRevision(AppState &state, const QString &title, const PromptField &pathField);

// "Path" filled with the selected path, then "Revision": nothing when cancelled, when either is empty,
// or when a Git project's revision would read as an option (alerted).
std::optional<PathAtRevision> promptFileAtRevision(AppState &state, const QString &title);

struct URLAndMessage {
    QString url;
    QString message;
};
// "Repository URL", then "Message" filled with the default; nothing when cancelled or either is empty.
std::optional<URLAndMessage> promptURLAndMessage(AppState &state, const QString &title, const QString &defaultMessage);
