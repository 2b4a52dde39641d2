#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

enum class RepositoryKind { svn, git };

QString rawValue(RepositoryKind kind);
QString displayName(RepositoryKind kind);
std::optional<RepositoryKind> repositoryKindFromRaw(const QString &raw);

enum class WorkflowTab { changes, incoming, history, archives };
inline size_t qHash(WorkflowTab tab, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(tab), seed);
}

inline constexpr std::array<WorkflowTab, 4> allWorkflowTabs
    = {WorkflowTab::changes, WorkflowTab::incoming, WorkflowTab::history, WorkflowTab::archives};

// The raw text is also the tab's identity and its label.
QString rawValue(WorkflowTab tab);
std::optional<WorkflowTab> workflowTabFromRaw(const QString &raw);

struct Project {
    QUuid id = QUuid::createUuid();
    QString name;
    QString path;
    RepositoryKind kind = RepositoryKind::svn;

    const QUuid &identity() const { return id; }
    // The project's folder; it need not exist.
    QString url() const { return path; }

    QJsonObject toJson() const;
    // Reads one project; gives nothing when any required field is missing or malformed.
    static std::optional<Project> fromJson(const QJsonValue &value);

    bool operator==(const Project &) const = default;
};

size_t qHash(const Project &project, size_t seed = 0);

// The standard hyphenated UUID form, upper case.
QString uuidText(const QUuid &id);
// Reads exactly the 36-character hyphenated form (either case); anything else gives nothing.
std::optional<QUuid> uuidFromText(const QString &text);
