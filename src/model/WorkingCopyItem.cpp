#include "WorkingCopyItem.h"

#include "TextUtil.h"

#include <QHashFunctions>

namespace {

struct StatusKindInfo {
    const char16_t *raw;
    const char16_t *shortName;
    const char16_t *displayName;
    bool committable;
};

constexpr StatusKindInfo statusKindTable[] = {
    {u"added", u"A", u"Added", true},
    {u"conflicted", u"C", u"Conflict", true},
    {u"deleted", u"D", u"Deleted", true},
    {u"external", u"X", u"External", false},
    {u"ignored", u"I", u"Ignored", false},
    {u"incomplete", u"!", u"Incomplete", true},
    {u"merged", u"G", u"Merged", true},
    {u"missing", u"!", u"Missing", true},
    {u"modified", u"M", u"Modified", true},
    {u"none", u" ", u"None", false},
    {u"normal", u" ", u"Normal", false},
    {u"obstructed", u"~", u"Obstructed", true},
    {u"replaced", u"R", u"Replaced", true},
    {u"unversioned", u"?", u"Unversioned", true},
    {u"unknown", u"?", u"Unknown", true},
};

const StatusKindInfo &info(SVNStatusKind kind)
{
    return statusKindTable[static_cast<int>(kind)];
}

} // namespace

QString rawValue(SVNStatusKind kind)
{
    return QString::fromUtf16(info(kind).raw);
}

QString shortName(SVNStatusKind kind)
{
    return QString::fromUtf16(info(kind).shortName);
}

QString displayName(SVNStatusKind kind)
{
    return QString::fromUtf16(info(kind).displayName);
}

bool isCommittableByDefault(SVNStatusKind kind)
{
    return info(kind).committable;
}

std::optional<SVNStatusKind> svnStatusKindFromRaw(QStringView raw)
{
    for (SVNStatusKind kind : allSVNStatusKinds) {
        if (raw == QStringView(info(kind).raw))
            return kind;
    }
    return std::nullopt;
}

SVNStatusKind svnStatusKindFromRawSVN(QStringView raw)
{
    return svnStatusKindFromRaw(raw).value_or(SVNStatusKind::unknown);
}

QString WorkingCopyItem::statusLabel() const
{
    if (treeConflict)
        return QStringLiteral("Tree Conflict");
    if (propertiesKind != SVNStatusKind::none && propertiesKind != SVNStatusKind::normal)
        return displayName(kind) + QStringLiteral(", Props ")
            + TextUtil::trimmedSpacesAndTabs(shortName(propertiesKind));
    return displayName(kind);
}

SVNStatusKind WorkingCopyItem::shownKind() const
{
    return propertiesKind == SVNStatusKind::conflicted ? SVNStatusKind::conflicted : kind;
}

bool WorkingCopyItem::isTickedByDefault() const
{
    // Changed properties are a change to commit like changed content: a merge's record is one.
    return !conflictFile && (isCommittableByDefault(shownKind()) || propertiesKind == SVNStatusKind::modified);
}

size_t qHash(const WorkingCopyItem &item, size_t seed)
{
    return qHashMulti(seed, item.path, static_cast<int>(item.kind), static_cast<int>(item.propertiesKind),
        item.revision.value_or(QString()), item.revision.has_value(), item.author.value_or(QString()),
        item.author.has_value(), item.treeConflict, item.renamedFrom.value_or(QString()),
        item.copiedFrom.value_or(QString()), item.absentFromHead, item.conflictFile, item.copied,
        item.movedFrom.value_or(QString()), item.movedTo.value_or(QString()));
}

QString displayPath(const QString &path, const QString &projectFolder)
{
    if (path != workingCopyRootPath)
        return path;
    return path + QStringLiteral(" (") + TextUtil::lastPathComponent(projectFolder) + u')';
}
