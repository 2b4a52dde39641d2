#include "ProjectStore.h"

#include "model/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryFile>

namespace {
const QString defaultsKey = QStringLiteral("KorvelSVN.projects");
const QString unreadableKey = QStringLiteral("KorvelSVN.projects.unreadable");
// A copy holds the list's lock only while it reads and writes the file.
constexpr int lockWaitMilliseconds = 5000;

// The settings file read afresh while this copy holds the list's lock, so that two copies saving at
// once each apply their change to what the other stored. QSettings locks "<file>.lock" only around
// each single sync of its own, and keeps the first error it met for good: every use has a settings
// object of its own, so that a save after one that failed tells its own outcome. In one process the
// objects over one file share its contents, so the caller's settings see what is written here.
class LockedSettings {
public:
    LockedSettings(const QString &path, QSettings::Format format) : m_lock(path + QStringLiteral(".projects-lock"))
    {
        // Without the lock (a folder that takes no file) the list is read and written all the same;
        // the write then tells what fails.
        m_lock.tryLock(lockWaitMilliseconds);
        m_settings.emplace(path, format);
        m_settings->sync();
    }
    QSettings &operator*() { return *m_settings; }
    QSettings *operator->() { return &*m_settings; }

private:
    QLockFile m_lock;
    std::optional<QSettings> m_settings;
};

struct StoredList {
    QList<Project> projects;
    ProjectStore::Unreadable unreadable;
};

// The list as stored. Whatever stands under the key and does not read whole is kept under a backup key
// (not yet synced), whatever its type: a settings file cut short leaves "@ByteArray(..." without its
// closing parenthesis, which reads as text.
StoredList readStored(QSettings &settings)
{
    StoredList stored;
    const QVariant value = settings.value(defaultsKey);
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
    if (!settings.contains(backupKey))
        settings.setValue(backupKey, value);
    stored.unreadable.backupKey = backupKey;
    return stored;
}

// Why the settings file takes no writing, as the system says it: QSettings only tells that it failed.
QString writeProblem(const QString &path)
{
    QTemporaryFile probe(QFileInfo(path).absolutePath() + QStringLiteral("/.korvel-XXXXXX"));
    if (!probe.open())
        return probe.errorString();
    QFile file(path);
    if (file.exists() && !file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return file.errorString();
    return QStringLiteral("the file could not be written");
}

QString notSaved(const QString &path)
{
    return QStringLiteral("The project list could not be saved in ") + path + QStringLiteral(": ") + writeProblem(path)
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

ProjectStore::ProjectStore(QSettings *settings) : m_settings(settings)
{ }

QString ProjectStore::fileName() const
{
    return m_settings->fileName();
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
    LockedSettings settings(fileName(), m_settings->format());
    StoredList stored = readStored(*settings);
    if (!stored.unreadable.backupKey.isEmpty())
        settings->sync();
    if (unreadable)
        *unreadable = stored.unreadable;
    return std::move(stored.projects);
}

std::optional<QString> ProjectStore::update(const Change &change)
{
    const QString path = fileName();
    // QSettings makes a missing folder when it writes; the lock beside the file needs it first.
    QDir().mkpath(QFileInfo(path).absolutePath());
    LockedSettings settings(path, m_settings->format());
    // A file that does not read is not written over with this copy's change alone.
    if (settings->status() == QSettings::AccessError)
        return notSaved(path);
    StoredList stored = readStored(*settings);
    change(stored.projects);
    settings->setValue(defaultsKey, encode(stored.projects));
    settings->sync();
    if (settings->status() == QSettings::AccessError)
        return notSaved(path);
    return std::nullopt;
}

std::optional<QString> ProjectStore::save(const QList<Project> &projects)
{
    return update([&](QList<Project> &stored) { stored = projects; });
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
