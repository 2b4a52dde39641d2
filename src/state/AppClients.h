#pragma once

#include "state/RepositoryDetection.h"
#include "tools/ToolClients.h"

#include <memory>

class QSettings;

// The tool clients the state runs, and how it looks at a project's folder; tests hand in fakes.
struct AppClients {
    std::unique_ptr<SVNClient> svn;
    std::unique_ptr<SVNAdminClient> svnAdmin;
    std::unique_ptr<GitClient> git;
    std::unique_ptr<ArchiveZipClient> archiveZip;
    FolderLooker folderLook = lookAtFolder;

    // The real clients, reading the chosen svn path from the settings.
    static AppClients real(QSettings *settings);
};
