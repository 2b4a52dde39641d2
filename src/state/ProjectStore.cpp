#include "ProjectStore.h"

#include "model/TextUtil.h"
#include "state/IniKeys.h"
#include "tools/FileWrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtConcurrent/QtConcurrentRun>

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
    // through `wait`. No wait at all starts no thread.
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
        waits->changed.wait_until(guard, deadline, [&] { return attempt->finished; });
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

struct StoredList {
    QList<Project> projects;
    ProjectStore::Unreadable unreadable;
    // The value's text as stored, and whether it was just set aside under its backup key.
    std::optional<QByteArray> value;
    bool backupSet = false;
};

// The list as stored in the settings file's text. Whatever stands under the key and does not read whole
// is kept as it stands under a backup key (set in the text, not yet written), whatever it reads as: a
// settings file cut short leaves "@ByteArray(..." without its closing parenthesis, which reads as text.
StoredList readStored(QByteArray &text)
{
    StoredList stored;
    stored.value = IniKeys::value(text, defaultsKey);
    if (!stored.value)
        return stored;
    bool readable = false;
    if (const std::optional<QByteArray> bytes = IniKeys::toBytes(*stored.value))
        stored.projects = ProjectStore::decode(*bytes, &readable, &stored.unreadable.entries);
    if (readable && stored.unreadable.entries == 0)
        return stored;
    stored.unreadable.wholeList = !readable;
    QString backupKey = unreadableKey;
    for (int copy = 2;; ++copy) {
        const std::optional<QByteArray> backup = IniKeys::value(text, backupKey);
        if (!backup) {
            text = IniKeys::withValue(text, backupKey, stored.value);
            stored.backupSet = true;
        }
        if (!backup || *backup == *stored.value)
            break;
        backupKey = unreadableKey + u'.' + QString::number(copy);
    }
    stored.unreadable.backupKey = backupKey;
    return stored;
}

// The settings file behind any links: its lock is taken and its new contents written there, so a copy
// reaching it through a link shares the lock of one that names it, and a save leaves the link a link.
QString realPath(const QString &path)
{
    const QFileInfo file(path);
    if (QString real = file.canonicalFilePath(); !real.isEmpty())
        return real;
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + u'/' + file.fileName();
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

ProjectStore::ProjectStore(QSettings *settings) : m_fileName(settings->fileName()), m_waits(std::make_shared<Waits>())
{
    m_thread.setMaxThreadCount(1);
}

ProjectStore::~ProjectStore()
{
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
    QByteArray text = read.bytes;
    StoredList stored = readStored(text);
    // A load runs on the UI thread at start-up, so it takes the lock only if it is free at once; else
    // the next save sets the value aside before it writes the list.
    if (stored.backupSet)
        rewrite(std::chrono::milliseconds(0), [](QByteArray &text) { return readStored(text).backupSet; });
    *unreadable = stored.unreadable;
    return std::move(stored.projects);
}

std::optional<QString> ProjectStore::update(const Change &change)
{
    const std::optional<QString> failure = rewrite(lockWait(), [&](QByteArray &text) {
        StoredList stored = readStored(text);
        change(stored.projects);
        const QByteArray value = IniKeys::fromBytes(encode(stored.projects));
        if (!stored.backupSet && stored.value == value)
            return false;
        text = IniKeys::withValue(text, defaultsKey, value);
        return true;
    });
    if (failure)
        return notSaved(fileName(), *failure);
    return std::nullopt;
}

std::optional<QString> ProjectStore::rewrite(
    std::chrono::milliseconds wait, const std::function<bool(QByteArray &)> &change)
{
    // The lock beside the file needs its folder first.
    QDir().mkpath(QFileInfo(fileName()).absolutePath());
    const QString path = realPath(fileName());
    ListLock lock;
    if (std::optional<QString> failure = lock.take(path, wait, m_waits))
        return failure;
    // A file that does not read is not written over with this change alone.
    const FileRead read = readWhole(path);
    if (!read.error.isEmpty())
        return read.error;
    QByteArray text = read.bytes;
    if (!change(text))
        return std::nullopt;
    return saveWholeFile(path, text);
}

std::optional<QString> ProjectStore::save(const QList<Project> &projects)
{
    return update([&](QList<Project> &stored) { stored = projects; });
}

QFuture<std::optional<QString>> ProjectStore::startUpdate(Change change)
{
    return QtConcurrent::run(&m_thread, [this, change = std::move(change)] { return update(change); });
}

QFuture<std::optional<QString>> ProjectStore::startSetting(QString key, std::optional<QString> value)
{
    return QtConcurrent::run(&m_thread, [this, key = std::move(key), value = std::move(value)] {
        return rewrite(lockWait(), [&](QByteArray &text) {
            const std::optional<QByteArray> stored = value ? std::optional(IniKeys::fromString(*value)) : std::nullopt;
            if (IniKeys::value(text, key) == stored)
                return false;
            text = IniKeys::withValue(text, key, stored);
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
