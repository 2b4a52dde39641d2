#include "ArchiveNames.h"

#include "model/TextUtil.h"
#include "tools/SVNCommandResult.h"

#include <QTextBoundaryFinder>

QString archiveRevisionToken(const LogEntry &entry, const Project &project)
{
    if (project.kind != RepositoryKind::git)
        return QString::number(entry.revision);
    if (!entry.commitHash || entry.commitHash->isEmpty())
        throw SVNClientError::launchFailed(
            QStringLiteral("The selected archive entry does not include a Git commit hash."));
    return *entry.commitHash;
}

QString archiveRootName(const Project &project, const LogEntry &entry)
{
    // A hash, even an empty one, names the commit; the project's kind plays no part.
    const QString revision
        = entry.commitHash ? entry.commitHash->left(7) : QStringLiteral("r") + QString::number(entry.revision);
    return archiveNameComponent(project.name) + u'-' + archiveNameComponent(revision);
}

QString archiveNameComponent(const QString &text)
{
    static const QString allowed = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.");
    QString result;
    bool lastWasSeparator = false;
    // By grapheme: a letter with a combining accent is one disallowed character, not a letter.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = text.size();
        const QStringView grapheme = QStringView(text).mid(start, end - start);
        if (grapheme.size() == 1 && allowed.contains(grapheme.front())) {
            result += grapheme.front();
            lastWasSeparator = false;
        } else if (!lastWasSeparator) {
            result += u'-';
            lastWasSeparator = true;
        }
        start = end;
    }
    qsizetype first = 0;
    qsizetype last = result.size();
    while (first < last && (result[first] == u'-' || result[first] == u'.'))
        ++first;
    while (last > first && (result[last - 1] == u'-' || result[last - 1] == u'.'))
        --last;
    result = result.mid(first, last - first);
    return result.isEmpty() ? QStringLiteral("Archive") : result;
}

QString normalizedZipDestination(const QString &path)
{
    // A name's leading dot starts no extension: ".zip" is a hidden file without one.
    const QString name = TextUtil::lastPathComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.mid(dot + 1).toLower() == QStringLiteral("zip"))
        return path;
    return path + QStringLiteral(".zip");
}
