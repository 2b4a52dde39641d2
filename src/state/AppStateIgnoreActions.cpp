#include "AppState.h"

#include "model/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

} // namespace

void AppState::ignoreSelectedPaths()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    const QStringList paths = actionPaths();
    if (paths.isEmpty()) {
        showAlert(QStringLiteral("No Paths Selected"), QStringLiteral("Select a changed path first."));
        return;
    }
    try {
        QStringList rules;
        for (const QString &path : paths) {
            // The list holds exact names: trimming " a" would ignore "a" instead.
            const QString relative = normalizedWorkingCopyPath(path, project->path, false);
            rules.push_back(ignorePattern(relative, workingCopyPathIsDirectory(relative, project->path)));
        }
        appendIgnorePatterns(rules, *project);
    } catch (const std::exception &error) {
        showError(QStringLiteral("Ignore Failed"), error);
        return;
    }
    refreshStatus();
}

void AppState::includeIgnoredPath()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    const std::optional<QHash<QString, QString>> values = prompt(QStringLiteral("Include Ignored Path"),
        {{QStringLiteral("path"), QStringLiteral("Path"), selectedActionPath()}});
    if (!values)
        return;
    const QString text = values->value(QStringLiteral("path"));
    if (text.isEmpty())
        return;
    try {
        const QString relative = normalizedWorkingCopyPath(text, project->path);
        const bool isDirectory = text.endsWith(u'/') || workingCopyPathIsDirectory(relative, project->path);
        appendIgnorePatterns(includePatterns(relative, isDirectory), *project);
    } catch (const std::exception &error) {
        showError(QStringLiteral("Include Failed"), error);
        return;
    }
    refreshStatus();
}

QString AppState::normalizedWorkingCopyPath(const QString &text, const QString &root, bool trimText)
{
    // Checked before trimming: a name ending in a line break must not turn into another name, and
    // one holding a break would write a second rule of its own.
    if (std::any_of(text.begin(), text.end(), isNewline))
        throw SVNClientError::launchFailed(QStringLiteral("Ignore paths cannot contain newlines."));
    const QString path = trimText ? TextUtil::trimmed(text) : text;
    if (path.isEmpty())
        throw SVNClientError::launchFailed(QStringLiteral("Enter a path inside the selected working copy."));

    QString normalized;
    if (path.startsWith(u'/')) {
        const std::optional<QString> relative = repositoryRelativePath(QDir::cleanPath(path), root);
        if (!relative)
            throw SVNClientError::launchFailed(QStringLiteral("Choose a path inside ") + QDir::cleanPath(root) + u'.');
        normalized = *relative;
    } else {
        normalized = IgnoreRules::normalizePath(path);
    }
    if (normalized.isEmpty() || normalized == u'.')
        throw SVNClientError::launchFailed(QStringLiteral("Choose a file or directory below the working copy root."));
    if (normalized.split(u'/').contains(QStringLiteral("..")))
        throw SVNClientError::launchFailed(QStringLiteral("Ignore paths cannot contain '..'."));
    return normalized;
}

QString AppState::ignorePattern(const QString &path, bool isDirectory)
{
    const QString rule = u'/' + escapedIgnorePattern(path);
    return isDirectory ? rule + QStringLiteral("/*") : rule;
}

QStringList AppState::includePatterns(const QString &path, bool isDirectory)
{
    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    if (components.isEmpty())
        return {};
    QStringList rules;
    for (qsizetype depth = 1; depth < components.size(); ++depth) {
        const QString ancestor = escapedIgnorePattern(components.first(depth).join(u'/'));
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

void AppState::appendIgnorePatterns(const QStringList &rules, const Project &project)
{
    const QString path = ignoreFileURL(project);
    const QString fileName = TextUtil::lastPathComponent(path);

    // Only a missing file reads as empty: anything else that cannot be read must not be replaced by
    // the new rules alone.
    QByteArray old;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw SVNClientError::launchFailed(
                QStringLiteral("Could not read ") + path + QStringLiteral(": ") + file.errorString());
        old = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw SVNClientError::launchFailed(
                QStringLiteral("Could not read ") + path + QStringLiteral(": ") + file.errorString());
        if (!TextUtil::isValidUtf8(old))
            throw SVNClientError::launchFailed(
                QStringLiteral("Could not read ") + path + QStringLiteral(": the file is not valid UTF-8 text."));
    }

    // Lines compared as the rule reader sees them: a leading byte order mark is not part of the first.
    const QString text = TextUtil::decodeUtf8Strict(old);
    const QStringList lines = text.split(u'\n');
    QStringList added;
    for (const QString &rule : rules) {
        if (!lines.contains(rule))
            added.push_back(rule);
    }
    if (added.isEmpty()) {
        showAlert(QStringLiteral("Ignore Rules Unchanged"),
            QStringLiteral("The selected ignore rule already exists in ") + fileName + u'.');
        return;
    }

    QByteArray updated = old;
    if (!text.isEmpty() && !old.endsWith('\n'))
        updated += '\n';
    updated += added.join(u'\n').toUtf8();
    updated += '\n';

    // QSaveFile writes through a symbolic link to its target and keeps the old file's permissions.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size() || !file.commit())
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not write ") + path + QStringLiteral(": ") + file.errorString());
}
