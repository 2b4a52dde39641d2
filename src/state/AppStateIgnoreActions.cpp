#include "AppState.h"

#include "model/TextUtil.h"
#include "state/IgnoreEdits.h"
#include "state/IgnoreFiles.h"
#include "state/WorkingCopyPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

IgnoreFileUpdate writeFailed(const QString &path, const QString &reason)
{
    return {IgnoreFileUpdate::failed, QStringLiteral("Could not write ") + path + QStringLiteral(": ") + reason};
}

bool writeAll(int descriptor, QByteArrayView bytes, off_t at)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = ::pwrite(descriptor, bytes.data(), size_t(bytes.size()), at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes = bytes.sliced(written);
        at += written;
    }
    return true;
}

// A name of its own in the file's folder, short whatever the file's name is.
QString temporaryBeside(const QString &target)
{
    return TextUtil::appendingPathComponent(TextUtil::deletingLastPathComponent(target),
        QStringLiteral(".korvel-") + QString::number(QRandomGenerator::system()->generate64(), 16)
            + QStringLiteral(".tmp"));
}

// Writes `updated` to a new file beside the target and renames it over the target. The new file gets
// the `original` file's owner, group and mode, or for a new target the mode new files get. Nothing is
// written, and false returned with errno set, when the new file cannot be made so.
bool replaceWhole(const QString &target, const QByteArray &updated, const struct stat *original)
{
    const QByteArray temporary = QFile::encodeName(temporaryBeside(target));
    const int descriptor = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    int error = 0;
    const auto check = [&error](bool succeeded) {
        if (!succeeded && error == 0)
            error = errno ? errno : EIO;
        return succeeded;
    };
    // The owner first: changing it clears the set-user and set-group bits the mode then puts back.
    bool done = !original
        || (check(::fchown(descriptor, original->st_uid, original->st_gid) == 0)
            && check(::fchmod(descriptor, original->st_mode & 07777) == 0));
    done = done && check(writeAll(descriptor, updated, 0)) && check(::fsync(descriptor) == 0);
    done = check(::close(descriptor) == 0) && done;
    done = done && check(::rename(temporary.constData(), QFile::encodeName(target).constData()) == 0);
    if (!done) {
        ::unlink(temporary.constData());
        errno = error;
    }
    return done;
}

// Writes the new text over the old one. A file the program can give a whole new copy of, with the
// same owner, group and mode, is replaced at once; a file with other names (hard links), extended
// attributes (an access list) or an owner the program cannot give a new file keeps its place on disk
// and gets only the new lines appended, which are cut off again when the write fails. Either way a
// failure leaves the old text whole.
IgnoreFileUpdate writeRules(const QString &path, const QString &target, const std::optional<struct stat> &read,
    const QByteArray &old, const QByteArray &updated)
{
    if (!read) {
        if (!replaceWhole(target, updated, nullptr))
            return writeFailed(path, systemError(errno));
        return {IgnoreFileUpdate::written, QString()};
    }
    const int descriptor
        = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return writeFailed(path, systemError(errno));
    const auto closing = qScopeGuard([descriptor] { ::close(descriptor); });
    struct stat status { };
    if (::fstat(descriptor, &status) != 0)
        return writeFailed(path, systemError(errno));
    if (status.st_dev != read->st_dev || status.st_ino != read->st_ino || status.st_size != off_t(old.size()))
        return writeFailed(path, QStringLiteral("it changed while it was being edited."));
    const bool inPlace = status.st_nlink > 1 || ::flistxattr(descriptor, nullptr, 0) > 0;
    if (!inPlace && replaceWhole(target, updated, &status))
        return {IgnoreFileUpdate::written, QString()};
    const QByteArrayView added = QByteArrayView(updated).sliced(old.size());
    if (!writeAll(descriptor, added, off_t(old.size())) || ::fsync(descriptor) != 0) {
        const int error = errno;
        while (::ftruncate(descriptor, off_t(old.size())) != 0 && errno == EINTR) { }
        return writeFailed(path, systemError(error));
    }
    return {IgnoreFileUpdate::written, QString()};
}

// Appends the rules that are not yet lines of the file; `rulesFor` gives them from the file's text.
// A file in a cloned repository may be a link to anywhere, a FIFO or a device: only a regular file
// inside the project folder, once links are resolved, is read or written. Only a missing file reads as
// empty; anything that cannot be read must not be replaced by the new rules alone.
IgnoreFileUpdate appendRulesToFile(
    const QString &path, const QString &root, const std::function<QStringList()> &rulesFor)
{
    // Two quick actions must not both read the old text and then each write only their own rules.
    static QMutex serialized;
    const QMutexLocker locker(&serialized);

    const QFileInfo entry(path);
    QString target = path;
    QByteArray old;
    std::optional<struct stat> read;
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
            return readFailed(path, systemError(errno));
        QFile file;
        file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        struct stat status { };
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
            return refused(path, QStringLiteral("it is not a regular file."));
        read = status;
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
    for (const QString &rule : rulesFor()) {
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
    // Written to the resolved file, so a link in the project keeps pointing at it.
    return writeRules(path, target, read, old, updated);
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
    startProjectTask(*project, [this, rules = std::move(rules), project = *project] {
        return appendIgnorePatterns(
            QStringLiteral("Ignore Failed"), [rules] { return rules; }, project);
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
    QString relative;
    bool isDirectory = false;
    try {
        relative = normalizedWorkingCopyPath(text, project->path);
        isDirectory = text.endsWith(u'/') || workingCopyPathIsDirectory(relative, project->path);
    } catch (const std::exception &error) {
        showError(QStringLiteral("Include Failed"), error);
        return;
    }
    // Worked out against the rules as they stand when the file is read, so an ancestor folder is
    // re-included only when they exclude it.
    const auto rulesFor = [relative, isDirectory, root = project->path] {
        return includePatterns(relative, isDirectory, IgnoreFiles::load(root, {relative}));
    };
    startProjectTask(*project, [this, rulesFor, project = *project] {
        return appendIgnorePatterns(QStringLiteral("Include Failed"), rulesFor, project);
    });
}

// Appends the rules that are not yet a line of the ignore file, off the UI thread, then reloads the
// status; alerts when none is new. The file must be a regular file inside the project once links
// are resolved; anything else, or a file that cannot be read or written, alerts under `failureTitle`
// and nothing is written.
QCoro::Task<> AppState::appendIgnorePatterns(
    QString failureTitle, std::function<QStringList()> rulesFor, Project project)
{
    const QString path = ignoreFileURL(project);
    const IgnoreFileUpdate update
        = co_await awaitInScope(m_runScope, QtConcurrent::run(appendRulesToFile, path, project.path, rulesFor));
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
