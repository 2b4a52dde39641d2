#include "IgnoreEdits.h"

#include "model/TextUtil.h"

#include <QFileInfo>

QString ignoreFileURL(const Project &project)
{
    const QString gitignore = TextUtil::appendingPathComponent(project.url(), QStringLiteral(".gitignore"));
    // Any entry counts, even a dangling link or a folder of that name.
    if (QFileInfo(gitignore).exists() || QFileInfo(gitignore).isSymLink())
        return gitignore;
    return TextUtil::appendingPathComponent(project.url(), QStringLiteral(".korvelignore"));
}

QString escapedIgnorePattern(const QString &path)
{
    QString escaped;
    escaped.reserve(path.size() + 8);
    for (QChar c : path) {
        switch (c.unicode()) {
        case u'\\':
        case u' ':
        case u'#':
        case u'!':
        case u'*':
        case u'?':
        case u'[':
        case u']':
            escaped += u'\\';
            break;
        default:
            break;
        }
        escaped += c;
    }
    return escaped;
}

QString ignorePattern(const QString &path, bool isDirectory)
{
    const QString rule = u'/' + escapedIgnorePattern(path);
    return isDirectory ? rule + QStringLiteral("/*") : rule;
}

QStringList includePatterns(const QString &path, bool isDirectory, const IgnoreRules &current)
{
    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    if (components.isEmpty())
        return {};
    QStringList rules;
    for (qsizetype depth = 1; depth < components.size(); ++depth) {
        const QString folder = components.first(depth).join(u'/');
        if (!current.excludesFolder(folder))
            continue;
        const QString ancestor = escapedIgnorePattern(folder);
        rules.push_back(QStringLiteral("!/") + ancestor + u'/');
        rules.push_back(u'/' + ancestor + QStringLiteral("/*"));
    }
    const QString escaped = escapedIgnorePattern(components.join(u'/'));
    if (isDirectory) {
        rules.push_back(QStringLiteral("!/") + escaped + u'/');
        rules.push_back(QStringLiteral("!/") + escaped + QStringLiteral("/**"));
    } else {
        rules.push_back(QStringLiteral("!/") + escaped);
    }
    return rules;
}
