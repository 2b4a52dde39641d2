#include "AppState.h"

#include "model/TextUtil.h"
#include "state/IgnoreEdits.h"
#include "state/WorkingCopyPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 largestIgnoreFile = 16 * 1024 * 1024;

struct IgnoreFileUpdate {
    enum Outcome { written, unchanged, failed } outcome;
    QString message;
};

IgnoreFileUpdate refused(const QString &path, const QString &reason)
{
    return {IgnoreFileUpdate::failed, QStringLiteral("Could not use ") + path + QStringLiteral(": ") + reason};
}

IgnoreFileUpdate readFailed(const QString &path, const QString &reason)
{
    return {IgnoreFileUpdate::failed, QStringLiteral("Could not read ") + path + QStringLiteral(": ") + reason};
}

// Appends the rules that are not yet lines of the file. A file in a cloned repository may be a link
// to anywhere, a FIFO or a device: only a regular file inside the project folder, once links are
// resolved, is read or written. Only a missing file reads as empty; anything that cannot be read
// must not be replaced by the new rules alone.
IgnoreFileUpdate appendRulesToFile(const QString &path, const QString &root, const QStringList &rules)
{
    // Two quick actions must not both read the old text and then each write only their own rules.
    static QMutex serialized;
    const QMutexLocker locker(&serialized);

    const QFileInfo entry(path);
    QString target = path;
    QByteArray old;
    if (entry.exists() || entry.isSymLink()) {
        if (!entry.exists())
            return refused(path, QStringLiteral("it is a symbolic link to something that does not exist."));
        target = entry.canonicalFilePath();
        const QString folder = QFileInfo(root).canonicalFilePath();
        if (folder.isEmpty() || !target.startsWith(folder + u'/'))
            return refused(path, QStringLiteral("it leads outside the project folder."));
        // Opened without blocking, so a FIFO swapped in after the check cannot hold the read.
        const int descriptor
            = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (descriptor < 0)
            return readFailed(path, QString::fromLocal8Bit(std::strerror(errno)));
        QFile file;
        file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        struct stat status { };
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
            return refused(path, QStringLiteral("it is not a regular file."));
        old = file.read(largestIgnoreFile + 1);
        if (file.error() != QFileDevice::NoError)
            return readFailed(path, file.errorString());
        if (old.size() > largestIgnoreFile)
            return refused(path, QStringLiteral("it is larger than 16 MiB."));
        if (!TextUtil::isValidUtf8(old))
            return readFailed(path, QStringLiteral("the file is not valid UTF-8 text."));
    }

    // Lines compared as the rule reader sees them: a leading byte order mark is not part of the first.
    const QString text = TextUtil::decodeUtf8Strict(old);
    const QStringList lines = text.split(u'\n');
    QStringList added;
    for (const QString &rule : rules) {
        if (!lines.contains(rule))
            added.push_back(rule);
    }
    if (added.isEmpty())
        return {IgnoreFileUpdate::unchanged, QString()};

    QByteArray updated = old;
    if (!text.isEmpty() && !old.endsWith('\n'))
        updated += '\n';
    updated += added.join(u'\n').toUtf8();
    updated += '\n';

    // Written to the resolved file, so the replacement keeps a link in the project pointing at it.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size() || !file.commit())
        return {IgnoreFileUpdate::failed,
            QStringLiteral("Could not write ") + path + QStringLiteral(": ") + file.errorString()};
    return {IgnoreFileUpdate::written, QString()};
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
    QStringList rules;
    try {
        for (const QString &path : paths) {
            // The list holds exact names: trimming " a" would ignore "a" instead.
            const QString relative = normalizedWorkingCopyPath(path, project->path, false);
            rules.push_back(ignorePattern(relative, workingCopyPathIsDirectory(relative, project->path)));
        }
    } catch (const std::exception &error) {
        showError(QStringLiteral("Ignore Failed"), error);
        return;
    }
    startTask([this, rules = std::move(rules), project = *project] {
        return appendIgnorePatterns(QStringLiteral("Ignore Failed"), rules, project);
    });
}

void AppState::includeIgnoredPath()
{
    const std::optional<Project> project = selectedProject();
    if (!project) {
        showAlert(QStringLiteral("No Project Selected"), QStringLiteral("Choose a project first."));
        return;
    }
    const QString text = promptValue(
        QStringLiteral("Include Ignored Path"), {QStringLiteral("path"), QStringLiteral("Path"), selectedActionPath()})
                             .value_or(QString());
    if (text.isEmpty())
        return;
    QStringList rules;
    try {
        const QString relative = normalizedWorkingCopyPath(text, project->path);
        const bool isDirectory = text.endsWith(u'/') || workingCopyPathIsDirectory(relative, project->path);
        rules = includePatterns(relative, isDirectory);
    } catch (const std::exception &error) {
        showError(QStringLiteral("Include Failed"), error);
        return;
    }
    startTask([this, rules = std::move(rules), project = *project] {
        return appendIgnorePatterns(QStringLiteral("Include Failed"), rules, project);
    });
}

// Appends the rules that are not yet a line of the ignore file, off the UI thread, then reloads the
// status; alerts when none is new. The file must be a regular file inside the project once links
// are resolved; anything else, or a file that cannot be read or written, alerts under `failureTitle`
// and nothing is written.
QCoro::Task<> AppState::appendIgnorePatterns(QString failureTitle, QStringList rules, Project project)
{
    const QString path = ignoreFileURL(project);
    const IgnoreFileUpdate update
        = co_await awaitInScope(m_runScope, QtConcurrent::run(appendRulesToFile, path, project.path, rules));
    switch (update.outcome) {
    case IgnoreFileUpdate::failed:
        showAlert(failureTitle, update.message);
        co_return;
    case IgnoreFileUpdate::unchanged:
        showAlert(QStringLiteral("Ignore Rules Unchanged"),
            QStringLiteral("The selected ignore rule already exists in ") + TextUtil::lastPathComponent(path) + u'.');
        break;
    case IgnoreFileUpdate::written:
        break;
    }
    refreshStatus();
}
