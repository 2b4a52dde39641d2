#pragma once

#include <QString>

class AppState;

// Alert and give false for a typed Git revision or URL that the tool would read as an option.
bool acceptGitRevision(AppState &state, const QString &revision);
bool acceptURL(AppState &state, const QString &url);
