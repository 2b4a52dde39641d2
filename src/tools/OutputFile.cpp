#include "OutputFile.h"

#include "SVNCommandResult.h"

#include <QCoroFuture>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstring>
#include <variant>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

struct Opened {
    int descriptor = -1;
    // The file's hidden name; none for a file without a name.
    QString path;
    QString target;
};

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::variant<Opened, QString> openBeside(const QString &destination)
{
    const QByteArray native = QFile::encodeName(destination);
    Opened opened;
    opened.target = destination;
    struct stat info { };
    const bool stands = ::stat(native.constData(), &info) == 0;
    struct stat own { };
    const bool isLink = ::lstat(native.constData(), &own) == 0 && S_ISLNK(own.st_mode);
    // A rename would put a regular file in the place of a FIFO, a device or a link to nothing.
    if ((stands && !S_ISREG(info.st_mode)) || (!stands && isLink))
        return QStringLiteral("it is not a regular file.");
    if (stands && ::access(native.constData(), W_OK) != 0)
        return lastError();
    if (isLink)
        opened.target = QFileInfo(destination).canonicalFilePath();
    // A file without a name until it is complete: a program killed meanwhile leaves nothing behind. It is
    // named through /proc; where the file system or /proc cannot do that, it has a hidden name from the start.
    if (::access("/proc/self/fd", X_OK) == 0)
        opened.descriptor = ::open(
            QFile::encodeName(QFileInfo(opened.target).path()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (opened.descriptor < 0) {
        opened.path = ScopedTemporary::nameBeside(opened.target, QString());
        opened.descriptor = ::open(
            QFile::encodeName(opened.path).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    if (opened.descriptor < 0)
        return lastError();
    // The file that is replaced keeps its permissions.
    if (stands)
        (void)::fchmod(opened.descriptor, info.st_mode & 07777);
    return opened;
}

std::variant<WrittenFile, QString> renameOver(
    int descriptor, const QString &path, const QString &target, qsizetype startSize)
{
    // Synced before the rename, so a crash never leaves the destination replaced by an empty file.
    if (::fsync(descriptor) != 0)
        return lastError();
    // A file without a name gets one beside the destination only now, as rename cannot replace with it.
    const QByteArray named = QFile::encodeName(path.isEmpty() ? ScopedTemporary::nameBeside(target, QString()) : path);
    if (path.isEmpty()
        && ::linkat(AT_FDCWD, QByteArray("/proc/self/fd/" + QByteArray::number(descriptor)).constData(), AT_FDCWD,
               named.constData(), AT_SYMLINK_FOLLOW)
            != 0)
        return lastError();
    if (::rename(named.constData(), QFile::encodeName(target).constData()) != 0) {
        const QString reason = lastError();
        if (path.isEmpty())
            ::unlink(named.constData());
        return reason;
    }
    WrittenFile written;
    struct stat info { };
    if (::fstat(descriptor, &info) == 0)
        written.size = info.st_size;
    written.start.resize(std::min<qint64>(startSize, written.size));
    qsizetype read = 0;
    while (read < written.start.size()) {
        const ssize_t count
            = ::pread(descriptor, written.start.data() + read, size_t(written.start.size() - read), read);
        if (count <= 0)
            break;
        read += count;
    }
    written.start.truncate(read);
    return written;
}

} // namespace

QCoro::Task<OutputFile> OutputFile::beside(std::shared_ptr<ToolRunScope> scope, QString destination)
{
    const std::shared_ptr<ToolRunMark> mark = scope ? scope->currentMark() : nullptr;
    std::variant<Opened, QString> opened = co_await QtConcurrent::run(openBeside, destination);
    OutputFile file;
    file.m_scope = scope;
    file.m_destination = destination;
    if (auto *made = std::get_if<Opened>(&opened)) {
        file.m_target = made->target;
        file.m_descriptor = std::shared_ptr<const int>(new int(made->descriptor), [](const int *descriptor) {
            ::close(*descriptor);
            delete descriptor;
        });
        // Made while the scope ended: no one else will remove it.
        if (scope && scope->ended()) {
            if (!made->path.isEmpty())
                ScopedTemporary::removePath(made->path);
            throw ToolRunAbandoned{};
        }
        if (!made->path.isEmpty())
            file.m_temporary = ScopedTemporary(scope, made->path);
    }
    if (scope) {
        co_await ResumeMarked(scope, mark, toolRunContext());
        if (scope->ended())
            throw ToolRunAbandoned{};
    }
    if (const auto *failure = std::get_if<QString>(&opened))
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not write ") + destination + QStringLiteral(": ") + *failure);
    co_return file;
}

QCoro::Task<WrittenFile> OutputFile::complete(qsizetype startSize)
{
    std::variant<WrittenFile, QString> written = co_await awaitInScope(
        m_scope, QtConcurrent::run(renameOver, *m_descriptor, m_temporary.path(), m_target, startSize));
    if (const auto *failure = std::get_if<QString>(&written))
        throw SVNClientError::launchFailed(
            QStringLiteral("Could not write ") + m_destination + QStringLiteral(": ") + *failure);
    m_temporary.release();
    co_return std::get<WrittenFile>(std::move(written));
}

std::optional<QString> OutputFile::writeFailure() const
{
    struct statvfs room { };
    if (::fstatvfs(descriptor(), &room) != 0 || room.f_bavail > 0)
        return std::nullopt;
    return QString::fromLocal8Bit(std::strerror(ENOSPC));
}
