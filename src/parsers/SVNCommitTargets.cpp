#include "SVNCommitTargets.h"

#include <QSet>
#include <QXmlStreamReader>

namespace SVNCommitTargets {

namespace {

struct Entry {
    QString path;
    QString item;
    bool copied = false;
};

QList<Entry> readEntries(const QString &statusXml)
{
    QList<Entry> entries;
    QXmlStreamReader reader(statusXml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.qualifiedName() == u"entry") {
            entries.push_back(Entry{reader.attributes().value(QLatin1StringView("path")).toString(), {}, false});
        } else if (reader.qualifiedName() == u"wc-status" && !entries.isEmpty()) {
            entries.back().item = reader.attributes().value(QLatin1StringView("item")).toString();
            entries.back().copied = reader.attributes().value(QLatin1StringView("copied")) == u"true";
        }
    }
    return entries;
}

} // namespace

QStringList childrenGoingWith(const QString &statusXml, const QStringList &folders, const QStringList &newFolders)
{
    const QList<Entry> entries = readEntries(statusXml);
    QStringList copiedFolders;
    for (const Entry &entry : entries) {
        if (entry.copied && folders.contains(entry.path))
            copiedFolders.push_back(entry.path);
    }
    auto under = [](const QString &path, const QStringList &candidates) {
        for (const QString &folder : candidates) {
            if (path.size() > folder.size() + 1 && path.startsWith(folder) && path[folder.size()] == u'/')
                return true;
        }
        return false;
    };
    QStringList children;
    QSet<QString> seen(folders.begin(), folders.end());
    for (const Entry &entry : entries) {
        if (seen.contains(entry.path))
            continue;
        const bool scheduledByCommit = entry.item == u"added" && under(entry.path, newFolders);
        const bool ownCopy
            = entry.copied && (entry.item == u"added" || entry.item == u"replaced") && under(entry.path, copiedFolders);
        if (scheduledByCommit || ownCopy) {
            children.push_back(entry.path);
            seen.insert(entry.path);
        }
    }
    return children;
}

QStringList scheduledForDeletion(const QString &statusXml, const QStringList &paths)
{
    QSet<QString> deleted;
    for (const Entry &entry : readEntries(statusXml)) {
        if (entry.item == u"deleted" || entry.item == u"replaced")
            deleted.insert(entry.path);
    }
    QStringList scheduled;
    for (const QString &path : paths) {
        if (deleted.contains(path))
            scheduled.push_back(path);
    }
    return scheduled;
}

QStringList notOnlyDeleted(const QString &statusXml, const QStringList &paths)
{
    QSet<QString> standing;
    for (const Entry &entry : readEntries(statusXml)) {
        if (entry.item != u"deleted")
            standing.insert(entry.path);
    }
    QStringList found;
    for (const QString &path : paths) {
        if (standing.contains(path))
            found.push_back(path);
    }
    return found;
}

} // namespace SVNCommitTargets
