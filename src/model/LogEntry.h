#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct SVNPathChange {
    QString action;
    QString path;
    std::optional<QString> kind;

    QString id() const { return action + u':' + path; }
    bool isFileChange() const { return kind != QStringLiteral("dir"); }

    bool operator==(const SVNPathChange &) const = default;
};
// Its texts may move in memory as they are: a wide revision's list of changes grows without a copy.
Q_DECLARE_TYPEINFO(SVNPathChange, Q_RELOCATABLE_TYPE);

// The shared rules of log entries and history revisions.
namespace LogText {
// The whole message trimmed at both ends, or "(no message)".
QString summary(const QString &message);
// The first seven characters of a commit hash, else "r" and the revision.
QString displayRevision(qint64 revision, const std::optional<QString> &commitHash);
} // namespace LogText

struct LogEntry {
    qint64 revision = 0;
    std::optional<QString> commitHash;
    QString author;
    std::optional<QDateTime> date;
    QString message;
    QList<SVNPathChange> paths;

    qint64 id() const { return revision; }
    QString summary() const { return LogText::summary(message); }
    QString displayRevision() const { return LogText::displayRevision(revision, commitHash); }

    bool operator==(const LogEntry &) const = default;
};

// A revision of one file: the whole log entry, and what it did to the file.
struct FileHistoryRevision : LogEntry {
    QString action;

    bool operator==(const FileHistoryRevision &) const = default;
};

struct FileHistoryItem {
    QString path;
    QList<FileHistoryRevision> revisions;

    const QString &id() const { return path; }
    std::optional<FileHistoryRevision> latestRevision() const
    {
        if (revisions.isEmpty())
            return std::nullopt;
        return revisions.first();
    }

    bool operator==(const FileHistoryItem &) const = default;
};

struct RepositoryInfo {
    std::optional<QString> workingCopyRoot;
    std::optional<QString> url;
    std::optional<QString> relativeURL;
    std::optional<QString> repositoryRoot;
    std::optional<QString> repositoryUUID;
    std::optional<QString> revision;
    std::optional<QString> workingRevision;
    std::optional<QString> lastChangedRevision;
    std::optional<QString> lastChangedAuthor;
    std::optional<QDateTime> lastChangedDate;

    bool operator==(const RepositoryInfo &) const = default;
};

struct GitBranch {
    QString name;
    bool isCurrent = false;
    bool isRemote = false;

    const QString &id() const { return name; }

    bool operator==(const GitBranch &) const = default;
};
