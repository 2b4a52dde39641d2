#pragma once

#include "model/Project.h"

#include <QList>

class QSettings;

// Keeps the project list in the user settings as one JSON array under "KorvelSVN.projects".
class ProjectStore {
public:
    // The settings must outlive the store.
    explicit ProjectStore(QSettings *settings);

    // The stored projects that read, in stored order; `unreadableEntries` counts the stored entries
    // left out.
    QList<Project> load(qsizetype *unreadableEntries = nullptr) const;
    // Replaces the stored list. A stored value that did not read whole is first kept under
    // "KorvelSVN.projects.unreadable", or the first of ".2", ".3"... that is free: no copy is ever
    // written over, so a save never loses a list the user had.
    void save(const QList<Project> &projects);

    // `ok` tells whether the bytes are a JSON array; its elements that are no project are skipped
    // and counted in `unreadableEntries`.
    static QList<Project> decode(const QByteArray &bytes, bool *ok = nullptr, qsizetype *unreadableEntries = nullptr);
    static QByteArray encode(const QList<Project> &projects);

private:
    QSettings *m_settings;
};
