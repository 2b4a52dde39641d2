#include "ProjectStore.h"

#include "model/TextUtil.h"
#include "tools/FileWrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
struct LockAttempt {
    int descriptor = -1;
    bool finished = false;
    // Every wait on it has given up.
    bool abandoned = false;
    int error = 0;
};
} // namespace

struct ProjectStore::Waits {
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
    // The attempt still blocked in flock that the last wait gave up: the next wait takes it over, so a
    // copy that never lets go costs one thread and one descriptor however many changes give up.
    std::shared_ptr<LockAttempt> givenUp;
};

namespace {
const QString defaultsKey = QStringLiteral("KorvelSVN.projects");
const QString unreadableKey = QStringLiteral("KorvelSVN.projects.unreadable");
const QString heldElsewhere = QStringLiteral("another running copy of the program holds the list");
// The list's lock: an flock on a file beside the settings that is never removed (a copy that removed
// it would let the next two lock two different files). The kernel lets the lock go however its holder
// ends, so a copy that crashed or was killed leaves nothing to clear up and nothing to wait for.
class ListLock {
public:
    ListLock() = default;
    ListLock(const ListLock &) = delete;
    ListLock &operator=(const ListLock &) = delete;
    ~ListLock()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    // Nothing once held, else why not: the lock file does not open, or another copy held the list all
    // through `wait` (or the store is closing). No wait at all starts no thread.
    std::optional<QString> take(
        const QString &settingsFile, std::chrono::milliseconds wait, const std::shared_ptr<ProjectStore::Waits> &waits)
    {
        std::shared_ptr<LockAttempt> attempt;
        {
            const std::lock_guard guard(waits->mutex);
            attempt = std::exchange(waits->givenUp, nullptr);
            if (attempt)
                attempt->abandoned = false;
        }
        if (!attempt) {
            const QByteArray path = QFile::encodeName(settingsFile + QStringLiteral(".projects.lock"));
            // flock needs no write access: a lock file left read-only still serves.
            const int descriptor = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
            if (descriptor < 0)
                return qt_error_string(errno);
            if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
                m_descriptor = descriptor;
                return std::nullopt;
            }
            if (errno != EWOULDBLOCK || wait <= std::chrono::milliseconds(0)) {
                const int error = errno;
                ::close(descriptor);
                return error == EWOULDBLOCK ? heldElsewhere : qt_error_string(error);
            }
            attempt = std::make_shared<LockAttempt>();
            attempt->descriptor = descriptor;
            if (const std::optional<QString> failure = block(attempt, waits))
                return failure;
        }
        const auto deadline = std::chrono::steady_clock::now() + wait;
        std::unique_lock guard(waits->mutex);
        waits->changed.wait_until(guard, deadline, [&] { return attempt->finished || waits->closing; });
        if (!attempt->finished) {
            attempt->abandoned = true;
            if (!waits->givenUp)
                waits->givenUp = attempt;
            return heldElsewhere;
        }
        if (attempt->error != 0) {
            ::close(attempt->descriptor);
            return qt_error_string(attempt->error);
        }
        m_descriptor = attempt->descriptor;
        return std::nullopt;
    }

private:
    // Waiting in the kernel, not polling: Linux queues each blocked request behind the one before it and
    // hands the lock on in that order (only a request made at the moment of a release may go first), so
    // a waiter is not passed over by copies that keep coming back. flock has no time limit, so a thread
    // of its own blocks in it, and lets the lock go again if every wait has given it up by then.
    static std::optional<QString> block(
        const std::shared_ptr<LockAttempt> &attempt, const std::shared_ptr<ProjectStore::Waits> &waits)
    {
        try {
            std::thread([waits, attempt] {
                int result = 0;
                do
                    result = ::flock(attempt->descriptor, LOCK_EX);
                while (result != 0 && errno == EINTR);
                const int error = result == 0 ? 0 : errno;
                const std::lock_guard guard(waits->mutex);
                if (attempt->abandoned) {
                    if (waits->givenUp == attempt)
                        waits->givenUp = nullptr;
                    ::close(attempt->descriptor);
                    return;
                }
                attempt->finished = true;
                attempt->error = error;
                waits->changed.notify_all();
            }).detach();
        } catch (const std::system_error &error) {
            ::close(attempt->descriptor);
            return QString::fromLocal8Bit(error.what());
        }
        return std::nullopt;
    }

    int m_descriptor = -1;
};

struct FileRead {
    QByteArray bytes;
    QString error;
};

// The settings file as it is on disk now; no file reads as empty.
FileRead readWhole(const QString &path)
{
    FileRead read;
    QFile file(path);
    if (!file.exists())
        return read;
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = file.errorString();
        return read;
    }
    read.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        read.error = file.errorString();
    return read;
}

// QSettings is the reader and writer of the file's INI format, but it reads and writes only files, and
// its objects over one file share what they read of it in the process: a value that failed to be written
// stays pending there, and the next sync of any of them writes it over what another copy stored since,
// and a change by another copy of the same size within the same millisecond goes unseen. Nor does it
// say why a write failed. So it works on a copy of the file's bytes, under a name of its own, in memory
// (a full disk leaves the copy writable), and the settings file is read and written here.
class SettingsCopy {
public:
    SettingsCopy(const QByteArray &bytes, QSettings::Format format)
        : m_folder(
            memoryFolder() + QStringLiteral("/korvel-") + QString::number(::getpid()) + QStringLiteral("-XXXXXX"))
    {
        if (!m_folder.isValid()) {
            m_error = m_folder.errorString();
            return;
        }
        QFile file(m_folder.filePath(QStringLiteral("settings")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
            m_error = file.errorString();
            return;
        }
        file.close();
        m_settings.emplace(file.fileName(), format);
    }
    // Why the copy could not be made, or nothing.
    const QString &error() const { return m_error; }
    QSettings &settings() { return *m_settings; }

    // Writes the settings file with the values set in the copy.
    std::optional<QString> writeTo(const QString &path)
    {
        m_settings->sync();
        QFile file(m_settings->fileName());
        QByteArray written;
        if (file.open(QIODevice::ReadOnly))
            written = file.readAll();
        // QSettings writes through a buffered QSaveFile, which commits a file cut short by a failed
        // write, and its status keeps only the first error it met (a line it could not read): what it
        // wrote counts when it reads back as what it holds.
        if (!readsBackAs(written, *m_settings))
            return QStringLiteral("its new contents could not be written in ") + m_folder.path();
        return saveWholeFile(path, written);
    }

private:
    static bool readsBackAs(const QByteArray &bytes, const QSettings &settings)
    {
        SettingsCopy copy(bytes, settings.format());
        if (!copy.error().isEmpty())
            return false;
        const QStringList keys = settings.allKeys();
        return copy.settings().allKeys() == keys && std::all_of(keys.begin(), keys.end(), [&](const QString &key) {
            return copy.settings().value(key) == settings.value(key);
        });
    }

    static QString memoryFolder()
    {
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    }

    QTemporaryDir m_folder;
    QString m_error;
    std::optional<QSettings> m_settings;
};

struct StoredList {
    QList<Project> projects;
    ProjectStore::Unreadable unreadable;
    // The value as stored, and whether it was just set aside under its backup key.
    QVariant value;
    bool backupSet = false;
};

// The list as stored. Whatever stands under the key and does not read whole is kept under a backup key
// (set in the settings, not yet written), whatever its type: a settings file cut short leaves
// "@ByteArray(..." without its closing parenthesis, which reads as text.
StoredList readStored(QSettings &settings)
{
    StoredList stored;
    stored.value = settings.value(defaultsKey);
    const QVariant &value = stored.value;
    if (!value.isValid())
        return stored;
    bool readable = false;
    if (value.typeId() == QMetaType::QByteArray)
        stored.projects = ProjectStore::decode(value.toByteArray(), &readable, &stored.unreadable.entries);
    if (readable && stored.unreadable.entries == 0)
        return stored;
    stored.unreadable.wholeList = !readable;
    QString backupKey = unreadableKey;
    for (int copy = 2; settings.contains(backupKey) && settings.value(backupKey) != value; ++copy)
        backupKey = unreadableKey + u'.' + QString::number(copy);
    if (!settings.contains(backupKey)) {
        settings.setValue(backupKey, value);
        stored.backupSet = true;
    }
    stored.unreadable.backupKey = backupKey;
    return stored;
}

QString notSaved(const QString &path, const QString &reason)
{
    return QStringLiteral("The project list could not be saved in ") + path + QStringLiteral(": ") + reason
        + QStringLiteral(". The projects shown stay listed until the program quits.");
}

// The entry with the project's id, or else the first with its folder; -1 when there is none.
qsizetype entryOf(const QList<Project> &projects, const Project &project)
{
    qsizetype byPath = -1;
    for (qsizetype i = 0; i < projects.size(); ++i) {
        if (projects[i].id == project.id)
            return i;
        if (byPath < 0 && projects[i].path == project.path)
            byPath = i;
    }
    return byPath;
}

} // namespace

ProjectStore::ProjectStore(QSettings *settings)
    : m_fileName(settings->fileName()), m_format(settings->format()), m_waits(std::make_shared<Waits>())
{
    m_thread.setMaxThreadCount(1);
}

ProjectStore::~ProjectStore()
{
    {
        const std::lock_guard guard(m_waits->mutex);
        m_waits->closing = true;
    }
    m_waits->changed.notify_all();
    m_thread.waitForDone();
}

QList<Project> ProjectStore::decode(const QByteArray &bytes, bool *ok, qsizetype *unreadableEntries)
{
    if (ok)
        *ok = false;
    if (unreadableEntries)
        *unreadableEntries = 0;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return {};
    const QJsonArray array = document.array();
    QList<Project> projects;
    projects.reserve(array.size());
    for (const QJsonValue &element : array) {
        std::optional<Project> project = Project::fromJson(element);
        if (project)
            projects.push_back(std::move(*project));
        else if (unreadableEntries)
            ++*unreadableEntries;
    }
    if (ok)
        *ok = true;
    return projects;
}

QByteArray ProjectStore::encode(const QList<Project> &projects)
{
    QJsonArray array;
    for (const Project &project : projects)
        array.push_back(project.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<Project> ProjectStore::load(Unreadable *unreadable)
{
    Unreadable ignored;
    if (!unreadable)
        unreadable = &ignored;
    *unreadable = Unreadable();
    const FileRead read = readWhole(fileName());
    if (!read.error.isEmpty()) {
        unreadable->fileError = read.error;
        return {};
    }
    SettingsCopy copy(read.bytes, m_format);
    if (!copy.error().isEmpty()) {
        unreadable->fileError = copy.error();
        return {};
    }
    StoredList stored = readStored(copy.settings());
    // A load runs on the UI thread at start-up, so it takes the lock only if it is free at once; else
    // the next save sets the value aside before it writes the list.
    if (stored.backupSet)
        rewrite(std::chrono::milliseconds(0), [](QSettings &settings) { return readStored(settings).backupSet; });
    *unreadable = stored.unreadable;
    return std::move(stored.projects);
}

std::optional<QString> ProjectStore::update(const Change &change)
{
    const std::optional<QString> failure = rewrite(lockWait(), [&](QSettings &settings) {
        StoredList stored = readStored(settings);
        change(stored.projects);
        const QByteArray encoded = encode(stored.projects);
        if (!stored.backupSet && stored.value == QVariant(encoded))
            return false;
        settings.setValue(defaultsKey, encoded);
        return true;
    });
    if (failure)
        return notSaved(fileName(), *failure);
    return std::nullopt;
}

std::optional<QString> ProjectStore::rewrite(
    std::chrono::milliseconds wait, const std::function<bool(QSettings &)> &change)
{
    const QString path = fileName();
    // The lock beside the file needs its folder first.
    QDir().mkpath(QFileInfo(path).absolutePath());
    ListLock lock;
    if (std::optional<QString> failure = lock.take(path, wait, m_waits))
        return failure;
    // A file that does not read is not written over with this change alone.
    const FileRead read = readWhole(path);
    if (!read.error.isEmpty())
        return read.error;
    SettingsCopy copy(read.bytes, m_format);
    if (!copy.error().isEmpty())
        return copy.error();
    if (!change(copy.settings()))
        return std::nullopt;
    return copy.writeTo(path);
}

std::optional<QString> ProjectStore::save(const QList<Project> &projects)
{
    return update([&](QList<Project> &stored) { stored = projects; });
}

QFuture<std::optional<QString>> ProjectStore::startUpdate(Change change)
{
    return QtConcurrent::run(&m_thread, [this, change = std::move(change)] { return update(change); });
}

QFuture<std::optional<QString>> ProjectStore::startSetting(QString key, QVariant value)
{
    return QtConcurrent::run(&m_thread, [this, key = std::move(key), value = std::move(value)] {
        return rewrite(lockWait(), [&](QSettings &settings) {
            if (settings.value(key) == value)
                return false;
            if (value.isValid())
                settings.setValue(key, value);
            else
                settings.remove(key);
            return true;
        });
    });
}

QUuid ProjectStore::add(QList<Project> &projects, const Project &project)
{
    const qsizetype listed = entryOf(projects, project);
    if (listed >= 0) {
        projects[listed].kind = project.kind;
        return projects[listed].id;
    }
    projects.push_back(project);
    TextUtil::sortByLocalizedKey(projects, [](const Project &p) { return p.name; });
    return project.id;
}

void ProjectStore::remove(QList<Project> &projects, const Project &project)
{
    const qsizetype listed = entryOf(projects, project);
    if (listed >= 0)
        projects.removeAt(listed);
}

void ProjectStore::replace(QList<Project> &projects, const Project &project, const Project &changed)
{
    const qsizetype listed = entryOf(projects, project);
    if (listed < 0)
        return;
    projects[listed].path = changed.path;
    projects[listed].name = changed.name;
    projects[listed].kind = changed.kind;
}
