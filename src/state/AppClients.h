#pragma once

#include "tools/ToolClients.h"

#include <memory>

class QSettings;

// The tool clients the state runs; tests hand in fakes.
struct AppClients {
    std::unique_ptr<SVNClient> svn;
    std::unique_ptr<SVNAdminClient> svnAdmin;
    std::unique_ptr<GitClient> git;
    std::unique_ptr<ArchiveZipClient> archiveZip;

    // The real clients, reading the chosen svn path from the settings.
    static AppClients real(QSettings *settings);
};
