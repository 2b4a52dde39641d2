#include "ProjectStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

namespace {
const QString defaultsKey = QStringLiteral("KorvelSVN.projects");
const QString unreadableKey = QStringLiteral("KorvelSVN.projects.unreadable");
} // namespace

ProjectStore::ProjectStore(QSettings *settings) : m_settings(settings)
{ }

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

QList<Project> ProjectStore::load(qsizetype *unreadableEntries) const
{
    if (unreadableEntries)
        *unreadableEntries = 0;
    const QVariant value = m_settings->value(defaultsKey);
    if (value.typeId() != QMetaType::QByteArray)
        return {};
    return decode(value.toByteArray(), nullptr, unreadableEntries);
}

void ProjectStore::save(const QList<Project> &projects)
{
    // Whatever stands under the key and does not read whole is kept, whatever its type: a settings
    // file cut short leaves "@ByteArray(..." without its closing parenthesis, which reads as text.
    const QVariant stored = m_settings->value(defaultsKey);
    if (stored.isValid()) {
        bool readable = false;
        qsizetype unreadableEntries = 0;
        if (stored.typeId() == QMetaType::QByteArray)
            decode(stored.toByteArray(), &readable, &unreadableEntries);
        if (!readable || unreadableEntries > 0) {
            QString backupKey = unreadableKey;
            for (int copy = 2; m_settings->contains(backupKey); ++copy)
                backupKey = unreadableKey + u'.' + QString::number(copy);
            m_settings->setValue(backupKey, stored);
        }
    }
    m_settings->setValue(defaultsKey, encode(projects));
    m_settings->sync();
}
