#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

// Subversion's status values, named as in its XML status output.
enum class SVNStatusKind {
    added,
    conflicted,
    deleted,
    external,
    ignored,
    incomplete,
    merged,
    missing,
    modified,
    none,
    normal,
    obstructed,
    replaced,
    unversioned,
    unknown,
};

inline constexpr std::array<SVNStatusKind, 15> allSVNStatusKinds = {
    SVNStatusKind::added,
    SVNStatusKind::conflicted,
    SVNStatusKind::deleted,
    SVNStatusKind::external,
    SVNStatusKind::ignored,
    SVNStatusKind::incomplete,
    SVNStatusKind::merged,
    SVNStatusKind::missing,
    SVNStatusKind::modified,
    SVNStatusKind::none,
    SVNStatusKind::normal,
    SVNStatusKind::obstructed,
    SVNStatusKind::replaced,
    SVNStatusKind::unversioned,
    SVNStatusKind::unknown,
};

QString rawValue(SVNStatusKind kind);
// Exactly one character.
QString shortName(SVNStatusKind kind);
QString displayName(SVNStatusKind kind);
bool isCommittableByDefault(SVNStatusKind kind);
// Exact, case-sensitive match; anything else gives nothing.
std::optional<SVNStatusKind> svnStatusKindFromRaw(QStringView raw);
// Exact, case-sensitive match; anything else gives `unknown`.
SVNStatusKind svnStatusKindFromRawSVN(QStringView raw);

struct WorkingCopyItem {
    QString path;
    SVNStatusKind kind = SVNStatusKind::none;
    SVNStatusKind propertiesKind = SVNStatusKind::none;
    std::optional<QString> revision;
    std::optional<QString> author;
    bool treeConflict = false;
    // Git only: the path a staged rename or copy came from. Not shown; revert and commit need it to
    // undo or record the whole rename.
    std::optional<QString> renamedFrom;
    std::optional<QString> copiedFrom;
    // Git only: an unmerged path the current commit does not have (deleted by us or by both, added by
    // them), which a revert can only unstage.
    bool absentFromHead = false;
    // svn only: a file svn wrote beside a conflicted path (its .mine, .rN, .prej), which belongs to
    // the conflict and never to the repository.
    bool conflictFile = false;
    // svn only: the row belongs to a copy ("+" in svn status).
    bool copied = false;
    // svn only: the other half of a move this path is part of (svn commits both halves together or
    // neither), as svn names it.
    std::optional<QString> movedFrom;
    std::optional<QString> movedTo;

    const QString &id() const { return path; }
    QString statusLabel() const;
    // The kind the row shows: a conflict on the properties is a conflict whatever the content's kind.
    SVNStatusKind shownKind() const;
    // Ticked for commit when first listed.
    bool isTickedByDefault() const;

    bool operator==(const WorkingCopyItem &) const = default;
};

// Its texts may move in memory as they are: a long status list grows without a copy.
Q_DECLARE_TYPEINFO(WorkingCopyItem, Q_RELOCATABLE_TYPE);

size_t qHash(const WorkingCopyItem &item, size_t seed = 0);

// The path of the working copy's own folder as svn names it, so that it reaches svn unchanged.
inline constexpr QStringView workingCopyRootPath = u".";
// A row's path as shown: the root is "." with the folder's name, which a user recognises.
QString displayPath(const QString &path, const QString &projectFolder);

struct SVNRemoteStatus {
    std::optional<qint64> repositoryRevision;
    QList<WorkingCopyItem> outdatedItems;
};
