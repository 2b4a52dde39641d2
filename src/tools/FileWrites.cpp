#include "FileWrites.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

std::optional<QString> writeAll(QFileDevice &file, const QByteArray &bytes)
{
    // A write that fills the disk part of the way gives a short count and no reason; the next one fails
    // with it.
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return file.errorString();
        written += count;
    }
    return std::nullopt;
}

std::optional<QString> saveWholeFile(const QString &path, const QByteArray &bytes)
{
    // QSaveFile refuses a file it may not write without saying why (read-only, immutable).
    if (QFileInfo::exists(path) && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return qt_error_string(errno);
    // Unbuffered: QSaveFile drops the error of its last flush and commits the file cut short (Qt 6.4).
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (std::optional<QString> failure = writeAll(file, bytes))
        return failure;
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
