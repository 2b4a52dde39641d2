#pragma once

#include "model/LogEntry.h"
#include "model/Project.h"

#include <QString>

// Names for the zip of an Archives entry.

// The revision to export: the number for svn, the commit hash for Git (throws without one).
QString archiveRevisionToken(const LogEntry &entry, const Project &project);
QString archiveRootName(const Project &project, const LogEntry &entry);
QString archiveNameComponent(const QString &text);
QString normalizedZipDestination(const QString &path);
