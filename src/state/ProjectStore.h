#pragma once

#include "model/Project.h"

#include <QList>

class QSettings;

// Keeps the project list in the user settings as one JSON array under "KorvelSVN.projects".
class ProjectStore {
public:
    // The settings must outlive the store.
    explicit ProjectStore(QSettings *settings);

    // The stored projects, or an empty list when nothing readable is stored.
    QList<Project> load() const;
    // Replaces the stored list. A stored value that did not read as a list is first kept under
    // "KorvelSVN.projects.unreadable" (never over an earlier copy), so a save never loses a list the
    // user had.
    void save(const QList<Project> &projects);

    static QList<Project> decode(const QByteArray &bytes, bool *ok = nullptr);
    static QByteArray encode(const QList<Project> &projects);

private:
    QSettings *m_settings;
};
