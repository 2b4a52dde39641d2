#include "Project.h"

#include <QHashFunctions>
#include <QJsonValue>

QString rawValue(RepositoryKind kind)
{
    return kind == RepositoryKind::git ? QStringLiteral("git") : QStringLiteral("svn");
}

QString displayName(RepositoryKind kind)
{
    return kind == RepositoryKind::git ? QStringLiteral("Git") : QStringLiteral("SVN");
}

std::optional<RepositoryKind> repositoryKindFromRaw(const QString &raw)
{
    if (raw == u"svn")
        return RepositoryKind::svn;
    if (raw == u"git")
        return RepositoryKind::git;
    return std::nullopt;
}

QString rawValue(WorkflowTab tab)
{
    switch (tab) {
    case WorkflowTab::changes:
        return QStringLiteral("Changes");
    case WorkflowTab::incoming:
        return QStringLiteral("Incoming");
    case WorkflowTab::history:
        return QStringLiteral("History");
    case WorkflowTab::archives:
        return QStringLiteral("Archives");
    }
    return QString();
}

std::optional<WorkflowTab> workflowTabFromRaw(const QString &raw)
{
    for (WorkflowTab tab : allWorkflowTabs) {
        if (rawValue(tab) == raw)
            return tab;
    }
    return std::nullopt;
}

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPosition) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != u"00000000-0000-0000-0000-000000000000")
        return std::nullopt;
    return id;
}

QJsonObject Project::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), uuidText(id));
    object.insert(QStringLiteral("name"), name);
    object.insert(QStringLiteral("path"), path);
    object.insert(QStringLiteral("kind"), rawValue(kind));
    return object;
}

std::optional<Project> Project::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue idValue = object.value(QStringLiteral("id"));
    if (!idValue.isString())
        return std::nullopt;
    const std::optional<QUuid> id = uuidFromText(idValue.toString());
    if (!id)
        return std::nullopt;
    const QJsonValue nameValue = object.value(QStringLiteral("name"));
    if (!nameValue.isString())
        return std::nullopt;
    const QJsonValue pathValue = object.value(QStringLiteral("path"));
    if (!pathValue.isString())
        return std::nullopt;
    RepositoryKind kind = RepositoryKind::svn;
    const QJsonValue kindValue = object.value(QStringLiteral("kind"));
    if (!kindValue.isUndefined() && !kindValue.isNull()) {
        if (!kindValue.isString())
            return std::nullopt;
        const std::optional<RepositoryKind> parsed = repositoryKindFromRaw(kindValue.toString());
        if (!parsed)
            return std::nullopt;
        kind = *parsed;
    }
    return Project{*id, nameValue.toString(), pathValue.toString(), kind};
}

size_t qHash(const Project &project, size_t seed)
{
    return qHashMulti(seed, project.id, project.name, project.path, static_cast<int>(project.kind));
}
