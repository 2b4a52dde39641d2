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

QList<Project> ProjectStore::decode(const QByteArray &bytes, bool *ok)
{
    if (ok)
        *ok = false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return {};
    const QJsonArray array = document.array();
    QList<Project> projects;
    projects.reserve(array.size());
    for (const QJsonValue &element : array) {
        std::optional<Project> project = Project::fromJson(element);
        if (!project)
            return {};
        projects.push_back(std::move(*project));
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

QList<Project> ProjectStore::load() const
{
    const QVariant value = m_settings->value(defaultsKey);
    if (value.typeId() != QMetaType::QByteArray)
        return {};
    return decode(value.toByteArray());
}

void ProjectStore::save(const QList<Project> &projects)
{
    // Whatever stands under the key and does not read as a list is kept, whatever its type: a settings
    // file cut short leaves "@ByteArray(..." without its closing parenthesis, which reads as text.
    const QVariant stored = m_settings->value(defaultsKey);
    if (stored.isValid() && !m_settings->contains(unreadableKey)) {
        bool readable = false;
        if (stored.typeId() == QMetaType::QByteArray)
            decode(stored.toByteArray(), &readable);
        if (!readable)
            m_settings->setValue(unreadableKey, stored);
    }
    m_settings->setValue(defaultsKey, encode(projects));
    m_settings->sync();
}
