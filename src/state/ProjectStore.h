#pragma once

#include "model/Project.h"

#include <QFuture>
#include <QList>
#include <QSettings>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Keeps the project list in the user settings as one JSON array under "KorvelSVN.projects".
//
// Several running copies of the program share the list: each change is applied to the list as it is
// stored at that moment, never by writing this copy's whole list over it, so what another copy added,
// kept or removed stays. A copy sees the others' changes when it next loads the list. No copy reads
// and writes the list without holding its lock, an flock on "<settings file>.projects.lock" beside the
// file's real path, so copies that reach it through different links take the same lock.
//
// The store is the settings file's only writer: a value written without the lock would be lost to a
// change of the list that another copy read before it, or written with a list older than that change.
class ProjectStore {
public:
    explicit ProjectStore(QSettings *settings);
    // Lets the changes not yet stored finish, each within its own wait for the lock: quitting right
    // after a change keeps it whenever another copy lets the list go in time.
    ~ProjectStore();
    ProjectStore(const ProjectStore &) = delete;
    ProjectStore &operator=(const ProjectStore &) = delete;

    // What did not read of the stored list. The value under "KorvelSVN.projects" is then kept as it
    // stood under `backupKey` ("KorvelSVN.projects.unreadable", or the first of ".2", ".3"... that is
    // free or already holds that value): no copy is ever written over, so nothing the user had is lost.
    struct Unreadable {
        // The list itself did not read (no JSON array, no bytes, a value cut short): nothing is listed.
        bool wholeList = false;
        // Entries left out of a list that read.
        qsizetype entries = 0;
        QString backupKey;
        // Why the settings file itself did not read (its mode, a folder in its place): nothing is
        // listed, and no save writes over the file.
        QString fileError;
    };

    // A change of the list, applied to the list as stored. It runs on the thread that stores it.
    using Change = std::function<void(QList<Project> &)>;

    // The stored projects that read, in stored order. A value that did not read whole is kept under
    // its backup key at once, and `unreadable` tells what was left out. Never waits: every write of the
    // file is one rename, so it reads whole without the lock, and a backup that finds the lock taken is
    // left to the next save.
    QList<Project> load(Unreadable *unreadable = nullptr);
    // Reads the stored list afresh, applies the change to it and stores the result, holding the lock.
    // Gives nothing when it was stored, else why not, naming the settings file. Blocks while another
    // copy holds the list, at most lockWait().
    std::optional<QString> update(const Change &change);
    // Stores exactly this list, whatever was stored; the same answer as update().
    std::optional<QString> save(const QList<Project> &projects);
    // update() on the store's own thread; the changes are stored one after another in the order given.
    QFuture<std::optional<QString>> startUpdate(Change change);
    // Sets the text under the key in the settings file, or removes the key for no text, on the store's
    // own thread in turn with the changes of the list. Gives nothing once stored, else only the reason,
    // for the caller to word.
    QFuture<std::optional<QString>> startSetting(QString key, std::optional<QString> value);

    // How long a change waits for another copy to let the list go before it is given up.
    std::chrono::milliseconds lockWait() const { return m_lockWait; }
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    // The settings file the list is stored in, as the settings name it.
    QString fileName() const { return m_fileName; }

    // The changes this program makes. Each finds a project by its id, or else by its folder: another
    // copy may list the same folder under an id of its own.

    // Lists the project and sorts the list by name, or gives the listed one the project's kind (it
    // keeps its place, id, name and folder); returns the id of the entry changed.
    static QUuid add(QList<Project> &projects, const Project &project);
    static void remove(QList<Project> &projects, const Project &project);
    // Gives the project's entry the folder, name and kind of `changed`; an entry no longer listed is
    // not brought back.
    static void replace(QList<Project> &projects, const Project &project, const Project &changed);

    // `ok` tells whether the bytes are a JSON array; its elements that are no project are skipped
    // and counted in `unreadableEntries`.
    static QList<Project> decode(const QByteArray &bytes, bool *ok = nullptr, qsizetype *unreadableEntries = nullptr);
    static QByteArray encode(const QList<Project> &projects);

    // Shared by the threads waiting on the lock.
    struct Waits;

private:
    // Reads the settings file afresh holding the lock (waiting at most `wait`), lets `change` edit its
    // text and writes the file when it says it changed it. Gives nothing once done, else why not.
    std::optional<QString> rewrite(std::chrono::milliseconds wait, const std::function<bool(QByteArray &)> &change);

    QString m_fileName;
    std::atomic<std::chrono::milliseconds> m_lockWait{std::chrono::seconds(10)};
    std::shared_ptr<Waits> m_waits;
    QThreadPool m_thread;
};
